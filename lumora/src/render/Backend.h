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
    // Reads the logical screen back as RGBA rows from the top; false when the backend has
    // no pixels.
    virtual bool ReadPixels(std::vector<std::uint8_t>& rgba, std::int32_t& width, std::int32_t& height) = 0;
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
// Frames are drawn into an offscreen target the size of the logical screen, which Present
// scales into the window. With `drawIntoWindow`, a frame whose window is exactly the logical
// size is drawn straight into the window's back buffer instead, sparing the copy (a third of
// a 2D frame's cost in software); ReadPixels then reads that back buffer, so it must come
// before Present. Headless runs read their frames after Present and keep the target.
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

} // namespace Lumora::Internal
