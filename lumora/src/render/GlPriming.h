// GlPriming.h: what the GL backend shares with the shader priming behind
// ICore::PrimeModelShaders. Internal; the GL context must be current on the calling thread
// (any thread: nothing here touches a backend's own objects).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace Lumora::Internal {

// The offscreen target a frame is drawn into when the window is not exactly the logical
// size: an RGBA8 colour texture and a 24-bit depth renderbuffer. GL object names.
struct OffscreenTarget {
    std::uint32_t framebuffer = 0;
    std::uint32_t colour = 0;
    std::uint32_t depth = 0;
};

// Gives `target` width x height pixels, making its objects on first use; leaves it bound
// as the framebuffer. False when the driver refuses it.
bool ShapeOffscreenTarget(OffscreenTarget& target, std::int32_t width, std::int32_t height);
void DeleteOffscreenTarget(OffscreenTarget& target);

// Draws one quad into the bound framebuffer with each 2D program for every texture state a
// frame can meet: nearest, linear or mipmapped textures, power-of-two sides or not, with
// mode 0's nearest sampler or the texture's own. The software renderer compiles a fragment
// variant for each such state the first time it meets it. Stops early once `stop` is set;
// returns the draws made.
std::size_t PrimePictureDraws(const std::atomic<bool>& stop);

} // namespace Lumora::Internal
