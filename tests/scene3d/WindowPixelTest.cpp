// Real pixels in a real window (SDL's offscreen driver when there is no display), seen the
// way a player keeps them: through F12. A window of exactly the logical size is drawn into
// directly, 3D passes on its own depth buffer; any other size draws into the offscreen
// target and scales it in. Both must give the same picture.
#include "SceneTestSupport.h"

#include "GraphicsDevice.h"
#include "ImageCodec.h"
#include "LftFont.h"
#include "ModelShaderHost.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#if SCENE_TEST_X11
// Last: it brings Xlib and its macros.
#include <SDL_syswm.h>
#include <X11/Xutil.h>
#endif

using Lumora::Math::Rect;

namespace {

class WindowPixels : public SceneTest::SceneEngine {
protected:
    void SetUp() override
    {
        Lumora::Internal::SetModelShaderPluginDirectory(SCENE_GAME_DIR);
        folder = std::filesystem::path(::testing::TempDir()) /
                 ("lumora-window-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                  std::to_string(getpid())); // another build's suite may run this test at the same time
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
    void DrawScene(bool nearFirst, int frames = 1)
    {
        // A later call in the same test replaces the scene an earlier one made.
        for (Lumora::IActor*& actor : actors) {
            Lumora::SafeRelease(actor);
        }
        actors.clear();
        Lumora::SafeRelease(camera);
        Lumora::SafeRelease(scene);
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
        for (int frame = 0; frame < frames; ++frame) {
            DrawSceneFrame(nearFirst, white, ground, square);
        }
        white->Release();
    }

    void DrawSceneFrame(bool nearFirst, Lumora::ITexture* white, Lumora::IActor* ground, Lumora::IActor* square)
    {
        render->SetClearColor(0xFF000000);
        render->BeginFrame();
        render->DrawTexture(Rect(0, 0, 640, 480), 0xFFFFFFFF, Rect(0, 0, 1, 1), white, 0, {});
        BeginLitScene();
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

    // The scene as DrawScene lays it out, in a shot of `scale` pixels per logical pixel
    // (F12 saves the window's picture at its own resolution).
    void ExpectTheScene(int scale = 1)
    {
        ASSERT_EQ(shot.width, 640 * scale);
        ASSERT_EQ(shot.height, 480 * scale);
        const auto at = [&](int x, int y) { return At(x * scale, y * scale); };
        EXPECT_EQ(at(5, 0), 0xFF0000u);                                        // top row first
        EXPECT_EQ(At(5, scale - 1), 0xFF0000u);                                // one logical row thick
        EXPECT_TRUE(Near(at(5, 1), 0x408000)) << std::hex << at(5, 1);          // the scene's clear covers the fill
        EXPECT_TRUE(Near(at(260, 240), 0xCC0000)) << std::hex << at(260, 240);  // lit red ground
        EXPECT_TRUE(Near(at(320, 240), 0x0000CC)) << std::hex << at(320, 240);  // the nearer square, whatever the order
        EXPECT_TRUE(Near(at(320, 400), 0x0000FF)) << std::hex << at(320, 400);  // the panel on top
        EXPECT_EQ(At(640 * scale - 1, 480 * scale - 1), 0x0000FFu);
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

TEST_F(WindowPixels, AScaledWindowShowsTheSamePictureAtItsOwnResolution)
{
    SizeWindow(1280, 960);
    PressF12();
    DrawScene(false);
    ReadShot();
    ExpectTheScene(2);
}

// A renderer too slow for the window's scale, made so by the test-only cost per 3D pixel
// (40 ns: 49 ms a frame at 2x, 12 ms at 1x, besides the real drawing): after its frames have
// been measured the picture is drawn at 1x and enlarged into the same place, and the choice
// is said in one line.
class SlowRenderer : public WindowPixels {
protected:
    void SetUp() override
    {
        setenv("LUMORA_TEST_3D_PIXEL_COST_NS", "40", 1);
        WindowPixels::SetUp();
    }
    void TearDown() override
    {
        WindowPixels::TearDown();
        unsetenv("LUMORA_TEST_3D_PIXEL_COST_NS");
    }
};

TEST_F(SlowRenderer, FallsBackToTheLargestScaleThatHoldsTheFrameBudgetAndSaysSoOnce)
{
    SizeWindow(1280, 960);
    testing::internal::CaptureStderr();
    // Warm-up and median at 2x, then at the step the measured time points to, and beyond.
    DrawScene(false, 4 * 30 + 20);
    PressF12();
    DrawScene(false);
    const std::string said = testing::internal::GetCapturedStderr();
    ReadShot();
    // F12 keeps the picture as drawn: the logical size.
    ExpectTheScene(1);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("at the window's 2.00x"), std::string::npos) << said;
    EXPECT_NE(said.find("drawing at 1.00x"), std::string::npos) << said;
}

// Pictures in a large window: drawing code keeps its 1x rectangles, the engine draws them
// from the picture's 2x companion once it has loaded. The 1x picture has two columns (red,
// blue); its companion four (red, green, blue, yellow), so which one was drawn, and how a 1x
// source rectangle landed on the 2x texels, shows in the colours.
class WindowPictures : public WindowPixels {
protected:
    void PutPictures()
    {
        const std::vector<std::uint8_t> red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255},
            yellow{255, 255, 0, 255};
        std::vector<std::uint8_t> small, large;
        for (int y = 0; y < 2; ++y) {
            for (const auto* texel : {&red, &blue}) small.insert(small.end(), texel->begin(), texel->end());
        }
        for (int y = 0; y < 4; ++y) {
            for (const auto* texel : {&red, &green, &blue, &yellow}) large.insert(large.end(), texel->begin(), texel->end());
        }
        files->Put("columns.png", RenderTest::Png(2, 2, small));
        files->Put("columns@2x.png", RenderTest::Png(4, 4, large));
        picture = render->CreateTextureFromFile("columns.png");
        ASSERT_NE(picture, nullptr);
    }

    // The whole picture at (0, 0) and its right column alone at (200, 0), 64 x 64 logical
    // pixels each, in blend mode 0 (texel-exact at whole scales); F12 on the frame.
    void DrawPictures()
    {
        PressF12();
        render->SetClearColor(0xFF000000);
        render->BeginFrame();
        render->SetBlendMode(0);
        render->DrawTexture(Rect(0, 0, 64, 64), 0xFFFFFFFF, Rect(0, 0, 2, 2), picture, 0, {});
        render->DrawTexture(Rect(200, 0, 64, 64), 0xFFFFFFFF, Rect(1, 0, 1, 2), picture, 0, {});
        render->EndFrame();
        static_cast<Lumora::Internal::GraphicsDevice*>(device)->FlushScreenshots();
    }

    // Decodes the newest screenshot (ReadShot's sibling that keeps the engine running).
    void ReadNewestShot()
    {
        std::filesystem::path newest;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (newest.empty() || entry.path().filename() > newest.filename()) {
                newest = entry.path();
            }
        }
        ASSERT_FALSE(newest.empty());
        std::ifstream in(newest, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        in.close();
        std::string error;
        auto image = Lumora::Internal::DecodeImage(bytes.data(), bytes.size(), error);
        ASSERT_TRUE(image.has_value()) << error;
        shot = std::move(*image);
        std::filesystem::remove(newest);
    }

    void TearDown() override
    {
        Lumora::SafeRelease(picture);
        WindowPixels::TearDown();
    }

    Lumora::ITexture* picture = nullptr;
};

TEST_F(WindowPictures, A1xWindowNeverLoadsThe2xPictures)
{
    PutPictures();
    DrawPictures();
    DrawPictures();
    auto* device2 = static_cast<Lumora::Internal::GraphicsDevice*>(device);
    device2->FlushHighResolution();
    EXPECT_EQ(static_cast<Lumora::Internal::Texture*>(picture)->HighResolution(), nullptr);
    ReadNewestShot();
    ASSERT_EQ(shot.width, 640);
    EXPECT_EQ(At(16, 10), 0xFF0000u);
    EXPECT_EQ(At(48, 10), 0x0000FFu);
    EXPECT_EQ(At(232, 10), 0x0000FFu);
}

TEST_F(WindowPictures, ALargeWindowDrawsFromThe2xPictureOnceLoadedMappingEach1xRectangle)
{
    SizeWindow(1280, 960);
    PutPictures();
    // The first frame asks for the companion and shows the 1x texels meanwhile.
    DrawPictures();
    ReadNewestShot();
    ASSERT_EQ(shot.width, 1280);
    EXPECT_EQ(At(48, 20), 0xFF0000u) << std::hex << At(48, 20);
    EXPECT_EQ(At(80, 20), 0x0000FFu) << std::hex << At(80, 20);
    static_cast<Lumora::Internal::GraphicsDevice*>(device)->FlushHighResolution();
    DrawPictures();
    ReadNewestShot();
    ASSERT_EQ(shot.width, 1280);
    // 2x texel columns of 32 pixels each: red, green, blue, yellow.
    EXPECT_EQ(At(16, 20), 0xFF0000u) << std::hex << At(16, 20);
    EXPECT_EQ(At(48, 20), 0x00FF00u) << std::hex << At(48, 20);
    EXPECT_EQ(At(80, 20), 0x0000FFu) << std::hex << At(80, 20);
    EXPECT_EQ(At(112, 20), 0xFFFF00u) << std::hex << At(112, 20);
    // The 1x column (1, 0, 1, 2) is 2x texels 2 and 3, 64 pixels each here: blue then
    // yellow, nothing of green.
    EXPECT_EQ(At(400, 20), 0x0000FFu) << std::hex << At(400, 20);
    EXPECT_EQ(At(463, 20), 0x0000FFu) << std::hex << At(463, 20);
    EXPECT_EQ(At(464, 20), 0xFFFF00u) << std::hex << At(464, 20);
    EXPECT_EQ(At(527, 20), 0xFFFF00u) << std::hex << At(527, 20);
    EXPECT_EQ(At(528, 20), 0u);
}

TEST_F(WindowPictures, AFullscreenScaleThatIsNoWholeNumberFillsTheHeightFromThe2xPicture)
{
    SizeWindow(1920, 1080);
    PutPictures();
    DrawPictures();
    static_cast<Lumora::Internal::GraphicsDevice*>(device)->FlushHighResolution();
    DrawPictures();
    ReadNewestShot();
    // 2.25 pixels per logical pixel: a 1440 x 1080 picture, every 2x texel 36 pixels wide,
    // filtered (a texel's middle is its own colour within a few steps).
    ASSERT_EQ(shot.width, 1440);
    ASSERT_EQ(shot.height, 1080);
    EXPECT_TRUE(SceneTest::NearRgb(At(18, 20), 0xFF0000, 8)) << std::hex << At(18, 20);
    EXPECT_TRUE(SceneTest::NearRgb(At(54, 20), 0x00FF00, 8)) << std::hex << At(54, 20);
    EXPECT_TRUE(SceneTest::NearRgb(At(90, 20), 0x0000FF, 8)) << std::hex << At(90, 20);
    EXPECT_TRUE(SceneTest::NearRgb(At(126, 20), 0xFFFF00, 8)) << std::hex << At(126, 20);
}

// A mipmapped picture in a 2x window, smooth mode (its own filter): drawn at its size its 2x
// texels land one on a pixel whatever the sampler; shrunk 6.4 times it must still come from
// the smaller levels (an even grey), not from level 0 alone.
TEST_F(WindowPictures, A2xPictureShrunkStillSamplesItsMipmapsAndOneAtItsSizeShowsEachTexel)
{
    SizeWindow(1280, 960);
    const auto checker = [](int side) {
        std::vector<std::uint8_t> texels;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const std::uint8_t v = (x + y) % 2 == 0 ? 0 : 255;
                texels.insert(texels.end(), {v, v, v, 255});
            }
        }
        return texels;
    };
    files->Put("checker.png", RenderTest::Png(64, 64, checker(64)));
    files->Put("checker@2x.png", RenderTest::Png(128, 128, checker(128)));
    render->SetTextureLoadOptions(3, 0, 1, 0);
    picture = render->CreateTextureFromFile("checker.png");
    ASSERT_NE(picture, nullptr);
    const auto draw = [&](const Rect& where) {
        PressF12();
        render->SetClearColor(0xFFFF0000);
        render->BeginFrame();
        render->SetBlendMode(1);
        render->DrawTexture(where, 0xFFFFFFFF, Rect(0, 0, 64, 64), picture, 0, {});
        render->EndFrame();
        static_cast<Lumora::Internal::GraphicsDevice*>(device)->FlushScreenshots();
    };
    draw(Rect(100, 100, 10, 10));
    static_cast<Lumora::Internal::GraphicsDevice*>(device)->FlushHighResolution();
    ASSERT_NE(static_cast<Lumora::Internal::Texture*>(picture)->HighResolution(), nullptr);
    draw(Rect(100, 100, 10, 10));
    ReadNewestShot();
    ASSERT_EQ(shot.width, 1280);
    for (int y = 200; y < 220; ++y) {
        for (int x = 200; x < 220; ++x) {
            EXPECT_TRUE(SceneTest::NearRgb(At(x, y), 0x808080, 4)) << std::hex << At(x, y) << " at " << std::dec << x << "," << y;
        }
    }
    draw(Rect(300, 100, 64, 64));
    ReadNewestShot();
    for (int y = 200; y < 328; y += 7) {
        for (int x = 600; x < 728; x += 5) {
            EXPECT_EQ(At(x, y), (x + y) % 2 == 0 ? 0u : 0xFFFFFFu) << x << "," << y;
        }
    }
}

// Text in a 2x window from the font's 2x page: a glyph whose edge is one half-covered texel
// on each side, on the 1x page and on the 2x page alike (the baker's antialiasing is a pixel
// wide at either size). Drawn at the window's resolution the row across it is the 2x page's
// row, texel for pixel, so each edge is one pixel wide; the 1x page enlarged makes it two.
class WindowText : public WindowPictures {
protected:
    // Coverage of the glyph's columns (every row the same), 0 to 255, on a page of `scale`
    // times the 1x size: the same shape, each edge one texel of its own page.
    static std::vector<std::uint8_t> Coverage(int scale)
    {
        if (scale == 1) {
            return {0, 0, 128, 255, 255, 255, 128, 0};
        }
        return {0, 0, 0, 0, 0, 128, 255, 255, 255, 255, 255, 255, 128, 0, 0, 0};
    }

