// The OpenGL 3.3 core backend: the frame's quads go into one vertex buffer per frame and are
// drawn as runs (one draw call per run of quads sharing texture, blend mode and shader) into
// an offscreen target, which Present copies into the window, or straight into a window of
// exactly the logical size (see CreateGlBackend). In a shown window of 1.5x and more the
// target has the window picture's own pixel size (ComputeRenderScale), so 3D edges and text
// are drawn at the window's resolution rather than enlarged afterwards, and pictures come
// from their 2x textures once loaded. A target of exactly the window's drawable size (a
// 1280 x 960 window at 2x) is the window's back buffer itself: the copy of a full window
// costs more than the 3D scene in software. When the renderer is measured too slow for the
// window's scale, a lower one is drawn and enlarged (ScaleGovernor).
#include "Backend.h"
#include "GlPriming.h"
#include "GlProgram.h"
#include "GlTexture.h"
#include "HighResolutionLoader.h"
#include "ScaleGovernor.h"
#include "SceneFactory.h"
#include "Texture.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace Lumora::Internal {
namespace {

// One corner of a quad: 40 bytes.
struct Vertex {
    float x, y;       // logical screen pixels
    float u, v;       // texels
    float sourceX, sourceY, sourceWidth, sourceHeight; // texels; sampling stays inside
    std::uint32_t colour;  // RGBA bytes in memory order (normalised in the shader)
    std::uint32_t outline;
};
static_assert(sizeof(Vertex) == 40);

// Everything that is the same for a quad's four corners (its source rectangle, colours) is
// flat, and the sampling bounds are worked out once per corner here rather than for every
// pixel: the software rasteriser pays for each interpolated value and each fragment
// instruction.
const char* const VertexShaderSource = R"(#version 330 core
layout(location = 0) in vec2 inPosition;
layout(location = 1) in vec2 inTexel;
layout(location = 2) in vec4 inSource;
layout(location = 3) in vec4 inColour;
layout(location = 4) in vec4 inOutline;
uniform vec2 screenSize;
uniform vec2 textureSize;
uniform float insetTexels; // half a texel of the bound texture, in 1x texels
out vec2 texel;
flat out vec4 bounds;
flat out vec4 colour;
flat out vec4 outline;
void main()
{
    // Screen y grows downwards; the target's first row is the bottom one.
    gl_Position = vec4(inPosition.x / screenSize.x * 2.0 - 1.0, 1.0 - inPosition.y / screenSize.y * 2.0, 0.0, 1.0);
    // Sampling is clamped half a texel inside the source rectangle, so a stretched single
    // texel stays one flat colour and atlas neighbours never bleed in.
    vec2 a = inSource.xy;
    vec2 b = inSource.xy + inSource.zw;
    vec2 low = min(a, b);
    vec2 high = max(a, b);
    vec2 inset = min(vec2(insetTexels), (high - low) * 0.5);
    bounds = vec4((low + inset) / textureSize, (high - inset) / textureSize);
    texel = inTexel / textureSize;
    colour = inColour;
    outline = inOutline;
}
)";

const char* const SampleFunction = R"(
uniform sampler2D picture;
in vec2 texel;
flat in vec4 bounds;
flat in vec4 colour;
flat in vec4 outline;
out vec4 fragment;
vec4 Sample()
{
    return texture(picture, clamp(texel, bounds.xy, bounds.zw));
}
)";

const char* const PictureFragmentSource = R"(
uniform bool premultiplied;
void main()
{
    vec4 t = Sample();
    if (!premultiplied) {
        t.rgb *= t.a;
    }
    fragment = t * vec4(colour.rgb * colour.a, colour.a);
}
)";

// Font pages: channel 0 (red) is the glyph, channel 1 (alpha) its outline. The fill colour
// covers the outline colour.
const char* const TextFragmentSource = R"(
void main()
{
    vec4 t = Sample();
    float fillCoverage = colour.a * t.r;
    float outlineCoverage = outline.a * t.a;
    vec4 fill = vec4(colour.rgb * fillCoverage, fillCoverage);
    vec4 edge = vec4(outline.rgb * outlineCoverage, outlineCoverage);
    fragment = fill + edge * (1.0 - fill.a);
}
)";

std::uint32_t ToRgbaBytes(std::uint32_t argb)
{
    const std::uint32_t a = argb >> 24;
    const std::uint32_t r = (argb >> 16) & 0xFFu;
    const std::uint32_t g = (argb >> 8) & 0xFFu;
    const std::uint32_t b = argb & 0xFFu;
    return r | (g << 8) | (b << 16) | (a << 24); // little-endian memory order R, G, B, A
}

