// Lumora/IModel.h: a loaded 3D model (.lmd), handed back to the engine to make actors.
//
// Made by the render's model loading; the caller owns the reference. The game never looks
// inside a model: it only keeps the handle and gives it to the 3D scene, which draws
// actors of it. A model may be made on the loader thread and used on the main thread.
#pragma once

#include <Lumora/Base.h>

namespace Lumora {

class IModel : public IInterface {
};

} // namespace Lumora
