// Every shipped stage, played to the clear with its recorded solution through the rules
// at the game's own timing (one draw per update, a 30-frame leave animation).
#include "MovePlayback.h"
#include "PlayedMoves.h"
#include "PuzzleRating.h"
#include "PuzzleReplay.h"
#include "RulesSearch.h"
#include "PuzzleSolver.h"
#include "StageDataReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct RecordedSolution {
    std::string kind;
    std::string file;
    std::size_t turns = 0;
    std::string moves;
};

std::vector<RecordedSolution> LoadSolutions()
{
    std::ifstream in(TOMARUGI_STAGE_SOLUTIONS);
    std::vector<RecordedSolution> solutions;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        RecordedSolution solution;
        std::string turns;
        std::getline(fields, solution.kind, '\t');
        std::getline(fields, solution.file, '\t');
        std::getline(fields, turns, '\t');
        std::getline(fields, solution.moves);
        solution.turns = std::stoul(turns);
        solutions.push_back(solution);
    }
    return solutions;
}

std::string StagePath(const RecordedSolution& solution)
{
    return std::string(solution.kind == "extra" ? TOMARUGI_EXTRA_STAGE_DIR : TOMARUGI_STAGE_DIR) + "/" + solution.file;
}

TEST(ShippedStages, TheFiveNormalStagesAreRecorded)
{
    std::set<std::string> normal;
    for (const RecordedSolution& solution : LoadSolutions()) {
        if (solution.kind == "normal") {
            normal.insert(solution.file);
        }
    }
    EXPECT_EQ(normal, (std::set<std::string>{"練習問題１.pzd", "練習問題２.pzd", "体験版Easy.pzd", "体験版Normal.pzd",
                                             "体験版Hard.pzd"}));
}

TEST(ShippedStages, RecordedSolutionsClearInExactlyTheirTurns)
{
    const std::vector<RecordedSolution> solutions = LoadSolutions();
    ASSERT_GE(solutions.size(), 7u);
    for (const RecordedSolution& solution : solutions) {
        SCOPED_TRACE(solution.file);
        StageDataReader stage;
        ASSERT_TRUE(stage.ReadFromPath(StagePath(solution).c_str()));
        std::vector<SolverMove> moves;
        ASSERT_TRUE(ParseMoves(solution.moves, moves));
        ASSERT_EQ(moves.size(), solution.turns);

        PuzzleRules rules;
        rules.board.BuildBoard(stage);
        const ReplayReport report = ReplayMoves(rules, moves);
        EXPECT_TRUE(report.ok) << report.failure;
        EXPECT_EQ(rules.turns, solution.turns);
        EXPECT_EQ(rules.board.player->state, PuzzlerState::Cleared);
    }
}

TEST(ShippedStages, RecordedTurnsAreStillTheFewest)
{
    for (const RecordedSolution& solution : LoadSolutions()) {
        SCOPED_TRACE(solution.file);
        StageDataReader stage;
        ASSERT_TRUE(stage.ReadFromPath(StagePath(solution).c_str()));
        PuzzleBoard board;
        board.BuildBoard(stage);
        const SolveResult result = SolvePuzzle(board);
        ASSERT_EQ(result.outcome, SolveOutcome::Solved);
        EXPECT_EQ(result.moves.size(), solution.turns);
    }
}

TEST(ShippedStages, HardNeedsPlanning)
{
    StageDataReader stage;
    ASSERT_TRUE(stage.ReadFromPath((std::string(TOMARUGI_STAGE_DIR) + "/体験版Hard.pzd").c_str()));
    PuzzleBoard board;
    board.BuildBoard(stage);
    const SolveResult result = SolvePuzzle(board);
    ASSERT_EQ(result.outcome, SolveOutcome::Solved);
    EXPECT_GT(result.moves.size(), 15u);
    SolveOptions noPush;
    noPush.allowPushes = false;
    EXPECT_EQ(SolvePuzzle(board, noPush).outcome, SolveOutcome::Unsolvable);
    // Some first moves that look fine leave the stage impossible to clear.
    int deadEnds = 0;
    for (const SolverAction action : {SolverAction::Slide, SolverAction::Push, SolverAction::Defrost}) {
        for (const Direction direction : {Up, Down, Left, Right}) {
            PuzzleRules rules;
            rules.board = board;
            if (!ReplayMoves(rules, {{action, direction}}, ReplayLeaveLength, false).ok) {
                continue; // that first move does nothing
            }
            deadEnds += SolvePuzzle(rules.board).outcome == SolveOutcome::Unsolvable ? 1 : 0;
        }
    }
    EXPECT_GE(deadEnds, 2);
}

