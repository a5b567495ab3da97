// On a board larger than the view, the puzzle frame queues only the floor tiles, icicles and
// frozen frogs the camera can show. That must be conservative: what is drawn is exactly what
// the renderer draws when every one of them is queued, including those at the view's edges.
// The reference queues them all on a scene manager of its own, under the camera the game's
// frame was drawn with.
#include "PuzzleSceneTestSupport.h"

#include <Lumora/ICore.h>
#include <Lumora/IFileManager.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <utility>

namespace PuzzleSceneTest {
namespace {

using Lumora::Testing::RecordedActor;
using Lumora::Testing::RecordedScene;

using Cell = std::pair<int, int>; // column, row

Cell CellOf(const RecordedActor& actor)
{
    return {static_cast<int>(std::lround(actor.transform[12] / 20.0f)),
            static_cast<int>(std::lround(-actor.transform[14] / 20.0f))};
}

class PuzzleFloorViewTest : public PuzzleSceneFixture {
protected:
    // The cells of the actors of `model` the renderer drew (not culled) in `frame`.
    static std::set<Cell> DrawnCells(const RecordedScene& frame, const char* model)
    {
        std::set<Cell> cells;
        for (const RecordedActor& actor : ActorsOf(frame, model)) {
            if (!actor.culled) {
                cells.insert(CellOf(actor));
            }
        }
        return cells;
    }

    // An actor of `model` queued at every one of `cells` under the camera of `frame`, on a
    // scene manager of its own: the cells the renderer draws.
    std::set<Cell> ReferenceCells(const RecordedScene& frame, const char* model, const std::vector<Cell>& cells)
    {
        Lumora::IRender* render = application->GetRender();
        application->GetCore()->GetFileManager()->SetCurrentDirectory("graphic/object");
        Lumora::IModel* loaded = render->CreateModelFromFile(model);
        EXPECT_NE(loaded, nullptr) << model;
        Lumora::ISceneManager* reference = render->CreateSceneManager(static_cast<std::int32_t>(cells.size()), 1);
        reference->SetRenderSize(0, 640, 480, 0);
        reference->SetDrawMode(1);
        reference->Prepare();
        Lumora::ICamera* camera = reference->GetCamera();
        camera->SetProjection(frame.nearPlane, frame.farPlane, frame.fieldOfView, 640, 480);
        camera->Reset();
        camera->SetLookAt(frame.eye, frame.target, 0);
        camera->Update();
        std::vector<Lumora::IActor*> actors;
        render->BeginFrame();
        reference->Reset();
        reference->Begin(0);
        for (std::size_t i = 0; i < cells.size() && loaded != nullptr; ++i) {
            Lumora::IActor* actor = reference->CreateActor(loaded);
            actor->ResetTransform();
            actor->Translate(static_cast<float>(cells[i].first) * 20.0f, 0.0f, -static_cast<float>(cells[i].second) * 20.0f);
            actor->UpdateTransform();
            actor->Render();
            actors.push_back(actor);
        }
        reference->End();
        reference->Render(0);
        render->EndFrame();
        const std::vector<RecordedScene> scenes = Lumora::Testing::GetLastScenes();
        std::set<Cell> drawn;
        if (!scenes.empty()) {
            drawn = DrawnCells(scenes.front(), model);
        }
        for (Lumora::IActor*& actor : actors) {
            Lumora::SafeRelease(actor);
        }
        Lumora::SafeRelease(camera);
        Lumora::SafeRelease(reference);
        Lumora::SafeRelease(loaded);
        return drawn;
    }

    // The game drew exactly the cells the reference draws, and the reference left some
    // cells out, so the view's edges were really at stake.
    static void ExpectSameCells(const std::set<Cell>& drawn, const std::set<Cell>& reference, std::size_t all,
                                const std::string& what)
    {
        ASSERT_FALSE(reference.empty()) << what;
        EXPECT_LT(reference.size(), all) << what << ": all of them are in view";
        std::vector<Cell> dropped;
        std::set_difference(reference.begin(), reference.end(), drawn.begin(), drawn.end(), std::back_inserter(dropped));
        EXPECT_TRUE(dropped.empty()) << what << ": " << dropped.size() << " in view were not drawn, the first at column "
                                     << dropped.front().first << ", row " << dropped.front().second;
        EXPECT_EQ(drawn.size(), reference.size()) << what;
    }

