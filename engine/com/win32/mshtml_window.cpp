// HostWindow over the browser's window object (see mshtml_window.h).
#include "engine/com/win32/mshtml_window.h"

#include <windows.h>
#include <mshtml.h>

#include <iterator>
#include <map>

#include "engine/com/win32/dispatch_by_name.h"

namespace quillax::win32 {
namespace {

// How far an offsetParent chain is followed: a real page ends at the body long before; a
// script stand-in whose chain loops must not hang the engine.
constexpr int kMaxOffsetChain = 256;

std::wstring WideText(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

}  // namespace

// ---- objects along the way ----------------------------------------------------------------------

ComPtr<IDispatch> MshtmlWindow::Event() { return GetObjectProperty(window_.Get(), L"event"); }

ComPtr<IDispatch> MshtmlWindow::Source() {
    const ComPtr<IDispatch> event = Event();
    return event ? GetObjectProperty(event.Get(), L"srcElement") : ComPtr<IDispatch>();
}

ComPtr<IDispatch> MshtmlWindow::Document() {
    return GetObjectProperty(window_.Get(), L"document");
}

ComPtr<IDispatch> MshtmlWindow::Body() {
    const ComPtr<IDispatch> document = Document();
    return document ? GetObjectProperty(document.Get(), L"body") : ComPtr<IDispatch>();
}

ComPtr<IDispatch> MshtmlWindow::FirstStyleSheet() {
    const ComPtr<IDispatch> document = Document();
    if (!document) return {};
    const ComPtr<IDispatch> sheets = GetObjectProperty(document.Get(), L"styleSheets");
    if (!sheets) return {};
    const int count = GetIntProperty(sheets.Get(), L"length");
    for (int i = 0; i < count; ++i) {
        Variant item;
        if (FAILED(CallMethod(sheets.Get(), L"item", {IntArgument(i)}, &item))) continue;
        const ComPtr<IDispatch> sheet = DispatchOf(item.Value());
        if (!sheet) continue;
        // The browser's style sheets answer IHTMLStyleSheet; a stand-in shows it by its href.
        if (sheet.As<IHTMLStyleSheet>(IID_IHTMLStyleSheet) || HasName(sheet.Get(), L"href")) {
            return sheet;
        }
    }
    return {};
}

// ---- the current event ----------------------------------------------------------------------------

bool MshtmlWindow::CurrentEvent(HostEvent& event) {
    const ComPtr<IDispatch> source = Event();
    if (!source) return false;
    event = HostEvent{};
    event.keyCode = GetIntProperty(source.Get(), L"keyCode");
    event.altKey = GetBoolProperty(source.Get(), L"altKey");
    event.ctrlKey = GetBoolProperty(source.Get(), L"ctrlKey");
    event.shiftKey = GetBoolProperty(source.Get(), L"shiftKey");
    event.button = GetIntProperty(source.Get(), L"button");
    if (const ComPtr<IDispatch> screen = GetObjectProperty(window_.Get(), L"screen")) {
        event.screenWidth = GetIntProperty(screen.Get(), L"width");
        event.screenHeight = GetIntProperty(screen.Get(), L"height");
    }
    return true;
}

bool MshtmlWindow::SourceElement(HostElement& element) {
    const ComPtr<IDispatch> source = Source();
    if (!source) return false;
    element = HostElement{};
    element.tagName = GetTextProperty(source.Get(), L"tagName");
    element.id = GetTextProperty(source.Get(), L"id");
    element.title = GetTextProperty(source.Get(), L"title");
    element.outerHtml = GetTextProperty(source.Get(), L"outerHTML");
    return true;
}

std::u16string MshtmlWindow::SourceInnerText() {
    const ComPtr<IDispatch> source = Source();
    return source ? GetTextProperty(source.Get(), L"innerText") : std::u16string();
}

std::u16string MshtmlWindow::SourceInnerHtml() {
    const ComPtr<IDispatch> source = Source();
    return source ? GetTextProperty(source.Get(), L"innerHTML") : std::u16string();
}

bool MshtmlWindow::SetSourceInnerText(const std::u16string& text) {
    const ComPtr<IDispatch> source = Source();
    return source && PutTextProperty(source.Get(), L"innerText", text);
}

bool MshtmlWindow::CancelEvent() {
    const ComPtr<IDispatch> event = Event();
    if (!event) return false;
    const bool returned = PutBoolProperty(event.Get(), L"returnValue", false);
    const bool cancelled = PutBoolProperty(event.Get(), L"cancelBubble", true);
    return returned && cancelled;
}

// ---- the document -----------------------------------------------------------------------------------

bool MshtmlWindow::HasDocument() { return static_cast<bool>(Document()); }

bool MshtmlWindow::HasBody() { return static_cast<bool>(Body()); }

bool MshtmlWindow::SetCharset(const std::u16string& charset) {
    const ComPtr<IDispatch> document = Document();
    if (!document) return false;
    const bool set = PutTextProperty(document.Get(), L"charset", charset);
    const bool setDefault = PutTextProperty(document.Get(), L"defaultCharset", charset);
    return set && setDefault;
}

bool MshtmlWindow::FirstStyleSheetHref(std::u16string& href) {
    const ComPtr<IDispatch> sheet = FirstStyleSheet();
    if (!sheet) return false;
    bool ok = false;
    href = GetTextProperty(sheet.Get(), L"href", &ok);
    return ok;
}

bool MshtmlWindow::SetFirstStyleSheetHref(const std::u16string& href) {
    const ComPtr<IDispatch> sheet = FirstStyleSheet();
    return sheet && PutTextProperty(sheet.Get(), L"href", href);
}

bool MshtmlWindow::SetBackgroundColor(const std::u16string& color) {
    const ComPtr<IDispatch> document = Document();
    return document && PutTextProperty(document.Get(), L"bgColor", color);
}

std::u16string MshtmlWindow::Url() {
    const ComPtr<IDispatch> document = Document();
    return document ? GetTextProperty(document.Get(), L"URL") : std::u16string();
}

// ---- the body ----------------------------------------------------------------------------------------

std::u16string MshtmlWindow::BodyInnerHtml() {
    const ComPtr<IDispatch> body = Body();
    return body ? GetTextProperty(body.Get(), L"innerHTML") : std::u16string();
}

bool MshtmlWindow::SetBodyInnerHtml(const std::u16string& html) {
    const ComPtr<IDispatch> body = Body();
    return body && PutTextProperty(body.Get(), L"innerHTML", html);
}

int MshtmlWindow::BodyOffsetHeight() {
    const ComPtr<IDispatch> body = Body();
    return body ? GetIntProperty(body.Get(), L"offsetHeight") : 0;
}

int MshtmlWindow::BodyScrollTop() {
    const ComPtr<IDispatch> body = Body();
    return body ? GetIntProperty(body.Get(), L"scrollTop") : 0;
}

bool MshtmlWindow::SetBodyScrollTop(int value) {
    const ComPtr<IDispatch> body = Body();
    return body && PutIntProperty(body.Get(), L"scrollTop", value);
}

// ---- the window ----------------------------------------------------------------------------------------

bool MshtmlWindow::AnchorOffsets(const std::u16string& name, std::vector<OffsetNode>& chain) {
    chain.clear();
    const ComPtr<IDispatch> document = Document();
    if (!document) return false;
    const ComPtr<IDispatch> anchors = GetObjectProperty(document.Get(), L"anchors");
    if (!anchors) return false;
    VARIANT key;
    VariantInit(&key);
    key.vt = VT_BSTR;
    key.bstrVal = ToBstr(name);
    Variant item;
    const HRESULT hr = CallMethod(anchors.Get(), L"item", {key}, &item);
    VariantClear(&key);
    if (FAILED(hr)) return false;
    ComPtr<IDispatch> element = DispatchOf(item.Value());
    // Several anchors of one name come back as a collection: the first one counts.
    if (element && !HasName(element.Get(), L"offsetTop") && HasName(element.Get(), L"length")) {
        Variant first;
        element = SUCCEEDED(CallMethod(element.Get(), L"item", {IntArgument(0)}, &first))
                      ? DispatchOf(first.Value())
                      : ComPtr<IDispatch>();
    }
    for (int i = 0; element && i < kMaxOffsetChain; ++i) {
        OffsetNode node;
        node.tagName = GetTextProperty(element.Get(), L"tagName");
        node.offsetTop = GetIntProperty(element.Get(), L"offsetTop");
        chain.push_back(std::move(node));
        element = GetObjectProperty(element.Get(), L"offsetParent");
    }
    return !chain.empty();
}

bool MshtmlWindow::ScrollTo(int x, int y) {
    return window_ &&
           SUCCEEDED(CallMethod(window_.Get(), L"scrollTo", {IntArgument(x), IntArgument(y)}, nullptr));
}

bool MshtmlWindow::ScrollBy(int dx, int dy) {
    return window_ && SUCCEEDED(CallMethod(window_.Get(), L"scrollBy",
                                           {IntArgument(dx), IntArgument(dy)}, nullptr));
}

bool MshtmlWindow::RunScript(const std::u16string& code) {
    if (!window_) return false;
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = ToBstr(code);
    Variant result;
    const HRESULT hr = CallMethod(window_.Get(), L"execScript", {text}, &result);
    VariantClear(&text);
    return SUCCEEDED(hr);
}

bool MshtmlWindow::Focus() {
    return window_ && SUCCEEDED(CallMethod(window_.Get(), L"focus", {}, nullptr));
}

// ---- the desktop around the page ------------------------------------------------------------------

bool MshtmlWindow::SetWindowCaption(WindowHandle window, const std::u16string& caption) {
    if (window == nullptr) return false;
    return SetWindowTextW(static_cast<HWND>(window), WideText(caption).c_str()) != FALSE;
}

int MshtmlWindow::MaxCharWidth(WindowHandle window) {
    HDC dc = GetDC(static_cast<HWND>(window));
    if (dc == nullptr) return 0;
    TEXTMETRICW metrics{};
    const int width = GetTextMetricsW(dc, &metrics) ? static_cast<int>(metrics.tmMaxCharWidth) : 0;
    ReleaseDC(static_cast<HWND>(window), dc);
    return width;
}

void MshtmlWindow::CursorPosition(int& x, int& y) {
    POINT point{0, 0};
    GetCursorPos(&point);
    x = static_cast<int>(point.x);
    y = static_cast<int>(point.y);
}

// ---- one object per browser window ----------------------------------------------------------------

std::shared_ptr<MshtmlWindow> SharedWindowFor(IDispatch* window) {
    if (window == nullptr) return nullptr;
    // Identity is the IUnknown pointer; it is only compared, never called, so no reference is
    // kept for it (the MshtmlWindow holds the counted one).
    const ComPtr<IUnknown> identity = ComPtr<IDispatch>(window).As<IUnknown>(IID_IUnknown);
    static std::map<IUnknown*, std::weak_ptr<MshtmlWindow>> windows;
    for (auto it = windows.begin(); it != windows.end();) {
        it = it->second.expired() ? windows.erase(it) : std::next(it);
    }
    std::weak_ptr<MshtmlWindow>& slot = windows[identity.Get()];
    std::shared_ptr<MshtmlWindow> shared = slot.lock();
    if (!shared) {
        shared = std::make_shared<MshtmlWindow>(window);
        slot = shared;
    }
    return shared;
}

// ---- the popup's document --------------------------------------------------------------------------

void MshtmlDocument::SetCharset(const std::u16string& charset) {
    if (!document_) return;
    PutTextProperty(document_.Get(), L"charset", charset);
    PutTextProperty(document_.Get(), L"defaultCharset", charset);
}

void MshtmlDocument::SetBodyInnerHtml(const std::u16string& html) {
    if (!document_) return;
    if (const ComPtr<IDispatch> body = GetObjectProperty(document_.Get(), L"body")) {
        PutTextProperty(body.Get(), L"innerHTML", html);
    }
}

void MshtmlDocument::SetBackgroundColor(const std::u16string& color) {
    if (document_) PutTextProperty(document_.Get(), L"bgColor", color);
}

int MshtmlDocument::ResetScrollAndMeasure() {
    if (!document_) return 0;
    const ComPtr<IDispatch> body = GetObjectProperty(document_.Get(), L"body");
    if (!body) return 0;
    PutIntProperty(body.Get(), L"scrollTop", 0);
    return GetIntProperty(body.Get(), L"scrollHeight");
}

void MshtmlDocument::ScrollTo(int x, int y) {
    if (!document_) return;
    if (const ComPtr<IDispatch> window = GetObjectProperty(document_.Get(), L"parentWindow")) {
        CallMethod(window.Get(), L"scrollTo", {IntArgument(x), IntArgument(y)}, nullptr);
    }
}

void MshtmlDocument::RunScript(const std::u16string& code) {
    if (!document_) return;
    const ComPtr<IDispatch> window = GetObjectProperty(document_.Get(), L"parentWindow");
    if (!window) return;
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = ToBstr(code);
    Variant result;
    CallMethod(window.Get(), L"execScript", {text}, &result);
    VariantClear(&text);
}

}  // namespace quillax::win32
