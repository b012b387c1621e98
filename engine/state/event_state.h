// The engine state of the event handling: navigation history, the timer and sleep services the
// control's methods use, and what the popup windows remember once per process. RenderState
// holds one EventState as its member `events`.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/host/timer_service.h"
#include "engine/state/history_book.h"

namespace quillax {

// Remembered by the first pinning of any popup window in the process: the style the popup had
// before it, the enlarged style with the caption, and the caption's height.
struct PopupStyleMemory {
    bool remembered = false;
    std::uint32_t originalStyle = 0;
    std::uint32_t enlargedStyle = 0;
    int captionHeight = 0;
};

struct EventState {
    // One history list per host window, with the texts of the entries.
    HistoryBook history;

    // The thread timers (open delay, close delay, auto-scroll); without a service no timer
    // starts, as if every creation had failed.
    TimerService* timers = nullptr;
    // Sleeps for the given milliseconds while a method waits for the engine; empty: the thread
    // sleeps.
    std::function<void(int milliseconds)> sleep;

    PopupStyleMemory popupStyle;

    // Stops the wheel song (hiding a popup after leaving a "BoSk" element); empty: no song.
    std::function<void()> stopWheelSong;
};

}  // namespace quillax
