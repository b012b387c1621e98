// EngineLoop: the one thread on which a host runs the engine, with real-time thread timers.
//
// The engine expects everything (its methods, the three timer procedures, the popup window) to
// run on one user-interface thread. A host without such a thread (the development host's web
// server) makes one: it calls Run() on a thread of its own and hands work to it with Post()
// from any other thread. The loop is also the TimerService of that thread: timers fire on it,
// in the order of their due times, every `milliseconds` until they are killed.
//
// Ids are positive and never reused, so a stale id cannot stop a later timer. SetTimer and
// KillTimer may be called from any thread, though the engine only calls them from the loop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "engine/host/timer_service.h"

namespace quillax {

class EngineLoop : public TimerService {
public:
    using Task = std::function<void()>;
    using Clock = std::chrono::steady_clock;

    EngineLoop() = default;
    EngineLoop(const EngineLoop&) = delete;
    EngineLoop& operator=(const EngineLoop&) = delete;

    int SetTimer(int milliseconds, Procedure procedure) override;
    void KillTimer(int id) override;

    // Queues a task; tasks run in the order they were posted. False after Stop().
    bool Post(Task task);
    // Runs tasks and timers on the calling thread until Stop(). Tasks still queued when the
    // loop stops are dropped.
    void Run();
    // Makes Run() return after the task or timer procedure it is running now.
    void Stop();
    // Whether the calling thread is the one in Run().
    bool OnLoopThread() const;

    // Timers running now.
    int Pending() const;

private:
    struct Timer {
        int interval = 0;
        Clock::time_point due;
        long long order = 0;  // creation order: equal due times fire the older timer first
        Procedure procedure;
    };

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    std::map<int, Timer> timers_;
    int lastId_ = 0;
    bool stopped_ = false;
    std::thread::id loopThread_;
};

}  // namespace quillax