    // A page of side 16 x scale: the glyph's cell at the top left, channel 0 its coverage,
    // channel 1 (the outline) full, as the baker hands a grey + alpha page.
    static std::vector<std::uint8_t> Page(int scale)
    {
        const int side = 16 * scale;
        const std::vector<std::uint8_t> columns = Coverage(scale);
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(side * side) * 4, 0);
        for (int y = 0; y < 8 * scale; ++y) {
            for (int x = 0; x < 8 * scale; ++x) {
                std::uint8_t* p = &rgba[static_cast<std::size_t>(y * side + x) * 4];
                p[0] = p[1] = p[2] = columns[static_cast<std::size_t>(x)];
                p[3] = 255;
            }
        }
        return rgba;
    }

    Lumora::IFont* MakeFont()
    {
        using namespace Lumora::Internal;
        LftFontData data;
        data.lineHeight = 16;
        data.ascent = 12;
        data.pageCount = 1;
        data.pageWidth = 16;
        data.pageHeight = 16;
        data.outlineWidth = 2;
        data.fallbackCode = '?';
        data.glyphs.push_back(LftGlyph{'?', 0, 8, 8, 8, 8, 0, 12, 8});
        data.glyphs.push_back(LftGlyph{'A', 0, 0, 0, 8, 8, 0, 12, 8});
        files->Put("Test.lft", EncodeLft(data));
        files->Put("Test_0.tga", RenderTest::Tga(16, 16, Page(1)));
        files->Put("Test_0@2x.tga", RenderTest::Tga(32, 32, Page(2)));
        return render->CreateFont("Test.lft", "tga", 64, 1, 64);
    }

