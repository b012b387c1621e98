// Thread timers without a window: the TimerService of the Windows engine.
//
// Each timer is a SetTimer(NULL, ...) timer of the calling (user-interface) thread; its
// WM_TIMER message is dispatched by the host's message loop to one procedure of this library,
// which calls the procedure the engine gave. The engine's ids are our own, counted up and never
// reused (the system reuses its ids), so a stale id can never stop a later timer.
#pragma once

#include <windows.h>

#include <map>

#include "engine/host/timer_service.h"

namespace quillax::win32 {

class ThreadTimers : public TimerService {
public:
    ThreadTimers() = default;
    ThreadTimers(const ThreadTimers&) = delete;
    ThreadTimers& operator=(const ThreadTimers&) = delete;
    ~ThreadTimers() override { KillAll(); }

    int SetTimer(int milliseconds, Procedure procedure) override;
    void KillTimer(int id) override;

    // Stops every timer (the library is about to go: no message may reach it afterwards).
    void KillAll();
    int Running() const { return static_cast<int>(timers_.size()); }

    // The process's timers (the engine has one user-interface thread).
    static ThreadTimers& Instance();

private:
    struct Timer {
        UINT_PTR systemId = 0;
        Procedure procedure;
    };

    static void CALLBACK OnTimer(HWND window, UINT message, UINT_PTR systemId, DWORD time);
    // The service that set each running system timer (the system calls back by its id only).
    static std::map<UINT_PTR, ThreadTimers*>& Owners();

    int lastId_ = 0;
    std::map<int, Timer> timers_;
    std::map<UINT_PTR, int> bySystemId_;
};

}  // namespace quillax::win32
