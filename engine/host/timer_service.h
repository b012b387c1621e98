// TimerService: the thread timers of the event handling (open delay, close delay, auto-scroll).
//
// A timer calls its procedure every `milliseconds` on the engine's (user-interface) thread until
// it is killed; the procedures of the open and close delays kill their own timer first, the
// auto-scroll procedure runs until the end of the page. Two implementations: thread timers
// without window on Windows (bound by the COM layer) and ManualTimerService below, whose clock
// only moves when told, for tests and the command-line host.
//
// Ids are positive and never reused within one service, so a stale id that the engine still
// holds can never stop a later timer. Killing an id that does not run (0, -1, an old id) does
// nothing.
#pragma once

#include <functional>
#include <map>

namespace quillax {

class TimerService {
public:
    // Receives the id of the timer that fired.
    using Procedure = std::function<void(int id)>;

    virtual ~TimerService() = default;
    // Starts a timer; returns its id, or 0 when no timer could be made (the caller goes on as
    // if it had been made: it simply never fires).
    virtual int SetTimer(int milliseconds, Procedure procedure) = 0;
    virtual void KillTimer(int id) = 0;
};

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