// The numbered extra stages come in three tiers of ten ("1-01 …" to "3-10 …"): each tier
// within its range of fewest turns and rising, the last tier with dead ends at several
// positions, and no stage carrying an object that changes nothing.
TEST(ShippedStages, ExtraTiersRiseWithinTheirRangesWithoutNoise)
{
    std::map<std::string, std::string> numbered; // "1-01" -> path, in name order
    for (const auto& entry : std::filesystem::directory_iterator(TOMARUGI_EXTRA_STAGE_DIR)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 5 && name[0] >= '1' && name[0] <= '3' && name[1] == '-' && name[4] == ' ') {
            EXPECT_TRUE(numbered.emplace(name.substr(0, 4), entry.path().string()).second) << name;
        }
    }
    ASSERT_EQ(numbered.size(), 30u);
    const std::uint32_t lowest[3] = {5, 11, 19};
    const std::uint32_t highest[3] = {10, 18, 1000};
    std::uint32_t previous[3] = {0, 0, 0};
    for (const auto& [number, path] : numbered) {
        SCOPED_TRACE(path);
        const int tier = number[0] - '1';
        EXPECT_GE(std::stoi(number.substr(2)), 1);
        EXPECT_LE(std::stoi(number.substr(2)), 10);
        StageDataReader stage;
        ASSERT_TRUE(stage.ReadFromPath(path.c_str()));
        PuzzleBoard board;
        board.BuildBoard(stage);
        const PuzzleRating rating = RatePuzzle(board);
        ASSERT_EQ(rating.outcome, RatingOutcome::Rated);
        EXPECT_GE(rating.fewestTurns, lowest[tier]);
        EXPECT_LE(rating.fewestTurns, highest[tier]);
        EXPECT_GE(rating.fewestTurns, previous[tier]) << "the tier does not rise here";
        previous[tier] = rating.fewestTurns;
        EXPECT_TRUE(rating.noise.empty());
        if (tier == 2) {
            EXPECT_GE(rating.trappedPositions, 5u);
        }
    }
}

// Every move that does something from where the rules stand (a slide that moves, a push
// that moves a frog, a thaw of the frog in front), found by trying all twelve.
std::vector<SolverMove> LegalMoves(const PuzzleRules& rules)
{
    std::vector<SolverMove> legal;
    for (const SolverAction action : {SolverAction::Slide, SolverAction::Push, SolverAction::Defrost}) {
        for (const Direction direction : {Up, Down, Left, Right}) {
            PuzzleRules trial = rules;
            if (PlayMoves(trial, {{action, direction}}).ok) {
                legal.push_back({action, direction});
            }
        }
    }
    return legal;
}

// Random positions of every shipped stage, reached by playing random moves through the
// rules. From each, the hint (the first move of a fresh solve) is followed move by move:
// every hint must play, cost one turn and leave one turn fewer to go, and the stage must be
// cleared in exactly the fewest turns the first solve named. A position the solver calls
// unclearable must be unclearable by the search over the rules themselves too.
TEST(Hints, FollowedFromRandomReachablePositionsClearInTheRemainingFewestTurns)
{
    std::mt19937 random(20261208);
    int followed = 0;
    int deadEnds = 0;
    for (const RecordedSolution& solution : LoadSolutions()) {
        StageDataReader stage;
        ASSERT_TRUE(stage.ReadFromPath(StagePath(solution).c_str())) << solution.file;
        for (int walk = 0; walk < 6; ++walk) {
            PuzzleRules rules;
            rules.board.BuildBoard(stage);
            std::string played;
            const std::size_t length = random() % (solution.turns + 1);
            for (std::size_t i = 0; i < length; ++i) {
                const std::vector<SolverMove> legal = LegalMoves(rules);
                if (legal.empty()) {
                    break;
                }
                const SolverMove move = legal[random() % legal.size()];
                ASSERT_TRUE(PlayMoves(rules, {move}).ok);
                played += FormatMoves({move}) + " ";
                if (rules.board.player->state == PuzzlerState::Cleared) {
                    break;
                }
            }
            SCOPED_TRACE(solution.file + " after: " + played);
            if (rules.board.player->state == PuzzlerState::Cleared) {
                continue;
            }
            const SolveResult first = SolvePuzzle(rules.board);
            ASSERT_NE(first.outcome, SolveOutcome::GaveUp);
            if (first.outcome == SolveOutcome::Unsolvable) {
                ++deadEnds;
                EXPECT_EQ(FewestTurnsByTheRules(rules), -1);
                continue;
            }
            ++followed;
            const std::uint64_t turnsBefore = rules.turns;
            for (std::size_t left = first.moves.size(); left > 0; --left) {
                const SolveResult now = SolvePuzzle(rules.board);
                ASSERT_EQ(now.outcome, SolveOutcome::Solved);
                ASSERT_EQ(now.moves.size(), left);
                const ReplayReport step = PlayMoves(rules, {now.moves.front()});
                ASSERT_TRUE(step.ok) << step.failure;
                EXPECT_EQ(step.cleared, left == 1);
            }
            EXPECT_EQ(rules.board.player->state, PuzzlerState::Cleared);
            EXPECT_EQ(rules.turns - turnsBefore, first.moves.size());
        }
    }
    // The sample must exercise both outcomes.
    EXPECT_GT(followed, 10);
    EXPECT_GT(deadEnds, 2);
}

