// The game's background solver as the player meets it (PositionAnalyser, SolverBudget.h):
//   - hint latency: from the request to the answer being ready for the main thread, per
//     shipped stage, from the start and from the position halfway along a shortest solution;
//   - dead-end latency: the same after a losing move on 体験版Hard (the first move found,
//     along its shortest solution, that leaves no way to clear);
//   - with "memory": one budget-limited search of a hostile 255 x 255 stage with 7,225 frogs,
//     its outcome, time and the process's peak resident memory (run it on its own so the peak
//     is the search's).
//
//     build/bench/solver/ingame_solver_bench [RUNS]
//     build/bench/solver/ingame_solver_bench memory
#include "PositionAnalyser.h"
#include "PuzzleRules.h"
#include "SolverBudget.h"
#include "StageDataReader.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Plays one solver move on a resting board the way the rules end it: the player's slide, the
// frog's slide, or the frog gone.
void ApplyMove(PuzzleBoard& board, const SolverMove& move)
{
    PuzzleRules rules;
    rules.board = board;
    const Cell player = board.player->GetCell();
    if (move.action == SolverAction::Slide) {
        const Cell end = rules.Slide(player, move.direction, nullptr);
        board.player->x = end.x;
        board.player->y = end.y;
        return;
    }
    const Cell front{static_cast<std::uint32_t>(static_cast<std::int64_t>(player.x) + move.direction.dx),
                     static_cast<std::uint32_t>(static_cast<std::int64_t>(player.y) + move.direction.dy)};
    for (std::size_t i = 0; i < board.frogs.size(); ++i) {
        if (board.frogs[i].GetCell() == front) {
            if (move.action == SolverAction::Push) {
                const Cell end = rules.Slide(front, move.direction, &board.frogs[i]);
                board.frogs[i].x = end.x;
                board.frogs[i].y = end.y;
            } else {
                board.frogs.erase(board.frogs.begin() + static_cast<std::ptrdiff_t>(i));
            }
            return;
        }
    }
}

// Median milliseconds from Analyse to TakeResult over `runs` requests; the outcome of the last.
double MedianLatency(const PuzzleBoard& board, int runs, SolveOutcome& outcome)
{
    PositionAnalyser analyser;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        analyser.Analyse(board, static_cast<std::uint64_t>(run));
        PositionAnalysis answer;
        while (!analyser.TakeResult(answer)) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        outcome = answer.outcome;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

const char* OutcomeName(SolveOutcome outcome)
{
    return outcome == SolveOutcome::Solved ? "solved" : outcome == SolveOutcome::Unsolvable ? "dead end" : "gave up";
}

std::vector<std::filesystem::path> Stages(const char* directory)
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (entry.path().extension() == ".pzd") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

int Memory()
{
    StageDataReader stage;
    stage.width = 255;
    stage.height = 255;
    stage.cells.assign(255 * 255, StageCell{1, 0});
    for (std::size_t y = 1; y < 255; y += 3) {
        for (std::size_t x = 1; x < 255; x += 3) {
            stage.cells[y * 255 + x].object = 2;
        }
    }
    stage.cells[1 * 255 + 0].object = 1;
    PuzzleBoard board;
    board.BuildBoard(stage);
    const Clock::time_point start = Clock::now();
    const SolveResult result = SolvePuzzle(board, GameSolveOptions());
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("hostile 255x255, %zu frogs: %s after %zu states in %.0f ms; peak resident memory %.1f MiB "
                "(budget %zu MiB)\n",
                board.frogs.size(), OutcomeName(result.outcome), result.statesSeen, ms,
                static_cast<double>(usage.ru_maxrss) / 1024.0, kGameSolveMaxMemoryBytes >> 20);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "memory") == 0) {
        return Memory();
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    std::printf("load average: ");
    std::fflush(stdout);
    std::system("cut -d' ' -f1-3 /proc/loadavg");
    for (const char* directory : {TOMARUGI_STAGE_DIR, TOMARUGI_EXTRA_STAGE_DIR}) {
        for (const std::filesystem::path& file : Stages(directory)) {
            StageDataReader stage;
            stage.ReadFromPath(file.string().c_str());
            PuzzleBoard board;
            board.BuildBoard(stage);
            const SolveResult solution = SolvePuzzle(board, GameSolveOptions());
            SolveOutcome outcome = SolveOutcome::GaveUp;
            const double fromStart = MedianLatency(board, runs, outcome);
            PuzzleBoard middle = board;
            for (std::size_t i = 0; i < solution.moves.size() / 2; ++i) {
                ApplyMove(middle, solution.moves[i]);
            }
            const double fromMiddle = MedianLatency(middle, runs, outcome);
            std::printf("hint %s: start %.3f ms, after %zu of %zu turns %.3f ms (median of %d)\n",
                        file.stem().string().c_str(), fromStart, solution.moves.size() / 2, solution.moves.size(),
                        fromMiddle, runs);

            if (file.stem() != "体験版Hard") {
                continue;
            }
            // A losing move: along the solution, the first alternative move that leaves no
            // way to clear.
            PuzzleBoard along = board;
            bool found = false;
            for (std::size_t step = 0; step < solution.moves.size() && !found; ++step) {
                for (int action = 0; action < 3 && !found; ++action) {
                    for (const Direction direction : {Up, Down, Left, Right}) {
                        const SolverMove move{static_cast<SolverAction>(action), direction};
                        PuzzleBoard tried = along;
                        ApplyMove(tried, move);
                        if (tried.frogs.size() == along.frogs.size() && tried.player->GetCell() == along.player->GetCell() &&
                            move.action != SolverAction::Push) {
                            continue; // the move does nothing here
                        }
                        if (SolvePuzzle(tried, GameSolveOptions()).outcome != SolveOutcome::Unsolvable) {
                            continue;
                        }
                        const double deadEnd = MedianLatency(tried, runs, outcome);
                        std::printf("dead end %s: after %zu turns, then %s: %s in %.3f ms (median of %d)\n",
                                    file.stem().string().c_str(), step,
                                    FormatMoves({move}).c_str(), OutcomeName(outcome), deadEnd, runs);
                        found = true;
                        break;
                    }
                }
                ApplyMove(along, solution.moves[step]);
            }
        }
    }
    return 0;
}
