// The engine thread of a host: tasks from other threads, real-time timers on the loop's own
// thread, and stopping.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/host/engine_loop.h"

namespace quillax {
namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(EngineLoopTimerTest, TasksFromOtherThreadsRunInOrderOnTheLoopThread) {
    EngineLoop loop;
    std::vector<int> order;
    bool allOnLoop = true;
    std::thread runner([&] { loop.Run(); });
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) {
            loop.Post([&, i] {
                order.push_back(i);
                allOnLoop = allOnLoop && loop.OnLoopThread();
            });
        }
        loop.Post([&] { loop.Stop(); });
    });
    poster.join();
    runner.join();
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
    EXPECT_TRUE(allOnLoop);
    EXPECT_FALSE(loop.OnLoopThread());
    // A stopped loop takes no more work.
    EXPECT_FALSE(loop.Post([] {}));
}

TEST(EngineLoopTimerTest, TimersFireOnTheLoopAfterTheirDelayInDueOrderAndRepeatUntilKilled) {
    EngineLoop loop;
    std::vector<std::string> fired;
    long long slowAfter = 0;
    long long fastAfter = 0;
    int ticks = 0;
    int tickId = 0;
    bool onLoop = true;
    const Clock::time_point start = Clock::now();
    loop.Post([&] {
        // The open and close delays kill their own timer when it fires, as the engine's do.
        loop.SetTimer(120, [&](int id) {
            loop.KillTimer(id);
            slowAfter = MillisecondsSince(start);
            fired.push_back("slow");
            onLoop = onLoop && loop.OnLoopThread();
        });
        loop.SetTimer(40, [&](int id) {
            loop.KillTimer(id);
            fastAfter = MillisecondsSince(start);
            fired.push_back("fast");
        });
        // A repeating timer (the auto-scroll) until it kills itself at its fifth tick.
        tickId = loop.SetTimer(10, [&](int id) {
            EXPECT_EQ(id, tickId);
            if (++ticks == 5) loop.KillTimer(id);
        });
        loop.SetTimer(250, [&](int) { loop.Stop(); });
    });
    loop.Run();
    EXPECT_EQ(fired, (std::vector<std::string>{"fast", "slow"}));
    EXPECT_GE(fastAfter, 40);
    EXPECT_GE(slowAfter, 120);
    EXPECT_EQ(ticks, 5);
    EXPECT_TRUE(onLoop);
    // The stop timer is the only one left.
    EXPECT_EQ(loop.Pending(), 1);
}

TEST(EngineLoopTimerTest, KilledAndStaleTimersNeverFireAndIdsAreNotReused) {
    EngineLoop loop;
    std::atomic<int> killedFired{0};
    int laterFired = 0;
    std::vector<int> ids;
    loop.Post([&] {
        const int killed = loop.SetTimer(20, [&](int) { ++killedFired; });
        ids.push_back(killed);
        loop.KillTimer(killed);
        // Killing what does not run (none, fired, an old id) changes nothing.
        loop.KillTimer(0);
        loop.KillTimer(-1);
        loop.KillTimer(killed);
        // `killed` is a local of this task, which has ended when the timer fires: a copy.
        const int later = loop.SetTimer(30, [&, killed](int id) {
            loop.KillTimer(id);
            ++laterFired;
            // The old id, killed again from a procedure, does not stop anything new.
            loop.KillTimer(killed);
        });
        ids.push_back(later);
        ids.push_back(loop.SetTimer(80, [&](int) { loop.Stop(); }));
    });
    loop.Run();
    EXPECT_EQ(killedFired.load(), 0);
    EXPECT_EQ(laterFired, 1);
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_GT(ids[0], 0);
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_NE(ids[1], ids[2]);
    EXPECT_EQ(loop.SetTimer(10, nullptr), 0);
}

TEST(EngineLoopTimerTest, StopFromAnotherThreadEndsAWaitingLoop) {
    EngineLoop loop;
    std::atomic<bool> running{false};
    loop.Post([&] { running = true; });
    // A timer far in the future: the loop sleeps until it or Stop comes.
    loop.SetTimer(60000, [](int) {});
    std::thread runner([&] { loop.Run(); });
    while (!running) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const Clock::time_point start = Clock::now();
    loop.Stop();
    runner.join();
    EXPECT_LT(MillisecondsSince(start), 1000);
}

}  // namespace
}  // namespace quillax
