// The engine's side of one browser page: its two windows (the reading window and the result
// pane), its popup and its control.
//
// Everything here runs on the engine thread. Operations that change the page are sent to it
// as messages; reads that need the browser's layout (scroll positions, heights, anchor offsets,
// the popup's content height, the pointer) are asked of the page and waited for, with a
// time-out. The browser event that a control method reads is the snapshot the page sent with
// the call, taken while the event was current; the body text the engine reads back is the text
// it wrote last, as the browser control handed it back.
//
// Paths of the installation in page text (pictures, the style sheet) are turned into addresses
// under /cfg/, where the server shows the configuration directory.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devhost/server/page_channel.h"
#include "engine/com/control.h"
#include "engine/host/host_window.h"
#include "engine/popup/popup_window.h"
#include "engine/state/render_state.h"

namespace quillax::devhost {

// How long the engine waits for an answer of the page.
constexpr std::chrono::milliseconds kReadTimeout{1500};
// How long the colour chooser may stay open.
constexpr std::chrono::milliseconds kColorTimeout{120000};

// The address prefix under which the server shows the configuration directory.
constexpr char16_t kConfigUrlPrefix[] = u"/cfg/";

// The event of the call being handled, as the page captured it.
struct EventSnapshot {
    bool present = false;
    HostEvent event;
    bool hasSource = false;
    HostElement source;
    std::u16string innerText;
    std::u16string innerHtml;
    bool cancelled = false;
};

class PageSession;

// One window of the page: "main" (the reading window) or "result" (the search result pane).
class BrowserWindow : public HostWindow {
public:
    BrowserWindow(PageSession& session, std::string name) : session_(&session), name_(std::move(name)) {}

    bool CurrentEvent(HostEvent& out) override;
    bool SourceElement(HostElement& out) override;
    std::u16string SourceInnerText() override;
    std::u16string SourceInnerHtml() override;
    bool SetSourceInnerText(const std::u16string& text) override;
    bool CancelEvent() override;
    bool HasDocument() override;
    bool HasBody() override { return HasDocument(); }
    bool SetCharset(const std::u16string& value) override;
    bool FirstStyleSheetHref(std::u16string& href) override;
    bool SetFirstStyleSheetHref(const std::u16string& href) override;
    bool SetBackgroundColor(const std::u16string& color) override;
    std::u16string Url() override;
    std::u16string BodyInnerHtml() override;
    bool SetBodyInnerHtml(const std::u16string& html) override;
    int BodyOffsetHeight() override;
    int BodyScrollTop() override;
    bool SetBodyScrollTop(int value) override;
    bool AnchorOffsets(const std::u16string& name, std::vector<OffsetNode>& chain) override;
    bool ScrollTo(int x, int y) override;
    bool ScrollBy(int dx, int dy) override;
    bool RunScript(const std::u16string& code) override;
    bool Focus() override;
    bool SetWindowCaption(WindowHandle window, const std::u16string& caption) override;
    int MaxCharWidth(WindowHandle window) override;
    void CursorPosition(int& x, int& y) override;

    // The session ended: every operation from now on acts on nothing.
    void Detach() { session_ = nullptr; }
    void SetUrl(std::u16string url) { url_ = std::move(url); }
    // How many bodies the engine has written into this window.
    int BodyWrites() const { return bodyWrites_; }

private:
    bool Post(Json message);
    std::optional<Json> Ask(Json request);
    int AskNumber(Json request);

    PageSession* session_;
    std::string name_;
    std::u16string body_;
    std::u16string styleHref_ = u"bible.css";
    std::u16string url_;
    int bodyWrites_ = 0;
};

// The popup panel of the page, with its own document (an iframe): the PopupSurface that the
// engine fills and the PopupFrame whose style says whether it carries a caption (pinned).
class BrowserPopup : public PopupSurface, public PopupFrame {
public:
    explicit BrowserPopup(PageSession& session) : session_(&session) {}

    bool Created() const override { return created_; }
    void Create(bool picture) override;
    void Hide() override;
    void Show() override;
    void Move(const PopupRect& to, bool repaint) override;
    void SetCharset(const std::u16string& charset) override;
    void SetBodyInnerHtml(const std::u16string& html) override;
    void SetBackgroundColor(const std::u16string& color) override;
    int ResetScrollAndMeasure() override;
    void ScrollTo(int x, int y) override;
    void RunScript(const std::u16string& code) override;

    std::uint32_t Style() override { return style_; }
    void SetStyle(std::uint32_t style) override;
    int ClientHeight() override;
    PopupRect WindowRect() override { return windowRect_; }
    // The panel holds the mouse while the pointer is over it: a pinned popup stays while the
    // reader moves over its links and notes.
    bool HasMouseCapture() override { return pointerInside_; }

    void Detach() { session_ = nullptr; }
    void SetPointerInside(bool inside) { pointerInside_ = inside; }

