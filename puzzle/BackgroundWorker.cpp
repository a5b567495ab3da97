// puzzle/BackgroundWorker.cpp: the wait-run loop of a screen's search thread.
#include "BackgroundWorker.h"

#include <utility>

BackgroundWorker::BackgroundWorker(std::function<void()> onThreadStart)
    : thread([this, start = std::move(onThreadStart)] { Run(start); })
{
}

BackgroundWorker::~BackgroundWorker()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        waiting = nullptr;
        cancelled.store(true, std::memory_order_relaxed);
    }
    wake.notify_all();
    thread.join();
}

std::uint64_t BackgroundWorker::Post(Job job)
{
    std::uint64_t number = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        waiting = std::move(job);
        number = ++posted;
        // The running job is stale now; the flag is cleared again before the new one starts.
        cancelled.store(true, std::memory_order_relaxed);
    }
    wake.notify_all();
    return number;
}

void BackgroundWorker::Cancel()
{
    std::lock_guard<std::mutex> lock(mutex);
    waiting = nullptr;
    cancelled.store(true, std::memory_order_relaxed);
}

bool BackgroundWorker::IsBusy() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return running || static_cast<bool>(waiting);
}

void BackgroundWorker::Run(const std::function<void()>& onThreadStart)
{
    if (onThreadStart) {
        onThreadStart();
    }
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || static_cast<bool>(waiting); });
        if (stopping) {
            return;
        }
        Job job = std::move(waiting);
        waiting = nullptr;
        running = true;
        cancelled.store(false, std::memory_order_relaxed);
        lock.unlock();
        job(cancelled);
        job = nullptr; // its captures go on this thread, before the owner hears it is idle
        lock.lock();
        running = false;
    }
}
