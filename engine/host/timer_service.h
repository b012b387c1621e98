// TimerService: the thread timers of the event handling (open delay, close delay, auto-scroll).
//
// A timer calls its procedure every `milliseconds` on the engine's (user-interface) thread until
// it is killed; the procedures of the open and close delays kill their own timer first, the
// auto-scroll procedure runs until the end of the page. Two implementations: thread timers
// without window on Windows (bound by the COM layer) and ManualTimerService
// (engine/testing/manual_timer_service.h), whose clock only moves when told, for tests and the
// command-line host.
//
// Ids are positive and never reused within one service, so a stale id that the engine still
// holds can never stop a later timer. Killing an id that does not run (0, -1, an old id) does
// nothing.
#pragma once

#include <functional>

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

}  // namespace quillax
