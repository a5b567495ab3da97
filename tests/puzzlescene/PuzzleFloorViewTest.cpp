// On a board larger than the view, the puzzle frame queues only the floor tiles the camera
// can show. That walk must be conservative: the tiles drawn are exactly those the renderer
// draws when every tile of the board is queued, including the ones at the view's edges.
// The reference queues the whole board on a scene manager of its own, under the camera the
// game's frame was drawn with.
#include "PuzzleSceneTestSupport.h"

#include <Lumora/ICore.h>
#include <Lumora/IFileManager.h>

#include <algorithm>
#include <cmath>
#include <set>
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
    // The cells of the floor actors the renderer drew (not culled) in `frame`.
    static std::set<Cell> DrawnFloorCells(const RecordedScene& frame)
    {
        std::set<Cell> cells;
        for (const RecordedActor& actor : ActorsOf(frame, "floorboard_ice.lmd")) {
            if (!actor.culled) {
                cells.insert(CellOf(actor));
            }
        }
        return cells;
    }

    // Every floor tile of the board queued under the camera of `frame`: the cells drawn.
    std::set<Cell> ReferenceFloorCells(const RecordedScene& frame)
    {
        Lumora::IRender* render = application->GetRender();
        Lumora::IFileManager* files = application->GetCore()->GetFileManager();
        files->SetCurrentDirectory("graphic/object");
        Lumora::IModel* model = render->CreateModelFromFile("floorboard_ice.lmd");
        EXPECT_NE(model, nullptr);
        const PuzzleBoard& board = scene->GetBoard();
        const std::size_t width = board.Width();
        Lumora::ISceneManager* reference = render->CreateSceneManager(static_cast<std::int32_t>(board.tiles.size()), 1);
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
        for (std::size_t index = 0; index < board.tiles.size() && model != nullptr; ++index) {
            if (board.tiles[index] != 1) {
                continue;
            }
            Lumora::IActor* actor = reference->CreateActor(model);
            actor->ResetTransform();
            actor->Translate(static_cast<float>(index % width) * 20.0f, 0.0f, -static_cast<float>(index / width) * 20.0f);
            actor->UpdateTransform();
            actor->Render();
            actors.push_back(actor);
        }
        reference->End();
        reference->Render(0);
        render->EndFrame();
        const std::vector<RecordedScene> scenes = Lumora::Testing::GetLastScenes();
        std::set<Cell> cells;
        if (!scenes.empty()) {
            cells = DrawnFloorCells(scenes.front());
        }
        for (Lumora::IActor*& actor : actors) {
            Lumora::SafeRelease(actor);
        }
        Lumora::SafeRelease(camera);
        Lumora::SafeRelease(reference);
        Lumora::SafeRelease(model);
        return cells;
    }

    // The game's frame draws the reference's tiles, no more and no fewer, having queued
    // only part of the board; and the view's edges lie on the board (not every tile is in
    // view), so the edge tiles were really at stake.
    void ExpectSameFloorAsWholeBoard(const char* what)
    {
        const RecordedScene frame = Frame();
        const std::vector<RecordedActor> queued = ActorsOf(frame, "floorboard_ice.lmd");
        const std::set<Cell> drawn = DrawnFloorCells(frame);
        const std::set<Cell> reference = ReferenceFloorCells(frame);
        const std::size_t floorTiles = static_cast<std::size_t>(
            std::count(scene->GetBoard().tiles.begin(), scene->GetBoard().tiles.end(), 1));
        ASSERT_FALSE(reference.empty()) << what;
        EXPECT_LT(reference.size(), floorTiles) << what << ": the whole board is in view";
        EXPECT_LT(queued.size(), floorTiles) << what << ": every tile was queued";
        std::vector<Cell> dropped;
        std::set_difference(reference.begin(), reference.end(), drawn.begin(), drawn.end(), std::back_inserter(dropped));
        EXPECT_TRUE(dropped.empty()) << what << ": " << dropped.size() << " tiles in view were not drawn, the first at column "
                                     << dropped.front().first << ", row " << dropped.front().second;
        EXPECT_EQ(drawn.size(), reference.size()) << what;
        // The walk keeps the board's index order.
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
    ExpectSameFloorAsWholeBoard("player in the middle");

    // A slide to the left edge of the board: the view now reaches past the board's side.
    Press(ButtonLeft);
    for (int i = 0; i < 400 && scene->GetBoard().player->state != PuzzlerState::Idle; ++i) {
        Step();
        Frame();
    }
    ASSERT_EQ(scene->GetBoard().player->x, 0u);
    ExpectSameFloorAsWholeBoard("player at the left edge");
}

TEST_F(PuzzleFloorViewTest, TopViewDrawsEveryTileInViewUpToTheEdges)
{
    ASSERT_TRUE(StartPuzzle("wide.pzd"));
    scene->GetCamera()->SetMode(CameraMode::TopView);
    ExpectSameFloorAsWholeBoard("top view");
}

} // namespace
} // namespace PuzzleSceneTest
