#include "engine/testing/manual_timer_service.h"

#include <utility>

namespace quillax {

int ManualTimerService::SetTimer(int milliseconds, Procedure procedure) {
    // A thread timer runs at least every millisecond, however small the interval.
    const int interval = milliseconds > 0 ? milliseconds : 1;
    const int id = ++lastId_;
    timers_[id] = Timer{interval, now_ + interval, std::move(procedure)};
    return id;
}

void ManualTimerService::KillTimer(int id) { timers_.erase(id); }

int ManualTimerService::Interval(int id) const {
    const auto found = timers_.find(id);
    return found == timers_.end() ? 0 : found->second.interval;
}

void ManualTimerService::Advance(int milliseconds) {
    const long long end = now_ + (milliseconds > 0 ? milliseconds : 0);
    for (;;) {
        // The timer due first; ids grow with age, so the map order settles equal times.
        int nextId = 0;
        long long nextDue = 0;
        for (const auto& [id, timer] : timers_) {
            if (timer.due <= end && (nextId == 0 || timer.due < nextDue)) {
                nextId = id;
                nextDue = timer.due;
            }
        }
        if (nextId == 0) break;
        now_ = nextDue;
        Timer& timer = timers_[nextId];
        timer.due += timer.interval;
        // The procedure may kill this very timer: call a copy.
        const Procedure procedure = timer.procedure;
        if (procedure) procedure(nextId);
    }
    now_ = end;
}

}  // namespace quillax
