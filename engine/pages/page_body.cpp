#include "engine/pages/page_body.h"

#include "engine/pages/reference_links.h"
#include "textlib/chapter_keys.h"
#include "textlib/conversions.h"

namespace quillax {

namespace {

// The page window when it has a document with a body, else null.
HostWindow* BodyWindow(RenderState& state) {
    HostWindow* window = state.host.pageWindow;
    if (window == nullptr || !window->HasDocument() || !window->HasBody()) return nullptr;
    return window;
}

bool StartsWith(const std::u16string& text, std::u16string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Replaces `from` by `to` until `from` no longer occurs.
void ReplaceAll(GbString& text, std::string_view from, std::string_view to) {
    while (text.Find(from) >= 0) text.Replace(from, to);
}

}  // namespace

bool SetPageBody(RenderState& state, GbString text) {
    HostWindow* window = state.host.pageWindow;
    if (window == nullptr || !window->HasDocument()) return false;
    window->SetCharset(state.charset);
    if (!window->HasBody()) return false;

    if (state.host.skipLinkControlOnce) {
        state.host.skipLinkControlOnce = false;
    } else {
        const int body = text.Find("<body>");
        text.Insert(body >= 0 ? body + 6 : 0, state.linkControl);
    }
    const std::u16string wide = ToWide(text, state.Conversions());

    // The host page links its style sheet as "bible.css"; the page shows the installation's
    // copy of it.
    std::u16string href;
    if (window->FirstStyleSheetHref(href) && StartsWith(href, u"bible.css")) {
        GbString dir = state.installDir;
        window->SetFirstStyleSheetHref(ToWide(dir, ConversionOptions{}) + href);
    }

    const bool written = window->SetBodyInnerHtml(wide);
    state.host.lastBody = wide;
    state.host.changedFlags |= kChangedBodyWritten;
    window->Focus();
    return written;
}

GbString GetPageBody(RenderState& state) {
    HostWindow* window = BodyWindow(state);
    if (window == nullptr) return GbString();
    return FromWide(window->BodyInnerHtml(), state.Conversions());
}

int BodyScrollTop(RenderState& state, int value) {
    HostWindow* window = BodyWindow(state);
    if (window == nullptr) return 0;
    if (value != 0) {
        window->SetBodyScrollTop(value);
        return 0;
    }
    return window->BodyScrollTop();
}

void AddReferenceLinks(RenderState& state) {
    if ((state.host.changedFlags & kChangedLinksAdded) != 0) return;
    if (BodyWindow(state) == nullptr) return;
    GbString text = GetPageBody(state);
    LinkifyReferences(state, text, false);
    LinkBracketReferences(state, text, "");
    state.host.changedFlags = kChangedLinksAdded;
    SetPageBody(state, text);
}

GbString FixCopiedText(std::string_view copied) {
    GbString text(copied);
    text.Replace(" TagName=\"A\"", "");

    GbString prefix;
    bool havePrefix = false;
    for (int p = text.Find("<A href="); p >= 0; p = text.Find("<A href=", p + 1)) {
        const int e = text.Find(">", p);
        if (e < 0) break;
        const int before = text.GetAt(e - 1) == '"' ? e - 2 : e - 1;
        const int s = text.ReverseFind("/", before);
        // Only a "/" inside this link's href names its folder.
        if (s <= p || IsChapterKey(text.Slice(s + 1, 5), false) == 0) continue;
        if (!havePrefix) {
            havePrefix = true;
            if (s >= p + 9) prefix.Mid(text, p + 9, s - (p + 9) + 1);
        }
        text.Delete(p, e - p);
        text.data()[p] = '[';
        const int c = text.Find("</A>", p);
        if (c > 0) {
            text.Delete(c, 3);
            text.data()[c] = ']';
        }
    }
    if (havePrefix && !prefix.IsEmpty()) text.Replace(prefix, "");

    ReplaceAll(text, "<I><B>", "<B>");
    ReplaceAll(text, "<B><I>", "<I>");
    ReplaceAll(text, "</I></B>", "</I>");
    ReplaceAll(text, "</B></I>", "</B>");
    ReplaceAll(text, "<B><B>", "<B>");
    ReplaceAll(text, "<I><I>", "<I>");
    ReplaceAll(text, "</B></B>", "</B>");
    ReplaceAll(text, "</I></I>", "</I>");
    return text;
}

}  // namespace quillax