    // A text popup: popup, border, vertical scroll bar, system menu.
    static constexpr std::uint32_t kTextStyle = 0x80A80000;
    // A picture popup: the same without the scroll bar.
    static constexpr std::uint32_t kPictureStyle = 0x80880000;
    static constexpr std::uint32_t kCaptionBits = 0x00C00000;
    static constexpr int kCaptionHeight = 20;  // the caption bar of the page's panel
    static constexpr int kBorderHeight = 2;    // its top and bottom border together

private:
    void Post(Json message);

    PageSession* session_;
    bool created_ = false;
    bool pointerInside_ = false;
    std::uint32_t style_ = kTextStyle;
    PopupRect windowRect_;
};

// The popup window of a page's control: the engine's window behaviour over the page's panel.
class BrowserPopupWindow : public PopupWindow {
public:
    BrowserPopupWindow(RenderState& engine, std::shared_ptr<BrowserPopup> panel)
        : PopupWindow(engine, *panel, *panel), panel_(std::move(panel)) {}

    BrowserPopup& Panel() { return *panel_; }

private:
    std::shared_ptr<BrowserPopup> panel_;
};

class StudyDays;

// One page connection: its windows, popup panel and control. Created and destroyed on the
// engine thread.
//
// Besides the calls of the control's methods the page sends:
//  - {"popup": "frameEnter" | "frameLeave" | "close"}: the pointer enters or leaves the popup
//    panel (entering pins a shown popup), or the panel's close button;
//  - {"query": "days", "seq", "args": {"date", "daily"}}: the study material of a date and the
//    dates around it that have some (answered as calls are, the answer in "value").
// The answer of a call that wrote a new body into the reading window carries "place": what
// the window shows now, for the page's address and history (see Place).
class PageSession {
public:
    PageSession(RenderState& state, std::shared_ptr<PageChannel> channel, std::u16string configDir,
                const StudyDays* studyDays = nullptr);
    ~PageSession();
    PageSession(const PageSession&) = delete;
    PageSession& operator=(const PageSession&) = delete;

    // Handles one message of the page: a call of a control method ("call"), or a message of
    // the popup panel. Calls are answered with {"done": seq, "result", "cancelled", "value"}.
    void Handle(const Json& message);

    PageChannel& Channel() { return *channel_; }
    std::shared_ptr<PageChannel> SharedChannel() const { return channel_; }
    // Whether popup is this page's popup window.
    bool OwnsPopup(const PopupSurface* popup) const { return popup != nullptr && popup == popup_; }
    // What the reading window shows:
    //  - {"calendar": "yyyy-mm-dd", "daily": bool} for the reading calendar;
    //  - {"day": "1" | other, "date", "daily"} for a day page opened by GetWheel;
    //  - {"key", "position"} for any other page (as the window's history holds it);
    //  - null when the window shows no page the engine could open again.
    // Texts are the engine's own (simplified) ones, whatever the characters shown.
    Json Place() const;
    EventSnapshot& Event() { return event_; }
    const EventSnapshot& Event() const { return event_; }
    int CallSeq() const { return callSeq_; }
    int MaxCharWidth() const { return maxCharWidth_; }
    // Page text with the configuration directory's paths turned into addresses of the server.
    std::u16string ToPageText(const std::u16string& text) const;

    // The session whose call the engine thread is handling now (null between calls).
    static PageSession* Current();

private:
    Json Call(const std::string& method, const Json& args);
    Json Query(const std::string& what, const Json& args) const;
    // Writes the body of window again in the characters now shown (the engine's switch of
    // characters rewrites the reading window only; the result pane follows it here).
    void ShowInCharactersNow(BrowserWindow& window);
    // The entry of the reading window's history that is current (blank before the first).
    HistoryEntry CurrentEntry() const;
    void ReadEvent(const Json& ev);

    RenderState& state_;
    std::shared_ptr<PageChannel> channel_;
    std::u16string configDir_;
    std::u16string configDirSlashed_;
    const StudyDays* studyDays_;
    std::shared_ptr<BrowserWindow> main_;
    std::shared_ptr<BrowserWindow> result_;
    std::unique_ptr<Cqlx> control_;
    BrowserPopupWindow* popup_ = nullptr;  // owned by the control
    EventSnapshot event_;
    int callSeq_ = 0;
    int maxCharWidth_ = 16;
};

// The desktop of the development host: the browser viewport is the screen; the host's main
// window is the page's tab, whose caption the page shows as the document title.
class BrowserDesktop : public DesktopInfo {
public:
    int ScreenWidth() const override { return 1280; }
    WindowHandle ActiveWindow() const override;
    GbString WindowCaption(WindowHandle window) const override;
};

// The colour dialog: asks the page whose call is being handled to let the user choose.
class BrowserColorChooser : public ColorChooser {
public:
    bool ChooseColor(WindowHandle owner, int& rgb) override;
};

}  // namespace quillax::devhost
