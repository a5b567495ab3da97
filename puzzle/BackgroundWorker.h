// puzzle/BackgroundWorker.h: one thread that runs a screen's searches, the newest first.
//
// The kind of worker every background search of the game runs on (the editor's live figures,
// the endless boards' generator, ...): one thread per owner, started with the owner and
// joined when it goes, at background priority when the owner passes the engine's call as
// `onThreadStart`. Only the newest request matters: Post drops a job still waiting and asks
// the running one to stop; a job sees that through the flag it is given and returns at its
// next look (the solver's SolveOptions::cancel is read once per state). What a job finds it
// hands back itself (typically into a slot guarded by its owner's mutex); the worker only
// runs it.
//
//     BackgroundWorker worker(Lumora::System::SetThreadBackground);
//     worker.Post([&](const std::atomic<bool>& cancelled) { ... if (cancelled) return; ... });
//     worker.IsBusy();                          // true while a job waits or runs
//
// Post, Cancel and IsBusy may be called from any thread; the destructor cancels, waits for
// the running job to return and joins the thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class BackgroundWorker {
public:
    // The work: runs on the worker thread; `cancelled` turns true when a newer job was posted,
    // Cancel was called or the worker is being destroyed.
    using Job = std::function<void(const std::atomic<bool>& cancelled)>;

    explicit BackgroundWorker(std::function<void()> onThreadStart = {});
    ~BackgroundWorker();
    BackgroundWorker(const BackgroundWorker&) = delete;
    BackgroundWorker& operator=(const BackgroundWorker&) = delete;

    // Queues `job` in place of any job still waiting and cancels the one running. Returns
    // the job's number (1, 2, ...): owners label results with it to tell the newest.
    std::uint64_t Post(Job job);
    // Drops the waiting job and cancels the running one.
    void Cancel();
    // True while a job waits or runs.
    bool IsBusy() const;

private:
    void Run(const std::function<void()>& onThreadStart);

    mutable std::mutex mutex;
    std::condition_variable wake;
    Job waiting;                  // guarded; empty when none
    std::uint64_t posted = 0;     // guarded: the number of the newest job
    bool running = false;         // guarded
    bool stopping = false;        // guarded
    std::atomic<bool> cancelled{false};
    std::thread thread; // last: started once everything above exists
};
