// The puzzle screen's update: records stored at the clear, the end-of-stage messages and
// leaving, giving up, and the in-game menu's pages.
#include "PuzzleSceneTestSupport.h"

#include "SaveDataManager.h"
#include "SaveWriteLock.h"

#include <chrono>
#include <thread>

namespace PuzzleSceneTest {
namespace {

class PuzzleSceneTest : public PuzzleSceneFixture {
protected:
    // Thaws the one frog of "thaw.pzd" (one turn) and runs the update that ends the stage.
    // First the solver's answer for the start is waited for, as a player always gives it
    // time to come: the one-turn clear is then known to be the fewest possible.
    void ClearThawStage()
    {
        const auto giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (scene->GetFewestTurns() < 0 && std::chrono::steady_clock::now() < giveUpAt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            Step();
        }
        ASSERT_EQ(scene->GetFewestTurns(), 1);
        Press(ButtonRight);
        Press(ButtonDefrost);
        for (int frame = 0; frame < 1000 && !scene->GetBoard().frogs.empty(); ++frame) {
            Frame();
        }
        Step(); // the step sees no frog: Cleared
        Step(); // the scene ends the stage
    }

    // Draws frames with the clock running until the message queue has shown everything.
    void ShowAllMessages()
    {
        for (int frame = 0; frame < 5000 && !scene->GetMessageQueue().IsEmpty(); ++frame) {
            Lumora::Testing::AdvanceClock(1'000'000 / 60);
            Frame();
        }
    }

    void StoreRecord(const char* name, std::int32_t record)
    {
        SaveDataManager save;
        save->GetBestRecord(StageKind::Normal, name); // makes the row
        save->SetBestRecord(StageKind::Normal, name, record);
    }

    std::int32_t StoredRecord(const char* name)
    {
        SaveDataManager save;
        return save->GetBestRecord(StageKind::Normal, name);
    }

