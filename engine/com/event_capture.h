// Capture of the browser's current event into state.host.element.
//
// The mouse and key methods of the control read the event themselves: the host page calls them
// from inside its own event handlers, while the event is current. What the engine keeps of it:
// the screen size, the key code, the modifier keys and the mouse button; the source element's
// tag name and id; for links their title and the href as written in the outer HTML; and, for
// the elements that may get a popup ("active" ones), their inner text and inner HTML.
#pragma once

#include <string_view>

#include "engine/host/host_window.h"
#include "engine/state/render_state.h"
#include "textlib/gb_string.h"

namespace quillax {

// Whether id lies strictly between "000" and "479" in byte-wise comparison: the ids that the
// host page gives to the links of the reading calendar and of module entries ("001" to "478").
bool IdInLinkRange(std::string_view id);

// The href of a link as its outer HTML writes it: the text between the first href=" and the
// next double quote, with a leading "about:blank" and then a leading "about:" removed (the
// browser's way of writing a relative link). Empty when there is no such pair of quotes.
GbString HrefFromOuterHtml(std::string_view outerHtml);

// Fills state.host.element from window's current event (and sets titleNotTip). The texts are
// emptied and active/found cleared first, so a missing window, event or source element leaves
// an empty capture. Returns whether an event was read.
bool CaptureEvent(RenderState& state, HostWindow* window);

}  // namespace quillax
