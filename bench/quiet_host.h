// The host page of the in-process benchmarks: it keeps the body and answers the reads, and
// records nothing (the test host's log would copy every page once more).
#pragma once

#include <string>
#include <vector>

#include "engine/host/host_window.h"

namespace quillax::bench {

class QuietHost : public quillax::HostWindow {
public:
    bool CurrentEvent(quillax::HostEvent&) override { return false; }
    bool SourceElement(quillax::HostElement&) override { return false; }
    std::u16string SourceInnerText() override { return {}; }
    std::u16string SourceInnerHtml() override { return {}; }
    bool SetSourceInnerText(const std::u16string&) override { return false; }
    bool CancelEvent() override { return false; }
    bool HasDocument() override { return true; }
    bool HasBody() override { return true; }
    bool SetCharset(const std::u16string&) override { return true; }
    bool FirstStyleSheetHref(std::u16string& href) override {
        href = u"bible.css";
        return true;
    }
    bool SetFirstStyleSheetHref(const std::u16string&) override { return true; }
    bool SetBackgroundColor(const std::u16string&) override { return true; }
    std::u16string Url() override { return u"file:///quillax/host.htm"; }
    std::u16string BodyInnerHtml() override { return body; }
    bool SetBodyInnerHtml(const std::u16string& html) override {
        body = html;
        return true;
    }
    int BodyOffsetHeight() override { return 600; }
    int BodyScrollTop() override { return 0; }
    bool SetBodyScrollTop(int) override { return true; }
    bool AnchorOffsets(const std::u16string&, std::vector<quillax::OffsetNode>& chain) override {
        chain.clear();
        return false;
    }
    bool ScrollTo(int, int) override { return true; }
    bool ScrollBy(int, int) override { return true; }
    bool RunScript(const std::u16string&) override { return true; }
    bool Focus() override { return true; }
    bool SetWindowCaption(quillax::WindowHandle, const std::u16string&) override { return true; }
    int MaxCharWidth(quillax::WindowHandle) override { return 16; }
    void CursorPosition(int& x, int& y) override { x = 200, y = 150; }

    std::u16string body;
};

}  // namespace quillax::bench
