// The rating's figures on boards small enough to count by hand.
#include "PuzzleRating.h"
#include "PuzzleTestSupport.h"

#include <gtest/gtest.h>

namespace {

PuzzleBoard BoardFromRows(const std::vector<std::string>& rows)
{
    PuzzleBoard board;
    board.BuildBoard(StageFromRows(rows));
    return board;
}

// Two frogs either side of the player: left first or right first, four turns each way.
// The icicle on the far row is unreachable decoration.
const std::vector<std::string> TwoWays = {
    "F.@.F",
    "_____",
    "I....",
};

TEST(PuzzleRating, CountsEveryShortestSolutionAndFindsTheNoise)
{
    const PuzzleRating rating = RatePuzzle(BoardFromRows(TwoWays));
    ASSERT_EQ(rating.outcome, RatingOutcome::Rated);
    EXPECT_EQ(rating.fewestTurns, 4u);
    EXPECT_EQ(rating.shortestSolutions, 2u);
    EXPECT_EQ(rating.pushes, 0u);
    EXPECT_EQ(rating.thaws, 2u);
    EXPECT_EQ(rating.firstMoves, 2u); // slide left, slide right
    EXPECT_EQ(rating.deadFirstMoves, 0u);
    // The first in move order: Up, Down, Left, Right.
    EXPECT_EQ(FormatMoves(rating.solution), "L TL R TR");
    // Removing a frog saves more than its own thaw (the walk to it), so neither is noise;
    // the icicle changes nothing.
    ASSERT_EQ(rating.noise.size(), 1u);
    EXPECT_EQ(rating.noise[0].kind, NoiseObject::Kind::Icicle);
    EXPECT_EQ(rating.noise[0].cell, (Cell{0, 2}));
}

TEST(PuzzleRating, ThawingTheOnlyStopIsATrap)
{
    // The lower frog can only be thawed from (3, 0), where the upper frog stands. Thawing
    // the upper frog from (2, 0) leaves no stop on that cell: a dead end. Pushing it to
    // the edge first makes it the stop.
    const PuzzleRating rating = RatePuzzle(BoardFromRows({
        "@..F.",
        "___F_",
    }));
    ASSERT_EQ(rating.outcome, RatingOutcome::Rated);
    EXPECT_EQ(rating.fewestTurns, 5u);
    EXPECT_EQ(rating.pushes, 1u);
    EXPECT_EQ(FormatMoves(rating.solution), "R PR R TD TR");
    EXPECT_EQ(rating.shortestSolutions, 2u); // the last two thaws in either order
    EXPECT_EQ(rating.firstMoves, 1u);
    EXPECT_EQ(rating.deadFirstMoves, 0u);
    EXPECT_EQ(rating.trappedPositions, 1u); // only at (2, 0) before the push
    EXPECT_EQ(rating.trapMoves, 1u);
    EXPECT_TRUE(rating.noise.empty());
}

TEST(PuzzleRating, RefusesWhatItCannotRate)
{
    EXPECT_EQ(RatePuzzle(BoardFromRows({"@_F"})).outcome, RatingOutcome::Unsolvable);
    RatingOptions small;
    small.maxStates = 1;
    EXPECT_EQ(RatePuzzle(BoardFromRows(TwoWays), small).outcome, RatingOutcome::GaveUp);
}

} // namespace
