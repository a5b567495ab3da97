// The ordered list of one frame's 2D draws, shared by every render backend. Internal.
//
// Every DrawTexture, sprite square and font glyph becomes one Quad, in call order. The list
// keeps a reference on each texture it names until it is cleared, so a texture released
// by the game between its draw and EndFrame still reaches the GPU. A 3D scene pass joins the
// list as a marker between quads: the quads before it are drawn first, the ones after on top.
#pragma once

#include <Lumora/Math.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Lumora::Testing {
struct RecordedScene;
}

namespace Lumora::Internal {

class Texture;

// One 3D scene's drawing for this frame (made by the scene module). The frame list keeps a
// reference from AddScenePass until Clear.
class ScenePass {
public:
    virtual void HoldPass() = 0;
    virtual void DropPass() = 0;
    // Draws the scene with OpenGL into the bound target, which holds the logical screen
    // (screenWidth x screenHeight logical pixels) in targetWidth x targetHeight pixels: the
    // same picture, more pixels when the window is larger. The picture's bottom-left pixel
    // is (originX, originY) of the target, GL's way up (not 0 when it is letterboxed in the
    // window's back buffer). The 2D state is the caller's to restore afterwards.
    virtual void DrawWithGl(std::int32_t screenWidth, std::int32_t screenHeight, std::int32_t targetWidth,
                            std::int32_t targetHeight, std::int32_t originX, std::int32_t originY) = 0;
    // Describes the scene for the headless record.
    virtual void Record(Testing::RecordedScene& scene) const = 0;

protected:
    ~ScenePass() = default;
};

struct ScenePassEntry {
    std::size_t quadIndex = 0; // drawn after quads [0, quadIndex)
    ScenePass* pass = nullptr;
};

enum class QuadShader : std::uint8_t {
    Picture, // texel x colour
    Text,    // font page: fill colour by channel 0 coverage over outline colour by channel 1
};

enum class DrawOrigin : std::uint8_t { Texture, Sprite, Text };

struct Quad {
    Texture* texture = nullptr; // held by the frame list's references
    Math::Rect destination;     // logical screen pixels
    Math::Rect source;          // texels
    std::uint32_t argb = 0xFFFFFFFFu;
    std::uint32_t outlineArgb = 0;
    std::int32_t rotation = 0;  // engine angle unit, about the destination's centre + pivot
    Math::Point2D pivot;
    std::uint8_t blendMode = 0;
    QuadShader shader = QuadShader::Picture;
    DrawOrigin origin = DrawOrigin::Texture;
};

// One DrawText call, kept for the headless recording; its glyphs are ordinary quads.
struct TextDraw {
    std::size_t firstQuad = 0; // where its glyphs start in the quad list
    std::string text;
    std::string pageName;
    float x = 0.0f;
    float y = 0.0f;
    std::uint32_t argb = 0;
    std::uint32_t outlineArgb = 0;
    std::uint8_t blendMode = 0;
};

class FrameList {
public:
    FrameList() = default;
    ~FrameList();
    FrameList(const FrameList&) = delete;
    FrameList& operator=(const FrameList&) = delete;

    // Drops every draw and the references they held; keeps the capacity.
    void Clear();
    void Reserve(std::size_t quadCount);
    void Add(const Quad& quad);
    void AddText(TextDraw text) { texts_.push_back(std::move(text)); }
    // Marks a 3D pass after the quads added so far; holds it until Clear.
    void AddScenePass(ScenePass* pass);

    const std::vector<Quad>& Quads() const { return quads_; }
    const std::vector<TextDraw>& Texts() const { return texts_; }
    const std::vector<ScenePassEntry>& ScenePasses() const { return scenes_; }

    std::uint32_t clearColor = 0xFF000000u;

private:
    std::vector<Quad> quads_;
    std::vector<TextDraw> texts_;
    std::vector<Texture*> held_;
    std::vector<ScenePassEntry> scenes_;
};

// A run of consecutive quads that one draw call can cover: same texture, blend mode and
// shader. Quads with no texture draw nothing and never start a run.
struct QuadRun {
    std::size_t first = 0;
    std::size_t count = 0;
};

// Splits the quads into runs, in order; appends to `runs` (cleared first).
void BuildRuns(const std::vector<Quad>& quads, std::vector<QuadRun>& runs);

} // namespace Lumora::Internal
