// Lumora/IGraphicsDevice.h: the graphics device behind the window.
//
// Made by ICore::CreateGraphicsDevice; the caller owns the reference. A device makes
// renders: the game keeps two, one on the loader thread that only creates textures (and,
// later, models and fonts) and one on the main thread that draws. All renders of a device
// draw to the same logical screen (ICore::Start's size).
#pragma once

#include <Lumora/Base.h>
#include <Lumora/IRender.h>

#include <cstdint>

namespace Lumora {

class IGraphicsDevice : public IInterface {
public:
    // Creates a render. `flags` is 0; `frameCapacityHint` is the number of thousands of 2D
    // quads a frame is expected to hold (1 is plenty for the game; the frame grows beyond
    // it when needed, so the number only saves early growth). Null when the device was lost.
    virtual IRender* CreateRender(std::int32_t flags, std::int32_t frameCapacityHint) = 0;
};

} // namespace Lumora
