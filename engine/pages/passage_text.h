// The verses a reference link names, cut out of the no-links chapter text.
#pragma once

#include <string_view>

#include "engine/state/render_state.h"
#include "textlib/gb_string.h"

namespace quillax {

// The passage of a link: key is the link's target (its last path segment is the chapter key),
// referenceText the link's text ("创3:16-18,20"). The result starts with the heading
// "【<tt>" + referenceText + "</tt>】" and the verses follow with verse marks without anchors.
// What the part after the first ":" of referenceText selects (items separated by ","):
//  - "v": verse v; "a-b": verses a to b; "a-": verse a to the end of the chapter;
//  - "a-c:v": verse a to the end of the chapter, the chapters in between, and chapter c up to
//    the end of its verse v;
//  - "*": the chapter's heading, from its first "<strong>" through the next "</small>";
//  - a chapter unit word (cmpStr[4], or cmpStr[3] which counts as it) anywhere after the start,
//    or a key that is no valid chapter: the whole chapter.
// When nothing can be cut out, cmpStr[5].
GbString PassageText(RenderState& state, std::string_view key, std::string_view referenceText);

}  // namespace quillax
