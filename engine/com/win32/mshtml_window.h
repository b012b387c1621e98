// HostWindow over the browser's window object (MSHTML), reached by name through IDispatch.
//
// The window given to `init` (or the window that receives a search result) is held as its
// IDispatch. Everything the engine reads or does goes through the names of the browser's
// object model: window.event, event.srcElement, window.document, document.body,
// document.styleSheets, document.anchors, element.offsetParent, window.scrollTo, ... so a
// script object that answers the same names stands in for the browser in tests. Missing
// objects make reads answer false, empty or 0 and writes do nothing, as HostWindow promises.
#pragma once

#include <oaidl.h>

#include <memory>

#include "engine/com/win32/com_ptr.h"
#include "engine/host/host_window.h"

namespace quillax::win32 {

class MshtmlWindow : public HostWindow {
public:
    // Holds a counted reference to the window until the object goes.
    explicit MshtmlWindow(IDispatch* window) : window_(window) {}

    IDispatch* Dispatch() const { return window_.Get(); }

    bool CurrentEvent(HostEvent& event) override;
    bool SourceElement(HostElement& element) override;
    std::u16string SourceInnerText() override;
    std::u16string SourceInnerHtml() override;
    bool SetSourceInnerText(const std::u16string& text) override;
    bool CancelEvent() override;

    bool HasDocument() override;
    bool HasBody() override;
    bool SetCharset(const std::u16string& charset) override;
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

private:
    ComPtr<IDispatch> Event();
    ComPtr<IDispatch> Source();
    ComPtr<IDispatch> Document();
    ComPtr<IDispatch> Body();
    // The first item of document.styleSheets that is a style sheet.
    ComPtr<IDispatch> FirstStyleSheet();

    ComPtr<IDispatch> window_;
};

// The one MshtmlWindow of a browser window (by COM identity) while anyone holds it: the
// controls of one page share it, and the engine's per-window state (the history list) stays
// with the window when init is called again. Null for a null window.
std::shared_ptr<MshtmlWindow> SharedWindowFor(IDispatch* window);

// The document operations of the popup window's own document (charset, body, background,
// scrolling, scripts), through the same names; used by the popup window.
class MshtmlDocument {
public:
    explicit MshtmlDocument(IDispatch* document) : document_(document) {}

    explicit operator bool() const { return static_cast<bool>(document_); }

    void SetCharset(const std::u16string& charset);
    void SetBodyInnerHtml(const std::u16string& html);
    void SetBackgroundColor(const std::u16string& color);
    int ResetScrollAndMeasure();
    void ScrollTo(int x, int y);
    void RunScript(const std::u16string& code);

private:
    ComPtr<IDispatch> document_;
};

}  // namespace quillax::win32
