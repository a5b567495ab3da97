// The board built from a stage, and the objects' own small operations.
#include "PuzzleBoard.h"
#include "PuzzleTestSupport.h"

#include "MemoryFile.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

StageDataReader RawStage(std::uint8_t width, std::uint8_t height, std::vector<StageCell> cells)
{
    StageDataReader stage;
    stage.width = width;
    stage.height = height;
    stage.cells = std::move(cells);
    return stage;
}

TEST(BuildBoard, PlacesCellsRowByRow)
{
    PuzzleBoard board;
    board.BuildBoard(StageFromRows({"_F.", ".I@"}));
    EXPECT_EQ(board.width, 3);
    EXPECT_EQ(board.height, 2);
    EXPECT_EQ(board.tiles, (std::vector<std::int32_t>{0, 1, 1, 1, 1, 1}));
    ASSERT_EQ(board.frogs.size(), 1u);
    EXPECT_EQ(board.frogs[0].GetCell(), (Cell{1, 0}));
    EXPECT_EQ(board.frogs[0].state, FrogState::Frozen);
    EXPECT_EQ(board.frogs[0].pushable, 1);
    EXPECT_EQ(board.frogs[0].blocking, 1);
    EXPECT_EQ(board.frogs[0].kind, 2);
    ASSERT_EQ(board.icicles.size(), 1u);
    EXPECT_EQ(board.icicles[0].GetCell(), (Cell{1, 1})); // cell 4 of a 3 x 2 stage
    EXPECT_EQ(board.icicles[0].pushable, 0);
    EXPECT_EQ(board.icicles[0].blocking, 1);
    EXPECT_EQ(board.icicles[0].kind, 3);
    EXPECT_EQ(board.player->GetCell(), (Cell{2, 1}));
    EXPECT_EQ(board.player->position, (Lumora::Math::Vector3D{40.0f, 0.0f, -20.0f}));
}

TEST(BuildBoard, StartCell)
{
    PuzzleBoard none;
    none.BuildBoard(StageFromRows({"...", ".F."}));
    EXPECT_EQ(none.player->GetCell(), (Cell{0, 0}));

    PuzzleBoard two;
    two.BuildBoard(StageFromRows({"@..", ".F@"}));
    EXPECT_EQ(two.player->GetCell(), (Cell{2, 1}));
}

TEST(BuildBoard, UnknownCodesPlaceNothingAndAnyFloorButZeroIsIce)
{
    PuzzleBoard board;
    board.BuildBoard(RawStage(5, 1, {{2, 0}, {1, 4}, {1, -1}, {-3, 99}, {0, 2}}));
    EXPECT_TRUE(board.icicles.empty());
    ASSERT_EQ(board.frogs.size(), 1u); // a frog on a hole still counts
    EXPECT_EQ(board.frogs[0].GetCell(), (Cell{4, 0}));
    EXPECT_EQ(board.tiles, (std::vector<std::int32_t>{2, 1, 1, -3, 0}));
    EXPECT_FALSE(board.IsHole({0, 0}));
    EXPECT_FALSE(board.IsHole({3, 0}));
    EXPECT_TRUE(board.IsHole({4, 0}));
    EXPECT_TRUE(board.IsHole({5, 0})); // off the board
}

TEST(BuildBoard, FromEngineFileAndFromNothing)
{
    std::vector<std::uint8_t> bytes = {0, 0, 0, 0, 2, 1, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0};
    MemoryFile file(bytes);
    PuzzleBoard board;
    board.BuildBoard(&file);
    EXPECT_EQ(board.width, 2);
    EXPECT_EQ(board.frogs.size(), 1u);

    PuzzleBoard empty;
    empty.BuildBoard(static_cast<Lumora::IFile*>(nullptr));
    EXPECT_EQ(empty.width, 0);
    EXPECT_TRUE(empty.tiles.empty());
}

TEST(BuildBoard, IndexAccessIsRangeChecked)
{
    PuzzleBoard board;
    board.BuildBoard(StageFromRows({"@FI"}));
    EXPECT_EQ(board.Frog(0).GetCell(), (Cell{1, 0}));
    EXPECT_EQ(board.Icicle(0).GetCell(), (Cell{2, 0}));
    try {
        board.Frog(1);
        FAIL() << "no exception";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "invalid vector<T> subscript");
    }
    EXPECT_THROW(board.Icicle(1), std::out_of_range);
    const PuzzleBoard& constant = board;
    EXPECT_THROW(constant.Frog(7), std::out_of_range);
}

TEST(BuildBoard, CopiesAreSeparatePositions)
{
    PuzzleBoard board;
    board.BuildBoard(StageFromRows({"@.F"}));
    PuzzleBoard copy = board;
    copy.player->x = 1;
    copy.frogs[0].x = 1;
    EXPECT_EQ(board.player->x, 0u);
    EXPECT_EQ(board.frogs[0].x, 2u);
    board = copy;
    EXPECT_EQ(board.player->x, 1u);
    EXPECT_NE(board.player, copy.player);
}

TEST(CellMaths, SignAndCellOfPosition)
{
    EXPECT_EQ(Sign({0, -7}), (Direction{0, -1}));
    EXPECT_EQ(Sign({12, 0}), Right);
    EXPECT_EQ(Sign({-3, 3}), (Direction{-1, 1}));
    EXPECT_EQ(CellOfPosition({39.9f, 0, -0.5f}), (Cell{1, 0}));
    EXPECT_EQ(CellOfPosition({-0.1f, 0, -5}), (Cell{0, 0}));
    EXPECT_EQ(CellOfPosition({5, 0, 0.1f}), (Cell{0, 0}));
    EXPECT_EQ(CellOfPosition({100, 0, -59.9f}), (Cell{5, 2}));
    EXPECT_EQ(PositionOfCell({3, 4}), (Lumora::Math::Vector3D{60, 0, -80}));
}

TEST(Player, MoveToStartsOnlyStraightMovesFromIdle)
{
    PuzzlerNuiko player;
    player.x = 2;
    player.y = 2;
    EXPECT_FALSE(player.MoveTo({2, 2}));
    EXPECT_EQ(player.facing, Down); // unchanged
    EXPECT_FALSE(player.MoveTo({3, 3}));
    EXPECT_EQ(player.state, PuzzlerState::Idle);
    EXPECT_TRUE(player.MoveTo({0, 2}));
    EXPECT_EQ(player.state, PuzzlerState::Moving);
    EXPECT_EQ(player.facing, Left);
    EXPECT_EQ(player.targetX, 0u);
    EXPECT_FALSE(player.MoveTo({2, 0})); // already moving
    EXPECT_EQ(player.facing, Left);
}

} // namespace
