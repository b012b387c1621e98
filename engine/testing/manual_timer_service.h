// ManualTimerService: timers on a clock that moves only when told, for tests and the
// command-line host (the engine's own timers are the thread timers of the COM layer).
#pragma once

#include <map>

#include "engine/host/timer_service.h"

namespace quillax {

// Timers on a clock of its own that moves only by Advance.
class ManualTimerService : public TimerService {
public:
    int SetTimer(int milliseconds, Procedure procedure) override;
    void KillTimer(int id) override;

    // Moves the clock forward by milliseconds, firing every timer that falls due on the way in
    // the order of its due time (equal times: the older timer first). A procedure may start
    // and kill timers; a timer started while the clock moves fires in the same call when it
    // falls due before the new time. A repeating timer fires once per period.
    void Advance(int milliseconds);

    long long Now() const { return now_; }
    // Timers running now.
    int Pending() const { return static_cast<int>(timers_.size()); }
    bool IsRunning(int id) const { return timers_.count(id) != 0; }
    // The interval of a running timer, 0 for any other id.
    int Interval(int id) const;

private:
    struct Timer {
        int interval = 0;
        long long due = 0;
        Procedure procedure;
    };

    long long now_ = 0;
    int lastId_ = 0;
    std::map<int, Timer> timers_;
};

}  // namespace quillax
