// "tomarugi-stage generate" run as a player would run it: the same boards for a seed, and
// every figure it claims for a kept board recomputed here another way, by playing moves
// through the rules and asking the solver about each resulting position.
#include "PuzzleReplay.h"
#include "PuzzleSolver.h"
#include "StageText.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace {

const std::string Tool = TOMARUGI_STAGE_TOOL;
// Small boards, so that every check below stays quick; the rules the kept boards claim.
const std::string Options = "--size 6x6 --frogs 2 --icicles 2 --holes 6 --frogs-over-holes 1 --tries 300 "
                            "--keep 4 --min-turns 6 --max-turns 12 --max-solutions 3";

std::string RunTool(const std::string& arguments, int& status)
{
    std::string output;
    FILE* pipe = popen((Tool + " " + arguments + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        status = -1;
        return output;
    }
    std::array<char, 4096> buffer{};
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        output.append(buffer.data(), got);
    }
    status = pclose(pipe);
    return output;
}

struct ClaimedBoard {
    std::map<std::string, std::string> figures; // "fewest turns" -> "9", from the comments
    std::string text;                           // the whole board text
};

std::vector<ClaimedBoard> SplitBoards(const std::string& output)
{
    std::vector<ClaimedBoard> boards;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("; generated:", 0) == 0) {
            boards.emplace_back();
        }
        if (boards.empty()) {
            continue;
        }
        boards.back().text += line + "\n";
        const std::size_t colon = line.find(": ");
        if (line.rfind("; ", 0) == 0 && colon != std::string::npos) {
            boards.back().figures[line.substr(2, colon - 2)] = line.substr(colon + 2);
        }
    }
    return boards;
}

// The position after one move, played through the rules; false when the move does nothing.
bool Play(const PuzzleBoard& board, const SolverMove& move, PuzzleBoard& after)
{
    PuzzleRules rules;
    rules.board = board;
    // A thaw of the last frog clears the stage, which a replay that expects no clear
    // reports; the position is the cleared board all the same.
    if (!ReplayMoves(rules, {move}, ReplayLeaveLength, false).ok && !rules.board.frogs.empty()) {
        return false;
    }
    after = rules.board;
    return true;
}

std::vector<SolverMove> EveryMove()
{
    std::vector<SolverMove> moves;
    for (const SolverAction action : {SolverAction::Slide, SolverAction::Push, SolverAction::Defrost}) {
        for (const Direction direction : {Up, Down, Left, Right}) {
            moves.push_back({action, direction});
        }
    }
    return moves;
}

// Fewest turns from a position by the solver; -1 when it cannot be cleared.
long Fewest(const PuzzleBoard& board)
{
    const SolveResult result = SolvePuzzle(board);
    EXPECT_NE(result.outcome, SolveOutcome::GaveUp);
    return result.outcome == SolveOutcome::Solved ? static_cast<long>(result.moves.size()) : -1;
}

// Moves open at a position, and how many of them leave it impossible to clear.
std::pair<int, int> DeadMoves(const PuzzleBoard& board)
{
    int open = 0;
    int dead = 0;
    for (const SolverMove& move : EveryMove()) {
        PuzzleBoard after;
        if (Play(board, move, after)) {
            ++open;
            dead += Fewest(after) < 0 ? 1 : 0;
        }
    }
    return {open, dead};
}

// Distinct move lists that clear the board in exactly `turns`, walking only into positions
// the solver says can be cleared in the turns left.
std::uint64_t CountShortest(const PuzzleBoard& board, long turns)
{
    if (board.frogs.empty()) {
        return turns == 0 ? 1 : 0;
    }
    std::uint64_t count = 0;
    for (const SolverMove& move : EveryMove()) {
        PuzzleBoard after;
        if (Play(board, move, after) && Fewest(after) == turns - 1) {
            count += CountShortest(after, turns - 1);
        }
    }
    return count;
}

