// The Application on the headless engine: start-up, the fixed-step main loop with its
// catch-up limit. The engine looks for "data.lpk" beside the
// running program, so each test first writes a tiny pack there.
#include "Application.h"
#include "ResourceManager.h"
#include "SceneRoot.h"
#include "ScratchDirectory.h"

#include "PackWriter.h"

#include <Lumora/Testing.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class MainLoopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe");
        std::string error;
        ASSERT_TRUE(Tomarugi::Pack::WritePack(program.parent_path() / "data.lpk",
                                              {{"readme.txt", {'h', 'i'}}}, "hasunohanagasaku", {},
                                              error))
            << error;
    }

    MainLoopTest() { Lumora::Testing::EnableHeadless(); }
    ~MainLoopTest() override { Lumora::Testing::DisableHeadless(); }

    // Ticks of the virtual performance counter (1 MHz) per update.
    static constexpr std::uint64_t kPeriod = 1'000'000 / 60;

    ScratchDirectory scratch;
};

TEST_F(MainLoopTest, StartsOnTheHeadlessEngineAndOpensWithTheStartUpScreen)
{
    Application application;
    ASSERT_EQ(application.GetStartupFailure(), nullptr);
    EXPECT_NE(application.GetRender(), nullptr);
    EXPECT_NE(application.GetInputController(), nullptr);
    EXPECT_FALSE(application.GetResourceManager()->IsBusy()) << "start-up waits for its loads";
    application.BeginMainLoop();
    ASSERT_NE(application.GetSceneRoot(), nullptr);
    ASSERT_NE(application.GetSceneRoot()->GetFirstChild(), nullptr);
    EXPECT_EQ(application.GetSceneRoot()->GetFirstChild()->GetSceneId(), SceneIdStartup);
}

TEST_F(MainLoopTest, TheFirstPassDrawsAndUpdatesOnce)
{
    Application application;
    ASSERT_EQ(application.GetStartupFailure(), nullptr);
    application.BeginMainLoop();
    const std::uint64_t framesBefore = Lumora::Testing::GetFrameCount();
    EXPECT_EQ(application.RunPass(), 1);
    EXPECT_EQ(Lumora::Testing::GetFrameCount(), framesBefore + 1);
    EXPECT_EQ(Lumora::Testing::GetLastClearColor() & 0x00FFFFFFu, 0x00FCFCFCu);
}

TEST_F(MainLoopTest, ABacklogOf25PeriodsRunsTenUpdatesAndDropsTheRest)
{
    Application application;
    ASSERT_EQ(application.GetStartupFailure(), nullptr);
    application.BeginMainLoop();
    application.RunPass();

    Lumora::Testing::AdvanceClock(25 * kPeriod);
    EXPECT_EQ(application.RunPass(), 10);
    // The next update is due at the counter reading after the tenth: right now, once.
    EXPECT_EQ(application.RunPass(), 1);
    EXPECT_EQ(application.RunPass(), 0) << "the 15 missed periods are never made up";
}

TEST_F(MainLoopTest, APassBeforeTheNextUpdateTimeOnlyDraws)
{
    Application application;
    ASSERT_EQ(application.GetStartupFailure(), nullptr);
    application.BeginMainLoop();
    application.RunPass();

    const std::uint64_t framesBefore = Lumora::Testing::GetFrameCount();
    Lumora::Testing::AdvanceClock(kPeriod - 1);
    EXPECT_EQ(application.RunPass(), 0);
    EXPECT_EQ(Lumora::Testing::GetFrameCount(), framesBefore + 1);
    Lumora::Testing::AdvanceClock(1);
    EXPECT_EQ(application.RunPass(), 1);
    Lumora::Testing::AdvanceClock(2 * kPeriod);
    EXPECT_EQ(application.RunPass(), 2);
}

} // namespace
