// Thread timers without a window (see thread_timers.h).
#include "engine/com/win32/thread_timers.h"

#include <utility>

namespace quillax::win32 {
namespace {

// Made when the module is loaded, before any service, so it is destroyed after all of them
// (Instance()'s included) and their destructors may still consult it.
std::map<UINT_PTR, ThreadTimers*> g_owners;

}  // namespace

ThreadTimers& ThreadTimers::Instance() {
    static ThreadTimers timers;
    return timers;
}

std::map<UINT_PTR, ThreadTimers*>& ThreadTimers::Owners() { return g_owners; }

int ThreadTimers::SetTimer(int milliseconds, Procedure procedure) {
    const UINT interval = milliseconds > 0 ? static_cast<UINT>(milliseconds) : 1u;
    const UINT_PTR systemId = ::SetTimer(nullptr, 0, interval, &ThreadTimers::OnTimer);
    if (systemId == 0) return 0;
    const int id = ++lastId_;
    timers_[id] = Timer{systemId, std::move(procedure)};
    bySystemId_[systemId] = id;
    Owners()[systemId] = this;
    return id;
}

void ThreadTimers::KillTimer(int id) {
    const auto found = timers_.find(id);
    if (found == timers_.end()) return;
    ::KillTimer(nullptr, found->second.systemId);
    bySystemId_.erase(found->second.systemId);
    Owners().erase(found->second.systemId);
    timers_.erase(found);
}

void ThreadTimers::KillAll() {
    for (const auto& entry : timers_) {
        ::KillTimer(nullptr, entry.second.systemId);
        Owners().erase(entry.second.systemId);
    }
    timers_.clear();
    bySystemId_.clear();
}

void CALLBACK ThreadTimers::OnTimer(HWND, UINT, UINT_PTR systemId, DWORD) {
    const auto owner = Owners().find(systemId);
    if (owner == Owners().end()) {
        // A message of a timer killed after it was posted.
        ::KillTimer(nullptr, systemId);
        return;
    }
    ThreadTimers& timers = *owner->second;
    const auto byId = timers.bySystemId_.find(systemId);
    if (byId == timers.bySystemId_.end()) return;
    const int id = byId->second;
    // The procedure may kill its own timer: call a copy.
    const Procedure procedure = timers.timers_[id].procedure;
    try {
        if (procedure) procedure(id);
    } catch (...) {
        // Nothing may unwind into the system's message dispatch.
    }
}

}  // namespace quillax::win32
