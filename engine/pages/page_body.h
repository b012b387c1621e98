// The body of the host's main document: every page the engine shows (chapter, study page,
// search result, picture table) is written as that body's inner HTML and read back from it when
// the page is rewritten (language switch, layout toggle, reference linking).
//
// All operations work on state.host.pageWindow and do nothing (false, empty or 0) when there is
// no window, no document or no body. Texts are GBK; the wide text the browser gets is converted
// with state.Conversions() (traditional characters out, simplified characters in while USEGBK
// is on).
#pragma once

#include <string_view>

#include "engine/state/render_state.h"
#include "textlib/gb_string.h"

namespace quillax {

// Writes text as the body of the main document:
//  1. the document's charset and default charset become state.charset;
//  2. without a body nothing more happens;
//  3. unless skipLinkControlOnce is set (it is then cleared), linkControl is inserted right
//     after the first "<body>", or at the start when text has none, except where the text
//     already begins with it there (as the browser gives it back: in either case, quoted or
//     not, spread over lines);
//  4. the first style sheet's href, when it begins with "bible.css", gets installDir in front;
//  5. the body's inner HTML becomes the text; changedFlags gets kChangedBodyWritten; the window
//     gets the focus.
// Returns whether the body was written.
bool SetPageBody(RenderState& state, GbString text);

// The body's inner HTML as GBK text; empty when unavailable.
GbString GetPageBody(RenderState& state);

// value != 0: sets the body's scrollTop to value and returns 0; value == 0: returns the body's
// scrollTop (0 when unavailable).
int BodyScrollTop(RenderState& state, int value);

// The work of the FixResult method: HTML copied from a rendered page back into plain text with
// bracketed references:
//  1. every " TagName=\"A\"" is removed;
//  2. each "<A href=...>" whose href ends in a chapter key (after its last "/") becomes "[" and
//     its "</A>" becomes "]"; the href's folder (up to that "/") of the first such link is
//     remembered and
//  3. removed from the whole text;
//  4. nested emphasis tags collapse ("<B><B>" to "<B>", "<I><B>" to "<B>", ...).
// Links to anything else stay links.
GbString FixCopiedText(std::string_view text);

}  // namespace quillax
