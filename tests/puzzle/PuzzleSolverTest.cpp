// The solver against the real rules: its counts are fewest turns, its moves play.
#include "PuzzleReplay.h"
#include "PuzzleSolver.h"
#include "PuzzleTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
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

// Fewest turns found by searching over the real rules themselves: states are whole rule
// objects, keyed by player cell, facing and frog cells; actions are single presses of a
// direction, push or defrost, each played frame by frame. Turning costs 0, the rest what
// the rules count. Returns -1 when no state is cleared.
int FewestTurnsByTheRules(const StageDataReader& stage)
{
    using Key = std::vector<std::int64_t>;
    auto keyOf = [](const PuzzleRules& rules) {
        const PuzzlerNuiko& player = *rules.board.player;
        Key key = {player.x, player.y, player.facing.dx, player.facing.dy};
        std::vector<std::int64_t> frogs;
        for (const PuzzleObjectFrozenFrog& frog : rules.board.frogs) {
            frogs.push_back(std::int64_t{frog.y} * 1000 + frog.x);
        }
        std::sort(frogs.begin(), frogs.end());
        key.insert(key.end(), frogs.begin(), frogs.end());
        return key;
    };
    PuzzleRules start;
    start.board.BuildBoard(stage);
    start.Step({}); // a stage without frogs is cleared here
    std::map<Key, std::uint64_t> best;
    std::deque<PuzzleRules> open = {start};
    best[keyOf(start)] = 0;
    const int presses[] = {ButtonUp, ButtonDown, ButtonLeft, ButtonRight, ButtonPush, ButtonDefrost};
    while (!open.empty()) {
        PuzzleRules rules = open.front();
        open.pop_front();
        if (rules.turns > best[keyOf(rules)]) {
            continue;
        }
        if (rules.board.player->state == PuzzlerState::Cleared) {
            return static_cast<int>(rules.turns); // 0-1 search: the first cleared is fewest
        }
        for (int button : presses) {
            PuzzleRules next = rules;
            RunAction(next, PuzzleButtons::Bit(button), ReplayLeaveLength, 5000);
            next.Step({});
            const Key key = keyOf(next);
            const auto seen = best.find(key);
            if (seen != best.end() && seen->second <= next.turns) {
                continue;
            }
            best[key] = next.turns;
            if (next.turns == rules.turns) {
                open.push_front(next);
            } else {
                open.push_back(next);
            }
        }
    }
    return -1;
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
