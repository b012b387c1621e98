#include "engine/pages/page_body.h"

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

// Markup as it compares whatever way a browser gave it back: ASCII letters in lower case,
// without quotes, blanks, tabs and line breaks, and without the "about:blank" that a browser
// may put before a relative link. (None of the removed bytes can be the second byte of a GBK
// character.)
GbString MarkupSignature(std::string_view html) {
    GbString lower(html);
    lower.MakeLower();
    GbString signature;
    for (const char c : lower.view()) {
        if (c != '"' && c != '\'' && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            signature.Append(c);
        }
    }
    signature.Replace("about:blank", "");
    return signature;
}

// Whether the page text already begins with the link bar at the place where a write puts it
// (right after "<body>", or at the start): a body read back from the page carries the bar
// that the page was written with.
bool BeginsWithLinkControl(const GbString& text, int at, const GbString& linkControl) {
    if (linkControl.IsEmpty()) return false;
    // The bar as a browser writes it back is longer by its quotes and link prefixes at most.
    const int span = 4 * linkControl.Length() + 256;
    const GbString bar = MarkupSignature(linkControl);
    const GbString page = MarkupSignature(text.Slice(at, span));
    return page.view().substr(0, bar.view().size()) == bar.view();
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
        const int at = body >= 0 ? body + 6 : 0;
        // Never a second bar into a body that has one (a page read back and written again).
        if (!BeginsWithLinkControl(text, at, state.linkControl)) text.Insert(at, state.linkControl);
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
