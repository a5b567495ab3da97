// The solver against the real rules: its counts are fewest turns, its moves play.
#include "PuzzleReplay.h"
#include "PuzzleSolver.h"
#include "PuzzleTestSupport.h"
#include "RulesSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

PuzzleBoard BoardFromRows(const std::vector<std::string>& rows)
{
    PuzzleBoard board;
    board.BuildBoard(StageFromRows(rows));
    return board;
}

// A random small stage: holes around the edge and scattered, a few frogs and icicles.
std::vector<std::string> RandomRows(std::mt19937& random, int width, int height, int frogs, int icicles)
{
    std::vector<std::string> rows(static_cast<std::size_t>(height), std::string(static_cast<std::size_t>(width), '.'));
    for (std::string& row : rows) {
        for (char& cell : row) {
            if (random() % 6 == 0) {
                cell = '_';
            }
        }
    }
    auto place = [&](char symbol) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            char& cell = rows[random() % rows.size()][random() % static_cast<std::size_t>(width)];
            if (cell == '.') {
                cell = symbol;
                return;
            }
        }
    };
    place('@');
    for (int i = 0; i < frogs; ++i) {
        place('F');
    }
    for (int i = 0; i < icicles; ++i) {
        place('I');
    }
    return rows;
}

TEST(Solver, AgreesWithASearchOverTheRulesThemselves)
{
    std::mt19937 random(20261207);
    int solved = 0;
    for (int round = 0; round < 40; ++round) {
        const std::vector<std::string> rows = RandomRows(random, 5, 4, 1 + round % 3, round % 2);
        const StageDataReader stage = StageFromRows(rows);
        PuzzleBoard board;
        board.BuildBoard(stage);
        const SolveResult result = SolvePuzzle(board);
        const int expected = FewestTurnsByTheRules(stage);
        std::string picture;
        for (const std::string& row : rows) {
            picture += row + "\n";
        }
        SCOPED_TRACE(picture);
        if (expected < 0) {
            EXPECT_EQ(result.outcome, SolveOutcome::Unsolvable);
            continue;
        }
        ++solved;
        ASSERT_EQ(result.outcome, SolveOutcome::Solved);
        EXPECT_EQ(static_cast<int>(result.moves.size()), expected);
    }
    EXPECT_GT(solved, 10); // the sample must exercise solvable stages too
}

TEST(Solver, SolutionsReplayAndPlainBreadthFirstAgrees)
{
    std::mt19937 random(7);
    for (int round = 0; round < 60; ++round) {
        const std::vector<std::string> rows = RandomRows(random, 8, 6, 2 + round % 3, round % 3);
        PuzzleBoard board = BoardFromRows(rows);
        const SolveResult guided = SolvePuzzle(board);
        SolveOptions plain;
        plain.useLowerBound = false;
        const SolveResult breadthFirst = SolvePuzzle(board, plain);
        ASSERT_EQ(guided.outcome, breadthFirst.outcome);
        if (guided.outcome != SolveOutcome::Solved) {
            continue;
        }
        EXPECT_EQ(guided.moves.size(), breadthFirst.moves.size());
        PuzzleRules rules;
        rules.board = board;
        const ReplayReport report = ReplayMoves(rules, guided.moves);
        EXPECT_TRUE(report.ok) << report.failure << "\n" << FormatMoves(guided.moves);
        EXPECT_EQ(rules.turns, guided.moves.size());
    }
}

TEST(Solver, SmallCases)
{
    const SolveResult none = SolvePuzzle(BoardFromRows({"@.."}));
    EXPECT_EQ(none.outcome, SolveOutcome::Solved);
    EXPECT_TRUE(none.moves.empty());

    PuzzleBoard empty;
    empty.BuildBoard(static_cast<Lumora::IFile*>(nullptr));
    EXPECT_EQ(SolvePuzzle(empty).outcome, SolveOutcome::Solved);

    // The frog is walled in by holes: no cell next to it can be stopped on.
    EXPECT_EQ(SolvePuzzle(BoardFromRows({"@..._", "..._F"})).outcome, SolveOutcome::Unsolvable);

    // Standing on a hole: no slide moves, but the frog next to it can be thawed.
    const SolveResult hole = SolvePuzzle(BoardFromRows({"...", ".+F", "..."}));
    ASSERT_EQ(hole.outcome, SolveOutcome::Solved);
    EXPECT_EQ(FormatMoves(hole.moves), "TR");

    // A frog that must be pushed to become the wall for the other one.
    const SolveResult wall = SolvePuzzle(BoardFromRows({"__________", "_@F.....I_", "______.___", "______F___"}));
    ASSERT_EQ(wall.outcome, SolveOutcome::Solved);
    EXPECT_EQ(FormatMoves(wall.moves), "PR R TR D TD");
    SolveOptions noPush;
    noPush.allowPushes = false;
    EXPECT_EQ(SolvePuzzle(BoardFromRows({"__________", "_@F.....I_", "______.___", "______F___"}), noPush).outcome,
              SolveOutcome::Unsolvable);
}

TEST(Solver, GivesUpAtTheStateOrMemoryLimit)
{
    SolveOptions tiny;
    tiny.maxStates = 3;
    const SolveResult result = SolvePuzzle(BoardFromRows({"@......", ".F...F.", ".......", "...F..."}), tiny);
    EXPECT_EQ(result.outcome, SolveOutcome::GaveUp);
    EXPECT_LE(result.statesSeen, 3u);

    // Hundreds of frogs make every state large: the memory bound stops the search.
    std::vector<std::string> crowded(40, std::string(40, '.'));
    for (std::size_t y = 1; y < 40; y += 2) {
        for (std::size_t x = 1; x < 40; x += 2) {
            crowded[y][x] = 'F';
        }
    }
    SolveOptions small;
    small.maxMemoryBytes = 1 << 20;
    const SolveResult crowd = SolvePuzzle(BoardFromRows(crowded), small);
    EXPECT_EQ(crowd.outcome, SolveOutcome::GaveUp);
    EXPECT_LT(crowd.statesSeen * 401 * 2, std::size_t{2} << 20);
}

TEST(SolverMoves, FormatAndParse)
{
    const std::vector<SolverMove> moves = {{SolverAction::Slide, Up},
                                           {SolverAction::Push, Left},
                                           {SolverAction::Defrost, Right},
                                           {SolverAction::Slide, Down}};
    EXPECT_EQ(FormatMoves(moves), "U PL TR D");
    std::vector<SolverMove> parsed;
    ASSERT_TRUE(ParseMoves("  U PL\tTR D ", parsed));
    EXPECT_EQ(parsed, moves);
    ASSERT_TRUE(ParseMoves("", parsed));
    EXPECT_TRUE(parsed.empty());
    parsed = moves;
    for (const char* bad : {"X", "P", "PX", "UU", "u", "TD TX", "PUU"}) {
        EXPECT_FALSE(ParseMoves(bad, parsed)) << bad;
        EXPECT_EQ(parsed, moves) << bad;
    }
}

} // namespace
