#include "Recording.h"

#include "ImageCodec.h"
#include "SceneFactory.h"
#include "Texture.h"

#include <Lumora/Testing.h>

#include <mutex>

namespace Lumora::Internal {
namespace {

struct Record {
    std::mutex lock;
    std::vector<Testing::RecordedDraw> draws;
    std::vector<Testing::RecordedScene> scenes;
    std::uint32_t clearColor = 0;
    std::uint64_t frames = 0;
    PixelSource pixelSource;
    const void* pixelOwner = nullptr;
};

Record& TheRecord()
{
    static Record record;
    return record;
}

Testing::RecordedDraw FromQuad(const Quad& quad)
{
    Testing::RecordedDraw draw;
    draw.kind = quad.origin == DrawOrigin::Sprite ? Testing::RecordedDraw::Kind::Sprite
                                                  : Testing::RecordedDraw::Kind::Texture;
    draw.texture = quad.texture != nullptr ? quad.texture->Name() : std::string();
    draw.destination = quad.destination;
    draw.source = quad.source;
    draw.argb = quad.argb;
    draw.outlineArgb = quad.outlineArgb;
    draw.blendMode = quad.blendMode;
    return draw;
}

Testing::RecordedDraw FromText(const TextDraw& text)
{
    Testing::RecordedDraw draw;
    draw.kind = Testing::RecordedDraw::Kind::Text;
    draw.texture = text.pageName;
    draw.destination = Math::Rect(text.x, text.y, 0.0f, 0.0f);
    draw.argb = text.argb;
    draw.outlineArgb = text.outlineArgb;
    draw.blendMode = text.blendMode;
    draw.text = text.text;
    return draw;
}

} // namespace

void RecordFrame(const FrameList& frame)
{
    // Glyph quads are summed up by their text; every other quad is one draw.
    std::vector<Testing::RecordedDraw> draws;
    draws.reserve(frame.Quads().size());
    const auto& quads = frame.Quads();
    const auto& texts = frame.Texts();
    const auto& passes = frame.ScenePasses();
    std::vector<Testing::RecordedScene> scenes(passes.size());
    std::size_t nextText = 0;
    std::size_t nextScene = 0;
    for (std::size_t index = 0; index <= quads.size(); ++index) {
        // A 3D pass comes before a text that starts at the same quad: the text's glyphs
        // are the quads from there on, so the pass was added first.
        while (nextScene < passes.size() && passes[nextScene].quadIndex == index) {
            passes[nextScene].pass->Record(scenes[nextScene]);
            Testing::RecordedDraw draw;
            draw.kind = Testing::RecordedDraw::Kind::Scene;
            draw.scene = static_cast<std::int32_t>(nextScene++);
            draws.push_back(std::move(draw));
        }
        while (nextText < texts.size() && texts[nextText].firstQuad == index) {
            draws.push_back(FromText(texts[nextText++]));
        }
        if (index < quads.size() && quads[index].origin != DrawOrigin::Text) {
            draws.push_back(FromQuad(quads[index]));
        }
    }
    Record& record = TheRecord();
    std::lock_guard lock(record.lock);
    record.draws = std::move(draws);
    record.scenes = std::move(scenes);
    record.clearColor = frame.clearColor;
    ++record.frames;
}

void SetPixelSource(const void* owner, PixelSource source)
{
    Record& record = TheRecord();
    std::lock_guard lock(record.lock);
    record.pixelSource = std::move(source);
    record.pixelOwner = owner;
}

void WithdrawPixelSource(const void* owner)
{
    Record& record = TheRecord();
    std::lock_guard lock(record.lock);
    if (record.pixelOwner == owner) {
        record.pixelSource = nullptr;
        record.pixelOwner = nullptr;
    }
}

void ClearRecording()
{
    Record& record = TheRecord();
    std::lock_guard lock(record.lock);
    record.draws.clear();
    record.scenes.clear();
    record.clearColor = 0;
    record.frames = 0;
}

} // namespace Lumora::Internal

namespace Lumora::Testing {

std::vector<RecordedDraw> GetLastFrame()
{
    auto& record = Internal::TheRecord();
    std::lock_guard lock(record.lock);
    return record.draws;
}

std::vector<ModelShaderDraw> GetModelShaderDrawsSoFar()
{
    return Internal::ModelShaderDrawsSoFar();
}

std::vector<RecordedScene> GetLastScenes()
{
    auto& record = Internal::TheRecord();
    std::lock_guard lock(record.lock);
    return record.scenes;
}

std::uint32_t GetLastClearColor()
{
    auto& record = Internal::TheRecord();
    std::lock_guard lock(record.lock);
    return record.clearColor;
}

std::uint64_t GetFrameCount()
{
    auto& record = Internal::TheRecord();
    std::lock_guard lock(record.lock);
    return record.frames;
}

std::vector<std::uint8_t> ReadPixels(std::int32_t* width, std::int32_t* height)
{
    auto& record = Internal::TheRecord();
    std::lock_guard lock(record.lock);
    std::vector<std::uint8_t> pixels;
    std::int32_t readWidth = 0;
    std::int32_t readHeight = 0;
    if (record.frames == 0 || !record.pixelSource || !record.pixelSource(pixels, readWidth, readHeight)) {
        pixels.clear();
        readWidth = 0;
        readHeight = 0;
    }
    if (width != nullptr) {
        *width = readWidth;
    }
    if (height != nullptr) {
        *height = readHeight;
    }
    return pixels;
}

bool SavePixelsPng(const char* utf8Path)
{
    std::int32_t width = 0;
    std::int32_t height = 0;
    const std::vector<std::uint8_t> pixels = ReadPixels(&width, &height);
    if (pixels.empty()) {
        return false;
    }
    return Internal::WritePng(utf8Path, width, height, pixels.data());
}

} // namespace Lumora::Testing