    // 'A' at (100, 50), red fill over a black outline on black: a pixel's red is the fill
    // coverage it was drawn with.
    void DrawGlyph(Lumora::IFont* font)
    {
        PressF12();
        render->SetClearColor(0xFF000000);
        render->BeginFrame();
        font->Begin(0);
        font->DrawText("A", 100, 50, 0xFFFF0000, 0xFF000000);
        font->End();
        font->Render();
        render->EndFrame();
        static_cast<Lumora::Internal::GraphicsDevice*>(device)->FlushScreenshots();
    }

    // Pixels of a row whose coverage is neither none nor full.
    template <typename Values>
    static int EdgePixels(const Values& values)
    {
        return static_cast<int>(std::count_if(values.begin(), values.end(), [](int v) { return v > 8 && v < 247; }));
    }
};

TEST_F(WindowText, AGlyphRowInA2xWindowIsThe2xPagesRowWithEdgesAsNarrow)
{
    SizeWindow(1280, 960);
    Lumora::IFont* font = MakeFont();
    ASSERT_NE(font, nullptr);
    ASSERT_EQ(font->IsInvalid(), 0);
    // The page is decoded on its first use, and its 2x page asked for when it is drawn.
    for (int frame = 0; frame < 3; ++frame) {
        DrawGlyph(font);
        static_cast<Lumora::Internal::GraphicsDevice*>(device)->FlushHighResolution();
    }
    DrawGlyph(font);
    ReadNewestShot();
    font->Release();
    ASSERT_EQ(shot.width, 1280);
    const std::vector<std::uint8_t> page = Coverage(2);
    std::vector<int> drawn;
    for (int x = 0; x < 16; ++x) {
        drawn.push_back(static_cast<int>(At(200 + x, 108) >> 16));
    }
    for (int x = 0; x < 16; ++x) {
        EXPECT_NEAR(drawn[static_cast<std::size_t>(x)], page[static_cast<std::size_t>(x)], 4) << "column " << x;
    }
    // One pixel of edge on each side, as on the 2x page (the 1x page doubled: two).
    EXPECT_EQ(EdgePixels(drawn), EdgePixels(page));
    EXPECT_EQ(EdgePixels(page), 2);
}

// The 3D scene at a window's resolution, not enlarged: a blue square turned 45 degrees on a
// black clear has a silhouette with twice as many edge pixels in a 2x window as in a 1x
// one, and at 2x its edge crosses 2 x 2 blocks, which an enlarged 1x frame never does.
class WindowSilhouette : public WindowPixels {
protected:
    struct Edges {
        long long pixels = 0;      // blue pixels with a neighbour (right or below) that is not
        long long mixedBlocks = 0; // 2 x 2 blocks, at even positions, holding both
    };

