// The shared drawing components and the timing of the front-end screens, without an
// Application: the wipe, the tiled background, the start-up fades and the retry pause.
#include "BackGroundTileRender.h"
#include "CommonSounds.h"
#include "EffectWipe.h"
#include "DrawLog.h"
#include "SceneRetryWait.h"
#include "SceneStartup.h"

#include <Lumora/Testing.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

// A bare root to hang screens under.
class TestRoot : public Scene {
public:
    TestRoot() : Scene(nullptr) {}
    std::int32_t GetSceneId() override { return SceneIdRoot; }
};

TEST(EffectWipeTest, UncoversTheScreenIn10DrawsAndThenDrawsNothing)
{
    DrawLog render;
    EffectWipe wipe(&render);
    for (int frame = 0; frame < 11; ++frame) {
        wipe.Draw();
    }
    ASSERT_EQ(render.draws.size(), 11u);
    EXPECT_FLOAT_EQ(render.draws[0].destination.height, 480.0f);
    EXPECT_FLOAT_EQ(render.draws[1].destination.height, 432.0f);
    EXPECT_FLOAT_EQ(render.draws[9].destination.height, 48.0f);
    EXPECT_FLOAT_EQ(render.draws[10].destination.height, 0.0f) << "the 11th draw covers nothing";
    EXPECT_EQ(wipe.GetPosition(), 480);
    wipe.Draw();
    EXPECT_EQ(wipe.GetPosition(), 480);
    // The cover is the background colour: one texel of the soft circle at (320, 0).
    EXPECT_FLOAT_EQ(render.draws[0].source.x, 320.0f);
    EXPECT_FLOAT_EQ(render.draws[0].source.width, 1.0f);
}

TEST(BackGroundTileRenderTest, CoversTheScreenWithTilesThatDriftAndWrapAfter127)
{
    DrawLog render;
    BackGroundTileRender background(&render);
    background.Draw();
    ASSERT_EQ(render.draws.size(), 48u) << "8 columns of 6 tiles";
    EXPECT_FLOAT_EQ(render.draws[0].destination.x, 0.0f);
    EXPECT_FLOAT_EQ(render.draws[1].destination.y, 128.0f) << "columns outside, rows inside";
    EXPECT_FLOAT_EQ(render.draws[47].destination.x, 896.0f);
    EXPECT_FLOAT_EQ(render.draws[47].destination.y, 640.0f);

    for (int frame = 1; frame < 127; ++frame) {
        background.Draw();
    }
    EXPECT_EQ(background.GetOffset(), 127);
    render.draws.clear();
    background.Draw();
    EXPECT_FLOAT_EQ(render.draws[0].destination.x, -127.0f);
    EXPECT_EQ(background.GetOffset(), 0) << "wraps from 127 back to 0";
}

class ScreenTimingTest : public ::testing::Test {
protected:
    ScreenTimingTest()
    {
        Lumora::Testing::EnableHeadless();
        std::string pattern = (std::filesystem::temp_directory_path() / "tomarugi-scene-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            scratch_ = pattern;
            previous_ = std::filesystem::current_path();
            std::filesystem::current_path(scratch_);
        }
        commonSounds = CommonSounds{};
    }
    ~ScreenTimingTest() override
    {
        root->Shutdown();
        root->Release();
        commonSounds = CommonSounds{};
        Lumora::Testing::DisableHeadless();
        std::error_code error;
        if (!scratch_.empty()) {
            std::filesystem::current_path(previous_, error);
            std::filesystem::remove_all(scratch_, error);
        }
    }

    std::int32_t CurrentId()
    {
        Scene* screen = root->GetFirstChild();
        return screen != nullptr ? screen->GetSceneId() : -1;
    }

    TestRoot* root = new TestRoot;

private:
    std::filesystem::path scratch_;
    std::filesystem::path previous_;
};

TEST_F(ScreenTimingTest, StartupFadesEachLogoIn128TicksAndHandsOverToTheTitleAfter512)
{
    auto* startup = new SceneStartup(nullptr);
    root->AddChild(startup);
    root->Update(); // nothing to wait for: showing from the next tick
    EXPECT_EQ(startup->GetState(), 1);
    EXPECT_EQ(startup->GetLevel(), 0);

    for (int tick = 0; tick < 127; ++tick) {
        root->Update();
    }
    EXPECT_EQ(startup->GetLevel(), 254);
    EXPECT_EQ(startup->GetPhase(), 0);
    root->Update();
    EXPECT_EQ(startup->GetLevel(), 255);
    EXPECT_EQ(startup->GetPhase(), 2);

    for (int tick = 0; tick < 128; ++tick) {
        root->Update();
    }
    EXPECT_EQ(startup->GetLevel(), 0);
    EXPECT_EQ(startup->GetPhase(), 3);

    for (int tick = 0; tick < 255; ++tick) {
        root->Update();
    }
    EXPECT_EQ(CurrentId(), SceneIdStartup);
    EXPECT_EQ(startup->GetPhase(), 5);
    root->Update();
    EXPECT_EQ(CurrentId(), SceneIdTitle);
    EXPECT_EQ(root->GetFirstChild()->GetNextSibling(), nullptr) << "exactly one title screen";
    EXPECT_EQ(commonSounds.currentTrack, 2) << "the title music starts with the hand-over";
}

TEST_F(ScreenTimingTest, RetryWaitHandsOverOnlyAfterMoreThan1000Milliseconds)
{
    Lumora::Testing::AdvanceClock(5'000'000); // the pause starts at an arbitrary time
    root->AddChild(new SceneRetryWait(nullptr));

    Lumora::Testing::AdvanceClock(1'000'000);
    root->Update();
    EXPECT_EQ(CurrentId(), SceneIdRetryWait) << "exactly 1000 ms still waits";

    Lumora::Testing::AdvanceClock(1'000);
    root->Update();
    EXPECT_EQ(CurrentId(), SceneIdPuzzle);
    EXPECT_EQ(root->GetFirstChild()->GetNextSibling(), nullptr);
}

} // namespace
