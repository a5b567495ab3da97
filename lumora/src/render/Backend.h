// What the renders need from a GPU backend and from the window. Internal.
//
// The choice of backend happens once, in CreateGraphicsDevice: OpenGL 3.3 when there is a
// window or an offscreen surface, the recording null backend otherwise. Everything else in
// the renderer is backend-free.
#pragma once

#include "FrameList.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Lumora::Internal {

class HighResolutionLoader;

// The window as the backend sees it; implemented by the core.
class PresentSurface {
public:
    virtual ~PresentSurface() = default;
    // Size of the window's drawable area in pixels.
    virtual void GetDrawableSize(std::int32_t& width, std::int32_t& height) = 0;
    // Shows the finished back buffer.
    virtual void SwapBuffers() = 0;
};

class RenderBackend {
public:
    virtual ~RenderBackend() = default;
    // Draws a frame list into the logical screen (width x height pixels).
    virtual void DrawFrame(const FrameList& frame, std::int32_t width, std::int32_t height) = 0;
    // Shows the logical screen in the window (scaled and letterboxed).
    virtual void Present() = 0;
    // Reads the last frame back as RGBA rows from the top, at the size it was drawn (the
    // logical screen's, or the window's picture when that is larger); false when the backend
    // has no pixels.
    virtual bool ReadPixels(std::vector<std::uint8_t>& rgba, std::int32_t& width, std::int32_t& height) = 0;
    // Where 2x textures are asked for (the device's; it outlives the backend's frames).
    virtual void SetHighResolutionLoader(HighResolutionLoader* loader) { (void)loader; }
};

// Draws nothing; the frame list itself is the record (see the device's recording).
class NullBackend final : public RenderBackend {
public:
    void DrawFrame(const FrameList&, std::int32_t, std::int32_t) override {}
    void Present() override {}
    bool ReadPixels(std::vector<std::uint8_t>&, std::int32_t&, std::int32_t&) override { return false; }
};

// OpenGL 3.3 core through libepoxy; the context must be current on the calling thread and
// stay current on it. Null, with a line on stderr, when the context is too old or the
// shaders do not build. `surface` may be null (offscreen only, nothing is shown).
//
// Frames are drawn into an offscreen target, which Present copies into the window. With
// `drawIntoWindow` (a shown window), the target is the window's picture at its own
// resolution (ComputeRenderScale), 2D quads keeping their logical coordinates and drawn from
// the 2x textures from 1.5x up; and a frame whose window is exactly the logical size is drawn
// straight into the window's back buffer instead, sparing the copy (a third of a 2D frame's
// cost in software); ReadPixels then reads that back buffer, so it must come before Present.
// Headless runs draw at the logical size, read their frames after Present and keep the target.
std::unique_ptr<RenderBackend> CreateGlBackend(PresentSurface* surface, bool drawIntoWindow = false);

// Where the logical screen lands in a window of the given size: a whole-number scale when
// at least 1x fits, otherwise the largest scale that fits; centred, aspect kept. Pixels,
// origin at the top left of the window.
struct ViewportRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};
ViewportRect ComputeLetterbox(std::int32_t windowWidth, std::int32_t windowHeight, std::int32_t logicalWidth,
                              std::int32_t logicalHeight);

// How a shown window's frame is drawn: `scale` target pixels per logical pixel and the
// target's size. Below 1.5x the logical screen itself (scale 1), which Present letterboxes
// as ComputeLetterbox says, exactly as a 1x window shows it; from 1.5x the largest scale
// that fits, fractions included (a 1920 x 1080 screen: 2.25, a 1440 x 1080 target), centred
// by Present without further scaling.
struct RenderScale {
    float scale = 1.0f;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool Whole() const { return scale == static_cast<float>(static_cast<std::int32_t>(scale)); }
};
RenderScale ComputeRenderScale(std::int32_t windowWidth, std::int32_t windowHeight, std::int32_t logicalWidth,
                               std::int32_t logicalHeight);
// The picture at a given scale, as ComputeRenderScale makes it (under 1.5: the logical size).
RenderScale RenderScaleAt(float scale, std::int32_t logicalWidth, std::int32_t logicalHeight);

} // namespace Lumora::Internal
