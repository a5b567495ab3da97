// Real pixels in a real window (SDL's offscreen driver when there is no display), seen the
// way a player keeps them: through F12. A window of exactly the logical size is drawn into
// directly, 3D passes on its own depth buffer; any other size draws into the offscreen
// target and scales it in. Both must give the same picture.
#include "SceneTestSupport.h"

#include "ImageCodec.h"
#include "ModelShaderHost.h"

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using Lumora::Math::Rect;

namespace {

class WindowPixels : public SceneTest::SceneEngine {
protected:
    void SetUp() override
    {
        Lumora::Internal::SetModelShaderPluginDirectory(SCENE_GAME_DIR);
        folder = std::filesystem::path(::testing::TempDir()) /
                 ("lumora-window-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        Lumora::System::SetScreenshotFolder(folder.c_str());
        BootWindowed();
    }

    void TearDown() override
    {
        SceneEngine::TearDown();
        Lumora::System::SetScreenshotFolder(nullptr);
        std::filesystem::remove_all(folder);
    }

    static void SizeWindow(int width, int height)
    {
        SDL_Window* window = SDL_GL_GetCurrentWindow();
        ASSERT_NE(window, nullptr);
        SDL_SetWindowSize(window, width, height);
        int drawableWidth = 0;
        int drawableHeight = 0;
        SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
        ASSERT_EQ(drawableWidth, width);
        ASSERT_EQ(drawableHeight, height);
    }

    // F12 as a player presses it: the core reads it from the window's events and the next
    // frame is written.
    void PressF12()
    {
        SDL_Event press{};
        press.type = SDL_KEYDOWN;
        press.key.keysym.sym = SDLK_F12;
        press.key.keysym.scancode = SDL_SCANCODE_F12;
        ASSERT_EQ(SDL_PushEvent(&press), 1);
        ASSERT_NE(core->Run(0), 0);
    }

    // A red ground (far) and a small blue square 10 units nearer the eye, from above as the
    // puzzle's top view; the model placed first is drawn first. A white fill before the scene
    // (covered by its clear), a red top row and a blue bottom panel after it.
    void DrawScene(bool nearFirst)
    {
        MakeScene(16, {0, 100, -10}, {0, 0, 0}, 1000.0f);
        SceneTest::QuadSpec red;
        red.halfSize = 20.0f;
        red.color[1] = red.color[2] = 0.0f;
        SceneTest::QuadSpec blue;
        blue.halfSize = 8.0f;
        blue.height = 10.0f;
        blue.color[0] = blue.color[1] = 0.0f;
        Lumora::IActor* ground = scene->CreateActor(PutModel(nearFirst ? "b.lmd" : "a.lmd", red));
        Lumora::IActor* square = scene->CreateActor(PutModel(nearFirst ? "a.lmd" : "b.lmd", blue));
        actors = {ground, square};
        files->Put("white.png", RenderTest::Png(1, 1, {255, 255, 255, 255}));
        Lumora::ITexture* white = render->CreateTextureFromFile("white.png");
        ASSERT_NE(white, nullptr);
        render->SetClearColor(0xFF000000);
        render->BeginFrame();
        render->DrawTexture(Rect(0, 0, 640, 480), 0xFFFFFFFF, Rect(0, 0, 1, 1), white, 0, {});
        scene->Reset();
        scene->SetBackgroundColor(0xFF408000, 1);
        scene->SetDirectionalLight({0, -1, 0}, {0.6f, 0.6f, 0.6f});
        scene->SetAmbientLight({0.2f, 0.2f, 0.2f}, {0.2f, 0.2f, 0.2f});
        scene->Begin(0);
        if (nearFirst) {
            Place(square, 0, 0, 0);
            Place(ground, 0, 0, 0);
        } else {
            Place(ground, 0, 0, 0);
            Place(square, 0, 0, 0);
        }
        scene->End();
        scene->Render(0);
        render->DrawTexture(Rect(0, 0, 640, 1), 0xFFFF0000, Rect(0, 0, 1, 1), white, 0, {});
        render->DrawTexture(Rect(0, 380, 640, 100), 0xFF0000FF, Rect(0, 0, 1, 1), white, 0, {});
        render->EndFrame();
        white->Release();
    }

    // Releases the scene, render and device (which waits for the screenshot writer) and
    // decodes the one screenshot in the folder.
    void ReadShot()
    {
        SceneEngine::TearDown();
        int shots = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            ++shots;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::string error;
            auto image = Lumora::Internal::DecodeImage(bytes.data(), bytes.size(), error);
            ASSERT_TRUE(image.has_value()) << error;
            shot = std::move(*image);
        }
        ASSERT_EQ(shots, 1);
    }

    std::uint32_t At(int x, int y) const
    {
        const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(shot.width) + static_cast<std::size_t>(x)) * 4;
        return (static_cast<std::uint32_t>(shot.rgba[i]) << 16) | (shot.rgba[i + 1] << 8) | shot.rgba[i + 2];
    }

    static bool Near(std::uint32_t rgb, std::uint32_t expected) { return SceneTest::NearRgb(rgb, expected); }

    void ExpectTheScene()
    {
        ASSERT_EQ(shot.width, 640);
        ASSERT_EQ(shot.height, 480);
        EXPECT_EQ(At(5, 0), 0xFF0000u);                                        // top row first
        EXPECT_TRUE(Near(At(5, 1), 0x408000)) << std::hex << At(5, 1);          // the scene's clear covers the fill
        EXPECT_TRUE(Near(At(260, 240), 0xCC0000)) << std::hex << At(260, 240);  // lit red ground
        EXPECT_TRUE(Near(At(320, 240), 0x0000CC)) << std::hex << At(320, 240);  // the nearer square, whatever the order
        EXPECT_TRUE(Near(At(320, 400), 0x0000FF)) << std::hex << At(320, 400);  // the panel on top
        EXPECT_EQ(At(639, 479), 0x0000FFu);
    }

    std::filesystem::path folder;
    Lumora::Internal::DecodedImage shot;
};

TEST_F(WindowPixels, AWindowOfTheScreenSizeShowsTheSceneWithItsDepthWhicheverIsDrawnFirst)
{
    for (bool nearFirst : {true, false}) {
        SCOPED_TRACE(nearFirst ? "near square first" : "near square last");
        if (render == nullptr) {
            BootEngine();
        }
        // A frame in a larger window first, as when a player shrinks a maximised window: the
        // offscreen target exists, and must not be drawn into any more.
        SizeWindow(1280, 960);
        render->BeginFrame();
        render->EndFrame();
        SizeWindow(640, 480);
        PressF12();
        DrawScene(nearFirst);
        ReadShot();
        ExpectTheScene();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
}

TEST_F(WindowPixels, AScaledWindowShowsTheSamePicture)
{
    SizeWindow(1280, 960);
    PressF12();
    DrawScene(false);
    ReadShot();
    ExpectTheScene();
}

} // namespace