GLuint LinkProgram(const char* fragmentBody)
{
    return BuildGlProgram({VertexShaderSource}, {"#version 330 core\n", SampleFunction, fragmentBody}, "2D shader", "");
}

struct ProgramSlots {
    GLuint program = 0;
    GLint screenSize = -1;
    GLint textureSize = -1;
    GLint insetTexels = -1;
    GLint premultiplied = -1;
};

ProgramSlots MakeProgram(const char* fragmentBody)
{
    ProgramSlots slots;
    slots.program = LinkProgram(fragmentBody);
    if (slots.program != 0) {
        slots.screenSize = glGetUniformLocation(slots.program, "screenSize");
        slots.textureSize = glGetUniformLocation(slots.program, "textureSize");
        slots.insetTexels = glGetUniformLocation(slots.program, "insetTexels");
        slots.premultiplied = glGetUniformLocation(slots.program, "premultiplied");
        glUseProgram(slots.program);
        glUniform1i(glGetUniformLocation(slots.program, "picture"), 0);
    }
    return slots;
}

// The attribute layout of Vertex in the bound vertex array and array buffer. The software
// renderer keys its compiled vertex stage on it, so the shader priming shares it.
void SetQuadVertexLayout()
{
const auto stride = static_cast<GLsizei>(sizeof(Vertex));
glEnableVertexAttribArray(0);
glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(Vertex, x)));
glEnableVertexAttribArray(1);
glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(Vertex, u)));
glEnableVertexAttribArray(2);
glVertexAttribPointer(2, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(Vertex, sourceX)));
glEnableVertexAttribArray(3);
glVertexAttribPointer(3, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<const void*>(offsetof(Vertex, colour)));
glEnableVertexAttribArray(4);
glVertexAttribPointer(4, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<const void*>(offsetof(Vertex, outline)));
}

// Every program outputs premultiplied colour, so one blend function serves both modes; the
// screen's alpha channel stays opaque.
void SetQuadBlendState()
{
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
}

