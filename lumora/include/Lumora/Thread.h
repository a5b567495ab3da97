// Lumora/Thread.h: a thread, an event and a critical section for the game's loader.
//
// Thin wrappers over the C++ standard library with the shapes the game uses. None of the
// objects may be copied. A CThread must have ended (IsTerminated) or be joinable when it is
// destroyed: its destructor waits for the procedure to return.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace Lumora::Thread {

class CThread {
public:
    // The thread's body; `argument` is what Create was given.
    using Procedure = void (*)(void* argument);

    CThread() = default;
    ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Starts `procedure(argument)` on a new thread. Returns false when this object already
    // runs a thread that has not been waited for, or when the system refuses a thread.
    bool Create(Procedure procedure, void* argument);
    // True once the procedure has returned, and for a thread that was never started.
    bool IsTerminated() const;
    // Waits until the procedure has returned. Harmless when nothing runs.
    void Join();

private:
    std::thread thread_;
    std::atomic<bool> running_{false};
};

// An event is either signalled or not. The game builds its stop event with (0, 1).
class CEvent {
public:
    // `initiallySignalled` non-zero starts the event signalled. `manualReset` non-zero keeps
    // it signalled until Reset, so every poll sees it (the stop event); 0 makes it
    // auto-reset: a successful IsSignal or Wait consumes the signal.
    CEvent(std::int32_t initiallySignalled, std::int32_t manualReset);
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    // Signals the event and wakes every waiter. `index` is 0: an event has one signal.
    void Set(std::int32_t index);
    // Clears the signal.
    void Reset();
    // True when the event is signalled, waiting up to `timeoutMilliseconds` for it
    // (0 polls without waiting; negative waits for ever).
    bool IsSignal(std::int32_t timeoutMilliseconds);
    // Same as IsSignal; reads better where a thread idles until woken or timed out.
    bool Wait(std::int32_t timeoutMilliseconds) { return IsSignal(timeoutMilliseconds); }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_;
    bool manualReset_;
};

// A lock that the thread holding it may take again (each Enter needs its Leave).
class CCriticalSection {
public:
    CCriticalSection() = default;
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

} // namespace Lumora::Thread
