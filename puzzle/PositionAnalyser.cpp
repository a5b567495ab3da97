// puzzle/PositionAnalyser.cpp: one worker thread, one request slot, one answer slot.
#include "PositionAnalyser.h"

#include "SolverBudget.h"

namespace {

// Copies a resting position into `to`, reusing the storage `to` already has.
void CopyPosition(const PuzzleBoard& from, PuzzleBoard& to)
{
    to.width = from.width;
    to.height = from.height;
    to.tiles = from.tiles;
    to.icicles = from.icicles;
    to.frogs = from.frogs;
    *to.player = *from.player;
}

} // namespace

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
        CopyPosition(board, pendingBoard);
        pending = true;
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

void PositionAnalyser::Prepare(const PuzzleBoard& board)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!pending) {
        CopyPosition(board, pendingBoard);
    }
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
    return pending || searching;
}

void PositionAnalyser::Run()
{
    PuzzleBoard board;
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || pending; });
        if (stopping) {
            return;
        }
        CopyPosition(pendingBoard, board);
        const std::uint64_t position = pendingPosition;
        pending = false;
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
