// FakeHost: an in-memory host page and popup window for tests and the command-line driver.
//
// It holds what a browser would hold (the current event and its element, the document with its
// charset, style sheet, background, URL and body, scroll positions, anchors, the main window's
// caption) in plain public fields that a test sets before a call and reads after it. Every
// operation the engine performs is recorded, in order, as a HostOperation: its name and its
// arguments, each a number or a GBK text. Log() shows the record as readable lines of GBK text,
// the operation's name, then its arguments separated by blanks, for example
//     SetCharset gb2312
//     SetBodyInnerHtml <p>...</p>
//     ScrollTo 0 240
//     popup.Move 10 20 410 30 nopaint
// Line breaks inside an argument appear as \n and \r there, so each operation is one line.
// Operations on the popup start with "popup.". The existence checks HasDocument and HasBody
// are answered from the fields and not recorded; every other read is recorded by name (with its
// argument, if any) but without its answer.
//
// Missing browser objects are simulated with the fields hasEvent, hasSource, hasDocument,
// hasBody and hasStyleSheet: the operations then behave as the seam says (false, empty, 0) and
// are still recorded.
#pragma once

#include <map>
#include <string>
#include <variant>
#include <vector>

#include "engine/host/host_window.h"
#include "engine/host/popup_surface.h"

namespace quillax {

class FakeHost;

// One operation the engine performed on a FakeHost.
struct HostOperation {
    // A number (coordinates, scroll positions) or a GBK text.
    using Argument = std::variant<int, std::string>;

    std::string name;
    std::vector<Argument> args;

    // The operation as one line of the log.
    std::string Line() const;
};

// The popup window of a FakeHost; it records into its host's log.
class FakePopup : public PopupSurface {
public:
    explicit FakePopup(FakeHost& host) : host_(host) {}

    bool Created() const override { return created; }
    void Create(bool picture) override;
    void Hide() override;
    void Show() override;
    void Move(const PopupRect& rect, bool repaint) override;
    void SetCharset(const std::u16string& charset) override;
    void SetBodyInnerHtml(const std::u16string& html) override;
    void SetBackgroundColor(const std::u16string& color) override;
    int ResetScrollAndMeasure() override;
    void ScrollTo(int x, int y) override;
    void RunScript(const std::u16string& code) override;

    // What the window and its document hold.
    bool created = false;
    bool createdForPicture = false;
    bool visible = false;
    bool hasDocument = true;
    PopupRect windowRect;       // where the window was last moved
    std::u16string charset;
    std::u16string defaultCharset;
    std::u16string body;
    std::u16string bgColor;
    int scrollTop = 0;
    int contentHeight = 0;      // the scrollHeight the document reports
    std::vector<std::u16string> scripts;  // scripts run, in order

private:
    FakeHost& host_;
};

class FakeHost : public HostWindow {
public:
    FakeHost() : popup_(*this) {}
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // ---- HostWindow ----------------------------------------------------------------------------
    bool CurrentEvent(HostEvent& out) override;
    bool SourceElement(HostElement& out) override;
    std::u16string SourceInnerText() override;
    std::u16string SourceInnerHtml() override;
    bool SetSourceInnerText(const std::u16string& text) override;
    bool CancelEvent() override;
    bool HasDocument() override { return hasDocument; }
    bool HasBody() override { return hasDocument && hasBody; }
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
    bool SetWindowCaption(WindowHandle window, const std::u16string& text) override;
    int MaxCharWidth(WindowHandle window) override;
    void CursorPosition(int& x, int& y) override;

    // ---- the page the fake shows -------------------------------------------------------------------
    bool hasEvent = true;
    HostEvent event;
    bool hasSource = true;
    HostElement source;
    std::u16string sourceInnerText;
    std::u16string sourceInnerHtml;
    bool eventCancelled = false;   // returnValue = false and cancelBubble = true were set

    bool hasDocument = true;
    bool hasBody = true;
    std::u16string charset;
    std::u16string defaultCharset;
    bool hasStyleSheet = true;
    std::u16string styleSheetHref = u"bible.css";
    std::u16string bgColor;
    std::u16string url;
    std::u16string body;
    int bodyOffsetHeight = 0;
    int bodyScrollTop = 0;
    std::map<std::u16string, std::vector<OffsetNode>> anchors;
    int scrollX = 0;   // the window's scroll position
    int scrollY = 0;
    std::vector<std::u16string> scripts;
    int focusCount = 0;

    std::map<WindowHandle, std::u16string> captions;
    int maxCharWidth = 0;
    int cursorX = 0;
    int cursorY = 0;

    // ---- the popup and the record ----------------------------------------------------------------------
    FakePopup& Popup() { return popup_; }

    // The operations recorded since the last ClearLog, in order.
    const std::vector<HostOperation>& Operations() const { return operations_; }
    // The same as lines of text, one per operation.
    std::vector<std::string> Log() const;
    // The log as one text, one operation per line (each followed by "\n").
    std::string LogText() const;
    void ClearLog() { operations_.clear(); }

    // Records one operation.
    void Record(std::string name, std::vector<HostOperation::Argument> args = {});
    // Wide text as GBK for the log (characters GBK lacks become "?").
    static std::string Gbk(const std::u16string& text);

private:
    FakePopup popup_;
    std::vector<HostOperation> operations_;
};

}  // namespace quillax
