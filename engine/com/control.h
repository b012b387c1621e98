// Cqlx: the engine's control as the host page's script sees it, without COM.
//
// The host page creates one control, hands it its window with `init` and then calls a method on
// every mouse and key event it forwards and for every page it asks for. The Windows COM binding
// (engine/com/win32) turns the dispatch calls of Iqlx into calls of these members one to one:
// wide texts stay wide (BSTR <-> std::u16string), VARIANT window arguments arrive as the
// HostWindow of the browser window they hold (null when they hold none), a COM long is a
// std::int32_t and the results are the HRESULT values below. Several controls may exist; they
// share the engine state and differ only in their window, their popup window and the key of the
// element their popup belongs to.
//
// Waiting for the engine: every member except init, pF10, linkmap, AddBibleLink, the Changed
// property and FixResult first waits while state.busy is set, at most 20 times 10 ms, and then
// goes on whether or not the engine became free (a page or popup request then finds busy set and
// is dropped; openchahtm and GetWheel then record nothing in the history either).
//
// Texts arrive and leave wide; inside they are GBK, read in simplified characters and written
// in traditional ones while USEGBK is on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/host/host_window.h"
#include "engine/popup/popup_window.h"
#include "engine/state/render_state.h"
#include "textlib/gb_string.h"

namespace quillax {

// The results of the members: the values of S_OK and S_FALSE.
using HResult = std::int32_t;
constexpr HResult kResultOk = 0;
constexpr HResult kResultFalse = 1;

// The wait for the engine: 20 rounds of 10 ms.
constexpr int kWaitRounds = 20;
constexpr int kWaitMilliseconds = 10;

class Cqlx {
public:
    // Makes the popup window of a control, the first time the mouse is over one of its links.
    using PopupFactory = std::function<std::unique_ptr<PopupWindow>(RenderState& state)>;

    // A new control of state; changedFlags becomes 0. Without a popup factory the control
    // shows no popups.
    explicit Cqlx(RenderState& state, PopupFactory makePopup = {});
    // Destroys the popup window (state.host.popupWindow no longer refers to it).
    ~Cqlx();
    Cqlx(const Cqlx&) = delete;
    Cqlx& operator=(const Cqlx&) = delete;

    // DISPID 1. Binds the host window (null: the control acts on nothing); the current page
    // key is forgotten and the window's history list is made.
    HResult init(HostWindow* wes, std::u16string_view sTitle);
    // DISPID 2. A click: link navigation with history, back and forward, the reading calendar,
    // the language switch. S_FALSE for the right button, after which hover popups wait for the
    // next click that navigates (page requests do not).
    HResult MouseClick();
    // DISPID 3. The mouse leaves an element: schedules the popup's close.
    HResult MouseOut();
    // DISPID 4. The mouse enters an element: schedules the popup of an active element.
    HResult MouseOver();
    // DISPID 5. A key: "+"/"-" zoom a picture page or switch the reading layout, "*" and "/"
    // set the popup level, blank toggles auto-scroll, Ctrl + line feed cycles the popup level.
    // S_FALSE, the event only cancelled, while a popup is on the screen.
    HResult pF10();
    // DISPID 7. Word search; the result page goes into pinnerhtml's document.
    HResult SearchWord(std::u16string_view fStr, std::u16string_view NoFindTxt,
                       std::int32_t ExtendTxt, HostWindow* pinnerhtml);
    // DISPID 8. Reads ("KEY=") or writes ("KEY=value") one configuration key. NoValue receives
    // the value after a read of an existing key and after any use of CSSBGCOLOR; otherwise it
    // is left as it was.
    HResult getcfg(std::u16string_view NoName, std::u16string* NoValue);
    // DISPID 9. "H" + date: the reading calendar ("H+" + date: of the daily plan); anything
    // else: the day page ("1" the study notes, else the outline), recorded in the history.
    HResult GetWheel(std::u16string_view wd);
    // DISPID 10. The picture table page of the group in the first two characters of TuNo (the
    // chapter shown before is built afresh when it is opened next).
    HResult linkmap(std::u16string_view TuNo);
    // DISPID 11. The build label.
    HResult get_Ver(std::u16string* pVal);
    // DISPID 13. Opens the page of tKey (recorded in the history), scrolled to esinnerHTML.
    HResult openchahtm(std::u16string_view tKey, std::int32_t NoLinkValue,
                       std::u16string_view esinnerHTML);
    // DISPID 18. Links the references of the current body, unless changedFlags says it has
    // been done or the body is not the engine's.
    HResult AddBibleLink();
    // DISPID 19.
    HResult get_Changed(std::int32_t* pVal);
    HResult put_Changed(std::int32_t newVal);
    // DISPID 21. Copied page text cleaned back into text with bracketed references.
    HResult get_FixResult(std::u16string_view inBSTR, std::u16string* pVal);

    // ---- for the binding and for tests ---------------------------------------------------------
    HostWindow* PageWindow() const { return pageWindow_; }
    PopupWindow* Popup() const { return popup_.get(); }
    const GbString& HoverKey() const { return hoverKey_; }

private:
    // The wait counters of the members (each its own, MouseOut's kept between calls).
    struct WaitCounters {
        int mouseClick = 0;
        int mouseOut = 0;
        int mouseOver = 0;
        int searchWord = 0;
        int getcfg = 0;
        int getWheel = 0;
        int ver = 0;
        int openchahtm = 0;
    };

    // Waits while the engine is busy, at most counter more rounds; reset sets counter to 20
    // first.
    void WaitForEngine(int& counter, bool reset = true);
    // state.host.pageWindow <- the control's window.
    void BindPageWindow();
    // Whether the window can be acted on: it exists and has a document with a body.
    bool PageUsable() const;
    // The event capture; false when there was no event to read.
    bool Capture();

    int StartTimer(int milliseconds, TimerService::Procedure procedure);
    void KillTimer(int id);
    // Starts the close-delay timer of the popup window.
    int StartCloseTimer();

    // The language switch (simplified <-> traditional) of a click on the language link.
    void ToggleLanguage();
    // Steps 11-15 of a click: history, page, scroll, "fix()".
    void NavigateByClick();
    // pF10's blank: starts or stops the page's auto-scroll.
    void ToggleAutoScroll();

    RenderState& state_;
    PopupFactory makePopup_;
    HostWindow* pageWindow_ = nullptr;
    std::unique_ptr<PopupWindow> popup_;
    GbString hoverKey_;
    WaitCounters waits_;
};

// The pause of the wait, when no sleep is set in state.events: the thread sleeps.
void SleepMilliseconds(int milliseconds);

}  // namespace quillax
