// The rules of play, update by update and draw by draw.
#include "PuzzleTestSupport.h"

#include <Lumora/ISound.h>

#include <gtest/gtest.h>

namespace {

// Runs frames without input until `done` or `limit` frames; returns the frames run.
template <class Done>
int FramesUntil(PuzzleFixture& game, Done done, int limit = 10000)
{
    int frames = 0;
    while (!done() && frames < limit) {
        game.Frame();
        ++frames;
    }
    return frames;
}

// ---- Slides ---------------------------------------------------------------------------

TEST(Slide, StopsOnTheLastFreeCell)
{
    PuzzleFixture game({"@...._..FI.", "..F........"});
    const PuzzleRules& rules = game.rules;
    EXPECT_EQ(rules.Slide({0, 0}, Right, nullptr), (Cell{4, 0}));  // before a hole
    EXPECT_EQ(rules.Slide({6, 0}, Right, nullptr), (Cell{7, 0}));  // before a frog
    EXPECT_EQ(rules.Slide({9, 1}, Up, nullptr), (Cell{9, 1}));     // an icicle next to it
    EXPECT_EQ(rules.Slide({3, 1}, Right, nullptr), (Cell{10, 1})); // up to the edge
    EXPECT_EQ(rules.Slide({4, 1}, Left, nullptr), (Cell{3, 1}));   // before a frog
    EXPECT_EQ(rules.Slide({0, 1}, Up, nullptr), (Cell{0, 0}));
    EXPECT_EQ(rules.Slide({5, 0}, Down, nullptr), (Cell{5, 0}));   // starts on a hole
    EXPECT_EQ(rules.Slide({0, 0}, {1, 1}, nullptr), (Cell{0, 0})); // diagonal
    EXPECT_EQ(rules.Slide({0, 0}, {0, 0}, nullptr), (Cell{0, 0}));
    // A frog's own slide passes the frog on its start cell, and no other.
    const PuzzleObjectFrozenFrog& frog = rules.board.frogs[1];
    EXPECT_EQ(rules.Slide(frog.GetCell(), Left, &frog), (Cell{0, 1}));
    EXPECT_EQ(rules.Slide(frog.GetCell(), Left, nullptr), frog.GetCell());
}

TEST(Slide, TakesTenUpdatesPerCellAndCountsOneTurn)
{
    PuzzleFixture game({"@...I", "____F"});
    game.rules.Step(Press({ButtonRight})); // update n = 0
    EXPECT_EQ(game.player().state, PuzzlerState::Moving);
    EXPECT_EQ(game.player().facing, Right);
    int update = 0;
    while (game.player().state == PuzzlerState::Moving) {
        game.rules.Step({});
        ++update;
        if (update < 30) {
            EXPECT_EQ(game.rules.turns, 0u);
            EXPECT_EQ(game.player().GetCell(), (Cell{0, 0})); // the cell the move started from
        }
        ASSERT_LT(update, 100);
    }
    EXPECT_EQ(update, 30); // 3 cells: arrival in update n + 30
    EXPECT_EQ(game.player().GetCell(), (Cell{3, 0}));
    EXPECT_EQ(game.player().position, (Lumora::Math::Vector3D{60, 0, 0}));
    EXPECT_EQ(game.rules.turns, 1u);
}

TEST(Slide, InputInTheArrivalUpdateIsIgnoredAndTheNextUpdateAccepts)
{
    PuzzleFixture game({"@.", "..", "_F"});
    game.rules.Step(Press({ButtonRight}));
    for (int i = 1; i < 10; ++i) {
        game.rules.Step({});
    }
    game.rules.Step(Press({ButtonDown})); // update 10: arrives, but the press came too early
    EXPECT_EQ(game.player().state, PuzzlerState::Idle);
    EXPECT_EQ(game.player().GetCell(), (Cell{1, 0}));
    EXPECT_EQ(game.player().facing, Right);
    game.rules.Step(Press({ButtonDown})); // update 11
    EXPECT_EQ(game.player().state, PuzzlerState::Moving);
    EXPECT_EQ(game.player().facing, Down);
}

TEST(Slide, BlockedDirectionTurnsWithoutATurn)
{
    PuzzleFixture game({"_I_", "F@.", "___"});
    for (int button : {ButtonUp, ButtonDown, ButtonLeft}) {
        game.rules.Step(Press({button}));
        EXPECT_EQ(game.player().state, PuzzlerState::Idle);
        EXPECT_EQ(game.player().GetCell(), (Cell{1, 1}));
    }
    EXPECT_EQ(game.player().facing, Left);
    EXPECT_EQ(game.rules.turns, 0u);
    // The board edge blocks as well.
    PuzzleFixture edge({"@F"});
    edge.rules.Step(Press({ButtonLeft}));
    EXPECT_EQ(edge.player().facing, Left);
    EXPECT_EQ(edge.player().state, PuzzlerState::Idle);
}

TEST(Slide, LastPressedDirectionInOrderUpDownRightLeftWins)
{
    PuzzleFixture upLeft({"...", ".@.", "...", "F__"});
    upLeft.rules.Step(Press({ButtonUp, ButtonLeft}));
    EXPECT_EQ(upLeft.player().facing, Left);
    EXPECT_EQ(upLeft.player().targetX, 0u);
    EXPECT_EQ(upLeft.player().targetY, 1u);

    PuzzleFixture downRight({"...", ".@.", "...", "F__"});
    downRight.rules.Step(Press({ButtonDown, ButtonRight}));
    EXPECT_EQ(downRight.player().facing, Right);
    EXPECT_EQ(downRight.player().targetX, 2u);

    // Right is read before Left, Up before Down.
    PuzzleFixture both({"...", ".@.", "...", "F__"});
    both.rules.Step(Press({ButtonRight, ButtonLeft}));
    EXPECT_EQ(both.player().facing, Left);
    PuzzleFixture upDown({"...", ".@.", "...", "F__"});
    upDown.rules.Step(Press({ButtonDown, ButtonUp}));
    EXPECT_EQ(upDown.player().facing, Down);

    // Left is blocked: the open Up is overridden and the player only turns.
    PuzzleFixture blocked({".._", "I@_", "...", "F__"});
    blocked.rules.Step(Press({ButtonUp, ButtonLeft}));
    EXPECT_EQ(blocked.player().state, PuzzlerState::Idle);
    EXPECT_EQ(blocked.player().facing, Left);
    EXPECT_EQ(blocked.player().GetCell(), (Cell{1, 1}));
}

TEST(Slide, OnlyPressesFromIdleCount)
{
    PuzzleFixture game({"@...", "....", "F___"});
    game.rules.Step(Hold({ButtonDown})); // held without a press does nothing
    EXPECT_EQ(game.player().state, PuzzlerState::Idle);
    game.rules.Step(Press({ButtonRight}));
    game.rules.Step(Press({ButtonDown}));
    game.rules.Step(Press({ButtonLeft, ButtonPush, ButtonDefrost}));
    EXPECT_EQ(game.player().state, PuzzlerState::Moving);
    EXPECT_EQ(game.player().facing, Right);
    EXPECT_EQ(game.player().targetX, 3u);
}

TEST(Slide, FirstUpdateAfterBuildingArrives)
{
    // The player is on its start cell from the start, so a press in the very first update
    // is a normal slide (left at the origin it would never meet its target).
    PuzzleFixture game({"___", "_@.", "_._", "_F_"});
    game.rules.Step(Press({ButtonRight}));
    EXPECT_EQ(FramesUntil(game, [&] { return game.player().state == PuzzlerState::Idle; }), 10);
    EXPECT_EQ(game.player().GetCell(), (Cell{2, 1}));
    EXPECT_EQ(game.rules.turns, 1u);
}

TEST(Slide, StartOnAHoleNeverMoves)
{
    PuzzleFixture game({".....", "..+..", "....F"});
    for (int button : {ButtonUp, ButtonDown, ButtonLeft, ButtonRight}) {
        game.Frame(Press({button}));
        EXPECT_EQ(game.player().state, PuzzlerState::Idle);
    }
    EXPECT_EQ(game.player().GetCell(), (Cell{2, 1}));
    EXPECT_EQ(game.player().facing, Right);
}

// ---- Pushes ---------------------------------------------------------------------------

TEST(Push, FrogBlockedOnItsFarSideStaysAndCostsNothing)
{
    PuzzleFixture game({"@FI.", "...."});
    game.rules.Step(Press({ButtonRight})); // turn towards the frog
    const StepResult result = game.rules.Step(Press({ButtonPush}));
    EXPECT_FALSE(result.cleared);
    EXPECT_EQ(game.player().state, PuzzlerState::Idle); // Idle again in the same update
    EXPECT_EQ(game.rules.board.frogs[0].state, FrogState::Frozen);
    EXPECT_TRUE(game.sounds.events.empty());
    EXPECT_EQ(game.rules.turns, 0u);
}

TEST(Push, NothingToPushLeavesThePlayerIdle)
{
    // An icicle, a hole, an empty cell, the board edge.
    PuzzleFixture game({"_I_", "@._", "_F_"});
    for (int button : {ButtonUp, ButtonLeft, ButtonDown}) {
        game.rules.Step(Press({button}));
        game.rules.Step(Press({ButtonPush}));
        EXPECT_EQ(game.player().state, PuzzlerState::Idle);
    }
    EXPECT_TRUE(game.sounds.events.empty());
    EXPECT_EQ(game.rules.board.frogs[0].GetCell(), (Cell{1, 2}));
    EXPECT_EQ(game.rules.turns, 0u);
}

TEST(Push, FrogSlidesAwayTenDrawsPerCellWithTheDragSoundLooping)
{
    PuzzleFixture game({"@F...F"});
    game.rules.Step(Press({ButtonRight}));
    game.rules.Step(Press({ButtonPush}));
    EXPECT_EQ(game.player().state, PuzzlerState::Pushing);
    PuzzleObjectFrozenFrog& frog = game.rules.board.frogs[0];
    EXPECT_EQ(frog.state, FrogState::Sliding);
    EXPECT_EQ(frog.targetX, 4u); // in front of the other frog
    ASSERT_EQ(game.sounds.events.size(), 1u);
    EXPECT_EQ(game.sounds.events[0], (SoundEvent{PuzzleSound::FrogDrag, true, true}));

    // Draws only: the frog's animation runs at the draw rate.
    std::vector<float> drawnX;
    while (frog.state == FrogState::Sliding) {
        drawnX.push_back(game.rules.AdvanceSlidingFrog(frog).x);
        ASSERT_LT(drawnX.size(), 100u);
    }
    ASSERT_EQ(drawnX.size(), 31u); // 3 cells: 10 draws each, drawn on the target in the last
    EXPECT_EQ(drawnX.front(), 20.0f);
    EXPECT_EQ(drawnX[1], 22.0f);
    EXPECT_EQ(drawnX.back(), 80.0f);
    EXPECT_EQ(frog.GetCell(), (Cell{4, 0}));
    EXPECT_EQ(game.rules.slideOffset, SlideOffset{});
    EXPECT_EQ(game.player().state, PuzzlerState::Idle);
    EXPECT_EQ(game.rules.turns, 1u);
    ASSERT_EQ(game.sounds.events.size(), 2u);
    EXPECT_EQ(game.sounds.events[1], (SoundEvent{PuzzleSound::FrogDrag, false, false}));
    EXPECT_EQ(game.player().GetCell(), (Cell{0, 0})); // the pusher stays put
}

TEST(Push, UpAndDownMoveTheFrogAlongMinusZ)
{
    PuzzleFixture game({"_._", "_F_", "_@_"});
    game.rules.Step(Press({ButtonUp}));
    game.rules.Step(Press({ButtonPush}));
    PuzzleObjectFrozenFrog& frog = game.rules.board.frogs[0];
    EXPECT_EQ(game.rules.AdvanceSlidingFrog(frog), (Lumora::Math::Vector3D{20, 0, -20}));
    EXPECT_EQ(game.rules.AdvanceSlidingFrog(frog), (Lumora::Math::Vector3D{20, 0, -18}));
    EXPECT_EQ(FramesUntil(game, [&] { return game.player().state == PuzzlerState::Idle; }), 9);
    EXPECT_EQ(game.rules.board.frogs[0].GetCell(), (Cell{1, 0}));
}

TEST(Push, FrogKeepsSlidingWhileTheMenuPausesTheSteps)
{
    PuzzleFixture game({"@F...."});
    game.rules.Step(Press({ButtonRight}));
    EXPECT_TRUE(game.rules.Step(Press({ButtonPush, ButtonMenu})).openMenu);
    // Menu open: the scene draws but does not step.
    int draws = 0;
    while (game.player().state != PuzzlerState::Idle && draws < 200) {
        game.rules.AdvanceFrogs(30.0f);
        ++draws;
    }
    EXPECT_EQ(draws, 41);
    EXPECT_EQ(game.rules.board.frogs[0].GetCell(), (Cell{5, 0}));
    EXPECT_EQ(game.rules.turns, 1u);
}

TEST(Push, TakesPrecedenceOverDefrostInTheSameUpdate)
{
    PuzzleFixture game({"@F.."});
    game.rules.Step(Press({ButtonRight}));
    game.rules.Step(Press({ButtonPush, ButtonDefrost}));
    EXPECT_EQ(game.player().state, PuzzlerState::Pushing);
    EXPECT_EQ(game.rules.board.frogs[0].state, FrogState::Sliding);
    ASSERT_EQ(game.sounds.events.size(), 1u);
    EXPECT_EQ(game.sounds.events[0].sound, PuzzleSound::FrogDrag);

    // A push that cannot move anything leaves the player Idle, so the defrost goes ahead.
    PuzzleFixture stuck({"@FI"});
    stuck.rules.Step(Press({ButtonRight}));
    stuck.rules.Step(Press({ButtonPush, ButtonDefrost}));
    EXPECT_EQ(stuck.player().state, PuzzlerState::Defrosting);
    EXPECT_EQ(stuck.rules.board.frogs[0].state, FrogState::Leaving);
}

TEST(Push, DirectionAndPushInOneUpdateTurnFirst)
{
    PuzzleFixture game({"._.", "F@.", "..."});
    game.rules.Step(Press({ButtonLeft, ButtonPush}));
    EXPECT_EQ(game.player().facing, Left);
    // Blocked at the edge behind: nothing moves, but the turn took effect.
    EXPECT_EQ(game.player().state, PuzzlerState::Idle);
    game.rules.Step(Press({ButtonDown, ButtonPush})); // slides down instead: no push
    EXPECT_EQ(game.player().state, PuzzlerState::Moving);
}

// ---- Defrosts -------------------------------------------------------------------------

TEST(Defrost, NothingInFrontDoesNothing)
{
    PuzzleFixture game({"I@.", "_F_"});
    game.rules.Step(Press({ButtonLeft}));
    game.rules.Step(Press({ButtonDefrost})); // an icicle
    EXPECT_EQ(game.player().state, PuzzlerState::Idle);
    game.rules.Step(Press({ButtonUp}));
    game.rules.Step(Press({ButtonDefrost})); // off the board
    EXPECT_EQ(game.player().state, PuzzlerState::Idle);
    EXPECT_TRUE(game.sounds.events.empty());
    EXPECT_EQ(game.rules.board.frogs.size(), 1u);
}

TEST(Defrost, FrogLeavesAfterItsAnimationAndTheStageClearsAtTheNextStep)
{
    PuzzleFixture game({"@F"});
    game.rules.Step(Press({ButtonRight}));
    game.rules.Step(Press({ButtonDefrost}));
    EXPECT_EQ(game.player().state, PuzzlerState::Defrosting);
    ASSERT_EQ(game.sounds.events.size(), 1u);
    EXPECT_EQ(game.sounds.events[0], (SoundEvent{PuzzleSound::Defrost, true, false}));

    std::vector<float> clocks;
    const auto draw = [&](const PuzzleObjectFrozenFrog& frog, float clock) {
        EXPECT_EQ(frog.GetCell(), (Cell{1, 0}));
        clocks.push_back(clock);
    };
    for (int i = 0; i < 30; ++i) {
        game.rules.AdvanceLeavingFrog(game.rules.board.frogs[0], 30.0f, draw);
    }
    EXPECT_EQ(game.rules.board.frogs.size(), 1u); // clock 30 is not past a length of 30
    EXPECT_EQ(game.rules.turns, 0u);
    game.rules.AdvanceLeavingFrog(game.rules.board.frogs[0], 30.0f, draw);
    ASSERT_EQ(clocks.size(), 31u);
    EXPECT_EQ(clocks.front(), 1.0f);
    EXPECT_EQ(clocks.back(), 31.0f); // drawn with the clock that ends it
    EXPECT_TRUE(game.rules.board.frogs.empty());
    EXPECT_EQ(game.rules.leaveClock, 0.0f);
    EXPECT_EQ(game.rules.turns, 1u);
    EXPECT_EQ(game.player().state, PuzzlerState::Idle);

    const StepResult result = game.rules.Step({});
    EXPECT_TRUE(result.cleared);
    EXPECT_EQ(game.player().state, PuzzlerState::Cleared);
}

TEST(Defrost, OtherFrogsKeepTheirOrder)
{
    PuzzleFixture game({"F.F", ".@.", "F.F"});
    game.rules.Step(Press({ButtonDown}));
    FramesUntil(game, [&] { return game.player().state == PuzzlerState::Idle; });
    // Now at (1, 2) between frogs 2 and 3.
    game.Frame(Press({ButtonRight, ButtonDefrost}));
    FramesUntil(game, [&] { return game.player().state == PuzzlerState::Idle; });
    ASSERT_EQ(game.rules.board.frogs.size(), 3u);
    EXPECT_EQ(game.rules.board.frogs[0].GetCell(), (Cell{0, 0}));
    EXPECT_EQ(game.rules.board.frogs[1].GetCell(), (Cell{2, 0}));
    EXPECT_EQ(game.rules.board.frogs[2].GetCell(), (Cell{0, 2}));
    EXPECT_EQ(game.rules.turns, 2u);
}

// ---- Clearing, menu, camera button ----------------------------------------------------

TEST(Clearing, StageWithoutFrogsClearsInTheFirstStepWithNoTurns)
{
    PuzzleFixture game({"@.."});
    const StepResult result = game.rules.Step(Press({ButtonRight}));
    EXPECT_TRUE(result.cleared);
    EXPECT_EQ(game.player().state, PuzzlerState::Cleared);
    EXPECT_EQ(game.rules.turns, 0u);

    PuzzleFixture empty({"_"});
    PuzzleRules nothing;
    nothing.board.BuildBoard(static_cast<Lumora::IFile*>(nullptr));
    EXPECT_TRUE(nothing.Step({}).cleared);
}

TEST(Clearing, MenuButtonAsksForTheMenu)
{
    PuzzleFixture game({"@.F"});
    EXPECT_FALSE(game.rules.Step({}).openMenu);
    EXPECT_FALSE(game.rules.Step(Hold({ButtonMenu})).openMenu);
    const StepResult result = game.rules.Step(Press({ButtonMenu}));
    EXPECT_TRUE(result.openMenu);
    EXPECT_FALSE(result.cleared);
}

TEST(CameraButton, HeldStopsDirectionsButNotPushOrDefrost)
{
    PuzzleFixture game({".....", "..@F.", "....."});
    PuzzleButtons buttons = Press({ButtonCamera, ButtonLeft, ButtonUp});
    game.rules.Step(buttons);
    EXPECT_EQ(game.player().state, PuzzlerState::Idle);
    EXPECT_EQ(game.player().facing, Down); // not even turned
    EXPECT_EQ(game.camera.calls, (std::vector<std::string>{"adjust on", "closer"}));

    game.camera.calls.clear();
    game.player().facing = Right;
    buttons = Press({ButtonCamera, ButtonPush});
    buttons.held |= PuzzleButtons::Bit(ButtonUp) | PuzzleButtons::Bit(ButtonDown);
    game.rules.Step(buttons);
    EXPECT_EQ(game.camera.calls, (std::vector<std::string>{"adjust on", "closer", "farther"}));
    EXPECT_EQ(game.player().state, PuzzlerState::Pushing);
}

TEST(CameraButton, ReleasedTurnsAdjustingOffAndDirectionsMoveAgain)
{
    PuzzleFixture game({"@..F"});
    game.rules.Step(Hold({ButtonUp, ButtonDown}));
    EXPECT_EQ(game.camera.calls, (std::vector<std::string>{"adjust off"}));
    game.rules.Step(Press({ButtonRight}));
    EXPECT_EQ(game.player().state, PuzzlerState::Moving);
}

class RecordingSound : public Lumora::ISound {
public:
    std::int32_t AddRef() override { return ++references; }
    std::int32_t Release() override { return --references; }
    void Play(std::int32_t channel, std::int32_t loop) override
    {
        calls.push_back("play " + std::to_string(channel) + " " + std::to_string(loop));
    }
    void Stop(std::int32_t channel) override { calls.push_back("stop " + std::to_string(channel)); }
    void SetVolume(std::int32_t, float) override { calls.push_back("volume"); }
    std::int32_t references = 1;
    std::vector<std::string> calls;
};

TEST(Seams, EngineSoundsPlayTheDragLoopedAndTheDefrostOnce)
{
    RecordingSound drag;
    RecordingSound defrost;
    PuzzleSoundPlayerLumora sounds(&drag, &defrost);
    PuzzleRules rules(&sounds, nullptr);
    rules.board.BuildBoard(StageFromRows({"F@", ".F", ".."}));
    rules.Step(Press({ButtonPush})); // faces Down from the start
    while (rules.board.player->state != PuzzlerState::Idle) {
        rules.AdvanceFrogs(30.0f);
    }
    rules.Step(Press({ButtonLeft, ButtonDefrost}));
    EXPECT_EQ(drag.calls, (std::vector<std::string>{"play 0 1", "stop 0"}));
    EXPECT_EQ(defrost.calls, (std::vector<std::string>{"play 0 0"}));
    EXPECT_EQ(drag.references, 1); // borrowed, never released
    EXPECT_STREQ(PuzzleSoundFileName(PuzzleSound::FrogDrag), "frog_drag.wav");
    EXPECT_STREQ(PuzzleSoundFileName(PuzzleSound::Defrost), "defrost.wav");

    PuzzleSoundPlayerLumora silent(nullptr, nullptr); // sounds that failed to load
    silent.Play(PuzzleSound::FrogDrag, true);
    silent.Stop(PuzzleSound::FrogDrag);
}

TEST(Seams, RulesRunWithoutSoundsOrCamera)
{
    PuzzleRules rules;
    rules.board.BuildBoard(StageFromRows({"@", "F", "."}));
    rules.Step(Press({ButtonRight, ButtonPush, ButtonCamera})); // faces Down from the start
    EXPECT_EQ(rules.board.player->state, PuzzlerState::Pushing);
    for (int i = 0; i < 11; ++i) {
        rules.AdvanceFrogs(30.0f);
    }
    EXPECT_EQ(rules.board.frogs[0].GetCell(), (Cell{0, 2}));
}

} // namespace
