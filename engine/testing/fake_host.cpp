#include "engine/testing/fake_host.h"

#include <utility>

#include "textlib/conversions.h"

namespace quillax {

// ---- FakePopup ---------------------------------------------------------------------------------

void FakePopup::Create(bool picture) {
    host_.Record("popup.Create", {picture ? "picture" : "text"});
    created = true;
    createdForPicture = picture;
    firstFill = true;
}

void FakePopup::Hide() {
    host_.Record("popup.Hide");
    visible = false;
}

void FakePopup::Show() {
    host_.Record("popup.Show");
    visible = true;
}

void FakePopup::Move(const PopupRect& r, bool repaint) {
    host_.Record("popup.Move", {r.left, r.top, r.right, r.bottom, repaint ? "repaint" : "nopaint"});
    windowRect = r;
}

void FakePopup::SetCharset(const std::u16string& value) {
    host_.Record("popup.SetCharset", {FakeHost::Gbk(value)});
    if (!hasDocument) return;
    charset = value;
    defaultCharset = value;
}

void FakePopup::SetBodyInnerHtml(const std::u16string& html) {
    host_.Record("popup.SetBodyInnerHtml", {FakeHost::Gbk(html)});
    if (hasDocument) body = html;
}

void FakePopup::SetBackgroundColor(const std::u16string& color) {
    host_.Record("popup.SetBackgroundColor", {FakeHost::Gbk(color)});
    if (hasDocument) bgColor = color;
}

int FakePopup::ResetScrollAndMeasure() {
    host_.Record("popup.ResetScrollAndMeasure");
    if (!hasDocument) return 0;
    scrollTop = 0;
    return contentHeight;
}

void FakePopup::ScrollTo(int x, int y) {
    host_.Record("popup.ScrollTo", {x, y});
    if (hasDocument) scrollTop = y;
}

void FakePopup::RunScript(const std::u16string& code) {
    host_.Record("popup.RunScript", {FakeHost::Gbk(code)});
    if (hasDocument) scripts.push_back(code);
}

// ---- FakeHost ----------------------------------------------------------------------------------

std::string FakeHost::Gbk(const std::u16string& text) {
    return FromWide(text, ConversionOptions{}).str();
}

std::string HostOperation::Line() const {
    std::string line = name;
    for (const Argument& arg : args) {
        line += ' ';
        if (const int* number = std::get_if<int>(&arg)) {
            line += std::to_string(*number);
            continue;
        }
        // Line breaks inside an argument are written as \n and \r so that every operation
        // stays on one line (GBK trail bytes are never CR or LF).
        for (char c : std::get<std::string>(arg)) {
            if (c == '\n') line += "\\n";
            else if (c == '\r') line += "\\r";
            else line += c;
        }
    }
    return line;
}

void FakeHost::Record(std::string name, std::vector<HostOperation::Argument> args) {
    operations_.push_back(HostOperation{std::move(name), std::move(args)});
}

std::vector<std::string> FakeHost::Log() const {
    std::vector<std::string> lines;
    lines.reserve(operations_.size());
    for (const HostOperation& operation : operations_) lines.push_back(operation.Line());
    return lines;
}

std::string FakeHost::LogText() const {
    std::string text;
    for (const HostOperation& operation : operations_) {
        text += operation.Line();
        text += '\n';
    }
    return text;
}

bool FakeHost::CurrentEvent(HostEvent& out) {
    Record("CurrentEvent");
    if (!hasEvent) return false;
    out = event;
    return true;
}

bool FakeHost::SourceElement(HostElement& out) {
    Record("SourceElement");
    if (!hasEvent || !hasSource) return false;
    out = source;
    return true;
}

std::u16string FakeHost::SourceInnerText() {
    Record("SourceInnerText");
    return hasEvent && hasSource ? sourceInnerText : std::u16string();
}

std::u16string FakeHost::SourceInnerHtml() {
    Record("SourceInnerHtml");
    return hasEvent && hasSource ? sourceInnerHtml : std::u16string();
}

bool FakeHost::SetSourceInnerText(const std::u16string& text) {
    Record("SetSourceInnerText", {Gbk(text)});
    if (!hasEvent || !hasSource) return false;
    sourceInnerText = text;
    return true;
}

bool FakeHost::CancelEvent() {
    Record("CancelEvent");
    if (!hasEvent) return false;
    eventCancelled = true;
    return true;
}

bool FakeHost::SetCharset(const std::u16string& value) {
    Record("SetCharset", {Gbk(value)});
    if (!hasDocument) return false;
    charset = value;
    defaultCharset = value;
    return true;
}

bool FakeHost::FirstStyleSheetHref(std::u16string& href) {
    Record("FirstStyleSheetHref");
    if (!hasDocument || !hasStyleSheet) return false;
    href = styleSheetHref;
    return true;
}

bool FakeHost::SetFirstStyleSheetHref(const std::u16string& href) {
    Record("SetFirstStyleSheetHref", {Gbk(href)});
    if (!hasDocument || !hasStyleSheet) return false;
    styleSheetHref = href;
    return true;
}

bool FakeHost::SetBackgroundColor(const std::u16string& color) {
    Record("SetBackgroundColor", {Gbk(color)});
    if (!hasDocument) return false;
    bgColor = color;
    return true;
}

std::u16string FakeHost::Url() {
    Record("Url");
    return hasDocument ? url : std::u16string();
}

std::u16string FakeHost::BodyInnerHtml() {
    Record("BodyInnerHtml");
    return HasBody() ? body : std::u16string();
}

bool FakeHost::SetBodyInnerHtml(const std::u16string& html) {
    Record("SetBodyInnerHtml", {Gbk(html)});
    if (!HasBody()) return false;
    body = html;
    return true;
}

int FakeHost::BodyOffsetHeight() {
    Record("BodyOffsetHeight");
    return HasBody() ? bodyOffsetHeight : 0;
}

int FakeHost::BodyScrollTop() {
    Record("BodyScrollTop");
    return HasBody() ? bodyScrollTop : 0;
}

bool FakeHost::SetBodyScrollTop(int value) {
    Record("SetBodyScrollTop", {value});
    if (!HasBody()) return false;
    bodyScrollTop = value;
    return true;
}

bool FakeHost::AnchorOffsets(const std::u16string& name, std::vector<OffsetNode>& chain) {
    Record("AnchorOffsets", {Gbk(name)});
    chain.clear();
    if (!hasDocument) return false;
    auto found = anchors.find(name);
    if (found == anchors.end() || found->second.empty()) return false;
    chain = found->second;
    return true;
}

bool FakeHost::ScrollTo(int x, int y) {
    Record("ScrollTo", {x, y});
    scrollX = x;
    scrollY = y;
    return true;
}

bool FakeHost::ScrollBy(int dx, int dy) {
    Record("ScrollBy", {dx, dy});
    scrollX += dx;
    scrollY += dy;
    return true;
}

bool FakeHost::RunScript(const std::u16string& code) {
    Record("RunScript", {Gbk(code)});
    if (!hasDocument) return false;
    scripts.push_back(code);
    return true;
}

bool FakeHost::Focus() {
    Record("Focus");
    ++focusCount;
    return true;
}

bool FakeHost::SetWindowCaption(WindowHandle window, const std::u16string& text) {
    Record("SetWindowCaption", {Gbk(text)});
    if (window == nullptr) return false;
    captions[window] = text;
    return true;
}

int FakeHost::MaxCharWidth(WindowHandle window) {
    Record("MaxCharWidth");
    return window != nullptr ? maxCharWidth : 0;
}

void FakeHost::CursorPosition(int& x, int& y) {
    Record("CursorPosition");
    x = cursorX;
    y = cursorY;
}

}  // namespace quillax
