#include "devhost/server/browser_host.h"

#include <utility>
#include <vector>

#include "devhost/server/study_days.h"
#include "engine/com/members.h"
#include "engine/pages/calendar.h"
#include "engine/pages/study_pages.h"
#include "platform/code_page.h"
#include "textlib/conversions.h"

namespace quillax::devhost {

std::u16string WideOf(const Json& value) {
    if (!value.is_string()) return {};
    return platform::Utf8ToUtf16(value.get_ref<const std::string&>());
}

std::string Utf8Of(const std::u16string& wide) { return platform::Utf16ToUtf8(wide); }

namespace {

PageSession* currentSession = nullptr;

// Windows of ended sessions. The engine keeps a history list per window for as long as it
// runs, keyed by the window's address; keeping the (detached) objects means a later page never
// gets an address, and so a history, that belonged to an earlier one.
std::vector<std::shared_ptr<BrowserWindow>>& RetiredWindows() {
    static std::vector<std::shared_ptr<BrowserWindow>> windows;
    return windows;
}

int IntOf(const Json& value, int fallback = 0) {
    if (value.is_number_integer()) return value.get<int>();
    if (value.is_number()) return static_cast<int>(value.get<double>());
    if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
    return fallback;
}

const Json& Member(const Json& object, const char* name) {
    static const Json none;
    if (!object.is_object()) return none;
    const auto it = object.find(name);
    return it == object.end() ? none : *it;
}

std::u16string Replaced(std::u16string text, const std::u16string& from, const std::u16string& to) {
    if (from.empty()) return text;
    for (std::size_t at = text.find(from); at != std::u16string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The main window of the host stands for the page's tab; its caption is the title the page
// starts with.
int mainWindowToken = 0;
constexpr char kMainCaption[] = "quillax-devhost";

}  // namespace

// ---- BrowserWindow ----------------------------------------------------------------------------

bool BrowserWindow::Post(Json message) {
    if (session_ == nullptr || !session_->Channel().Open()) return false;
    message["win"] = name_;
    session_->Channel().Send(message);
    return true;
}

std::optional<Json> BrowserWindow::Ask(Json request) {
    if (session_ == nullptr) return std::nullopt;
    request["win"] = name_;
    return session_->Channel().Ask(std::move(request), kReadTimeout);
}

int BrowserWindow::AskNumber(Json request) {
    const std::optional<Json> answer = Ask(std::move(request));
    return answer ? IntOf(*answer) : 0;
}

bool BrowserWindow::CurrentEvent(HostEvent& out) {
    if (session_ == nullptr || name_ != "main" || !session_->Event().present) return false;
    out = session_->Event().event;
    return true;
}

bool BrowserWindow::SourceElement(HostElement& out) {
    if (session_ == nullptr || name_ != "main" || !session_->Event().hasSource) return false;
    out = session_->Event().source;
    return true;
}

std::u16string BrowserWindow::SourceInnerText() {
    if (session_ == nullptr || name_ != "main" || !session_->Event().hasSource) return {};
    return session_->Event().innerText;
}

std::u16string BrowserWindow::SourceInnerHtml() {
    if (session_ == nullptr || name_ != "main" || !session_->Event().hasSource) return {};
    return session_->Event().innerHtml;
}

bool BrowserWindow::SetSourceInnerText(const std::u16string& text) {
    if (session_ == nullptr || name_ != "main" || !session_->Event().hasSource) return false;
    session_->Event().innerText = text;
    return Post({{"op", "sourceText"}, {"seq", session_->CallSeq()}, {"text", Utf8Of(text)}});
}

bool BrowserWindow::CancelEvent() {
    if (session_ == nullptr || name_ != "main" || !session_->Event().present) return false;
    session_->Event().cancelled = true;
    return true;
}

bool BrowserWindow::HasDocument() { return session_ != nullptr && session_->Channel().Open(); }

bool BrowserWindow::SetCharset(const std::u16string& value) {
    return Post({{"op", "charset"}, {"charset", Utf8Of(value)}});
}

bool BrowserWindow::FirstStyleSheetHref(std::u16string& href) {
    if (!HasDocument()) return false;
    href = styleHref_;
    return true;
}

bool BrowserWindow::SetFirstStyleSheetHref(const std::u16string& href) {
    if (!HasDocument()) return false;
    styleHref_ = href;
    return Post({{"op", "styleHref"}, {"href", Utf8Of(session_->ToPageText(href))}});
}

bool BrowserWindow::SetBackgroundColor(const std::u16string& color) {
    return Post({{"op", "bgColor"}, {"color", Utf8Of(color)}});
}

std::u16string BrowserWindow::Url() { return HasDocument() ? url_ : std::u16string(); }

std::u16string BrowserWindow::BodyInnerHtml() { return HasDocument() ? body_ : std::u16string(); }

bool BrowserWindow::SetBodyInnerHtml(const std::u16string& html) {
    if (!HasDocument()) return false;
    body_ = html;
    ++bodyWrites_;
    return Post({{"op", "body"}, {"html", Utf8Of(session_->ToPageText(html))}});
}

int BrowserWindow::BodyOffsetHeight() { return AskNumber({{"op", "bodyHeight"}}); }

int BrowserWindow::BodyScrollTop() { return AskNumber({{"op", "scrollTop"}}); }

bool BrowserWindow::SetBodyScrollTop(int value) {
    return Post({{"op", "setScrollTop"}, {"value", value}});
}

bool BrowserWindow::AnchorOffsets(const std::u16string& name, std::vector<OffsetNode>& chain) {
    chain.clear();
    const std::optional<Json> answer = Ask({{"op", "anchor"}, {"name", Utf8Of(name)}});
    if (!answer || !answer->is_array()) return false;
    for (const Json& node : *answer) {
        OffsetNode item;
        item.tagName = WideOf(Member(node, "tag"));
        item.offsetTop = IntOf(Member(node, "top"));
        chain.push_back(std::move(item));
    }
    return !chain.empty();
}

bool BrowserWindow::ScrollTo(int x, int y) { return Post({{"op", "scrollTo"}, {"x", x}, {"y", y}}); }

bool BrowserWindow::ScrollBy(int dx, int dy) {
    return Post({{"op", "scrollBy"}, {"x", dx}, {"y", dy}});
}

bool BrowserWindow::RunScript(const std::u16string& code) {
    return Post({{"op", "script"}, {"code", Utf8Of(code)}});
}

bool BrowserWindow::Focus() { return Post({{"op", "focus"}}); }

bool BrowserWindow::SetWindowCaption(WindowHandle window, const std::u16string& caption) {
    if (window == nullptr) return false;
    return Post({{"op", "caption"}, {"text", Utf8Of(caption)}});
}

int BrowserWindow::MaxCharWidth(WindowHandle window) {
    if (window == nullptr || session_ == nullptr) return 0;
    return session_->MaxCharWidth();
}

void BrowserWindow::CursorPosition(int& x, int& y) {
    x = 0;
    y = 0;
    const std::optional<Json> answer = Ask({{"op", "cursor"}});
    if (!answer) return;
    x = IntOf(Member(*answer, "x"));
    y = IntOf(Member(*answer, "y"));
}

// ---- BrowserPopup -----------------------------------------------------------------------------

void BrowserPopup::Post(Json message) {
    if (session_ == nullptr || !session_->Channel().Open()) return;
    session_->Channel().Send(message);
}

void BrowserPopup::Create(bool picture) {
    created_ = true;
    style_ = picture ? kPictureStyle : kTextStyle;
    Post({{"op", "popupCreate"}, {"picture", picture}});
}

void BrowserPopup::Hide() {
    // A hidden panel is under no pointer; the page says so again when the pointer enters it.
    pointerInside_ = false;
    Post({{"op", "popupHide"}});
}

void BrowserPopup::Show() { Post({{"op", "popupShow"}}); }

void BrowserPopup::Move(const PopupRect& to, bool repaint) {
    windowRect_ = to;
    Post({{"op", "popupMove"},
          {"left", to.left},
          {"top", to.top},
          {"width", to.right - to.left},
          {"height", to.bottom - to.top},
          {"repaint", repaint}});
}

void BrowserPopup::SetCharset(const std::u16string& charset) {
    Post({{"op", "popupCharset"}, {"charset", Utf8Of(charset)}});
}

void BrowserPopup::SetBodyInnerHtml(const std::u16string& html) {
    if (session_ == nullptr) return;
    Post({{"op", "popupBody"}, {"html", Utf8Of(session_->ToPageText(html))}});
}

void BrowserPopup::SetBackgroundColor(const std::u16string& color) {
    Post({{"op", "popupBgColor"}, {"color", Utf8Of(color)}});
}

int BrowserPopup::ResetScrollAndMeasure() {
    if (session_ == nullptr) return 0;
    const std::optional<Json> answer = session_->Channel().Ask({{"op", "popupMeasure"}}, kReadTimeout);
    return answer ? IntOf(*answer) : 0;
}

void BrowserPopup::ScrollTo(int x, int y) { Post({{"op", "popupScrollTo"}, {"x", x}, {"y", y}}); }

void BrowserPopup::RunScript(const std::u16string& code) {
    Post({{"op", "popupScript"}, {"code", Utf8Of(code)}});
}

void BrowserPopup::SetStyle(std::uint32_t style) {
    style_ = style;
    Post({{"op", "popupCaption"}, {"caption", (style & kCaptionBits) == kCaptionBits}});
}

int BrowserPopup::ClientHeight() {
    int height = windowRect_.bottom - windowRect_.top - kBorderHeight;
    if ((style_ & kCaptionBits) == kCaptionBits) height -= kCaptionHeight;
    return height > 0 ? height : 0;
}

// ---- PageSession ------------------------------------------------------------------------------

PageSession::PageSession(RenderState& state, std::shared_ptr<PageChannel> channel,
                         std::u16string configDir, const StudyDays* studyDays)
    : state_(state), channel_(std::move(channel)), configDir_(std::move(configDir)),
      studyDays_(studyDays) {
    configDirSlashed_ = configDir_;
    for (char16_t& c : configDirSlashed_) {
        if (c == u'\\') c = u'/';
    }
    main_ = std::make_shared<BrowserWindow>(*this, "main");
    result_ = std::make_shared<BrowserWindow>(*this, "result");
    control_ = std::make_unique<Cqlx>(state_, [this](RenderState& engine) {
        auto window = std::make_unique<BrowserPopupWindow>(engine, std::make_shared<BrowserPopup>(*this));
        popup_ = window.get();
        return std::unique_ptr<PopupWindow>(std::move(window));
    });
}

PageSession::~PageSession() {
    if (currentSession == this) currentSession = nullptr;
    // The engine forgets the windows of this page before they go.
    if (state_.host.pageWindow == main_.get() || state_.host.pageWindow == result_.get()) {
        state_.host.pageWindow = nullptr;
    }
    control_.reset();
    main_->Detach();
    result_->Detach();
    RetiredWindows().push_back(std::move(main_));
    RetiredWindows().push_back(std::move(result_));
}

PageSession* PageSession::Current() { return currentSession; }

std::u16string PageSession::ToPageText(const std::u16string& text) const {
    return Replaced(Replaced(text, configDir_, kConfigUrlPrefix), configDirSlashed_, kConfigUrlPrefix);
}

void PageSession::ReadEvent(const Json& ev) {
    event_ = EventSnapshot();
    if (!ev.is_object()) return;
    event_.present = true;
    event_.event.keyCode = IntOf(Member(ev, "keyCode"));
    event_.event.altKey = IntOf(Member(ev, "altKey")) != 0;
    event_.event.ctrlKey = IntOf(Member(ev, "ctrlKey")) != 0;
    event_.event.shiftKey = IntOf(Member(ev, "shiftKey")) != 0;
    event_.event.button = IntOf(Member(ev, "button"));
    event_.event.screenWidth = IntOf(Member(ev, "screenWidth"));
    event_.event.screenHeight = IntOf(Member(ev, "screenHeight"));
    const Json& src = Member(ev, "src");
    if (!src.is_object()) return;
    event_.hasSource = true;
    event_.source.tagName = WideOf(Member(src, "tagName"));
    event_.source.id = WideOf(Member(src, "id"));
    event_.source.title = WideOf(Member(src, "title"));
    event_.source.outerHtml = WideOf(Member(src, "outerHTML"));
    event_.innerText = WideOf(Member(src, "innerText"));
    event_.innerHtml = WideOf(Member(src, "innerHTML"));
}

void PageSession::Handle(const Json& message) {
    if (!message.is_object()) return;
    const Json& popupMessage = Member(message, "popup");
    if (popupMessage.is_string()) {
        // Window messages of the popup panel.
        if (popup_ == nullptr) return;
        const std::string& what = popupMessage.get_ref<const std::string&>();
        if (what == "frameEnter") {
            popup_->Panel().SetPointerInside(true);
            popup_->OnNonClientMouseMove();
        }
        if (what == "frameLeave") popup_->Panel().SetPointerInside(false);
        if (what == "close") popup_->OnClose();
        return;
    }
    const Json& query = Member(message, "query");
    if (query.is_string()) {
        channel_->Send({{"done", IntOf(Member(message, "seq"))},
                        {"value", Query(query.get_ref<const std::string&>(), Member(message, "args"))}});
        return;
    }
    const Json& method = Member(message, "call");
    if (!method.is_string()) return;
    callSeq_ = IntOf(Member(message, "seq"));
    const Json& width = Member(message, "maxCharWidth");
    if (width.is_number()) maxCharWidth_ = IntOf(width);
    ReadEvent(Member(message, "ev"));
    // The engine leaves a page that is asked for again as it stands, by the key it wrote last;
    // when another tab had the engine since, that page is not this tab's.
    if (state_.host.pageWindow != main_.get()) state_.host.currentKey.Empty();
    const int bodyWrites = main_->BodyWrites();
    const HistoryEntry entryBefore = CurrentEntry();
    const int useGbkBefore = state_.useGbk;
    currentSession = this;
    Json reply = Call(method.get_ref<const std::string&>(), Member(message, "args"));
    currentSession = nullptr;
    reply["done"] = callSeq_;
    reply["cancelled"] = event_.cancelled;
    if (state_.useGbk != useGbkBefore) ShowInCharactersNow(*result_);
    // A new body, or the same page at another position (a verse of the chapter shown).
    const HistoryEntry entryAfter = CurrentEntry();
    if (main_->BodyWrites() != bodyWrites || entryAfter.key != entryBefore.key ||
        entryAfter.position != entryBefore.position) {
        Json place = Place();
        if (!place.is_null()) reply["place"] = std::move(place);
    }
    event_ = EventSnapshot();
    channel_->Send(reply);
}

void PageSession::ShowInCharactersNow(BrowserWindow& window) {
    const std::u16string body = window.BodyInnerHtml();
    if (body.empty()) return;
    // Read as traditional text, either kind of characters comes back simplified.
    ConversionOptions read = state_.Conversions();
    read.useGbk = true;
    GbString text = FromWide(body, read);
    window.SetBodyInnerHtml(ToWide(text, state_.Conversions()));
}

HistoryEntry PageSession::CurrentEntry() const {
    const HistoryList* list = state_.events.history.Find(main_.get());
    return list != nullptr ? list->Current() : HistoryEntry();
}

Json PageSession::Place() const {
    const ConversionOptions plain;
    const auto text = [&](const GbString& gbk) {
        GbString copy = gbk;
        return Utf8Of(ToWide(copy, plain));
    };
    const HostState& host = state_.host;
    if (IsCalendarPage(state_, FromWide(main_->BodyInnerHtml(), state_.Conversions()))) {
        return {{"calendar", text(host.calendarDate.text)}, {"daily", host.planMode != 0}};
    }
    const HistoryEntry entry = CurrentEntry();
    if (entry.key.empty()) return nullptr;
    if (entry.position == "PGW") {
        return {{"day", text(GbString(entry.key))},
                {"date", text(host.calendarDate.text)},
                {"daily", host.planMode != 0}};
    }
    return {{"key", text(GbString(entry.key))}, {"position", text(GbString(entry.position))}};
}

Json PageSession::Query(const std::string& what, const Json& args) const {
    if (what != "days" || studyDays_ == nullptr) return nullptr;
    const std::string dateText = Member(args, "date").is_string() ? Member(args, "date").get<std::string>() : "";
    Date date;
    if (dateText.size() == 10) {
        date.Parse(dateText);
    } else {
        date.SetToday();
    }
    const bool daily = IntOf(Member(args, "daily")) != 0;
    const auto describe = [](const StudyDay& day) {
        GbString dayText = day.date.text;
        return Json{{"date", dayText.str()}, {"planDay", day.planDay}, {"weekday", day.date.weekday}};
    };
    const StudyDay day = studyDays_->Of(date, daily);
    Json answer = describe(day);
    answer["daily"] = daily;
    answer["wheel"] = day.has[kStudyWheel];
    answer["notes"] = day.has[kStudyNotes];
    answer["outline"] = day.has[kStudyOutline];
    answer["devotional"] = day.has[kStudyDevotional];
    answer["pages"] = {{"notes", DayPageKey(kStudyNotes, day.planDay)},
                       {"outline", DayPageKey(kStudyOutline, day.planDay)},
                       {"devotional", DayPageKey(kStudyDevotional, day.planDay)}};
    std::vector<StudyDay> after;
    std::vector<StudyDay> before;
    studyDays_->Around(date, daily, kStudyDaysListed, after, before);
    answer["after"] = Json::array();
    for (const StudyDay& near : after) answer["after"].push_back(describe(near));
    answer["before"] = Json::array();
    for (const StudyDay& near : before) answer["before"].push_back(describe(near));
    // What the engine's day pages say of a day without material.
    GbString none;
    SayWhenNoEntry(state_, none);
    answer["none"] = Utf8Of(ToWide(none, state_.Conversions()));
    return answer;
}

namespace {

// The arguments of a call from the host page: an object with one key per parameter (the
// parameter's page key). A window parameter is the page itself or its result pane.
class PageArguments : public MemberArguments {
public:
    PageArguments(const ControlMember& member, const Json& args, HostWindow* page, HostWindow* result)
        : member_(member), args_(args), page_(page), result_(result) {}

    std::u16string Text(std::size_t i) const override { return WideOf(Value(i)); }
    std::int32_t Number(std::size_t i) const override { return IntOf(Value(i)); }
    HostWindow* Window(std::size_t i) const override {
        if (i >= member_.arity) return nullptr;
        return member_.parameters[i].pageKey == "result" ? result_ : page_;
    }

private:
    const Json& Value(std::size_t i) const {
        static const Json none;
        if (i >= member_.arity) return none;
        const std::string key(member_.parameters[i].pageKey);
        return Member(args_, key.c_str());
    }

    const ControlMember& member_;
    const Json& args_;
    HostWindow* page_;
    HostWindow* result_;
};

}  // namespace

Json PageSession::Call(const std::string& method, const Json& args) {
    Json reply;
    const ControlMember* member = MemberOfCall(method, args.is_object() && !args.empty());
    if (member == nullptr) {
        reply["error"] = "unknown method";
        reply["result"] = kResultOk;
        return reply;
    }
    if (member->name == "init") {
        // The page tells where its two windows stand before the control binds to it.
        main_->SetUrl(WideOf(Member(args, "url")));
        result_->SetUrl(WideOf(Member(args, "resultUrl")));
    }
    const PageArguments arguments(*member, args, main_.get(), result_.get());
    // The engine leaves getcfg's result alone unless it gives one: a mark shows which it was.
    constexpr char16_t kUnset[] = u"\x01";
    MemberReply answer;
    if (member->value == MemberValue::Text) answer.text = kUnset;
    member->invoke(*control_, arguments, answer);
    reply["result"] = answer.result;
    if (answer.number) reply["value"] = *answer.number;
    if (answer.text && *answer.text != kUnset) reply["value"] = Utf8Of(*answer.text);
    return reply;
}

// ---- desktop -------------------------------------------------------------------------------------

WindowHandle BrowserDesktop::ActiveWindow() const { return &mainWindowToken; }

GbString BrowserDesktop::WindowCaption(WindowHandle window) const {
    return window == &mainWindowToken ? GbString(kMainCaption) : GbString();
}

bool BrowserColorChooser::ChooseColor(WindowHandle /*owner*/, int& rgb) {
    PageSession* session = PageSession::Current();
    if (session == nullptr) return false;
    const std::optional<Json> answer =
        session->Channel().Ask({{"op", "chooseColor"}, {"rgb", rgb}}, kColorTimeout);
    if (!answer || !answer->is_number_integer()) return false;
    rgb = answer->get<int>() & 0xFFFFFF;
    return true;
}

}  // namespace quillax::devhost
