// GlProgram.h: builds an OpenGL program from a vertex and a fragment shader. Internal.
//
// Shared by the 2D backend and the 3D pass. The GL context must be current on the calling
// thread. Names are GL object names (GLuint); 0 means "no program".
#pragma once

#include <cstdint>
#include <initializer_list>

namespace Lumora::Internal {

// Compiles each stage from its source parts (concatenated in order) and links the two. On
// failure: 0, nothing left behind, and one line on stderr naming `what` (for example "2D
// shader" or "model shader 2A"), the stage, the driver's log on one line, and `consequence`
// when it is not empty (what the player loses, for example "its materials are skipped").
std::uint32_t BuildGlProgram(std::initializer_list<const char*> vertexParts,
                             std::initializer_list<const char*> fragmentParts, const char* what,
                             const char* consequence);

} // namespace Lumora::Internal
