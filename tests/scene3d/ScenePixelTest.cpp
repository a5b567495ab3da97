// Real pixels of a 3D pass through offscreen OpenGL and the game's model shaders.
#include "SceneTestSupport.h"

#include "ModelShaderHost.h"

#include <cstdlib>

using Lumora::Math::Rect;
using Lumora::Math::Vector3D;
using Lumora::Math::Vector4D;

namespace {

class ScenePixels : public SceneTest::SceneEngine {
protected:
    void SetUp() override
    {
        Lumora::Internal::SetModelShaderPluginDirectory(SCENE_GAME_DIR);
        Boot(true);
    }

    // Top view as the game's TopView camera: 100 above the origin, 10 units towards larger
    // rows (-Z), so row 0 is at the top of the screen and +X on the right, as on the map.
    void LitScene()
    {
        MakeScene(16, {0, 100, -10}, {0, 0, 0}, 1000.0f);
        SceneTest::QuadSpec red;
        red.halfSize = 20.0f;
        red.color[1] = red.color[2] = 0.0f;
        SceneTest::QuadSpec blue;
        blue.halfSize = 10.0f;
        blue.height = 10.0f;
        blue.color[0] = blue.color[1] = 0.0f;
        ground = scene->CreateActor(PutModel("ground.lmd", red));
        glass = scene->CreateActor(PutModel("glass.lmd", blue));
        actors = {ground, glass};
        // Straight down at 0.6 and 0.2 ambient: a face turned up gets 0.8.
        glass->SetMaterialTransparent(0, 0, 1);
        glass->SetMaterialColor(0, 0, Vector4D(0, 0, 1, 0.6f));
    }

    void DrawFrame()
    {
        render->SetClearColor(0xFF000000);
        render->BeginFrame();
        scene->Reset();
        scene->SetBackgroundColor(0xFF408000, 1);
        scene->SetDirectionalLight({0, -1, 0}, {0.6f, 0.6f, 0.6f});
        scene->SetAmbientLight({0.1f, 0.1f, 0.1f}, {0.3f, 0.3f, 0.3f});
        scene->Begin(0);
        Place(ground, 0, 0, 0);
        Place(glass, 15, 0, 0);
        scene->End();
        scene->Render(0);
        render->EndFrame();
    }

    std::uint32_t At(int x, int y)
    {
        if (pixels.empty()) {
            pixels = Lumora::Testing::ReadPixels();
        }
        const std::size_t i = (static_cast<std::size_t>(y) * 640 + static_cast<std::size_t>(x)) * 4;
        if (i + 2 >= pixels.size()) {
            return 0xDEADu;
        }
        return (static_cast<std::uint32_t>(pixels[i]) << 16) | (pixels[i + 1] << 8) | pixels[i + 2];
    }

    static bool Near(std::uint32_t rgb, std::uint32_t expected) { return SceneTest::NearRgb(rgb, expected); }