// Mode 0's texel-exact sampling at whole scales.
// Bilinear from level 0 alone: what a mipmapped texture's own filter gives wherever it is not
// minified, at a fraction of the software sampler's cost (no level of detail per pixel, one
// level read instead of two).
void SetLevelZeroSampling(GLuint sampler)
{
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

// Whether no quad in [first, stop) shows its texels smaller than one pixel each: unturned,
// and at least as large as its source in logical pixels (its texture then has at least as
// many pixels as texels at the frame's scale, whichever of the picture's textures is drawn).
bool NoneMinified(const std::vector<Quad>& quads, std::size_t first, std::size_t stop)
{
    for (std::size_t i = first; i < stop; ++i) {
        const Quad& quad = quads[i];
        if (quad.rotation != 0 || std::abs(quad.destination.width) < std::abs(quad.source.width) ||
            std::abs(quad.destination.height) < std::abs(quad.source.height)) {
            return false;
        }
    }
    return true;
}

void SetNearestSampling(GLuint sampler)
{
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

class GlBackend final : public RenderBackend {
public:
    GlBackend(PresentSurface* surface, bool drawIntoWindow) : surface_(surface), drawIntoWindow_(drawIntoWindow) {}
    ~GlBackend() override;

    bool Setup();
    void DrawFrame(const FrameList& frame, std::int32_t width, std::int32_t height) override;
    void Present() override;
    bool ReadPixels(std::vector<std::uint8_t>& rgba, std::int32_t& width, std::int32_t& height) override;
    void SetHighResolutionLoader(HighResolutionLoader* loader) override { highResolution_ = loader; }

private:
    bool EnsureTarget(std::int32_t width, std::int32_t height);
    RenderScale ScaleFor(std::int32_t width, std::int32_t height);
    bool WindowFits(std::int32_t width, std::int32_t height, bool needsDepth);
    bool BackBufferHasSize(std::int32_t width, std::int32_t height);
    void ClearOutside(std::int32_t width, std::int32_t height);
    void WriteVertices(const std::vector<Quad>& quads);
    void EnsureIndexCapacity(std::size_t quadCount);
    void FinishTiming();

    PresentSurface* surface_;
    bool drawIntoWindow_;
    ScaleGovernor governor_;
    // The window's own picture size when the governor draws a smaller one (0: not lowered);
    // Present enlarges the target to it.
    std::int32_t shownWidth_ = 0;
    std::int32_t shownHeight_ = 0;
    // A 3D frame being timed for the governor: from DrawFrame's start to the end of its GL
    // work, just before the swap.
    bool timingFrame_ = false;
    std::chrono::steady_clock::time_point frameStart_;
    // For tests only (LUMORA_TEST_3D_PIXEL_COST_NS): nanoseconds of waiting added to a frame
    // with a 3D pass per pixel of its picture, a stand-in for a renderer too slow for it.
    double testPixelCostNanoseconds_ = 0.0;
    HighResolutionLoader* highResolution_ = nullptr;
    bool windowHasDepth_ = false;
    // Where the picture's bottom-left pixel lies in the window's back buffer when it is drawn
    // there letterboxed (fullscreen's 1440 x 1080 in 1920 x 1080), GL's way up; 0 otherwise.
    std::int32_t originX_ = 0;
    std::int32_t originY_ = 0;
    std::int32_t barsWidth_ = 0; // the window's size around the picture
    std::int32_t barsHeight_ = 0;
    // The drawable's size at the last swap: the back buffer's from then on.
    std::int32_t swappedWidth_ = 0;
    std::int32_t swappedHeight_ = 0;
    // The last drawable size whose back buffer was checked, and the answer.
    std::int32_t checkedWidth_ = 0;
    std::int32_t checkedHeight_ = 0;
    bool checkedFits_ = false;
    // Where the last frame went: 0 (the window's back buffer) or target_.framebuffer.
    GLuint drawnInto_ = 0;
    bool drawnAny_ = false;
    std::int32_t drawnWidth_ = 0;  // pixels of the last frame (the logical size times its scale)
    std::int32_t drawnHeight_ = 0;
    ProgramSlots pictureProgram_;
    ProgramSlots textProgram_;
    GLuint vertexArray_ = 0;
    GLuint vertexBuffer_ = 0;
    GLuint indexBuffer_ = 0;
    std::size_t indexCapacityQuads_ = 0;
    std::size_t vertexCapacityBytes_ = 0;
    GLuint nearestSampler_ = 0;
    GLuint levelZeroSampler_ = 0;
    OffscreenTarget target_; // its depth buffer is for 3D scene passes
    std::int32_t targetWidth_ = 0;
    std::int32_t targetHeight_ = 0;
    std::vector<Vertex> vertices_;
    std::vector<QuadRun> runs_;
    std::vector<std::uint8_t> rowScratch_;
};

GlBackend::~GlBackend()
{
    ReleaseSceneGlResources();
    for (std::uint32_t name : TakeGpuTextureDeletions()) {
        glDeleteTextures(1, &name);
    }
    glDeleteProgram(pictureProgram_.program);
    glDeleteProgram(textProgram_.program);
    glDeleteBuffers(1, &vertexBuffer_);
    glDeleteBuffers(1, &indexBuffer_);
    glDeleteVertexArrays(1, &vertexArray_);
    glDeleteSamplers(1, &nearestSampler_);
    glDeleteSamplers(1, &levelZeroSampler_);
    DeleteOffscreenTarget(target_);
}

bool GlBackend::Setup()
{
    if (epoxy_gl_version() < 33) {
        std::fprintf(stderr, "Lumora: OpenGL 3.3 is needed; this context offers %d.%d\n", epoxy_gl_version() / 10,
                     epoxy_gl_version() % 10);
        return false;
    }
    pictureProgram_ = MakeProgram(PictureFragmentSource);
    textProgram_ = MakeProgram(TextFragmentSource);
    if (pictureProgram_.program == 0 || textProgram_.program == 0) {
        return false;
    }
    glGenVertexArrays(1, &vertexArray_);
    glGenBuffers(1, &vertexBuffer_);
    glGenBuffers(1, &indexBuffer_);
    glBindVertexArray(vertexArray_);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
    SetQuadVertexLayout();
    glBindVertexArray(0);

    if (drawIntoWindow_ && surface_ != nullptr) {
        // Sizes may only be asked of an attachment that exists (else GL_INVALID_OPERATION).
        GLint kind = GL_NONE;
        GLint depthBits = 0;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &kind);
        if (kind != GL_NONE) {
            glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depthBits);
        }
        windowHasDepth_ = depthBits > 0;
    }

    if (const char* cost = std::getenv("LUMORA_TEST_3D_PIXEL_COST_NS")) {
        testPixelCostNanoseconds_ = std::max(0.0, std::atof(cost));
    }

    glGenSamplers(1, &nearestSampler_);
    SetNearestSampling(nearestSampler_);
    glGenSamplers(1, &levelZeroSampler_);
    SetLevelZeroSampling(levelZeroSampler_);
    return true;
}

bool GlBackend::EnsureTarget(std::int32_t width, std::int32_t height)
{
    if (target_.framebuffer != 0 && width == targetWidth_ && height == targetHeight_) {
        return true;
    }
    if (!ShapeOffscreenTarget(target_, width, height)) {
        std::fprintf(stderr, "Lumora: cannot make a %d x %d offscreen target\n", width, height);
        return false;
    }
    targetWidth_ = width;
    targetHeight_ = height;
    return true;
}