    Edges DrawAndCount()
    {
        MakeScene(16, {0, 100, -10}, {0, 0, 0}, 1000.0f);
        SceneTest::QuadSpec blue;
        blue.halfSize = 20.0f;
        blue.color[0] = blue.color[1] = 0.0f;
        Lumora::IActor* square = scene->CreateActor(PutModel("diamond.lmd", blue));
        actors = {square};
        PressF12();
        render->SetClearColor(0xFF000000);
        render->BeginFrame();
        BeginLitScene(0xFF000000);
        Place(square, 0, 0, 0, 8192);
        scene->End();
        scene->Render(0);
        render->EndFrame();
        ReadShot();
        Edges edges;
        const auto isBlue = [&](int x, int y) { return (At(x, y) & 0xFF) > 0x66; };
        for (int y = 0; y + 1 < shot.height; ++y) {
            for (int x = 0; x + 1 < shot.width; ++x) {
                if (isBlue(x, y) && (!isBlue(x + 1, y) || !isBlue(x, y + 1))) {
                    ++edges.pixels;
                }
                if (x % 2 == 0 && y % 2 == 0) {
                    const int count = isBlue(x, y) + isBlue(x + 1, y) + isBlue(x, y + 1) + isBlue(x + 1, y + 1);
                    edges.mixedBlocks += count != 0 && count != 4;
                }
            }
        }
        return edges;
    }
};

TEST_F(WindowSilhouette, A2xWindowDrawsTheSceneWithTwiceTheEdgePixels)
{
    const Edges small = DrawAndCount();
    ASSERT_GT(small.pixels, 100) << "the square is missing";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    BootEngine();
    SizeWindow(1280, 960);
    const Edges large = DrawAndCount();
    const double ratio = static_cast<double>(large.pixels) / static_cast<double>(small.pixels);
    EXPECT_GT(ratio, 1.8);
    EXPECT_LT(ratio, 2.2);
    // An enlarged frame has no mixed blocks at all; a drawn one has about one per edge pixel.
    EXPECT_GT(large.mixedBlocks, small.pixels / 2);
}

#if SCENE_TEST_X11
// What a player sees under X with no window manager (kiosk sessions, bare Xvfb): F11 asks the
// server for fullscreen and nobody carries it out, yet SDL goes on reporting the screen's size.
// The picture must stay fitted to the window as it really is, read back from the X server
// itself. Runs when SDL is on X (the CTest entry starts its own Xvfb without a manager).
class WindowUnderX : public RenderTest::HeadlessEngine {
protected:
    void SetUp() override
    {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display";
        }
        setenv("SDL_VIDEODRIVER", "x11", 1);
        BootWindowed();
        if (render == nullptr) {
            return;
        }
        SDL_Window* window = SDL_GL_GetCurrentWindow();
        ASSERT_NE(window, nullptr);
        SDL_VERSION(&info.version);
        ASSERT_EQ(SDL_GetWindowWMInfo(window, &info), SDL_TRUE);
        ASSERT_EQ(info.subsystem, SDL_SYSWM_X11);
        files->Put("white.png", RenderTest::Png(1, 1, {255, 255, 255, 255}));
        white = render->CreateTextureFromFile("white.png");
        ASSERT_NE(white, nullptr);
    }

