// The engine state shared by the page builders, the page and popup drivers and the event
// handling: the page or popup being built, the captured browser event, the host's windows and
// the flags that tie consecutive operations together. RenderState holds one HostState as its
// member `host`.
#pragma once

#include <functional>
#include <string>

#include "engine/host/host_window.h"
#include "engine/host/popup_surface.h"
#include "textlib/date.h"
#include "textlib/gb_string.h"

namespace quillax {

// What a popup shows; also the index into cssBgColors of the popup's background.
enum PopupKind : int {
    PopupVerse = 0,          // verse text or a footnote's references
    PopupWheel = 1,          // the wheel (date) popup; plays the wheel song when shown
    PopupBoldNote = 2,       // text-fix note of a bold phrase
    PopupUnderlineNote = 3,  // text-fix note of an underlined phrase
    PopupModuleEntry = 4,    // study-module entry
};

// Bits of changedFlags (the `Changed` property of the control).
constexpr int kChangedLinksAdded = 1;  // reference links were added to the current body
constexpr int kChangedBodyWritten = 2; // a body was written

// Modifier bits of EventElement::modifiers.
constexpr int kModifierAlt = 1;
constexpr int kModifierCtrl = 2;
constexpr int kModifierShift = 4;

// The browser's current event and its source element, as the event capture leaves them. Texts
// are GBK.
struct EventElement {
    bool found = false;    // a source element was obtained
    bool active = false;   // the element may get a popup
    GbString tagName;
    GbString id;
    GbString href;         // of an "A": the href written in its outer HTML, "about:" removed
    GbString innerText;    // read only for active elements
    GbString title;
    GbString innerHTML;    // read only for active elements
    int screenWidth = 0;
    int screenHeight = 0;
    int button = 0;
    int keyCode = 0;
    int modifiers = 0;     // kModifierAlt | kModifierCtrl | kModifierShift
};

struct HostState {
    // ---- the host's windows (not owned; null when missing) ---------------------------------
    HostWindow* pageWindow = nullptr;     // the window whose document shows the pages
    PopupSurface* popupWindow = nullptr;  // the popup of the control that last handled a hover

    // ---- page and popup being built ----------------------------------------------------------
    bool opening = false;     // set for the duration of one OpenPage
    GbString currentKey;      // key of the page now shown in the main document
    int popupKind = PopupVerse;
    bool titleNotTip = true;  // chooses the placement rule: ordinary text popup or wheel popup
    EventElement element;     // the element under the mouse

    // Plays the wheel song each time a wheel popup is filled (the song player loads "0102.mid"
    // from installDir on first use and rewinds on every call); empty: no song.
    std::function<void()> playWheelSong;

    // ---- body writes ----------------------------------------------------------------------------
    int changedFlags = 0;              // kChangedLinksAdded | kChangedBodyWritten
    bool skipLinkControlOnce = false;  // the next body write leaves out LINKCTRL
    std::u16string lastBody;           // the last body text handed to the browser

    // ---- event handling ---------------------------------------------------------------------------
    int openTimer = 0;         // pending open-delay timer; 0 none; -1 fired (popup requested)
    int scrollTimer = 0;       // running auto-scroll timer, 0 none
    int lastScrollTop = 0;     // body scrollTop seen by the previous auto-scroll tick
    bool stopSongOnHide = false;  // hiding the popup stops the song
    bool holdHoverPopups = false; // set by a right click: no hover popup until the next click
    long long lastSearchTick = 0; // ms, end of the last word search

    // ---- reading calendar and compact layout ------------------------------------------------------
    int planMode = 0;          // 0 six-day plan, otherwise the daily plan
    int inCalendar = 0;        // 1 while the calendar page's reading rows are built
    Date calendarDate;         // the date of the calendar page and the wheel popup
    int planDay = 0;           // the plan day of the last calendar or day page built
    int compactState = 0;      // 9999 after CompactPage changed a page, else 0
};

}  // namespace quillax
