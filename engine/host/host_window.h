// HostWindow: everything the engine reads from or does to the host's page.
//
// The host is an HTML page in a browser control: the engine reads the browser's current event
// and its source element, rewrites the body of the document, adjusts the document (charset,
// style sheet, background), scrolls the window and cancels events. One object stands for one
// browser window (the page window handed to `init`, or the window that receives a search
// result). Three implementations exist: MSHTML on Windows, the browser bridge of the
// development host, and FakeHost (engine/testing/fake_host.h) for tests.
//
// The seam speaks the browser's language: texts are wide (UTF-16) exactly as the browser gives
// or takes them; the engine converts them to and from GBK itself (textlib/conversions.h), so
// the traditional-character display and its corrections stay in portable code. Every operation
// is safe to call when the browser object behind it is missing: reads then answer false, empty
// or 0, writes do nothing and report false.
//
// A few desktop operations that the pages need beside the document (the caption of the host's
// main window, the text metrics of its device context and the cursor position) are here as
// well, so that one object carries the whole host of a page.
#pragma once

#include <string>
#include <vector>

#include "engine/host/desktop_seams.h"

namespace quillax {

// The browser's current event, as the engine reads it.
struct HostEvent {
    int keyCode = 0;        // the typed character of a key event
    bool altKey = false;
    bool ctrlKey = false;
    bool shiftKey = false;
    int button = 0;         // 1 left, 2 right, 4 middle
    int screenWidth = 0;    // the window's screen object
    int screenHeight = 0;
};

// The element the current event came from.
struct HostElement {
    std::u16string tagName;    // upper case, as the browser reports it ("A", "SUP")
    std::u16string id;
    std::u16string title;
    std::u16string outerHtml;
};

// One element of the chain that positions an anchor: the anchor itself first, then its
// offsetParent, that element's offsetParent, and so on up to the body.
struct OffsetNode {
    std::u16string tagName;
    int offsetTop = 0;
};

class HostWindow {
public:
    virtual ~HostWindow() = default;

    // ---- the current event -----------------------------------------------------------------
    // False when the window has no current event.
    virtual bool CurrentEvent(HostEvent& event) = 0;
    // The source element of the current event; false when there is none.
    virtual bool SourceElement(HostElement& element) = 0;
    // innerText / innerHTML of the source element (empty when there is none).
    virtual std::u16string SourceInnerText() = 0;
    virtual std::u16string SourceInnerHtml() = 0;
    // Replaces the source element's innerText (the language switch relabels its link).
    virtual bool SetSourceInnerText(const std::u16string& text) = 0;
    // Cancels the current event: returnValue = false and cancelBubble = true.
    virtual bool CancelEvent() = 0;

    // ---- the document -----------------------------------------------------------------------
    // Whether the window has a document, and whether that document has a body.
    virtual bool HasDocument() = 0;
    virtual bool HasBody() = 0;
    // Sets the document's charset and its default charset.
    virtual bool SetCharset(const std::u16string& charset) = 0;
    // The href of the first item of the document's style-sheet collection that is a style
    // sheet; false when there is none.
    virtual bool FirstStyleSheetHref(std::u16string& href) = 0;
    virtual bool SetFirstStyleSheetHref(const std::u16string& href) = 0;
    // The document's bgColor.
    virtual bool SetBackgroundColor(const std::u16string& color) = 0;
    // The document's URL (empty when there is no document).
    virtual std::u16string Url() = 0;

    // ---- the body -----------------------------------------------------------------------------
    virtual std::u16string BodyInnerHtml() = 0;
    virtual bool SetBodyInnerHtml(const std::u16string& html) = 0;
    // The body's offsetHeight (0 without a body).
    virtual int BodyOffsetHeight() = 0;
    virtual int BodyScrollTop() = 0;
    virtual bool SetBodyScrollTop(int value) = 0;

    // ---- the window ----------------------------------------------------------------------------
    // The anchor of that name in the document's anchors collection and its offsetParent chain
    // (anchor first); false, chain empty, when there is no such anchor.
    virtual bool AnchorOffsets(const std::u16string& name, std::vector<OffsetNode>& chain) = 0;
    virtual bool ScrollTo(int x, int y) = 0;
    virtual bool ScrollBy(int dx, int dy) = 0;
    // Runs a script in the window (the default language).
    virtual bool RunScript(const std::u16string& code) = 0;
    // Gives the window the keyboard focus.
    virtual bool Focus() = 0;

    // ---- the desktop around the page -------------------------------------------------------------
    // Sets the caption of a top-level window (the host's main window).
    virtual bool SetWindowCaption(WindowHandle window, const std::u16string& caption) = 0;
    // tmMaxCharWidth of the text metrics of the window's device context (0 when unavailable).
    virtual int MaxCharWidth(WindowHandle window) = 0;
    // The mouse cursor in screen coordinates.
    virtual void CursorPosition(int& x, int& y) = 0;
};

}  // namespace quillax