    void TearDown() override
    {
        Lumora::SafeRelease(white);
        HeadlessEngine::TearDown();
        unsetenv("SDL_VIDEODRIVER");
    }

    // Lets the core read its events for a while, as the main loop does between frames; a
    // window manager, where there is one, has answered by then.
    void Pump(int milliseconds)
    {
        for (int waited = 0; waited < milliseconds; waited += 10) {
            ASSERT_NE(core->Run(0), 0);
            SDL_Delay(10);
        }
    }

    void PressF11()
    {
        SDL_Event press{};
        press.type = SDL_KEYDOWN;
        press.key.keysym.sym = SDLK_F11;
        press.key.keysym.scancode = SDL_SCANCODE_F11;
        ASSERT_EQ(SDL_PushEvent(&press), 1);
        Pump(300);
    }

    // A red screen with a green square in its top-left corner and a blue one in its
    // bottom-right corner, 8 logical pixels each. Two frames: Mesa's software renderer takes
    // up a window's new size at the swap after it changed (as a running game does, one
    // frame late).
    void DrawCorners()
    {
        for (int frame = 0; frame < 2; ++frame) {
            render->SetClearColor(0xFF000000);
            render->BeginFrame();
            render->DrawTexture(Rect(0, 0, 640, 480), 0xFFFF0000, Rect(0, 0, 1, 1), white, 0, {});
            render->DrawTexture(Rect(0, 0, 8, 8), 0xFF00FF00, Rect(0, 0, 1, 1), white, 0, {});
            render->DrawTexture(Rect(632, 472, 8, 8), 0xFF0000FF, Rect(0, 0, 1, 1), white, 0, {});
            render->EndFrame();
        }
    }

