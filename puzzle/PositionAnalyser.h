// puzzle/PositionAnalyser.h: solves the position on the board on a thread of its own.
//
// The puzzle screen asks for an analysis whenever the player has come to rest after a turn
// (player Idle, every frog Frozen): the answer is both the hint (the first move of a
// fewest-turn way to clear from there) and the dead-end check (no way at all, proven by a
// complete search). The search runs the rules' own solver (PuzzleSolver.h) on a copy of the
// board taken at the request, within the game's budget (SolverBudget.h).
//
// Only the newest request matters: a new one cancels the search in progress and replaces
// one still waiting, and TakeResult hands out only the answer for the newest request.
//
//     PositionAnalyser analyser;               // starts its thread
//     analyser.Analyse(board, turns);          // main thread, after a turn
//     PositionAnalysis analysis;
//     if (analyser.TakeResult(analysis)) ...   // main thread, every update
//
// Analyse, TakeResult and IsBusy are called from one thread (the owner's); the destructor
// cancels the search and joins the thread (a cancelled search stops within one state).
#pragma once

#include "PuzzleBoard.h"
#include "PuzzleSolver.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct PositionAnalysis {
    std::uint64_t position = 0;                // the number the request was made with
    SolveOutcome outcome = SolveOutcome::GaveUp;
    std::vector<SolverMove> moves;             // Solved: a fewest-turn way to clear from there
    std::size_t statesSeen = 0;
};

class PositionAnalyser {
public:
    // `options` bound every search (its cancel field is the analyser's own). `onThreadStart`,
    // when given, runs first on the new thread (the game lowers its priority there).
    explicit PositionAnalyser(const SolveOptions& options, std::function<void()> onThreadStart = {});
    PositionAnalyser();
    ~PositionAnalyser();
    PositionAnalyser(const PositionAnalyser&) = delete;
    PositionAnalyser& operator=(const PositionAnalyser&) = delete;

    // Asks for the analysis of `board` (copied now: frogs Frozen, player Idle), labelled
    // `position`. Any earlier request is dropped.
    void Analyse(const PuzzleBoard& board, std::uint64_t position);
    // Sizes the request's copy for positions of `board` without asking for anything, so that
    // later requests allocate nothing on the caller's thread.
    void Prepare(const PuzzleBoard& board);
    // The finished analysis of the newest request, once; false while there is none.
    bool TakeResult(PositionAnalysis& result);
    // True while the newest request is waiting or being searched.
    bool IsBusy() const;

private:
    void Run();

    SolveOptions options;
    mutable std::mutex mutex;
    std::condition_variable wake;
    // The request's copy of the board, refilled in place so that a request after every turn
    // allocates nothing once the first one has sized it (the game counts a frame's
    // allocations); the thread copies it into its own board the same way.
    PuzzleBoard pendingBoard;                // guarded by mutex
    bool pending = false;                    // guarded: pendingBoard holds a request
    std::uint64_t pendingPosition = 0;       // guarded
    std::uint64_t newestPosition = 0;        // guarded: the label of the newest request
    bool searching = false;                  // guarded
    bool stopping = false;                   // guarded
    std::optional<PositionAnalysis> finished; // guarded
    std::atomic<bool> cancel{false};
    std::thread thread; // last: started once everything above exists
};
