// The search thread every screen shares: the newest job wins, a stale one is told to stop,
// the owner's thread-start call runs first on the worker, and leaving stops and joins.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "BackgroundWorker.h"

namespace {

using namespace std::chrono_literals;

// Spins (politely) until `done` holds or 10 s pass; false on the time-out.
template <typename Condition>
bool WaitFor(Condition done)
{
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(BackgroundWorker, ANewerJobCancelsTheRunningOneAndReplacesTheWaitingOne)
{
    std::atomic<bool> firstStarted{false};
    std::atomic<bool> firstSawCancel{false};
    std::atomic<bool> secondRan{false};
    std::atomic<int> thirdRuns{0};
    std::atomic<bool> thirdSawCancel{false};
    BackgroundWorker worker;
    EXPECT_EQ(worker.Post([&](const std::atomic<bool>& cancelled) {
        firstStarted = true;
        firstSawCancel = WaitFor([&] { return cancelled.load(); });
    }), 1u);
    ASSERT_TRUE(WaitFor([&] { return firstStarted.load(); }));
    EXPECT_EQ(worker.Post([&](const std::atomic<bool>&) { secondRan = true; }), 2u);
    EXPECT_EQ(worker.Post([&](const std::atomic<bool>& cancelled) {
        thirdSawCancel = cancelled.load();
        ++thirdRuns;
    }), 3u);
    ASSERT_TRUE(WaitFor([&] { return !worker.IsBusy(); }));
    EXPECT_TRUE(firstSawCancel) << "the stale job was told to stop";
    EXPECT_FALSE(secondRan) << "a job replaced while it waited never runs";
    EXPECT_EQ(thirdRuns, 1);
    EXPECT_FALSE(thirdSawCancel) << "the newest job starts with the flag clear";
}

TEST(BackgroundWorker, CancelDropsTheWaitingJobAndStopsTheRunningOne)
{
    std::atomic<bool> started{false};
    std::atomic<bool> stopped{false};
    std::atomic<bool> waitingRan{false};
    BackgroundWorker worker;
    worker.Post([&](const std::atomic<bool>& cancelled) {
        started = true;
        stopped = WaitFor([&] { return cancelled.load(); });
    });
    ASSERT_TRUE(WaitFor([&] { return started.load(); }));
    worker.Post([&](const std::atomic<bool>&) { waitingRan = true; });
    EXPECT_TRUE(worker.IsBusy());
    worker.Cancel();
    ASSERT_TRUE(WaitFor([&] { return !worker.IsBusy(); }));
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(waitingRan);
}

TEST(BackgroundWorker, TheThreadStartCallRunsOnTheWorkerBeforeAnyJob)
{
    std::vector<std::thread::id> seen; // written on the worker only, read after the join
    std::vector<int> order;
    {
        BackgroundWorker worker([&] {
            seen.push_back(std::this_thread::get_id());
            order.push_back(1);
        });
        worker.Post([&](const std::atomic<bool>&) {
            seen.push_back(std::this_thread::get_id());
            order.push_back(2);
        });
        ASSERT_TRUE(WaitFor([&] { return !worker.IsBusy(); }));
    }
    ASSERT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_NE(seen[0], std::this_thread::get_id());
}

TEST(BackgroundWorker, LeavingStopsTheRunningJobAndJoins)
{
    std::atomic<bool> started{false};
    std::atomic<bool> returned{false};
    {
        BackgroundWorker worker;
        worker.Post([&](const std::atomic<bool>& cancelled) {
            started = true;
            while (!cancelled.load()) {
                std::this_thread::sleep_for(1ms);
            }
            returned = true;
        });
        ASSERT_TRUE(WaitFor([&] { return started.load(); }));
    }
    EXPECT_TRUE(returned) << "the destructor waited for the job";
}

} // namespace