    // The window's pixels as the X server holds them, and its real size.
    void ReadWindow()
    {
        Display* display = info.info.x11.display;
        XSync(display, False);
        XWindowAttributes attributes{};
        ASSERT_NE(XGetWindowAttributes(display, info.info.x11.window, &attributes), 0);
        windowWidth = attributes.width;
        windowHeight = attributes.height;
        XImage* image = XGetImage(display, info.info.x11.window, 0, 0, static_cast<unsigned>(windowWidth),
                                  static_cast<unsigned>(windowHeight), AllPlanes, ZPixmap);
        ASSERT_NE(image, nullptr);
        pixels.assign(static_cast<std::size_t>(windowWidth) * static_cast<std::size_t>(windowHeight), 0);
        for (int y = 0; y < windowHeight; ++y) {
            for (int x = 0; x < windowWidth; ++x) {
                pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(windowWidth) + static_cast<std::size_t>(x)] =
                    static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu;
            }
        }
        XDestroyImage(image);
    }

    std::uint32_t At(int x, int y) const
    {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(windowWidth) + static_cast<std::size_t>(x)];
    }

    // The picture sits at the largest whole scale that fits the real window, centred: its
    // corners are where that says, and the bars (if any) are black.
    void ExpectTheFrameFitted()
    {
        const int scale = std::min(windowWidth / 640, windowHeight / 480);
        ASSERT_GE(scale, 1);
        const int left = (windowWidth - 640 * scale) / 2;
        const int top = (windowHeight - 480 * scale) / 2;
        const int right = left + 640 * scale - 1;
        const int bottom = top + 480 * scale - 1;
        EXPECT_EQ(At(left, top), 0x00FF00u) << std::hex << At(left, top);
        EXPECT_EQ(At(left + 8 * scale - 1, top + 8 * scale - 1), 0x00FF00u);
        EXPECT_EQ(At(left + 8 * scale, top), 0xFF0000u);
        EXPECT_EQ(At(right, bottom), 0x0000FFu) << std::hex << At(right, bottom);
        EXPECT_EQ(At(right - 8 * scale, bottom), 0xFF0000u);
        EXPECT_EQ(At(windowWidth / 2, windowHeight / 2), 0xFF0000u);
        if (left > 0) {
            EXPECT_EQ(At(left - 1, windowHeight / 2), 0u);
        }
        if (top > 0) {
            EXPECT_EQ(At(windowWidth / 2, top - 1), 0u);
        }
    }

    SDL_SysWMinfo info{};
    Lumora::ITexture* white = nullptr;
    int windowWidth = 0;
    int windowHeight = 0;
    std::vector<std::uint32_t> pixels;
};

TEST_F(WindowUnderX, TheFrameFitsTheRealWindowWhetherFullscreenIsGrantedOrRefused)
{
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    SDL_SetWindowSize(window, 1280, 960);
    Pump(200);
    DrawCorners();
    ReadWindow();
    ASSERT_EQ(windowWidth, 1280);
    ASSERT_EQ(windowHeight, 960);
    {
        SCOPED_TRACE("windowed 1280 x 960");
        ExpectTheFrameFitted();
    }
    PressF11();
    DrawCorners();
    ReadWindow();
    {
        SCOPED_TRACE("after F11: " + std::to_string(windowWidth) + " x " + std::to_string(windowHeight));
        ExpectTheFrameFitted();
    }
    PressF11();
    DrawCorners();
    ReadWindow();
    {
        SCOPED_TRACE("after F11 again: " + std::to_string(windowWidth) + " x " + std::to_string(windowHeight));
        ExpectTheFrameFitted();
    }
}
#endif

} // namespace