// The losing first moves of a stage are dead ends by both searches, and the winning ones
// are not: the solver's word is never a guess.
TEST(Hints, DeadEndsAfterEveryFirstMoveAgreeWithTheSearchOverTheRules)
{
    for (const char* name : {"練習問題２.pzd", "体験版Normal.pzd", "体験版Hard.pzd"}) {
        SCOPED_TRACE(name);
        StageDataReader stage;
        ASSERT_TRUE(stage.ReadFromPath((std::string(TOMARUGI_STAGE_DIR) + "/" + name).c_str()));
        PuzzleRules start;
        start.board.BuildBoard(stage);
        int deadEnds = 0;
        for (const SolverMove& move : LegalMoves(start)) {
            PuzzleRules rules = start;
            ASSERT_TRUE(PlayMoves(rules, {move}).ok);
            const SolveResult result = SolvePuzzle(rules.board);
            const int byTheRules = FewestTurnsByTheRules(rules);
            SCOPED_TRACE(FormatMoves({move}));
            if (result.outcome == SolveOutcome::Unsolvable) {
                ++deadEnds;
                EXPECT_EQ(byTheRules, -1);
            } else {
                ASSERT_EQ(result.outcome, SolveOutcome::Solved);
                EXPECT_EQ(byTheRules, static_cast<int>(result.moves.size()));
            }
        }
        EXPECT_GE(deadEnds, 1);
    }
}

// The puzzle screen's loop, without the engine: each frame one draw's frog animation, then
// one update of the rules with `buttons`, the move log around the step.
void RunFrame(PuzzleRules& rules, PlayedMoves& log, const PuzzleButtons& buttons)
{
    rules.AdvanceFrogs(ReplayLeaveLength);
    log.BeforeStep(rules);
    rules.Step(buttons);
    log.AfterStep(rules);
}

std::vector<Cell> FrogCells(const PuzzleBoard& board)
{
    std::vector<Cell> cells;
    for (const PuzzleObjectFrozenFrog& frog : board.frogs) {
        cells.push_back(frog.GetCell());
    }
    return cells;
}