RenderScale GlBackend::ScaleFor(std::int32_t width, std::int32_t height)
{
    // Headless pixel runs keep the logical size whatever their hidden window's size: their
    // readers compare logical pixels.
    if (!drawIntoWindow_ || surface_ == nullptr) {
        return RenderScale{1.0f, width, height};
    }
    std::int32_t windowWidth = 0;
    std::int32_t windowHeight = 0;
    surface_->GetDrawableSize(windowWidth, windowHeight);
    const RenderScale own = ComputeRenderScale(windowWidth, windowHeight, width, height);
    governor_.SetWindowScale(own.scale);
    const float chosen = governor_.Scale();
    if (chosen >= own.scale) {
        shownWidth_ = shownHeight_ = 0;
        return own;
    }
    shownWidth_ = own.width;
    shownHeight_ = own.height;
    return RenderScaleAt(chosen, width, height);
}

bool GlBackend::WindowFits(std::int32_t width, std::int32_t height, bool needsDepth)
{
    if (!drawIntoWindow_ || surface_ == nullptr || (needsDepth && !windowHasDepth_)) {
        return false;
    }
    std::int32_t windowWidth = 0;
    std::int32_t windowHeight = 0;
    surface_->GetDrawableSize(windowWidth, windowHeight);
    // A picture shown at its own size fits, centred as Present would place it; one that
    // Present must enlarge (a lowered scale, a 1x picture in a 2x window) does not.
    const ViewportRect view = ComputeLetterbox(windowWidth, windowHeight, width, height);
    if (shownWidth_ > 0 || view.width != width || view.height != height ||
        !BackBufferHasSize(windowWidth, windowHeight)) {
        return false;
    }
    originX_ = view.x;
    originY_ = windowHeight - view.y - view.height;
    barsWidth_ = windowWidth;
    barsHeight_ = windowHeight;
    return true;
}

bool GlBackend::BackBufferHasSize(std::int32_t width, std::int32_t height)
{
    // The software renderer resizes a window's back buffer only at a swap: the first frame
    // after a resize would be drawn into the old one. Until a swap at this size, the target.
    if (width != swappedWidth_ || height != swappedHeight_) {
        return false;
    }
    if (width == checkedWidth_ && height == checkedHeight_) {
        return checkedFits_;
    }
    checkedWidth_ = width;
    checkedHeight_ = height;
    checkedFits_ = true;
    // Under GLX the back buffer follows the X window (whose size the drawable size is). An
    // EGL surface may keep the size it was made with (SDL's offscreen driver draws into a
    // pbuffer made at the window's first size): ask the surface itself.
    if (epoxy_has_egl() && eglGetCurrentContext() != EGL_NO_CONTEXT) {
        EGLint surfaceWidth = 0;
        EGLint surfaceHeight = 0;
        const EGLDisplay display = eglGetCurrentDisplay();
        const EGLSurface drawn = eglGetCurrentSurface(EGL_DRAW);
        if (drawn != EGL_NO_SURFACE && eglQuerySurface(display, drawn, EGL_WIDTH, &surfaceWidth) == EGL_TRUE &&
            eglQuerySurface(display, drawn, EGL_HEIGHT, &surfaceHeight) == EGL_TRUE) {
            checkedFits_ = surfaceWidth == width && surfaceHeight == height;
        }
    }
    return checkedFits_;
}

void GlBackend::EnsureIndexCapacity(std::size_t quadCount)
{
    if (quadCount <= indexCapacityQuads_) {
        return;
    }
    std::size_t capacity = std::max<std::size_t>(indexCapacityQuads_ * 2, 4096);
    while (capacity < quadCount) {
        capacity *= 2;
    }
    std::vector<GLuint> indices(capacity * 6);
    for (std::size_t quad = 0; quad < capacity; ++quad) {
        const auto base = static_cast<GLuint>(quad * 4);
        GLuint* out = &indices[quad * 6];
        out[0] = base;
        out[1] = base + 1;
        out[2] = base + 2;
        out[3] = base + 2;
        out[4] = base + 1;
        out[5] = base + 3;
    }
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(GLuint)), indices.data(),
                 GL_STATIC_DRAW);
    indexCapacityQuads_ = capacity;
}