    void OpenMenuItem(int item)
    {
        Press(ButtonMenu);
        for (int i = 0; i < item; ++i) {
            Press(ButtonDown);
        }
        Press(16);
    }
};

TEST_F(PuzzleSceneTest, FirstClearStoresTheTurnsAndShowsTheNewRecord)
{
    ASSERT_TRUE(StartPuzzle("thaw.pzd"));
    EXPECT_EQ(scene->GetBestRecord(), 0);
    ClearThawStage();
    EXPECT_EQ(scene->GetPhase(), PuzzlePhaseCleared);
    EXPECT_EQ(scene->GetTurns(), 1u);
    EXPECT_EQ(StoredRecord("thaw.pzd"), 1);
    EXPECT_EQ(scene->GetMessageQueue().GetSize(), 4u) << "cleared, turns, fewest possible, new record";
    EXPECT_TRUE(scene->GetMessageQueue().IsRunning());
}

TEST_F(PuzzleSceneTest, ClearEqualToTheRecordIsNotANewRecord)
{
    StoreRecord("thaw.pzd", 1);
    ASSERT_TRUE(StartPuzzle("thaw.pzd"));
    EXPECT_EQ(scene->GetBestRecord(), 1);
    ClearThawStage();
    EXPECT_EQ(scene->GetMessageQueue().GetSize(), 3u) << "cleared, turns and fewest possible only";
    EXPECT_EQ(StoredRecord("thaw.pzd"), 1);
}

TEST_F(PuzzleSceneTest, ARecordStoredByAnotherCopyDuringThePlayIsKeptAndNoNewRecordShows)
{
    ASSERT_TRUE(StartPuzzle("thaw.pzd"));
    EXPECT_EQ(scene->GetBestRecord(), 0);
    StoreRecord("thaw.pzd", 1); // a second copy of the game clears it first, in as few turns
    ClearThawStage();
    EXPECT_EQ(scene->GetMessageQueue().GetSize(), 3u) << "cleared, turns and fewest possible only";
    EXPECT_EQ(StoredRecord("thaw.pzd"), 1);
    EXPECT_EQ(scene->GetBestRecord(), 1) << "the best shown follows the file";
}

// The file cannot take the record (another copy holds it past the busy wait): the clear says
// so in place of the new-record box, the screen keeps the record as its best, and the save
// manager writes it once the file takes writes again.
TEST_F(PuzzleSceneTest, ARecordTheFileCannotTakeIsToldAndWrittenLater)
{
    StoreRecord("thaw.pzd", 5);
    ASSERT_TRUE(StartPuzzle("thaw.pzd"));
    {
        SaveWriteLock otherCopy;
        ASSERT_TRUE(otherCopy.IsHeld());
        ClearThawStage();
    }
    EXPECT_EQ(scene->GetMessageQueue().GetKinds(),
              (std::vector<std::int32_t>{DialogueKindCleared, DialogueKindTurnCount, DialogueKindFewestPossible,
                                         DialogueKindRecordNotSaved}));
    EXPECT_EQ(scene->GetBestRecord(), 1);
    EXPECT_EQ(StoredRecord("thaw.pzd"), 5);
    EXPECT_TRUE(StorePendingRecords());
    EXPECT_EQ(StoredRecord("thaw.pzd"), 1);
}

TEST_F(PuzzleSceneTest, LowerTurnsReplaceAWorseRecord)
{
    StoreRecord("thaw.pzd", 5);
    ASSERT_TRUE(StartPuzzle("thaw.pzd"));
    ClearThawStage();
    EXPECT_EQ(scene->GetMessageQueue().GetSize(), 4u);
    EXPECT_EQ(StoredRecord("thaw.pzd"), 1);
}

TEST_F(PuzzleSceneTest, ConfirmAfterAClearIsIgnoredUntilEveryMessageWasShown)
{
    ASSERT_TRUE(StartPuzzle("thaw.pzd"));
    ClearThawStage();
    Press(16);
    EXPECT_TRUE(scene->IsAlive()) << "messages still showing";
    ShowAllMessages();
    ASSERT_TRUE(scene->GetMessageQueue().IsEmpty());
    Press(16);
    EXPECT_FALSE(scene->IsAlive());
}

TEST_F(PuzzleSceneTest, GivingUpStoresNothingAndConfirmLeavesAtOnce)
{
    ASSERT_TRUE(StartPuzzle("thaw.pzd"));
    // Cancel on the confirmation page returns to the main page with the cursor on close.
    OpenMenuItem(MainMenuGiveUp);
    ASSERT_EQ(scene->GetMenuPage(), MenuPageConfirmGiveUp);
    EXPECT_EQ(scene->GetMenuCursor(), 0);
    Press(17);
    EXPECT_EQ(scene->GetMenuPage(), MenuPageMain);
    EXPECT_EQ(scene->GetMenuCursor(), 0);
    Press(17);
    ASSERT_EQ(scene->GetMenuPage(), MenuPageClosed);

    OpenMenuItem(MainMenuGiveUp);
    Press(ButtonDown);
    Press(16);
    EXPECT_EQ(scene->GetMenuPage(), MenuPageClosed);
    EXPECT_EQ(scene->GetBoard().player->state, PuzzlerState::GivenUp);
    Step();
    EXPECT_EQ(scene->GetPhase(), PuzzlePhaseGivenUp);
    EXPECT_EQ(scene->GetMessageQueue().GetSize(), 1u);
    Press(16);
    EXPECT_FALSE(scene->IsAlive()) << "no wait for the message";
    EXPECT_EQ(StoredRecord("thaw.pzd"), 0);
}

TEST_F(PuzzleSceneTest, StageViewConfirmTogglesTheMapForThisStageAndKeepsTheScroll)
{
    ASSERT_TRUE(StartPuzzle("icicles.pzd"));
    ASSERT_FALSE(scene->IsMapAlwaysShown());
    OpenMenuItem(MainMenuStageView);
    ASSERT_EQ(scene->GetMenuPage(), MenuPageStageView);
    Press(ButtonRight);
    Press(ButtonDown);
    EXPECT_EQ(scene->GetMapColumn(), 1);
    EXPECT_EQ(scene->GetMapRow(), 1);
    EXPECT_EQ(scene->GetBoard().player->x, 1u) << "the map scrolls, the player stays";
    Press(16);
    EXPECT_EQ(scene->GetMenuPage(), MenuPageClosed);
    EXPECT_TRUE(scene->IsMapAlwaysShown());
    EXPECT_EQ(scene->GetMapColumn(), 1);
    EXPECT_EQ(scene->GetMapRow(), 1);
    SaveDataManager save;
    EXPECT_FALSE(save->GetDaemonStageView()) << "the stored setting is not written";
}

TEST_F(PuzzleSceneTest, ChoosingTheCameraReturnsToTheMainPageOnItsFirstItem)
{
    ASSERT_TRUE(StartPuzzle("rows.pzd"));
    OpenMenuItem(MainMenuCamera);
    ASSERT_EQ(scene->GetMenuPage(), MenuPageCameraSelect);
    Press(ButtonDown);
    Press(16);
    EXPECT_EQ(scene->GetMenuPage(), MenuPageMain);
    EXPECT_EQ(scene->GetMenuCursor(), 0);
    EXPECT_EQ(scene->GetCamera()->mode, CameraMode::TopView);
    Press(18);
    EXPECT_EQ(scene->GetMenuPage(), MenuPageClosed);
}

TEST_F(PuzzleSceneTest, AnOpenMenuPausesTheSlideAndClosingResumesIt)
{
    ASSERT_TRUE(StartPuzzle("slide.pzd"));
    Press(ButtonRight);
    ASSERT_EQ(scene->GetBoard().player->state, PuzzlerState::Moving);
    Step({ButtonMenu});
    ASSERT_EQ(scene->GetMenuPage(), MenuPageMain);
    const float pausedAt = scene->GetBoard().player->position.x;
    for (int i = 0; i < 30; ++i) {
        Step();
    }
    EXPECT_FLOAT_EQ(scene->GetBoard().player->position.x, pausedAt);
    Press(ButtonMenu);
    ASSERT_EQ(scene->GetMenuPage(), MenuPageClosed);
    for (int i = 0; i < 80; ++i) {
        Step();
    }
    EXPECT_EQ(scene->GetBoard().player->state, PuzzlerState::Idle);
    EXPECT_EQ(scene->GetBoard().player->x, 4u);
    EXPECT_EQ(scene->GetTurns(), 1u);
}

} // namespace
} // namespace PuzzleSceneTest
