// The manual clock of the timer service: order of firing, repeating timers, timers killed and
// started by procedures, and ids that are never reused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/testing/manual_timer_service.h"

namespace quillax {
namespace {

TEST(EventTimerTest, TimersFireInTheOrderTheyFallDue) {
    ManualTimerService timers;
    std::vector<std::string> fired;
    const auto record = [&](const std::string& name) {
        return [&fired, &timers, name](int) { fired.push_back(name + "@" + std::to_string(timers.Now())); };
    };
    const int slow = timers.SetTimer(300, record("slow"));
    const int fast = timers.SetTimer(100, record("fast"));
    const int same = timers.SetTimer(300, record("same"));
    EXPECT_GT(slow, 0);
    EXPECT_NE(slow, fast);
    EXPECT_EQ(timers.Interval(fast), 100);

    timers.Advance(99);
    EXPECT_TRUE(fired.empty());
    timers.Advance(201);
    // Repeating every period; equal times: the older timer first.
    EXPECT_EQ(fired, (std::vector<std::string>{"fast@100", "fast@200", "slow@300", "fast@300", "same@300"}));
    EXPECT_EQ(timers.Now(), 300);

    timers.KillTimer(fast);
    timers.KillTimer(same);
    timers.KillTimer(0);
    timers.KillTimer(-1);
    timers.KillTimer(12345);
    fired.clear();
    timers.Advance(300);
    EXPECT_EQ(fired, (std::vector<std::string>{"slow@600"}));
    EXPECT_EQ(timers.Pending(), 1);
}

TEST(EventTimerTest, ProceduresKillAndStartTimers) {
    ManualTimerService timers;
    std::vector<std::string> fired;
    int chained = 0;
    // A one-shot timer in the manner of the open delay: it kills itself and starts another,
    // which still fires within the same Advance when it falls due.
    timers.SetTimer(50, [&](int id) {
        timers.KillTimer(id);
        fired.push_back("first@" + std::to_string(timers.Now()));
        chained = timers.SetTimer(30, [&](int own) {
            timers.KillTimer(own);
            fired.push_back("second@" + std::to_string(timers.Now()));
        });
    });
    timers.Advance(100);
    EXPECT_EQ(fired, (std::vector<std::string>{"first@50", "second@80"}));
    EXPECT_EQ(timers.Pending(), 0);
    EXPECT_FALSE(timers.IsRunning(chained));

    // A procedure that kills another pending timer stops it from firing.
    int victim = 0;
    bool victimFired = false;
    timers.SetTimer(10, [&](int id) {
        timers.KillTimer(id);
        timers.KillTimer(victim);
    });
    victim = timers.SetTimer(10, [&](int) { victimFired = true; });
    timers.Advance(10);
    EXPECT_FALSE(victimFired);

    // Ids are never handed out twice, so a stale id cannot stop a newer timer.
    const int next = timers.SetTimer(5, [](int) {});
    EXPECT_GT(next, victim);
    timers.KillTimer(victim);
    EXPECT_TRUE(timers.IsRunning(next));

    // Intervals below a millisecond run every millisecond.
    int ticks = 0;
    const int quick = timers.SetTimer(0, [&](int) { ++ticks; });
    timers.Advance(3);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(timers.Interval(quick), 1);
}

}  // namespace
}  // namespace quillax