void GlBackend::WriteVertices(const std::vector<Quad>& quads)
{
    vertices_.resize(quads.size() * 4);
    Vertex* out = vertices_.data();
    for (const Quad& quad : quads) {
        const Math::Rect& d = quad.destination;
        const Math::Rect& s = quad.source;
        const std::uint32_t colour = ToRgbaBytes(quad.argb);
        const std::uint32_t outline = ToRgbaBytes(quad.outlineArgb);
        // Corners: top-left, top-right, bottom-left, bottom-right.
        float xs[4] = {d.x, d.x + d.width, d.x, d.x + d.width};
        float ys[4] = {d.y, d.y, d.y + d.height, d.y + d.height};
        if (quad.rotation != 0) {
            const double angle = static_cast<double>(quad.rotation) * (2.0 * 3.14159265358979323846 / 65536.0);
            const float cosine = static_cast<float>(std::cos(angle));
            const float sine = static_cast<float>(std::sin(angle));
            const float centreX = d.x + d.width * 0.5f + quad.pivot.x;
            const float centreY = d.y + d.height * 0.5f + quad.pivot.y;
            for (int corner = 0; corner < 4; ++corner) {
                const float dx = xs[corner] - centreX;
                const float dy = ys[corner] - centreY;
                xs[corner] = centreX + dx * cosine - dy * sine;
                ys[corner] = centreY + dx * sine + dy * cosine;
            }
        }
        const float us[4] = {s.x, s.x + s.width, s.x, s.x + s.width};
        const float vs[4] = {s.y, s.y, s.y + s.height, s.y + s.height};
        for (int corner = 0; corner < 4; ++corner) {
            *out++ = Vertex{xs[corner], ys[corner], us[corner], vs[corner], s.x, s.y, s.width, s.height, colour, outline};
        }
    }
    const std::size_t bytes = vertices_.size() * sizeof(Vertex);
    if (bytes > vertexCapacityBytes_) {
        vertexCapacityBytes_ = std::max(bytes, vertexCapacityBytes_ * 2);
    }
    // Orphan last frame's storage so the driver need not wait for it.
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertexCapacityBytes_), nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), vertices_.data());
}

