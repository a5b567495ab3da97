// stageselect/StageFewestTurns.h: the fewest turns the stage select shows for each stage.
//
// Normal stages: a table made at build time by solving the compiled stage files that go
// into the data pack (content/stages/FewestTurnsTable.cmake), so they cost nothing at run
// time. Extra stages: solved at run time by a StageSolverWorker, a thread of its own that the
// stage select owns, within the game's budget (puzzle/SolverBudget.h). Each answer is kept in
// the save file's cache table, keyed by kind, name and the file's size and hash: an unchanged
// file is never searched again, an edited one always is (see SaveDataManager.h).
//
// Shown values (StageInfo::fewestTurns): 1 or more the number; kFewestTurnsUnclearable (-1)
// the "x" mark; kFewestTurnsNotKnown (0, still searching) and kFewestTurnsBeyondBudget (-2)
// the "?" mark. A stage with no tiles or no frog cannot be played, so it is "x".
#pragma once

#include "PuzzleSolver.h"
#include "SaveDataManager.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

inline constexpr std::int32_t kFewestTurnsNotKnown = 0;

// The build-time answer for a normal stage (Shift-JIS file name); kFewestTurnsNotKnown for
// a name the table does not hold.
std::int32_t NormalStageFewestTurns(const std::string& name);

// The answer for a stage file's bytes, searched now on the calling thread: the solver's
// fewest turns, kFewestTurnsUnclearable, or kFewestTurnsBeyondBudget (also when `cancel`
// was set). Used by the worker and by tests.
std::int32_t SolveStageBytes(const std::uint8_t* bytes, std::size_t size, const SolveOptions& options);

// One stage to answer: its place in the list, Shift-JIS name and OS path (the file the
// puzzle would play, ExtraStageFilePath in GameFolders.h).
struct StageSolveJob {
    std::size_t index = 0;
    std::string name;
    std::string path;
};

class StageSolverWorker {
public:
    // Starts the thread at once. `cache` is what LoadFewestTurns gave for `kind`; a job whose
    // file matches a cached row by name and hash is answered from it without a search.
    // `onThreadStart`, when given, runs first on the new thread (the game lowers its priority).
    // `cursor` is the list line under the cursor to begin with (see SetCursor).
    StageSolverWorker(std::int32_t kind, std::vector<StageSolveJob> jobs, std::vector<FewestTurnsRow> cache,
                      const SolveOptions& options, std::function<void()> onThreadStart = {},
                      std::size_t cursor = 0);
    // Stops the search in progress (its stage stays unanswered), stores the answers found
    // but not yet stored (one transaction) and joins the thread.
    ~StageSolverWorker();
    StageSolverWorker(const StageSolverWorker&) = delete;
    StageSolverWorker& operator=(const StageSolverWorker&) = delete;

    // The list line under the cursor: the next stage taken is the one nearest to it.
    void SetCursor(std::size_t index) { cursor.store(index, std::memory_order_relaxed); }
    // The answers found since the last call: (list index, shown value).
    std::vector<std::pair<std::size_t, std::int32_t>> TakeAnswers();
    // True while a stage is left to answer or answers are left to store.
    bool IsBusy() const;

private:
    void Run();
    void Answer(const StageSolveJob& job, std::int32_t value);
    void StoreWritten(bool all);

    std::int32_t kind;
    SolveOptions options;
    std::map<std::string, std::pair<std::string, std::int32_t>> cached; // name -> (hash, value)
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::vector<StageSolveJob> pending;                      // guarded
    std::vector<std::pair<std::size_t, std::int32_t>> answers; // guarded
    std::vector<FewestTurnsRow> unstored;                    // worker thread only
    bool working = true;                                     // guarded
    std::atomic<std::size_t> cursor{0};
    std::atomic<bool> stopping{false};
    std::thread thread; // last: started once everything above exists
};
