#include "engine/com/control.h"

#include <chrono>
#include <optional>
#include <thread>
#include <utility>

#include "engine/com/event_capture.h"
#include "engine/com/history.h"
#include "engine/config/configuration.h"
#include "engine/pages/calendar.h"
#include "engine/pages/page_body.h"
#include "engine/pages/picture_page.h"
#include "engine/pages/pipeline.h"
#include "engine/pages/reading_layout.h"
#include "engine/pages/study_pages.h"
#include "engine/search/word_search.h"
#include "textlib/conversions.h"
#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"

namespace quillax {

namespace {

// The right mouse button.
constexpr int kRightButton = 2;
// Key codes of pF10.
constexpr int kKeyLineFeed = 10;
constexpr int kKeyBlank = ' ';

// An element title with this word marks an element whose click is cancelled and on leaving
// which the popup's song stops when the popup hides.
constexpr std::string_view kSongMark = "BoSk";

// GBK text as wide text, without the traditional-character display (labels the engine sets).
std::u16string PlainWide(std::string_view text) {
    GbString copy(text);
    return ToWide(copy, ConversionOptions{});
}

// Whether href names the language link: the href's file name is a prefix of the link name
// (ASCII case-insensitive), compared over the length of the href as C strings are compared.
// An empty file name would be a prefix of anything and is never the language link.
bool IsLanguageLink(const RenderState& state, const GbString& href) {
    const GbString name = StripPath(href);
    if (name.IsEmpty()) return false;
    const GbString& linkName = state.cmpStr[kWordLanguageLink];
    const auto lower = [](unsigned char c) {
        return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    };
    for (int i = 0; i < href.Length(); ++i) {
        const unsigned char a = lower(name.GetAt(i));
        if (a != lower(linkName.GetAt(i))) return false;
        if (a == 0) break;
    }
    return true;
}

// ---- timer procedures ----------------------------------------------------------------------------

void KillStateTimer(RenderState& state, int id) {
    if (state.events.timers != nullptr && id > 0) state.events.timers->KillTimer(id);
}

// The open delay is over: the popup of the element under the mouse. A close timer that the
// hover started for a pinned popup has done its work once the new popup replaces it; left
// running, it would hide the new popup when the close delay is the longer one.
void OpenTimerFired(RenderState& state, int id) {
    KillStateTimer(state, id);
    state.host.openTimer = -1;
    PopupSurface* popup = state.host.popupWindow;
    if (popup != nullptr && popup->closeTimer > 0) {
        KillStateTimer(state, popup->closeTimer);
        popup->closeTimer = 0;
    }
    ShowHoverPopup(state);
}

// The close delay is over: the popup closes. An open delay still pending (the mouse went to
// another link meanwhile) keeps its id, so that leaving that link can still stop it.
void CloseTimerFired(RenderState& state, int id) {
    KillStateTimer(state, id);
    if (state.host.openTimer == -1) state.host.openTimer = 0;
    if (state.host.popupWindow != nullptr) ClosePopupWindow(*state.host.popupWindow);
}

// One step of auto-scroll; it ends where the page ends.
void AutoScrollTick(RenderState& state, int id) {
    HostWindow* window = state.host.pageWindow;
    if (window == nullptr) return;
    window->ScrollBy(0, 1);
    const int top = BodyScrollTop(state, 0);
    if (top == state.host.lastScrollTop) {
        KillStateTimer(state, id);
        state.host.scrollTimer = 0;
    } else {
        state.host.lastScrollTop = top;
    }
}

}  // namespace

void SleepMilliseconds(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// ---- the control ---------------------------------------------------------------------------------

Cqlx::Cqlx(RenderState& state, PopupFactory makePopup)
    : state_(state), makePopup_(std::move(makePopup)) {
    state_.host.changedFlags = 0;
}

Cqlx::~Cqlx() {
    if (popup_) {
        if (popup_->closeTimer > 0) KillTimer(popup_->closeTimer);
        if (state_.host.popupWindow == popup_.get()) state_.host.popupWindow = nullptr;
    }
}

void Cqlx::WaitForEngine(int& counter, bool reset) {
    if (reset) counter = kWaitRounds;
    while (state_.busy && counter-- > 0) {
        if (state_.events.sleep) {
            state_.events.sleep(kWaitMilliseconds);
        } else {
            SleepMilliseconds(kWaitMilliseconds);
        }
    }
}

void Cqlx::BindPageWindow() { state_.host.pageWindow = pageWindow_; }

bool Cqlx::PageUsable() const {
    return pageWindow_ != nullptr && pageWindow_->HasDocument() && pageWindow_->HasBody();
}

bool Cqlx::Capture() { return CaptureEvent(state_, pageWindow_); }

int Cqlx::StartTimer(int milliseconds, TimerService::Procedure procedure) {
    TimerService* timers = state_.events.timers;
    return timers != nullptr ? timers->SetTimer(milliseconds, std::move(procedure)) : 0;
}

void Cqlx::KillTimer(int id) { KillStateTimer(state_, id); }

int Cqlx::StartCloseTimer() {
    RenderState& state = state_;
    return StartTimer(state.closeDelay, [&state](int id) { CloseTimerFired(state, id); });
}

HResult Cqlx::init(HostWindow* wes, std::u16string_view /*sTitle*/) {
    pageWindow_ = wes;
    state_.host.pageWindow = wes;
    state_.host.currentKey.Empty();
    if (wes != nullptr) SelectHistory(state_, wes);
    return kResultOk;
}

HResult Cqlx::MouseOver() {
    WaitForEngine(waits_.mouseOver);
    BindPageWindow();
    if (!PageUsable()) return kResultOk;
    HostState& host = state_.host;

    if (!popup_ && makePopup_) {
        popup_ = makePopup_(state_);
        if (popup_ && !popup_->Created()) popup_->Create(false);
    }
    if (popup_) host.popupWindow = popup_.get();

    int pendingClose = 0;
    int pinnedClose = 0;
    if (popup_) {
        pendingClose = popup_->closeTimer;
        // A pinned popup closes once the mouse is elsewhere, unless it holds the mouse.
        if (popup_->state == PopupState::Pinned && !popup_->HasMouseCapture()) {
            pinnedClose = StartCloseTimer();
            popup_->closeTimer = pinnedClose;
        }
    }

    if (!Capture() || !host.element.active) return kResultOk;
    // The mouse reached another link in time: the popup stays for it.
    if (pendingClose != 0) KillTimer(pendingClose);
    KillTimer(host.openTimer);
    host.openTimer = 0;

    hoverKey_ = host.element.innerText + host.element.id + host.element.tagName;
    host.stopSongOnHide = false;
    RenderState& state = state_;
    host.openTimer = StartTimer(state_.openDelay, [&state](int id) { OpenTimerFired(state, id); });
    // No close timer is pending any more, except the one that closes a pinned popup; the new
    // popup ends that one when it opens.
    if (popup_) popup_->closeTimer = pinnedClose;
    return kResultOk;
}

HResult Cqlx::MouseOut() {
    BindPageWindow();
    const bool usable = PageUsable() && Capture();
    HostState& host = state_.host;
    const bool openPending = host.openTimer != 0;
    if (openPending) {
        // -1 (the popup was already requested) is passed on as it is.
        if (usable) KillTimer(host.openTimer);
    } else {
        waits_.mouseOut = kWaitRounds;
    }
    WaitForEngine(waits_.mouseOut, false);
    if (!usable) return kResultOk;

    if (host.openTimer == -1 && popup_) {
        const EventElement& element = host.element;
        if (element.innerText + element.id + element.tagName == hoverKey_) {
            host.stopSongOnHide = element.title.Find(kSongMark) >= 0;
            if (popup_->closeTimer == 0) popup_->closeTimer = StartCloseTimer();
        }
    }
    return kResultOk;
}

HResult Cqlx::MouseClick() {
    WaitForEngine(waits_.mouseClick);
    BindPageWindow();
    if (!PageUsable() || !Capture()) return kResultOk;
    HostState& host = state_.host;

    if (host.element.tagName == "INPUT") return kResultOk;
    if (host.element.title.Find(kSongMark) >= 0) {
        CancelEvent(state_);
        return kResultOk;
    }
    if (!(host.element.id == "fd" || host.element.id == "bk" || !host.element.href.IsEmpty())) {
        CancelEvent(state_);
        return kResultOk;
    }
    MouseOut();

    // MouseOut read the same event again; what follows uses that capture.
    const EventElement& element = host.element;
    if (element.tagName == "A" && IsLanguageLink(state_, element.href)) {
        ToggleLanguage();
        return kResultOk;
    }

    state_.busy = true;
    host.holdHoverPopups = false;
    if (host.scrollTimer != 0) {
        KillTimer(host.scrollTimer);
        host.scrollTimer = 0;
    }
    if (element.button == kRightButton) {
        // While the browser's context menu is up no hover popup should cover it: popups wait
        // for the next click that gets this far. Page requests go on as usual (an engine left
        // busy would drop them, and the pages the user then asks for would never show).
        host.holdHoverPopups = true;
        state_.busy = false;
        CancelEvent(state_);
        return kResultFalse;
    }
    if (element.href.Slice(0, 7) == "mailto:" || element.href.Find(".htm") >= 0 ||
        element.href.Find(".html") >= 0 || element.href.Find("http://") >= 0) {
        // The browser follows the link.
        state_.busy = false;
        return kResultOk;
    }
    state_.busy = false;

    if (IdInLinkRange(element.id) && !element.title.IsEmpty()) {
        const GbString date = element.title;
        ReadingCalendar(state_, date);
    } else {
        NavigateByClick();
    }
    CancelEvent(state_);
    state_.busy = false;
    return kResultOk;
}

void Cqlx::ToggleLanguage() {
    HostState& host = state_.host;
    state_.useGbk = state_.useGbk == 0 ? 1 : 0;
    const bool traditional = state_.useGbk == 1;
    GbString value(traditional ? "1" : "0");
    SetConfigValue(state_, "USEGBK=", value);
    // The writes re-read the settings: the switch stands as set here whatever the file holds.
    state_.useGbk = traditional ? 1 : 0;

    // The link now offers the other way back.
    pageWindow_->SetSourceInnerText(PlainWide(traditional ? "简体" : "繁体"));

    // Read in traditional characters, the body is already simplified when it arrives; read
    // with the display simplified again, it still holds traditional characters.
    GbString body = GetPageBody(state_);
    if (!traditional) ToSimplified(body, state_.Conversions());
    host.skipLinkControlOnce = true;
    SetPageBody(state_, body);
    CancelEvent(state_);
}

void Cqlx::NavigateByClick() {
    HostState& host = state_.host;
    const EventElement& element = host.element;
    GbString key = StripPath(element.href);
    HistoryList& list = SelectHistory(state_, pageWindow_);
    GbString position = element.innerHTML;
    int scroll = -1;
    bool open = true;

    if (IdInLinkRange(element.id)) {
        // A module entry: the link's id is the entry key.
        key += "#";
        key += element.id;
        RecordHistory(state_, list, key, position);
        scroll = -1;
    } else if (element.id == "bar") {
        // The back and forward links of the page: at either end nothing is opened.
        const bool moved = key == "bk" ? list.StepBack() : list.StepForward();
        if (!moved) {
            open = false;
        } else {
            const HistoryEntry& entry = list.Current();
            key = GbString(entry.key);
            position = GbString(entry.position);
            scroll = entry.scroll;
            if (position == "PGW") {
                DayPage(state_, key);
                open = false;
            }
        }
    } else {
        scroll = RecordHistory(state_, list, key, position).scroll;
    }

    if (open) OpenPage(state_, key, 0, position);
    if (scroll >= 0) {
        pageWindow_->ScrollTo(0, scroll);
        pageWindow_->ScrollTo(0, scroll);
    }
    pageWindow_->RunScript(u"fix()");
}

HResult Cqlx::pF10() {
    // While a popup is on the screen the keys are its own; once it is hidden they act again.
    if (state_.host.popupWindow != nullptr && PopupShowing(*state_.host.popupWindow)) {
        CancelEvent(state_);
        return kResultFalse;
    }
    BindPageWindow();
    if (!PageUsable() || !Capture()) return kResultOk;
    HostState& host = state_.host;
    GbString body = GetPageBody(state_);
    body.MakeLower();
    const GbString url = DocumentUrl(state_);
    const int key = host.element.keyCode;

    if (key == '+' || key == '-') {
        if (url.Find("cfg/tu") >= 0) {
            // The body read back keeps what the page had; a second link bar is never added.
            host.skipLinkControlOnce = true;
            SetPageBody(state_, ZoomedPicturePage(body, key == '+'));
            CancelEvent(state_);
        } else if (!ContainsAfterStart(body, state_.cmpStr[kWordFixedLayout])) {
            const std::optional<GbString> page = ToggledReadingLayout(state_, body);
            if (!page) {
                // Neither a chapter page nor a study page that can be reflowed.
                CancelEvent(state_);
            } else if (!page->IsEmpty()) {
                // The body already carries the link bar of the page it was read from.
                host.skipLinkControlOnce = true;
                SetPageBody(state_, *page);
                CancelEvent(state_);
            }
        }
    }

    if (key == '*') {
        state_.extendNote = 3;
    } else if (key == '/') {
        state_.extendNote = 2;
    } else if (key == kKeyBlank) {
        ToggleAutoScroll();
        CancelEvent(state_);
    } else if (key == kKeyLineFeed && host.element.modifiers == kModifierCtrl) {
        state_.extendNote = (state_.extendNote + 1) % 4;
    }
    return kResultOk;
}

void Cqlx::ToggleAutoScroll() {
    HostState& host = state_.host;
    if (host.scrollTimer != 0) {
        KillTimer(host.scrollTimer);
        host.scrollTimer = 0;
        return;
    }
    RenderState& state = state_;
    host.scrollTimer = StartTimer(state_.scrollSpeed, [&state](int id) { AutoScrollTick(state, id); });
    host.lastScrollTop = BodyScrollTop(state_, 0);
}

HResult Cqlx::SearchWord(std::u16string_view fStr, std::u16string_view NoFindTxt,
                         std::int32_t ExtendTxt, HostWindow* pinnerhtml) {
    WaitForEngine(waits_.searchWord);
    SearchWords(state_, fStr, NoFindTxt, ExtendTxt, pinnerhtml);
    return kResultOk;
}

HResult Cqlx::getcfg(std::u16string_view NoName, std::u16string* NoValue) {
    WaitForEngine(waits_.getcfg);
    const GbString text = FromWide(NoName, state_.Conversions());
    const int equals = text.Find("=");
    GbString key = text;
    GbString value;
    if (equals >= 0) {
        key = GbString(text.Slice(0, equals + 1));
        value = GbString(text.Slice(equals + 1));
    }
    if (SetConfigValue(state_, key, value) && NoValue != nullptr) {
        *NoValue = ToWide(value, state_.Conversions());
    }
    return kResultOk;
}

HResult Cqlx::GetWheel(std::u16string_view wd) {
    WaitForEngine(waits_.getWheel);
    BindPageWindow();
    if (!PageUsable()) return kResultOk;
    GbString text = FromWide(wd, state_.Conversions());
    if (text.Slice(0, 1) == "H") {
        text.Delete(0, 1);
        state_.host.planMode = text.Slice(0, 1) == "+" ? 1 : 0;
        ReadingCalendar(state_, text);
        return kResultOk;
    }
    // A day page that cannot be built now is not recorded either (see openchahtm).
    if (state_.busy) return kResultOk;
    HistoryList& list = SelectHistory(state_, pageWindow_);
    RecordHistory(state_, list, text, "PGW");
    DayPage(state_, text);
    return kResultOk;
}

HResult Cqlx::linkmap(std::u16string_view TuNo) {
    BindPageWindow();
    if (!PageUsable()) return kResultOk;
    const GbString page = PicturePage(state_, FromWide(TuNo, state_.Conversions()));
    // The chapter shown before is built again when it is opened next.
    state_.host.currentKey.Empty();
    SetPageBody(state_, page);
    return kResultOk;
}

HResult Cqlx::get_Ver(std::u16string* pVal) {
    WaitForEngine(waits_.ver);
    if (pVal != nullptr) *pVal = PlainWide(state_.buildLabel);
    return kResultOk;
}

HResult Cqlx::openchahtm(std::u16string_view tKey, std::int32_t NoLinkValue,
                         std::u16string_view esinnerHTML) {
    WaitForEngine(waits_.openchahtm);
    BindPageWindow();
    if (!PageUsable()) return kResultOk;
    // OpenPage drops a request while the engine is busy (the wait above ran out): such a page
    // never shows, so it gets no history entry that back and forward could reach later.
    if (state_.busy) return kResultOk;
    const GbString key = StripPath(FromWide(tKey, state_.Conversions()));
    const GbString position = FromWide(esinnerHTML, state_.Conversions());
    HistoryList& list = SelectHistory(state_, pageWindow_);
    RecordHistory(state_, list, key, position);
    OpenPage(state_, key, NoLinkValue, position);
    return kResultOk;
}

HResult Cqlx::AddBibleLink() {
    BindPageWindow();
    if (!PageUsable()) return kResultOk;
    if (state_.host.changedFlags == 0) AddReferenceLinks(state_);
    return kResultOk;
}

HResult Cqlx::get_Changed(std::int32_t* pVal) {
    if (pVal != nullptr) *pVal = state_.host.changedFlags;
    return kResultOk;
}

HResult Cqlx::put_Changed(std::int32_t newVal) {
    state_.host.changedFlags = newVal;
    return kResultOk;
}

HResult Cqlx::get_FixResult(std::u16string_view inBSTR, std::u16string* pVal) {
    GbString text = FixCopiedText(FromWide(inBSTR, state_.Conversions()));
    if (pVal != nullptr) *pVal = ToWide(text, state_.Conversions());
    return kResultOk;
}

}  // namespace quillax