// A player pressing at random, in the middle of slides, pushes and thaws included (the
// rules ignore what they must), on every shipped stage: whatever the log wrote down, played
// again from the start by the replay code, must reach the very same position in the same
// turns. So the moves stored with a record always replay to the same clear.
TEST(PlayedMoves, RandomPlayIsWrittenDownAsMovesThatReachTheSamePosition)
{
    std::mt19937 random(20261209);
    const int buttons[] = {ButtonUp, ButtonDown, ButtonLeft, ButtonRight, ButtonPush, ButtonDefrost};
    int turnsLogged = 0;
    int actionsLogged[3] = {0, 0, 0};
    for (const RecordedSolution& solution : LoadSolutions()) {
        StageDataReader stage;
        ASSERT_TRUE(stage.ReadFromPath(StagePath(solution).c_str())) << solution.file;
        for (int walk = 0; walk < 4; ++walk) {
            PuzzleRules rules;
            rules.board.BuildBoard(stage);
            PlayedMoves log;
            for (int frame = 0; frame < 3000 && rules.board.player->state != PuzzlerState::Cleared; ++frame) {
                PuzzleButtons pressed;
                if (random() % 6 == 0) {
                    const int direction = buttons[random() % 4];
                    pressed = PuzzleButtons::Press({direction});
                    if (random() % 3 == 0) {
                        pressed = PuzzleButtons::Press({direction, buttons[4 + random() % 2]});
                    }
                }
                RunFrame(rules, log, pressed);
            }
            for (int frame = 0; frame < 400; ++frame) {
                RunFrame(rules, log, {}); // let the last action end
            }
            SCOPED_TRACE(solution.file + " walk " + std::to_string(walk) + ": " + FormatMoves(log.Moves()));
            ASSERT_TRUE(log.IsCompleteFor(rules));
            ASSERT_EQ(log.Moves().size(), rules.turns);

            PuzzleRules again;
            again.board.BuildBoard(stage);
            const ReplayReport report = PlayMoves(again, log.Moves());
            ASSERT_TRUE(report.ok) << report.failure;
            EXPECT_EQ(again.turns, rules.turns);
            EXPECT_EQ(again.board.player->GetCell(), rules.board.player->GetCell());
            EXPECT_EQ(FrogCells(again.board), FrogCells(rules.board));
            EXPECT_EQ(again.board.player->state == PuzzlerState::Cleared,
                      rules.board.player->state == PuzzlerState::Cleared);

            // The notation carries the list to the save file and back unchanged.
            std::vector<SolverMove> parsed;
            ASSERT_TRUE(ParseMoves(FormatMoves(log.Moves()), parsed));
            EXPECT_EQ(parsed, log.Moves());
            turnsLogged += static_cast<int>(rules.turns);
            for (const SolverMove& move : log.Moves()) {
                ++actionsLogged[static_cast<int>(move.action)];
            }
        }
    }
    // The walks must have done something of every kind for the property to mean much.
    EXPECT_GT(turnsLogged, 500);
    EXPECT_GT(actionsLogged[0], 100);
    EXPECT_GT(actionsLogged[1], 10);
    EXPECT_GT(actionsLogged[2], 10);
}

// A replay presses the stored moves through the same loop: every shipped solution clears
// its stage in exactly its turns, written down again as itself, even when the frames between
// the moves vary; a list that no longer fits (one move cut, one added, none) is refused
// before anything is played.
TEST(MovePlayback, PlaysEverySolutionToTheClearAndRefusesListsThatDoNotFit)
{
    std::mt19937 random(20261210);
    for (const RecordedSolution& solution : LoadSolutions()) {
        SCOPED_TRACE(solution.file);
        StageDataReader stage;
        ASSERT_TRUE(stage.ReadFromPath(StagePath(solution).c_str()));
        std::vector<SolverMove> moves;
        ASSERT_TRUE(ParseMoves(solution.moves, moves));
        PuzzleRules rules;
        rules.board.BuildBoard(stage);
        ASSERT_TRUE(MovesFit(rules.board, moves));

        MovePlayback playback(moves, 0);
        PlayedMoves log;
        std::uint64_t frames = 0;
        while (rules.board.player->state != PuzzlerState::Cleared && frames < 100000) {
            // Now and then a frame without an update (a slow draw, the menu open).
            if (random() % 5 == 0) {
                rules.AdvanceFrogs(ReplayLeaveLength);
            }
            const PuzzleButtons buttons = playback.NextButtons(rules);
            RunFrame(rules, log, buttons);
            ++frames;
        }
        EXPECT_EQ(rules.board.player->state, PuzzlerState::Cleared);
        EXPECT_EQ(rules.turns, solution.turns);
        EXPECT_TRUE(playback.AllPressed());
        EXPECT_EQ(FormatMoves(log.Moves()), solution.moves);

        PuzzleBoard start;
        start.BuildBoard(stage);
        std::vector<SolverMove> cut(moves.begin(), moves.end() - 1);
        EXPECT_FALSE(MovesFit(start, cut)) << "one move short does not clear";
        std::vector<SolverMove> longer = moves;
        longer.push_back(moves.front());
        EXPECT_FALSE(MovesFit(start, longer)) << "a move after the clear";
        EXPECT_FALSE(MovesFit(start, {}));
    }
}

} // namespace
