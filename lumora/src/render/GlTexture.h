// GlTexture.h: puts a texture's texels on the GPU. Internal.
//
// Shared by the 2D backend and the 3D pass; the GL context must be current on the calling
// thread (the drawing thread).
#pragma once

#include "Texture.h"

namespace Lumora::Internal {

// Uploads `texture` (level 0 and its premade mipmap levels) once, sets its filter and wrap
// from its options and frees the CPU copy. True when `texture.gpuName` names it on the GPU;
// false, for good, when its texels do not match its size.
bool UploadTextureToGl(Texture& texture);

} // namespace Lumora::Internal