    // The game's frame draws the reference's floor tiles, icicles and frogs, no more and no
    // fewer, having queued only part of the board's tiles, in index order.
    void ExpectSameAsWholeBoard(const std::string& what)
    {
        const RecordedScene frame = Frame();
        const PuzzleBoard& board = scene->GetBoard();
        const std::size_t width = board.Width();
        std::vector<Cell> floors;
        for (std::size_t index = 0; index < board.tiles.size(); ++index) {
            if (board.tiles[index] == 1) {
                floors.emplace_back(static_cast<int>(index % width), static_cast<int>(index / width));
            }
        }
        std::vector<Cell> icicles;
        for (const PuzzleObjectIcicle& icicle : board.icicles) {
            icicles.emplace_back(static_cast<int>(icicle.x), static_cast<int>(icicle.y));
        }
        std::vector<Cell> frogs;
        for (const PuzzleObjectFrozenFrog& frog : board.frogs) {
            frogs.emplace_back(static_cast<int>(frog.x), static_cast<int>(frog.y));
        }
        ExpectSameCells(DrawnCells(frame, "floorboard_ice.lmd"), ReferenceCells(frame, "floorboard_ice.lmd", floors),
                        floors.size(), what + ", floors");
        ExpectSameCells(DrawnCells(frame, "icicle.lmd"), ReferenceCells(frame, "icicle.lmd", icicles), icicles.size(),
                        what + ", icicles");
        // Far frogs are drawn with the lighter model; near and far together are the frogs.
        std::set<Cell> drawnFrogs = DrawnCells(frame, "frog_frozen.lmd");
        const std::set<Cell> farFrogs = DrawnCells(frame, "frog_frozen_far.lmd");
        for (const Cell& cell : farFrogs) {
            EXPECT_TRUE(drawnFrogs.insert(cell).second) << what << ": a frog drawn twice";
        }
        ExpectSameCells(drawnFrogs, ReferenceCells(frame, "frog_frozen.lmd", frogs), frogs.size(), what + ", frogs");

        const std::vector<RecordedActor> queued = ActorsOf(frame, "floorboard_ice.lmd");
        EXPECT_LT(queued.size(), floors.size()) << what << ": every tile was queued";
        for (std::size_t i = 1; i < queued.size(); ++i) {
            const Cell before = CellOf(queued[i - 1]);
            const Cell after = CellOf(queued[i]);
            ASSERT_LT(std::make_pair(before.second, before.first), std::make_pair(after.second, after.first)) << what;
        }
    }
};

TEST_F(PuzzleFloorViewTest, FollowingCameraDrawsEveryTileInViewUpToTheEdges)
{
    ASSERT_TRUE(StartPuzzle("wide.pzd"));
    ASSERT_EQ(scene->GetCamera()->mode, CameraMode::Auto);
    ExpectSameAsWholeBoard("player in the middle");

    // A slide to the left edge of the board: the view now reaches past the board's side.
    Press(ButtonLeft);
    for (int i = 0; i < 400 && scene->GetBoard().player->state != PuzzlerState::Idle; ++i) {
        Step();
        Frame();
    }
    ASSERT_EQ(scene->GetBoard().player->x, 0u);
    ExpectSameAsWholeBoard("player at the left edge");
}

// Frozen frogs farther than 450 world units from the eye are drawn with the model of fewer
// triangles, the others in full. The following camera has the row of frogs close behind
// the player; from the top view's height those at the sides are far.
TEST_F(PuzzleFloorViewTest, FarFrogsAreDrawnWithTheLighterModel)
{
    ASSERT_TRUE(StartPuzzle("wide.pzd"));
    const auto count = [this](std::size_t& near, std::size_t& far) {
        const RecordedScene frame = Frame();
        near = far = 0;
        for (const char* model : {"frog_frozen.lmd", "frog_frozen_far.lmd"}) {
            const bool isFar = std::string(model) == "frog_frozen_far.lmd";
            for (const RecordedActor& actor : ActorsOf(frame, model)) {
                const float dx = actor.transform[12] - frame.eye.x;
                const float dy = actor.transform[13] - frame.eye.y;
                const float dz = actor.transform[14] - frame.eye.z;
                EXPECT_EQ(std::sqrt(dx * dx + dy * dy + dz * dz) > 450.0f, isFar)
                    << model << " at column " << CellOf(actor).first << ", row " << CellOf(actor).second;
                ++(isFar ? far : near);
            }
        }
    };
    std::size_t near = 0;
    std::size_t far = 0;
    count(near, far);
    EXPECT_GT(near, 0u);
    EXPECT_EQ(far, 0u);
    scene->GetCamera()->SetMode(CameraMode::TopView);
    count(near, far);
    EXPECT_GT(near, 0u);
    EXPECT_GT(far, 0u);
}

TEST_F(PuzzleFloorViewTest, TopViewDrawsEveryTileInViewUpToTheEdges)
{
    ASSERT_TRUE(StartPuzzle("wide.pzd"));
    scene->GetCamera()->SetMode(CameraMode::TopView);
    ExpectSameAsWholeBoard("top view");
}

} // namespace
} // namespace PuzzleSceneTest
