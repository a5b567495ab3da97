// The loader's threading kit: thread life, events as the loader uses them, the lock.
#include <Lumora/System.h>
#include <Lumora/Thread.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <sched.h>

using namespace std::chrono_literals;
using Lumora::Thread::CCriticalSection;
using Lumora::Thread::CEvent;
using Lumora::Thread::CThread;

namespace {

TEST(Threads, ThreadReportsTerminationOnlyAfterItsProcedureReturns)
{
    CThread thread;
    EXPECT_TRUE(thread.IsTerminated()); // never started
    CEvent release(0, 1);
    struct Context {
        CEvent* release;
        int result = 0;
    } context{&release};
    ASSERT_TRUE(thread.Create(
        [](void* argument) {
            auto* c = static_cast<Context*>(argument);
            c->release->IsSignal(-1);
            c->result = 42;
        },
        &context));
    EXPECT_FALSE(thread.IsTerminated());
    EXPECT_FALSE(thread.Create([](void*) {}, nullptr)); // still running: refused
    release.Set(0);
    while (!thread.IsTerminated()) {
        std::this_thread::sleep_for(1ms);
    }
    thread.Join();
    EXPECT_EQ(context.result, 42);
    EXPECT_TRUE(thread.Create([](void*) {}, nullptr)); // may be reused once joined
}

TEST(Events, TheLoadersStopEventStartsClearAndStaysSetOnceSet)
{
    CEvent stop(0, 1);
    EXPECT_FALSE(stop.IsSignal(0));
    stop.Set(0);
    EXPECT_TRUE(stop.IsSignal(0));
    EXPECT_TRUE(stop.IsSignal(0)); // polling does not consume a manual-reset signal
    stop.Reset();
    EXPECT_FALSE(stop.IsSignal(0));
}

TEST(Events, AutoResetEventsWakeOneWaitAndThenClear)
{
    CEvent wake(1, 0);
    EXPECT_TRUE(wake.Wait(0));
    EXPECT_FALSE(wake.Wait(0));
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(wake.Wait(30));
    EXPECT_GE(std::chrono::steady_clock::now() - before, 25ms);

    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        wake.Set(0);
    });
    EXPECT_TRUE(wake.Wait(5000)); // woken by the set, long before the timeout
    setter.join();
}

TEST(CriticalSections, GuardSharedCountsAndMayBeReentered)
{
    CCriticalSection lock;
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            lock.Enter();
            lock.Enter(); // the holder may enter again
            ++counter;
            lock.Leave();
            lock.Leave();
        }
    };
    std::thread a(work);
    std::thread b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
}

TEST(ThreadPlacement, PinsToAnExistingProcessorAndIgnoresOthers)
{
    std::thread([] {
        cpu_set_t before;
        sched_getaffinity(0, sizeof(before), &before);
        Lumora::System::SetThreadCPUNo(100000);
        Lumora::System::SetThreadCPUNo(-1);
        cpu_set_t unchanged;
        sched_getaffinity(0, sizeof(unchanged), &unchanged);
        EXPECT_TRUE(CPU_EQUAL(&before, &unchanged));

        int first = -1;
        for (int cpu = 0; cpu < CPU_SETSIZE && first < 0; ++cpu) {
            if (CPU_ISSET(cpu, &before)) {
                first = cpu;
            }
        }
        Lumora::System::SetThreadCPUNo(first);
        cpu_set_t pinned;
        sched_getaffinity(0, sizeof(pinned), &pinned);
        EXPECT_EQ(CPU_COUNT(&pinned), 1);
        EXPECT_TRUE(CPU_ISSET(first, &pinned));
    }).join();
}

} // namespace
