#include <Lumora/System.h>
#include <Lumora/Thread.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Lumora::Thread {

CThread::~CThread()
{
    Join();
}

bool CThread::Create(Procedure procedure, void* argument)
{
    if (procedure == nullptr || thread_.joinable()) {
        return false;
    }
    running_.store(true);
    try {
        thread_ = std::thread([this, procedure, argument] {
            procedure(argument);
            running_.store(false);
        });
    } catch (const std::system_error&) {
        running_.store(false);
        return false;
    }
    return true;
}

bool CThread::IsTerminated() const
{
    return !running_.load();
}

void CThread::Join()
{
    if (thread_.joinable()) {
        thread_.join();
    }
}

CEvent::CEvent(std::int32_t initiallySignalled, std::int32_t manualReset)
    : signalled_(initiallySignalled != 0), manualReset_(manualReset != 0)
{
}

void CEvent::Set(std::int32_t)
{
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    changed_.notify_all();
}

void CEvent::Reset()
{
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool CEvent::IsSignal(std::int32_t timeoutMilliseconds)
{
    std::unique_lock lock(mutex_);
    if (timeoutMilliseconds < 0) {
        changed_.wait(lock, [this] { return signalled_; });
    } else if (timeoutMilliseconds > 0) {
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds), [this] { return signalled_; });
    }
    const bool result = signalled_;
    if (result && !manualReset_) {
        signalled_ = false;
    }
    return result;
}

} // namespace Lumora::Thread

namespace Lumora::System {

void SetThreadCPUNo(std::int32_t cpu)
{
    if (cpu < 0 || cpu >= CPU_SETSIZE) {
        return;
    }
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof(allowed), &allowed) != 0 || !CPU_ISSET(cpu, &allowed)) {
        return; // no such processor for this process: stay where the scheduler puts us
    }
    cpu_set_t only;
    CPU_ZERO(&only);
    CPU_SET(cpu, &only);
    pthread_setaffinity_np(pthread_self(), sizeof(only), &only);
}

void SetThreadBackground()
{
    // On Linux the nice value belongs to the thread (PRIO_PROCESS with a thread id).
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, thread);
    if (current == -1 && errno != 0) {
        return;
    }
    setpriority(PRIO_PROCESS, thread, std::min(current + 10, 19));
}

} // namespace Lumora::System
