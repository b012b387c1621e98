#include "engine/host/engine_loop.h"

#include <utility>

namespace quillax {

int EngineLoop::SetTimer(int milliseconds, Procedure procedure) {
    if (!procedure) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (milliseconds < 0) milliseconds = 0;
    const int id = ++lastId_;
    Timer timer;
    timer.interval = milliseconds;
    timer.due = Clock::now() + std::chrono::milliseconds(milliseconds);
    timer.order = id;
    timer.procedure = std::move(procedure);
    timers_.emplace(id, std::move(timer));
    wake_.notify_all();
    return id;
}

void EngineLoop::KillTimer(int id) {
    std::lock_guard<std::mutex> lock(mutex_);
    timers_.erase(id);
}

bool EngineLoop::Post(Task task) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_) return false;
    tasks_.push_back(std::move(task));
    wake_.notify_all();
    return true;
}

void EngineLoop::Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    wake_.notify_all();
}

bool EngineLoop::OnLoopThread() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return loopThread_ == std::this_thread::get_id();
}

int EngineLoop::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(timers_.size());
}

void EngineLoop::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    loopThread_ = std::this_thread::get_id();
    while (!stopped_) {
        if (!tasks_.empty()) {
            Task task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
            continue;
        }
        // The timer due first (the older one of equal due times).
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (next == timers_.end() || it->second.due < next->second.due ||
                (it->second.due == next->second.due && it->second.order < next->second.order)) {
                next = it;
            }
        }
        if (next == timers_.end()) {
            wake_.wait(lock);
            continue;
        }
        const Clock::time_point now = Clock::now();
        if (next->second.due > now) {
            wake_.wait_until(lock, next->second.due);
            continue;  // a task, a new timer or a kill may have come in the meantime
        }
        // A repeating timer's next round is counted from now, so a late loop does not fire a
        // burst of catch-up rounds.
        const int id = next->first;
        next->second.due = now + std::chrono::milliseconds(next->second.interval);
        Procedure procedure = next->second.procedure;
        lock.unlock();
        procedure(id);
        lock.lock();
    }
    loopThread_ = std::thread::id();
    // The tasks left behind are dropped here, on the loop's thread, with what they hold.
    std::deque<Task> dropped;
    dropped.swap(tasks_);
    lock.unlock();
}

}  // namespace quillax
