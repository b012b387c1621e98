// Text edits of the set-up tool.
//
// The set-up tool edits texts with the searches of GbString (a one-byte pattern never matches
// the trail byte of a GBK character; longer patterns match byte-wise), but unlike the engine it
// sets no limit on the number of replacements or on the number of items of a split.
#pragma once

#include <string_view>

#include "textlib/gb_list.h"
#include "textlib/gb_string.h"

namespace quillax {

// Replaces every occurrence of `from` by `to` in one left-to-right pass: each search resumes
// after the text just inserted, so "   " with "  " -> " " gives "  ". Returns the number of
// replacements. An empty `from` changes nothing.
int ReplaceAll(GbString& text, std::string_view from, std::string_view to);

// Deletes every occurrence of pattern (ReplaceAll with the empty text).
int DeleteAll(GbString& text, std::string_view pattern);

// The items of text cut at every occurrence of separator, left to right. An empty text gives
// one empty item, a text without the separator one item equal to the text. An empty separator
// gives the text as the only item.
GbList SplitAll(std::string_view text, std::string_view separator);

// Removes leading blanks, one at a time, then trailing blanks (only the blank 0x20).
void TrimBlanks(GbString& text);

}  // namespace quillax
