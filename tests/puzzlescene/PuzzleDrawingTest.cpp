// The puzzle screen's frame as the headless engine records it: what the loading phase
// shows, where floors, icicles, frogs and the player are placed, the icicles the following
// camera sees through, and the stage map.
#include "PuzzleSceneTestSupport.h"

#include "CurrentStage.h"

#include <cmath>

namespace PuzzleSceneTest {
namespace {

using Lumora::Testing::RecordedActor;
using Lumora::Testing::RecordedDraw;
using Lumora::Testing::RecordedScene;

float TranslationX(const RecordedActor& actor) { return actor.transform[12]; }
float TranslationZ(const RecordedActor& actor) { return actor.transform[14]; }

class PuzzleDrawingTest : public PuzzleSceneFixture {};

TEST_F(PuzzleDrawingTest, LoadingShowsOnlyTheFlatFill)
{
    ASSERT_EQ(application->GetStartupFailure(), nullptr);
    currentStageKind = StageKind::Normal;
    currentStageName = "rows.pzd";
    scene = new ScenePuzzle(application.get());
    ASSERT_EQ(scene->GetPhase(), PuzzlePhaseLoading);
    Frame();
    EXPECT_TRUE(Lumora::Testing::GetLastScenes().empty()) << "no 3D pass while loading";
    const std::vector<RecordedDraw> draws = Lumora::Testing::GetLastFrame();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_NE(draws[0].texture.find("common__soft_circle_640x480.tga"), std::string::npos);
    EXPECT_FLOAT_EQ(draws[0].destination.width, 640.0f);
    EXPECT_FLOAT_EQ(draws[0].destination.height, 480.0f);
    EXPECT_FLOAT_EQ(draws[0].source.x, 320.0f);
    EXPECT_FLOAT_EQ(draws[0].source.y, 0.0f);
    EXPECT_FLOAT_EQ(draws[0].source.width, 1.0f);
    EXPECT_EQ(draws[0].argb, 0xFFFFFFFFu);
}

TEST_F(PuzzleDrawingTest, FloorsFollowTheBoardRowsAndSkipEveryFloorCodeButOne)
{
    ASSERT_TRUE(StartPuzzle("rows.pzd"));
    const std::vector<RecordedActor> floors = ActorsOf(Frame(), "floorboard_ice.lmd");
    ASSERT_EQ(floors.size(), 6u);
    EXPECT_FLOAT_EQ(TranslationX(floors[2]), 40.0f);
    EXPECT_FLOAT_EQ(TranslationZ(floors[2]), 0.0f);
    EXPECT_FLOAT_EQ(TranslationX(floors[3]), 0.0f) << "tile 3 of a 3-wide board starts row 1";
    EXPECT_FLOAT_EQ(TranslationZ(floors[3]), -20.0f);
    EXPECT_FLOAT_EQ(TranslationX(floors[5]), 40.0f);
    EXPECT_FLOAT_EQ(TranslationZ(floors[5]), -20.0f);
}

TEST_F(PuzzleDrawingTest, IciclesBetweenTheFollowingCameraAndThePlayerAreSeeThrough)
{
    ASSERT_TRUE(StartPuzzle("icicles.pzd"));
    ASSERT_EQ(scene->GetCamera()->mode, CameraMode::Auto);
    ASSERT_EQ(scene->GetBoard().player->y, 2u);

    std::vector<RecordedActor> icicles = ActorsOf(Frame(), "icicle.lmd");
    ASSERT_EQ(icicles.size(), 3u); // rows 1, 2, 3 in icicle order
    for (std::size_t row = 0; row < 2; ++row) {
        ASSERT_FALSE(icicles[row].materials.empty());
        for (const auto& material : icicles[row].materials) {
            EXPECT_EQ(material.transparent, 0) << "icicle on row " << row + 1;
        }
    }
    ASSERT_FALSE(icicles[2].materials.empty());
    for (const auto& material : icicles[2].materials) {
        EXPECT_EQ(material.transparent, 1) << "the row-3 icicle stands between camera and player";
        EXPECT_TRUE(material.colorSet);
        EXPECT_FLOAT_EQ(material.color.w, 0.6f);
    }

    scene->GetCamera()->SetMode(CameraMode::TopView);
    icicles = ActorsOf(Frame(), "icicle.lmd");
    ASSERT_EQ(icicles.size(), 3u);
    for (const auto& material : icicles[2].materials) {
        EXPECT_EQ(material.transparent, 0) << "solid again in the first top-view frame";
    }
}

TEST_F(PuzzleDrawingTest, StageMapShowsFloorCodeOneOnlyAndEveryObjectAtItsCell)
{
    ASSERT_TRUE(StartPuzzle("icicles.pzd"));
    Frame();
    EXPECT_TRUE(DrawsOf("mapchips.png").empty()) << "the map is off in the shipped settings";
    EXPECT_EQ(ActorsOf(Frame(), "floorboard_ice.lmd").size(), 11u) << "the floor-code-2 cell draws no floor";

    Press(ButtonMenu);
    for (int i = 0; i < 3; ++i) {
        Press(ButtonDown);
    }
    Press(16);
    ASSERT_EQ(scene->GetMenuPage(), MenuPageStageView);
    Frame();
    int floors = 0;
    int icicles = 0;
    int frogs = 0;
    int players = 0;
    for (const RecordedDraw& draw : DrawsOf("mapchips.png")) {
        EXPECT_EQ(draw.argb, 0xFFFFFFFFu) << "opaque on the stage view page";
        if (draw.source.x == 0.0f && draw.source.y == 0.0f) {
            ++floors;
        } else if (draw.source.x == 16.0f && draw.source.y == 16.0f) {
            ++icicles;
        } else if (draw.source.x == 16.0f && draw.source.y == 0.0f) {
            ++frogs;
        } else if (draw.source.x == 0.0f && draw.source.y == 16.0f) {
            ++players;
            EXPECT_FLOAT_EQ(draw.destination.x, 16.0f);
            EXPECT_FLOAT_EQ(draw.destination.y, 32.0f);
        }
    }
    EXPECT_EQ(floors, 11);
    EXPECT_EQ(icicles, 3);
    EXPECT_EQ(frogs, 1);
    EXPECT_EQ(players, 1);

    // Confirm turns the map on for the rest of the stage, translucent, in play.
    Press(16);
    ASSERT_EQ(scene->GetMenuPage(), MenuPageClosed);
    Frame();
    const std::vector<RecordedDraw> map = DrawsOf("mapchips.png");
    ASSERT_FALSE(map.empty());
    EXPECT_EQ(map.front().argb, 0xDAFFFFFFu);
}

TEST_F(PuzzleDrawingTest, PlayerTurnsToItsFacing)
{
    EXPECT_EQ(PlayerFacingAngle(Right), 49152);
    EXPECT_EQ(PlayerFacingAngle(Left), 16384);
    EXPECT_EQ(PlayerFacingAngle(Up), 32768);
    EXPECT_EQ(PlayerFacingAngle(Down), 0);
    EXPECT_EQ(PlayerFacingAngle(Direction{0, 0}), 0);
    EXPECT_EQ(PlayerFacingAngle(Direction{1, -1}), 32768) << "a vertical step decides";

    ASSERT_TRUE(StartPuzzle("rows.pzd"));
    PuzzlerNuiko& player = *scene->GetRules().board.player;
    // The model's +Z axis after the turn is column 2 of the transform: (sin a, 0, cos a).
    player.facing = Right;
    std::vector<RecordedActor> drawn = ActorsOf(Frame(), "nuiko.lmd");
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_NEAR(drawn[0].transform[8], -1.0f, 1e-4f);
    player.facing = Up;
    drawn = ActorsOf(Frame(), "nuiko.lmd");
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_NEAR(drawn[0].transform[10], -1.0f, 1e-4f);
    player.facing = Direction{0, 0};
    drawn = ActorsOf(Frame(), "nuiko.lmd");
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_NEAR(drawn[0].transform[10], 1.0f, 1e-4f);
    EXPECT_EQ(drawn[0].animation, 0) << "idle";
}

TEST_F(PuzzleDrawingTest, IdleAnimationChangesAtTheEndOfALoopAfterFifteenSecondsIdle)
{
    ASSERT_TRUE(StartPuzzle("rows.pzd"));
    const std::uint64_t start = Lumora::Testing::GetClockMicroseconds();
    std::vector<std::int32_t> shown; // each idle animation in the order it appeared
    std::vector<double> changedAt;   // seconds since the start
    for (int frame = 0; frame < 60 * 50 && shown.size() < 4; ++frame) {
        Lumora::Testing::AdvanceClock(1'000'000 / 60);
        const std::vector<RecordedActor> player = ActorsOf(Frame(), "nuiko.lmd");
        ASSERT_EQ(player.size(), 1u);
        if (shown.empty() || shown.back() != player[0].animation) {
            shown.push_back(player[0].animation);
            changedAt.push_back(static_cast<double>(Lumora::Testing::GetClockMicroseconds() - start) / 1e6);
            if (shown.size() > 1) {
                EXPECT_FLOAT_EQ(player[0].frame, 1.0f) << "a new animation starts from its first frame";
            }
        }
    }
    ASSERT_EQ(shown, (std::vector<std::int32_t>{0, 6, 7, 0}));
    EXPECT_GT(changedAt[1], 15.0);
    EXPECT_GT(changedAt[2] - changedAt[1], 15.0);
    EXPECT_GT(changedAt[3] - changedAt[2], 15.0);
    EXPECT_LT(changedAt[3], 50.0);
}

TEST_F(PuzzleDrawingTest, PushedFrogIsDrawnTwoUnitsFurtherEachFrameAndLandsOnItsCell)
{
    ASSERT_TRUE(StartPuzzle("push.pzd"));
    Press(ButtonRight); // the frog blocks the slide: the player only turns
    Press(ButtonPush);
    ASSERT_EQ(scene->GetBoard().frogs[0].state, FrogState::Sliding);
    const std::uint64_t turnsBefore = scene->GetTurns();
    for (int frame = 0; frame <= 30; ++frame) {
        const std::vector<RecordedActor> frogs = ActorsOf(Frame(), "frog_frozen.lmd");
        ASSERT_EQ(frogs.size(), 1u);
        ASSERT_FLOAT_EQ(TranslationX(frogs[0]), 20.0f + 2.0f * static_cast<float>(frame)) << "frame " << frame;
        if (frame < 30) {
            ASSERT_EQ(scene->GetBoard().frogs[0].state, FrogState::Sliding) << "frame " << frame;
        }
    }
    EXPECT_EQ(scene->GetBoard().frogs[0].state, FrogState::Frozen);
    EXPECT_EQ(scene->GetBoard().frogs[0].x, 4u);
    EXPECT_EQ(scene->GetTurns(), turnsBefore + 1);
}

TEST_F(PuzzleDrawingTest, LeavingFrogShowsItsLeaveAnimationAndTheCountDropsInItsLastFrame)
{
    ASSERT_TRUE(StartPuzzle("thaw.pzd"));
    Press(ButtonRight);
    Press(ButtonDefrost);
    ASSERT_EQ(scene->GetBoard().frogs[0].state, FrogState::Leaving);
    int frames = 0;
    while (!scene->GetBoard().frogs.empty() && frames < 1000) {
        const RecordedScene drawn = Frame();
        ++frames;
        EXPECT_TRUE(ActorsOf(drawn, "frog_frozen.lmd").empty());
        const std::vector<RecordedActor> leaving = ActorsOf(drawn, "frog_leave.lmd");
        ASSERT_EQ(leaving.size(), 1u);
        EXPECT_EQ(leaving[0].animation, 1);
        EXPECT_FLOAT_EQ(leaving[0].frame, static_cast<float>(frames));
    }
    EXPECT_GT(frames, 1);
    // The panel of that very frame counts no frog.
    bool zeroFrogs = false;
    for (const RecordedDraw& draw : DrawsOf("numbers_32_azuki.png")) {
        zeroFrogs = zeroFrogs || (draw.destination.x == 200.0f && draw.destination.y == 422.0f && draw.source.x == 0.0f);
    }
    EXPECT_TRUE(zeroFrogs);
}

} // namespace
} // namespace PuzzleSceneTest
