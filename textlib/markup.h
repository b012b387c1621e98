// The inline markup of module records and its conversion into HTML.
//
// Records of the text modules are HTML fragments with a few extra marks:
//
//     "%" ... "^"    -> "<u>" ... "</u>"     the "^" less than 30 bytes after the "%"
//     "@" ... "#"    -> "<b>" ... "</b>"     less than 30 bytes
//     "\" ... "|"    -> "<i>" ... "</i>"     less than 30 bytes
//     "{" ... "}"    -> "<em>" ... "</em>"   less than 150 bytes
//     "_"            -> "<br>"
//     "<A HREF="     -> "<a href="
//
// A closing mark farther away than its distance leaves both marks as they are. Some marks are
// ordinary characters in context and are never converted:
//  - "%" followed by a blank or by ">" (as in "%><font size=-2>");
//  - in a "mailto:" link, the first "@" after "mailto:" and the "@" after that one, as long as
//    they come before the link's "</a>" (the address in the target and the one in the text);
//  - the first "#" after "<a href=" when it comes before the tag's ">" (a link to an anchor).
//
// Single-byte marks are looked for character by character: a lead byte (IsGbkLeadByte) starts
// a two-byte GBK character, whose second byte is never taken for a mark (GBK uses "@", "\", "^",
// "_", "{", "|" and "}" as trail bytes).
#pragma once

#include "textlib/gb_string.h"

namespace quillax {

// Converts the marks of text into HTML, in place. The steps, each over the whole text:
//  1. protect "% " and "%>"; "<A HREF=" becomes "<a href=";
//  2. protect the "@" of mailto links and 3. the "#" of link targets (see above);
//  4. underline, then bold, italic and emphasis pairs: for each opening mark from left to right,
//     the first closing mark at or after it is taken when it lies within the distance, counted
//     in the text as converted so far;
//  5. the protected characters come back, then every "_" becomes "<br>".
// The protections use the bytes 01, 02 and 03 meanwhile, so such bytes in the input come out
// as "@", "#" and "%". Replacements of whole-text steps follow GbString::Replace, including its
// limit of GbString::kDefaultReplaceLimit occurrences per step.
void RenderMarkup(GbString& text);

}  // namespace quillax