void GlBackend::DrawFrame(const FrameList& frame, std::int32_t width, std::int32_t height)
{
    for (std::uint32_t name : TakeGpuTextureDeletions()) {
        glDeleteTextures(1, &name);
    }
    const std::vector<Quad>& quads = frame.Quads();
    const std::vector<ScenePassEntry>& scenes = frame.ScenePasses();
    const RenderScale scale = ScaleFor(width, height);
    timingFrame_ = governor_.Measuring() && !scenes.empty();
    if (timingFrame_) {
        frameStart_ = std::chrono::steady_clock::now();
    }
    GLuint target = 0;
    originX_ = originY_ = 0;
    if (!WindowFits(scale.width, scale.height, !scenes.empty())) {
        if (!EnsureTarget(scale.width, scale.height)) {
            drawnAny_ = false;
            return;
        }
        target = target_.framebuffer;
    }
    const std::int32_t pixelWidth = scale.width;
    const std::int32_t pixelHeight = scale.height;
    // From 1.5x pictures come from their 2x textures; mode 0's texel-exact sampling holds at
    // whole scales only (between them, filtering is what keeps texels even).
    const bool highResolution = scale.scale >= 1.5f && highResolution_ != nullptr;
    const bool wholeScale = scale.Whole();
    // A 2x texture's first upload (up to some megabytes) is spread out, one a frame, so
    // that switching to a large window never stalls a frame.
    bool companionUploaded = false;
    drawnInto_ = target;
    drawnAny_ = true;
    drawnWidth_ = pixelWidth;
    drawnHeight_ = pixelHeight;
    glBindFramebuffer(GL_FRAMEBUFFER, target);
    // Quads keep their logical coordinates (the shader maps them through screenSize); the
    // viewport alone decides how many pixels they cover.
    glViewport(originX_, originY_, pixelWidth, pixelHeight);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
    const bool letterboxed = target == 0 && (pixelWidth != barsWidth_ || pixelHeight != barsHeight_);
    if (letterboxed) {
        ClearOutside(pixelWidth, pixelHeight);
        // A clear ignores the viewport: the frame's colour goes inside the picture only.
        glEnable(GL_SCISSOR_TEST);
        glScissor(originX_, originY_, pixelWidth, pixelHeight);
    }
    const std::uint32_t clear = frame.clearColor;
    glClearColor(static_cast<float>((clear >> 16) & 0xFF) / 255.0f, static_cast<float>((clear >> 8) & 0xFF) / 255.0f,
                 static_cast<float>(clear & 0xFF) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);

    if (quads.empty() && scenes.empty()) {
        return;
    }
    glBindVertexArray(vertexArray_);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    EnsureIndexCapacity(std::max<std::size_t>(quads.size(), 1));
    if (!quads.empty()) {
        WriteVertices(quads);
    }
    BuildRuns(quads, runs_);

    // Quads are drawn in runs; a 3D pass between two quads splits the run it falls in.
    std::size_t nextScene = 0;
    bool stateReady = false;
    const ProgramSlots* current = nullptr;
    auto drawScenesUpTo = [&](std::size_t quadIndex) {
        while (nextScene < scenes.size() && scenes[nextScene].quadIndex <= quadIndex) {
            glDisable(GL_BLEND);
            glBindSampler(0, 0);
            scenes[nextScene++].pass->DrawWithGl(width, height, pixelWidth, pixelHeight, originX_, originY_);
            glBindFramebuffer(GL_FRAMEBUFFER, target);
            glViewport(originX_, originY_, pixelWidth, pixelHeight);
            glDisable(GL_DEPTH_TEST);
            glDisable(GL_CULL_FACE);
            glDepthMask(GL_TRUE);
            stateReady = false;
        }
    };
    for (const QuadRun& run : runs_) {
        std::size_t first = run.first;
        const std::size_t end = run.first + run.count;
        while (first < end) {
            drawScenesUpTo(first);
            std::size_t stop = end;
            if (nextScene < scenes.size() && scenes[nextScene].quadIndex < end) {
                stop = scenes[nextScene].quadIndex;
            }
            const Quad& head = quads[first];
            Texture& base = *head.texture;
            Texture* drawn = &base;
            if (highResolution) {
                if (Texture* companion = base.HighResolution()) {
                    if (companion->gpuName != 0 || !companionUploaded) {
                        companionUploaded = companionUploaded || companion->gpuName == 0;
                        drawn = companion;
                    }
                } else if (base.ClaimHighResolutionLoad()) {
                    highResolution_->Request(base);
                }
            }
            Texture& texture = *drawn;
            if (UploadTextureToGl(texture)) {
                if (!stateReady) {
                    glBindVertexArray(vertexArray_);
                    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
                    SetQuadBlendState();
                    glActiveTexture(GL_TEXTURE0);
                    current = nullptr;
                    stateReady = true;
                }
                const ProgramSlots* program = head.shader == QuadShader::Text ? &textProgram_ : &pictureProgram_;
                if (program != current) {
                    current = program;
                    glUseProgram(program->program);
                    glUniform2f(program->screenSize, static_cast<float>(width), static_cast<float>(height));
                }
                glBindTexture(GL_TEXTURE_2D, texture.gpuName);
                // Mode 0 samples texel-exact; mode 1 leaves the texture's own filter in charge,
                // except where a 2x texture at a whole scale is nowhere minified: its mipmaps
                // would give level 0's bilinear anyway.
                GLuint sampler = 0;
                if (head.blendMode == 0 && wholeScale) {
                    sampler = nearestSampler_;
                } else if (wholeScale && &texture != &base && texture.Options().filter == TextureFilter::LinearMipmaps &&
                           NoneMinified(quads, first, stop)) {
                    sampler = levelZeroSampler_;
                }
                glBindSampler(0, sampler);
                // Quads carry 1x texel coordinates; a 2x texture is addressed through its
                // base's size, and its clamp is half of its own (smaller) texel.
                glUniform2f(program->textureSize, static_cast<float>(base.GetWidth()),
                            static_cast<float>(base.GetHeight()));
                glUniform1f(program->insetTexels, &texture == &base ? 0.5f : 0.25f);
                if (program->premultiplied >= 0) {
                    glUniform1i(program->premultiplied, texture.Premultiplied() ? 1 : 0);
                }
                glDrawElements(GL_TRIANGLES, static_cast<GLsizei>((stop - first) * 6), GL_UNSIGNED_INT,
                               reinterpret_cast<const void*>(first * 6 * sizeof(GLuint)));
            }
            first = stop;
        }
    }
    drawScenesUpTo(static_cast<std::size_t>(-1));
    glBindSampler(0, 0);
    glDisable(GL_BLEND);
    glBindVertexArray(0);
    if (testPixelCostNanoseconds_ > 0.0 && !scenes.empty()) {
        const double pixels = static_cast<double>(pixelWidth) * static_cast<double>(pixelHeight);
        std::this_thread::sleep_for(std::chrono::nanoseconds(static_cast<std::int64_t>(pixels * testPixelCostNanoseconds_)));
    }
}

void GlBackend::ClearOutside(std::int32_t width, std::int32_t height)
{
    // Black bars: the strips of the back buffer beside (or above and below) the picture,
    // each cleared alone so the picture's pixels are cleared once, to the frame's colour.
    const std::int32_t right = originX_ + width;
    const std::int32_t top = originY_ + height;
    const std::int32_t strips[4][4] = {{0, 0, originX_, barsHeight_},
                                       {right, 0, barsWidth_ - right, barsHeight_},
                                       {originX_, 0, width, originY_},
                                       {originX_, top, width, barsHeight_ - top}};
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_SCISSOR_TEST);
    for (const auto& strip : strips) {
        if (strip[2] > 0 && strip[3] > 0) {
            glScissor(strip[0], strip[1], strip[2], strip[3]);
            glClear(GL_COLOR_BUFFER_BIT);
        }
    }
    glDisable(GL_SCISSOR_TEST);
}