    Lumora::IActor* ground = nullptr;
    Lumora::IActor* glass = nullptr;
    std::vector<std::uint8_t> pixels;
};

TEST_F(ScenePixels, ALitModelUnderASixtyPercentOneFromAboveBlendsAndTheRestIsBackground)
{
    LitScene();
    DrawFrame();
    // World x maps to about 5.8 pixels a unit at the ground (100 units away) and 6.4 at
    // the glass (90 away): the ground spans x 204..436, the glass (at +X) x 352..481.
    EXPECT_TRUE(Near(At(20, 240), 0x408000)) << std::hex << At(20, 240);     // background
    EXPECT_TRUE(Near(At(260, 240), 0xCC0000)) << std::hex << At(260, 240);   // lit red: 0.8
    // Blue at 0.8 x 0.6 over the lit red x 0.4.
    EXPECT_TRUE(Near(At(400, 240), 0x51007A)) << std::hex << At(400, 240);
    // Over the background: 0.6 x blue + 0.4 x background.
    EXPECT_TRUE(Near(At(465, 240), 0x19337A)) << std::hex << At(465, 240);
}

TEST_F(ScenePixels, TwoDDrawsAfterTheSceneLieOnTopAndOnesBeforeAreCovered)
{
    LitScene();
    files->Put("white.png", RenderTest::Png(1, 1, {255, 255, 255, 255}));
    Lumora::ITexture* white = render->CreateTextureFromFile("white.png");
    ASSERT_NE(white, nullptr);
    render->BeginFrame();
    render->DrawTexture(Rect(0, 0, 640, 480), 0xFFFFFFFF, Rect(0, 0, 1, 1), white, 0, {});
    BeginLitScene();
    Place(ground, 0, 0, 0);
    scene->Render(0);
    render->DrawTexture(Rect(0, 380, 640, 100), 0xFF0000FF, Rect(0, 0, 1, 1), white, 0, {});
    render->EndFrame();
    EXPECT_TRUE(Near(At(20, 100), 0x408000)) << std::hex << At(20, 100);   // the scene's clear covers the fill
    EXPECT_TRUE(Near(At(260, 240), 0xCC0000)) << std::hex << At(260, 240);
    EXPECT_TRUE(Near(At(320, 400), 0x0000FF)) << std::hex << At(320, 400); // the panel on top
    white->Release();
}

TEST_F(ScenePixels, AMissingShaderPluginSkipsMaterialsWithOneLineNotABlackScreen)
{
    Lumora::Internal::SetModelShaderPluginDirectory("/nonexistent/plugins");
    LitScene();
    testing::internal::CaptureStderr();
    DrawFrame();
    DrawFrame();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Tessera.lmp"), std::string::npos) << said;
    // One line for the one reason, although two option sets (opaque and transparent) miss
    // their shaders and two frames are drawn.
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_TRUE(Near(At(260, 240), 0x408000)) << std::hex << At(260, 240);
}

} // namespace

namespace {

TEST_F(ScenePixels, AnAnimatedModelIsDrawnInThePoseOfItsFrameAndTurnedActorsMatchPlacedOnes)
{
    MakeScene(16, {0, 100, -10}, {0, 0, 0}, 1000.0f);
    SceneTest::QuadSpec spec;
    spec.halfSize = 20.0f;
    spec.color[1] = spec.color[2] = 0.0f;
    spec.animated = true; // animation 3 lifts the square 10 units over 40 frames
    Lumora::IActor* actor = scene->CreateActor(PutModel("lift.lmd", spec));
    actors = {actor};
    auto frame = [&](float at, std::int32_t angle) {
        render->BeginFrame();
        BeginLitScene();
        actor->SetAnimation(3, at);
        Place(actor, 0, 0, 0, angle);
        scene->Render(0);
        render->EndFrame();
        pixels.clear();
    };
    // Edges at x = 320 +- 116 on the floor, +- 129 when lifted 10 nearer the eye.
    frame(0.0f, 0);
    EXPECT_TRUE(Near(At(430, 240), 0xCC0000)) << std::hex << At(430, 240);
    EXPECT_TRUE(Near(At(443, 240), 0x408000)) << std::hex << At(443, 240);
    frame(40.0f, 0);
    EXPECT_TRUE(Near(At(443, 240), 0xCC0000)) << std::hex << At(443, 240);
    EXPECT_TRUE(Near(At(197, 240), 0xCC0000)) << std::hex << At(197, 240);
    // A quarter turn of a square about its centre covers the same pixels; its upward face
    // stays lit the same (culling keeps the front faces whichever way it turns).
    frame(40.0f, 16384);
    EXPECT_TRUE(Near(At(443, 240), 0xCC0000)) << std::hex << At(443, 240);
    EXPECT_TRUE(Near(At(320, 120), 0xCC0000)) << std::hex << At(320, 120);
    EXPECT_TRUE(Near(At(455, 240), 0x408000)) << std::hex << At(455, 240);
}

} // namespace
