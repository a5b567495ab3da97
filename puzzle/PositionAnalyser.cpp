// puzzle/PositionAnalyser.cpp: one worker thread, one request slot, one answer slot.
#include "PositionAnalyser.h"

#include "SolverBudget.h"

PositionAnalyser::PositionAnalyser() : PositionAnalyser(GameSolveOptions()) {}

PositionAnalyser::PositionAnalyser(const SolveOptions& options_, std::function<void()> onThreadStart)
    : options(options_)
{
    options.cancel = &cancel;
    thread = std::thread([this, onThreadStart = std::move(onThreadStart)] {
        if (onThreadStart) {
            onThreadStart();
        }
        Run();
    });
}

PositionAnalyser::~PositionAnalyser()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        cancel.store(true);
    }
    wake.notify_all();
    thread.join();
}

void PositionAnalyser::Analyse(const PuzzleBoard& board, std::uint64_t position)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        pendingBoard = board;
        pendingPosition = position;
        newestPosition = position;
        finished.reset();
        // A search of an older position is of no use any more.
        if (searching) {
            cancel.store(true);
        }
    }
    wake.notify_all();
}

bool PositionAnalyser::TakeResult(PositionAnalysis& result)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!finished || finished->position != newestPosition) {
        return false;
    }
    result = std::move(*finished);
    finished.reset();
    return true;
}

bool PositionAnalyser::IsBusy() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return pendingBoard.has_value() || searching;
}

void PositionAnalyser::Run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || pendingBoard.has_value(); });
        if (stopping) {
            return;
        }
        const PuzzleBoard board = std::move(*pendingBoard);
        const std::uint64_t position = pendingPosition;
        pendingBoard.reset();
        searching = true;
        cancel.store(false);
        lock.unlock();

        SolveResult solved = SolvePuzzle(board, options);

        lock.lock();
        searching = false;
        // A cancelled search says nothing; the request that cancelled it is pending.
        if (!cancel.load() && position == newestPosition) {
            PositionAnalysis analysis;
            analysis.position = position;
            analysis.outcome = solved.outcome;
            analysis.moves = std::move(solved.moves);
            analysis.statesSeen = solved.statesSeen;
            finished = std::move(analysis);
        }
    }
}