void GlBackend::FinishTiming()
{
    if (!timingFrame_) {
        return;
    }
    timingFrame_ = false;
    // The software renderer works on its own threads until the swap; the frame's cost is
    // only known once they are done. Only frames under measurement wait for it.
    glFinish();
    const double milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - frameStart_).count();
    governor_.AddFrame(milliseconds);
    const std::string report = governor_.TakeReport();
    if (!report.empty()) {
        std::fprintf(stderr, "%s\n", report.c_str());
    }
}

void GlBackend::Present()
{
    if (surface_ == nullptr || !drawnAny_) {
        return;
    }
    std::int32_t windowWidth = 0;
    std::int32_t windowHeight = 0;
    surface_->GetDrawableSize(windowWidth, windowHeight);
    swappedWidth_ = windowWidth;
    swappedHeight_ = windowHeight;
    if (drawnInto_ == 0) {
        FinishTiming();
        surface_->SwapBuffers(); // the frame is already in the window
        return;
    }
    // A lowered picture fills the place of the window's own; anything else is letterboxed.
    ViewportRect view = ComputeLetterbox(windowWidth, windowHeight, targetWidth_, targetHeight_);
    if (shownWidth_ > 0 && shownWidth_ <= windowWidth && shownHeight_ <= windowHeight) {
        view = ViewportRect{(windowWidth - shownWidth_) / 2, (windowHeight - shownHeight_) / 2, shownWidth_, shownHeight_};
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glViewport(0, 0, windowWidth, windowHeight);
    // Black bars only where the picture does not reach; a window the picture fills needs no
    // clear (a full-window clear costs as much as a third of a 2D frame in software).
    if (view.x != 0 || view.y != 0 || view.width != windowWidth || view.height != windowHeight) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    if (view.width > 0 && view.height > 0) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, target_.framebuffer);
        const bool wholeScale = view.width % targetWidth_ == 0 && view.height % targetHeight_ == 0;
        // GL rows count from the bottom: flip the letterbox's top offset.
        const GLint bottom = windowHeight - view.y - view.height;
        glBlitFramebuffer(0, 0, targetWidth_, targetHeight_, view.x, bottom, view.x + view.width, bottom + view.height,
                          GL_COLOR_BUFFER_BIT, wholeScale ? GL_NEAREST : GL_LINEAR);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    FinishTiming();
    surface_->SwapBuffers();
}

bool GlBackend::ReadPixels(std::vector<std::uint8_t>& rgba, std::int32_t& width, std::int32_t& height)
{
    if (!drawnAny_) {
        return false;
    }
    width = drawnWidth_;
    height = drawnHeight_;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4u;
    rgba.resize(rowBytes * static_cast<std::size_t>(height));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, drawnInto_);
    if (drawnInto_ == 0) {
        glReadBuffer(GL_BACK);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(drawnInto_ == 0 ? originX_ : 0, drawnInto_ == 0 ? originY_ : 0, width, height, GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    // GL hands rows bottom first; callers want them from the top.
    rowScratch_.resize(rowBytes);
    for (std::int32_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        std::uint8_t* a = rgba.data() + static_cast<std::size_t>(top) * rowBytes;
        std::uint8_t* b = rgba.data() + static_cast<std::size_t>(bottom) * rowBytes;
        std::memcpy(rowScratch_.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, rowScratch_.data(), rowBytes);
    }
    return true;
}

} // namespace

std::unique_ptr<RenderBackend> CreateGlBackend(PresentSurface* surface, bool drawIntoWindow)
{
    auto backend = std::make_unique<GlBackend>(surface, drawIntoWindow);
    if (!backend->Setup()) {
        return nullptr;
    }
    return backend;
}

