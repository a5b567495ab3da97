// A title frame in a 1280 x 960 window is the 2x pictures drawn where the 1x ones stand. The
// title's own frame is recorded on the headless engine (what it draws, where, from which
// source rectangle, in which colour); then a real window of twice the screen's size (SDL's
// offscreen driver) draws the same pictures at the same places from the same 1x files, with
// their "@2x" companions beside them, and F12 saves what it shows. The expected picture is
// composed here, by hand, from the @2x files alone: each draw's source rectangle doubled onto
// its destination doubled, texel for pixel, blended as straight-alpha pictures blend. The shot
// must match it, and must not match the 1x pictures doubled (the check that the comparison
// sees the difference). Text is left out of both (its pages are the font test's).
#include "PuzzleSceneTestSupport.h"

#include "GraphicsDevice.h"
#include "ImageCodec.h"
#include "RenderTestSupport.h"
#include "ResourceManager.h"
#include "SceneTitle.h"

#include <Lumora/ICore.h>
#include <Lumora/IGraphicsDevice.h>
#include <Lumora/IRender.h>
#include <Lumora/System.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

namespace PuzzleSceneTest {
namespace {

namespace fs = std::filesystem;
using Lumora::Testing::RecordedDraw;

std::vector<std::uint8_t> ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Lumora::Internal::DecodedImage Decode(const std::vector<std::uint8_t>& bytes)
{
    std::string error;
    auto image = Lumora::Internal::DecodeImage(bytes.data(), bytes.size(), error);
    EXPECT_TRUE(image.has_value()) << error;
    return image ? std::move(*image) : Lumora::Internal::DecodedImage{};
}

// The pack's file for a recorded texture name (the title loads from graphic/sprite).
fs::path ContentFile(const std::string& name, bool doubled)
{
    fs::path file = fs::path(PUZZLE_PACK_CONTENT) / "graphic" / "sprite" / fs::path(name).filename();
    if (doubled) {
        file.replace_filename(file.stem().string() + "@2x" + file.extension().string());
    }
    return file;
}

// RGB canvas of `scale` pixels per logical pixel, composed from the draws by hand: nearest
// texel, colour times texel, straight alpha blended over what is below.
std::vector<float> Compose(const std::vector<RecordedDraw>& draws, std::uint32_t clearArgb, int scale,
                           std::map<std::string, Lumora::Internal::DecodedImage>& pictures)
{
    const int width = 640 * scale;
    const int height = 480 * scale;
    std::vector<float> rgb(static_cast<std::size_t>(width * height) * 3);
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = static_cast<float>((clearArgb >> 16) & 0xFF);
        rgb[i + 1] = static_cast<float>((clearArgb >> 8) & 0xFF);
        rgb[i + 2] = static_cast<float>(clearArgb & 0xFF);
    }
    for (const RecordedDraw& draw : draws) {
        const Lumora::Internal::DecodedImage& picture = pictures[draw.texture];
        // The picture's texels per 1x texel: 2 for a @2x file.
        const float texelScale = static_cast<float>(picture.width) / static_cast<float>(pictures[draw.texture + "@1"].width);
        const float tint[4] = {static_cast<float>((draw.argb >> 16) & 0xFF) / 255.0f,
                               static_cast<float>((draw.argb >> 8) & 0xFF) / 255.0f,
                               static_cast<float>(draw.argb & 0xFF) / 255.0f,
                               static_cast<float>(draw.argb >> 24) / 255.0f};
        const int x0 = static_cast<int>(std::lround(draw.destination.x * static_cast<float>(scale)));
        const int y0 = static_cast<int>(std::lround(draw.destination.y * static_cast<float>(scale)));
        const int x1 = static_cast<int>(std::lround((draw.destination.x + draw.destination.width) * static_cast<float>(scale)));
        const int y1 = static_cast<int>(std::lround((draw.destination.y + draw.destination.height) * static_cast<float>(scale)));
        for (int y = std::max(y0, 0); y < std::min(y1, height); ++y) {
            for (int x = std::max(x0, 0); x < std::min(x1, width); ++x) {
                const float u = (draw.source.x + (static_cast<float>(x - x0) + 0.5f) / static_cast<float>(x1 - x0) *
                                                      draw.source.width) * texelScale;
                const float v = (draw.source.y + (static_cast<float>(y - y0) + 0.5f) / static_cast<float>(y1 - y0) *
                                                      draw.source.height) * texelScale;
                const int tx = std::clamp(static_cast<int>(std::floor(u)), 0, picture.width - 1);
                const int ty = std::clamp(static_cast<int>(std::floor(v)), 0, picture.height - 1);
                const std::uint8_t* t = &picture.rgba[(static_cast<std::size_t>(ty) * picture.width + tx) * 4];
                const float alpha = static_cast<float>(t[3]) / 255.0f * tint[3];
                float* out = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
                for (int c = 0; c < 3; ++c) {
                    out[c] = static_cast<float>(t[c]) * tint[c] * alpha + out[c] * (1.0f - alpha);
                }
            }
        }
    }
    return rgb;
}

// Pixels of `shot` (RGBA) that differ from `expected` by more than `tolerance` in a channel.
int Mismatches(const Lumora::Internal::DecodedImage& shot, const std::vector<float>& expected, float tolerance)
{
    int count = 0;
    for (std::size_t i = 0, j = 0; j < expected.size(); i += 4, j += 3) {
        for (int c = 0; c < 3; ++c) {
            if (std::fabs(static_cast<float>(shot.rgba[i + c]) - expected[j + c]) > tolerance) {
                ++count;
                break;
            }
        }
    }
    return count;
}

class TitleFramePixels : public PuzzleSceneFixture {};

TEST_F(TitleFramePixels, ATitleFrameInA2xWindowIsThe2xPicturesDrawnWhereThe1xOnesStand)
{
    ASSERT_EQ(application->GetStartupFailure(), nullptr);
    // The title's frame once its pictures have loaded and its opening wipe (one step per
    // drawn frame) has uncovered it.
    auto* title = new SceneTitle(application.get());
    Lumora::IRender* render = application->GetRender();
    for (int frame = 0; frame < 60; ++frame) {
        while (application->GetResourceManager()->IsBusy()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        Lumora::Testing::AdvanceClock(1'000'000 / 60);
        title->Update();
        render->BeginFrame();
        title->Draw();
        render->EndFrame();
    }
    std::vector<RecordedDraw> draws;
    for (const RecordedDraw& draw : Lumora::Testing::GetLastFrame()) {
        if ((draw.kind == RecordedDraw::Kind::Texture || draw.kind == RecordedDraw::Kind::Sprite) && !draw.texture.empty()) {
            draws.push_back(draw);
        }
    }
    const std::uint32_t clear = Lumora::Testing::GetLastClearColor();
    title->Release();
    application.reset();
    Lumora::Testing::DisableHeadless();
    ASSERT_GE(draws.size(), 5u) << "the title drew almost nothing";

    // The pictures: 1x and 2x files as the pack holds them.
    std::map<std::string, Lumora::Internal::DecodedImage> doubled;
    std::map<std::string, Lumora::Internal::DecodedImage> single;
    auto files = new RenderTest::MemoryFileManager();
    for (const RecordedDraw& draw : draws) {
        if (doubled.count(draw.texture) != 0) {
            continue;
        }
        const std::vector<std::uint8_t> one = ReadBytes(ContentFile(draw.texture, false));
        const std::vector<std::uint8_t> two = ReadBytes(ContentFile(draw.texture, true));
        ASSERT_FALSE(one.empty()) << ContentFile(draw.texture, false);
        ASSERT_FALSE(two.empty()) << ContentFile(draw.texture, true);
        files->Put(fs::path(draw.texture).filename().c_str(), one);
        files->Put(fs::path(ContentFile(draw.texture, true)).filename().c_str(), two);
        doubled[draw.texture] = Decode(two);
        doubled[draw.texture + "@1"] = Decode(one);
        single[draw.texture] = Decode(one);
        single[draw.texture + "@1"] = Decode(one);
    }

    // The same draws in a real window of twice the screen's size.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const fs::path shots = scratch.Path() / "shots";
    fs::create_directories(shots);
    ASSERT_NE(Lumora::System::Initialize(1, 1, 1), 0);
    Lumora::System::SetScreenshotFolder(shots.c_str());
    Lumora::ICore* core = Lumora::System::CreateCore();
    ASSERT_NE(core, nullptr);
    ASSERT_NE(core->Initialize("title", 0), 0);
    core->SetFileManager(files);
    Lumora::IGraphicsDevice* device = core->CreateGraphicsDevice(0);
    ASSERT_NE(device, nullptr);
    ASSERT_NE(core->Start(640, 480, 0), 0);
    Lumora::IRender* window = device->CreateRender(0, 1);
    ASSERT_NE(window, nullptr);
    SDL_SetWindowSize(SDL_GL_GetCurrentWindow(), 1280, 960);
    std::map<std::string, Lumora::ITexture*> textures;
    window->SetTextureLoadOptions(1, 0, 0, 0); // the title's own: pixel-exact, straight alpha
    for (const RecordedDraw& draw : draws) {
        if (textures.count(draw.texture) == 0) {
            textures[draw.texture] = window->CreateTextureFromFile(fs::path(draw.texture).filename().c_str());
            ASSERT_NE(textures[draw.texture], nullptr) << draw.texture;
        }
    }
    const auto drawFrame = [&] {
        window->SetClearColor(clear);
        window->BeginFrame();
        for (const RecordedDraw& draw : draws) {
            window->DrawTexture(draw.destination, draw.argb, draw.source, textures[draw.texture], draw.blendMode, {});
        }
        window->EndFrame();
        core->Run(0);
    };
    // The 2x companions load on the loader thread and upload one a frame.
    for (int frame = 0; frame < 3 + static_cast<int>(textures.size()); ++frame) {
        drawFrame();
        static_cast<Lumora::Internal::GraphicsDevice*>(device)->FlushHighResolution();
    }
    SDL_Event press{};
    press.type = SDL_KEYDOWN;
    press.key.keysym.sym = SDLK_F12;
    press.key.keysym.scancode = SDL_SCANCODE_F12;
    ASSERT_EQ(SDL_PushEvent(&press), 1);
    core->Run(0);
    drawFrame();
    static_cast<Lumora::Internal::GraphicsDevice*>(device)->FlushScreenshots();
    for (auto& [name, texture] : textures) {
        texture->Release();
    }
    window->Release();
    device->Release();
    files->Release();
    core->Release();
    Lumora::System::SetScreenshotFolder(nullptr);
    Lumora::System::Finalize();

    std::vector<fs::path> written;
    for (const auto& entry : fs::directory_iterator(shots)) {
        written.push_back(entry.path());
    }
    ASSERT_EQ(written.size(), 1u);
    const Lumora::Internal::DecodedImage shot = Decode(ReadBytes(written.front()));
    ASSERT_EQ(shot.width, 1280);
    ASSERT_EQ(shot.height, 960);

    const std::vector<float> fromDoubled = Compose(draws, clear, 2, doubled);
    const std::vector<float> fromSingle = Compose(draws, clear, 2, single);
    const int pixels = 1280 * 960;
    // Within 3 levels a channel: the renderer's 8-bit blend against the float one here.
    const int off = Mismatches(shot, fromDoubled, 3.0f);
    EXPECT_LT(off, pixels / 1000) << off << " pixels differ from the 2x pictures";
    const int offSingle = Mismatches(shot, fromSingle, 3.0f);
    EXPECT_GT(offSingle, 20 * std::max(off, 100)) << "the 1x pictures doubled look the same: the check sees nothing";
}

} // namespace
} // namespace PuzzleSceneTest