TEST(StageGenerator, TheSameSeedPrintsTheSameBoards)
{
    int status = 0;
    const std::string first = RunTool("generate --seed 7 " + Options, status);
    EXPECT_EQ(status, 0);
    ASSERT_FALSE(first.empty());
    const std::string again = RunTool("generate --seed 7 " + Options, status);
    EXPECT_EQ(first, again);
    const std::string other = RunTool("generate --seed 8 " + Options, status);
    EXPECT_NE(first, other);
}

TEST(StageGenerator, EveryKeptBoardMeetsWhatItClaims)
{
    int status = 0;
    const std::vector<ClaimedBoard> boards = SplitBoards(RunTool("generate --seed 7 " + Options, status));
    ASSERT_EQ(status, 0);
    ASSERT_EQ(boards.size(), 4u);
    for (const ClaimedBoard& claimed : boards) {
        SCOPED_TRACE(claimed.text);
        StageDataReader stage;
        std::string title;
        StageTextError error;
        ASSERT_TRUE(ParseStageText(claimed.text, stage, title, error)) << error.message;
        PuzzleBoard board;
        board.BuildBoard(stage);
        const auto figure = [&](const std::string& name) {
            const auto found = claimed.figures.find(name);
            return found == claimed.figures.end() ? std::string("(missing)") : found->second;
        };

        // Fewest turns, within the rules given, and the claimed solution clears in them.
        const long turns = Fewest(board);
        EXPECT_EQ(figure("fewest turns"), std::to_string(turns));
        EXPECT_GE(turns, 6);
        EXPECT_LE(turns, 12);
        std::vector<SolverMove> solution;
        ASSERT_TRUE(ParseMoves(figure("solution"), solution));
        ASSERT_EQ(static_cast<long>(solution.size()), turns);
        PuzzleRules rules;
        rules.board = board;
        EXPECT_TRUE(ReplayMoves(rules, solution).ok);
        long pushes = 0;
        for (const SolverMove& move : solution) {
            pushes += move.action == SolverAction::Push ? 1 : 0;
        }
        EXPECT_EQ(figure("pushes"), std::to_string(pushes));
        EXPECT_EQ(figure("thaws"), std::to_string(board.frogs.size()));

        // Traps: among the first moves, and at every position along the solution.
        const auto [openFirst, deadFirst] = DeadMoves(board);
        EXPECT_EQ(figure("first-move traps"), std::to_string(deadFirst) + "/" + std::to_string(openFirst));
        int trappedPositions = 0;
        int trapMoves = 0;
        PuzzleBoard position = board;
        for (const SolverMove& move : solution) {
            const int dead = DeadMoves(position).second;
            trappedPositions += dead > 0 ? 1 : 0;
            trapMoves += dead;
            PuzzleBoard after;
            ASSERT_TRUE(Play(position, move, after));
            position = after;
        }
        EXPECT_EQ(figure("trapped positions"), std::to_string(trappedPositions) + "/" + std::to_string(turns) + " (" +
                                                  std::to_string(trapMoves) + " trap moves)");

        const std::uint64_t shortest = CountShortest(board, turns);
        EXPECT_EQ(figure("shortest solutions"), std::to_string(shortest));
        EXPECT_LE(shortest, 3u);

        // No noise left: without any one object the board is harder or easier.
        for (std::size_t i = 0; i < stage.cells.size(); ++i) {
            const auto object = static_cast<StageObject>(stage.cells[i].object);
            if ((object != StageObject::FrozenFrog || board.frogs.size() == 1) && object != StageObject::Icicle) {
                continue;
            }
            StageDataReader without = stage;
            without.cells[i].object = static_cast<std::int32_t>(StageObject::None);
            PuzzleBoard smaller;
            smaller.BuildBoard(without);
            const long same = turns - (object == StageObject::FrozenFrog ? 1 : 0);
            EXPECT_NE(Fewest(smaller), same) << "object at cell " << i << " is noise";
        }
    }
}

TEST(StageGenerator, NothingMeetingTheRulesIsExitOne)
{
    int status = 0;
    const std::string output = RunTool("generate --size 4x1 --frogs 1 --icicles 0 --holes 0 --tries 5 --min-turns 50", status);
    EXPECT_TRUE(output.empty());
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

} // namespace