bool ShapeOffscreenTarget(OffscreenTarget& target, std::int32_t width, std::int32_t height)
{
    if (target.framebuffer == 0) {
        glGenFramebuffers(1, &target.framebuffer);
        glGenTextures(1, &target.colour);
        glGenRenderbuffers(1, &target.depth);
    }
    glBindRenderbuffer(GL_RENDERBUFFER, target.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, target.colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target.colour, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target.depth);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void DeleteOffscreenTarget(OffscreenTarget& target)
{
    glDeleteFramebuffers(1, &target.framebuffer);
    glDeleteTextures(1, &target.colour);
    glDeleteRenderbuffers(1, &target.depth);
    target = OffscreenTarget{};
}

std::size_t PrimePictureDraws(const std::atomic<bool>& stop)
{
    // One quad over the target's corner, in logical pixels of a 640 x 480 screen.
    Vertex quad[4];
    const float xs[4] = {0.0f, 8.0f, 0.0f, 8.0f};
    const float ys[4] = {0.0f, 0.0f, 8.0f, 8.0f};
    for (int corner = 0; corner < 4; ++corner) {
        quad[corner] = Vertex{xs[corner], ys[corner], xs[corner] * 0.25f, ys[corner] * 0.25f, 0.0f, 0.0f, 2.0f, 2.0f,
                              0xFFFFFFFFu, 0xFF000000u};
    }
    const GLuint indices[6] = {0, 1, 2, 2, 1, 3};
    GLuint vertexArray = 0;
    GLuint buffers[2] = {0, 0};
    glGenVertexArrays(1, &vertexArray);
    glGenBuffers(2, buffers);
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, sizeof(quad), quad, GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(indices), indices, GL_STATIC_DRAW);
    SetQuadVertexLayout();
    GLuint nearest = 0;
    glGenSamplers(1, &nearest);
    SetNearestSampling(nearest);
    GLuint levelZero = 0;
    glGenSamplers(1, &levelZero);
    SetLevelZeroSampling(levelZero);
    // The text program draws font pages only, whose sides are powers of two (the baker's).
    const ProgramSlots programs[2] = {MakeProgram(PictureFragmentSource), MakeProgram(TextFragmentSource)};
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
    SetQuadBlendState();
    glActiveTexture(GL_TEXTURE0);

    // Sides of 4 and 6 texels: each power-of-two pairing, as the sampler's code depends on it.
    const std::int32_t sides[4][2] = {{4, 4}, {6, 6}, {4, 6}, {6, 4}};
    const TextureFilter filters[3] = {TextureFilter::Nearest, TextureFilter::Linear, TextureFilter::LinearMipmaps};
    std::vector<std::uint8_t> texels(6 * 6 * 4, 0xFF);
    std::size_t drawn = 0;
    for (const auto& side : sides) {
        for (const TextureFilter filter : filters) {
            if (stop.load(std::memory_order_relaxed)) {
                break;
            }
            // The texture as UploadTextureToGl leaves it.
            GLuint texture = 0;
            glGenTextures(1, &texture);
            glBindTexture(GL_TEXTURE_2D, texture);
            glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
            std::int32_t width = side[0];
            std::int32_t height = side[1];
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
            GLint levels = 1;
            GLint minFilter = filter == TextureFilter::Nearest ? GL_NEAREST : GL_LINEAR;
            if (filter == TextureFilter::LinearMipmaps) {
                while (width > 1 || height > 1) {
                    width = width > 1 ? width / 2 : 1;
                    height = height > 1 ? height / 2 : 1;
                    glTexImage2D(GL_TEXTURE_2D, levels, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                                 texels.data());
                    ++levels;
                }
                minFilter = GL_LINEAR_MIPMAP_LINEAR;
            }
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter == TextureFilter::Nearest ? GL_NEAREST : GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            for (const ProgramSlots& program : programs) {
                if (program.program == 0 || (&program == &programs[1] && (side[0] != 4 || side[1] != 4))) {
                    continue;
                }
                glUseProgram(program.program);
                glUniform2f(program.screenSize, 640.0f, 480.0f);
                glUniform2f(program.textureSize, static_cast<float>(side[0]), static_cast<float>(side[1]));
                glUniform1f(program.insetTexels, 0.5f);
                // The texture's own sampling, then mode 0's nearest sampler over it (the same
                // for a nearest texture as for a linear one: one level either way), and the
                // level-zero sampler over a mipmapped one (a 2x picture nowhere minified).
                for (const GLuint sampler : {GLuint{0}, nearest, levelZero}) {
                    if ((sampler == nearest && filter == TextureFilter::Linear) ||
                        (sampler == levelZero && filter != TextureFilter::LinearMipmaps)) {
                        continue;
                    }
                    glBindSampler(0, sampler);
                    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr);
                    ++drawn;
                }
            }
            glDeleteTextures(1, &texture);
        }
    }
    glBindSampler(0, 0);
    glDisable(GL_BLEND);
    glBindVertexArray(0);
    for (const ProgramSlots& program : programs) {
        glDeleteProgram(program.program);
    }
    glDeleteSamplers(1, &nearest);
    glDeleteSamplers(1, &levelZero);
    glDeleteBuffers(2, buffers);
    glDeleteVertexArrays(1, &vertexArray);
    return drawn;
}

} // namespace Lumora::Internal
