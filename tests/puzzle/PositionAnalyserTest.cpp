// The puzzle screen's background solver: answers for the newest position only, hints that
// clear in the fewest turns left, and dead ends proven by a complete search.
#include "PositionAnalyser.h"
#include "PuzzleReplay.h"
#include "PuzzleTestSupport.h"

#include "HostileStage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

PuzzleBoard BoardFromRows(const std::vector<std::string>& rows)
{
    PuzzleBoard board;
    board.BuildBoard(StageFromRows(rows));
    return board;
}

// Waits (up to 10 s) for the answer to the newest request.
bool WaitForAnswer(PositionAnalyser& analyser, PositionAnalysis& answer)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!analyser.TakeResult(answer)) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The second practice stage: pushing the first frog makes the wall the second one needs;
// thawing it first leaves no way to stop above the second frog.
const std::vector<std::string> kPushThenThaw = {
    "__________",
    "_@F.....I_",
    "______.___",
    "______F___",
    "__________",
};

TEST(PositionAnalyser, AnswersTheStartWithAFewestTurnSolution)
{
    PositionAnalyser analyser;
    analyser.Analyse(BoardFromRows(kPushThenThaw), 0);
    PositionAnalysis answer;
    ASSERT_TRUE(WaitForAnswer(analyser, answer));
    EXPECT_EQ(answer.position, 0u);
    ASSERT_EQ(answer.outcome, SolveOutcome::Solved);
    EXPECT_EQ(FormatMoves(answer.moves), "PR R TR D TD");
    EXPECT_FALSE(analyser.TakeResult(answer)) << "an answer is handed out once";
    EXPECT_FALSE(analyser.IsBusy());
}

TEST(PositionAnalyser, ProvesTheDeadEndAfterThawingTheWrongFrogAndOnlyThen)
{
    PuzzleBoard board = BoardFromRows(kPushThenThaw);
    PositionAnalyser analyser;
    // The position after "TR": the first frog gone.
    PuzzleBoard thawed = board;
    thawed.frogs.erase(thawed.frogs.begin());
    analyser.Analyse(thawed, 1);
    PositionAnalysis answer;
    ASSERT_TRUE(WaitForAnswer(analyser, answer));
    EXPECT_EQ(answer.outcome, SolveOutcome::Unsolvable);

    // A budget too small for the search says nothing: GaveUp, never Unsolvable.
    SolveOptions tiny;
    tiny.maxStates = 2;
    PositionAnalyser limited(tiny);
    limited.Analyse(board, 0);
    ASSERT_TRUE(WaitForAnswer(limited, answer));
    EXPECT_EQ(answer.outcome, SolveOutcome::GaveUp);
}

TEST(PositionAnalyser, OnlyTheNewestRequestIsAnswered)
{
    // A board big enough that the first search is still running when the second request
    // comes; whichever way the race goes, only position 2 may be answered.
    std::vector<std::string> rows(40, std::string(40, '.'));
    rows[0][0] = '@';
    for (int i = 0; i < 9; ++i) {
        rows[static_cast<std::size_t>(3 + i * 4)][static_cast<std::size_t>(5 + i * 3)] = 'F';
    }
    PositionAnalyser analyser;
    analyser.Analyse(BoardFromRows(rows), 1);
    analyser.Analyse(BoardFromRows(kPushThenThaw), 2);
    PositionAnalysis answer;
    ASSERT_TRUE(WaitForAnswer(analyser, answer));
    EXPECT_EQ(answer.position, 2u);
    EXPECT_EQ(answer.moves.size(), 5u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(analyser.TakeResult(answer));
}

TEST(PositionAnalyser, DestructionStopsASearchInProgress)
{
    const std::vector<std::string> rows = HostileStageRows(); // far beyond any quick answer
    // A budget the search could not use up in hours: only the cancel can end it, so the
    // destructor returning at all (within the test's time-out) is the check.
    SolveOptions unbounded;
    unbounded.maxStates = std::size_t{1} << 40;
    unbounded.maxMemoryBytes = std::size_t{1} << 50;
    const PuzzleBoard board = BoardFromRows(rows);
    PositionAnalyser analyser(unbounded);
    analyser.Analyse(board, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(analyser.IsBusy());
}

} // namespace
