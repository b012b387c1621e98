// Chapter pages of the chain-reference module "Tessaly".
//
// A chapter record is written in two-character markup codes (an apostrophe and one character)
// and single marks:
//
//     code        page form                                   no-links form
//     '8 '9       <small> </small>                            same
//     '5 '6       <strong> </strong>                          same
//     `n          <sup>n</sup>  footnote mark n               same
//     ~n          <q>n</q>      start of footnote n's note    same
//     'e 'f       <big> </big>                                same
//     '7          %><font size=-2>                            removed with the reference column
//     'a          <td class=td2 valign=top width=             becomes '0
//     'b          <table class=tb><tr width=90% align=center><td class=td1 valign=top>   removed
//     'd          <table class=tb width=90% align=center>     removed
//     '3          <table class=tb>'2                          removed
//     '4          </table>                                    removed
//     '2          <tr><td class=td1 valign=top>               <br>
//     '1          </font>                                     removed
//     '0          <td class=td2 valign=top><font size=-2>     '0 ... '1 removed (reference column)
//     'z          <a>                                         same
//     $n          verse mark with anchor                      verse mark without anchor
//
// The page form is a table of verse cells (td1) and reference cells (td2), the last verse row
// with the closing classes td3/td4, between two navigation bars. The no-links form is the bare
// text that popups and passages are cut from.
#pragma once

#include <string_view>

#include "engine/state/render_state.h"
#include "textlib/gb_string.h"

namespace quillax {

// The module of the chapter pages.
constexpr std::string_view kChapterModule = "Tessaly";

// The chapter page of key (a chapter key, or a 7-character special key), in page form or, with
// noLinks, in no-links form. Empty chapter text when the module or the record is missing; the
// page form of a valid chapter then shows the missing-passage notice cmpStr[5] between its
// navigation bars.
//  - readModel 1: every verse starts a line;
//  - readModel above 1, for a 5-character key: the verses of the parallel modules
//    (parallelModules, "EQUATEFILE=") are put behind the matching verses of the page.
GbString ChapterPage(RenderState& state, std::string_view key, bool noLinks);

// Verse marks: "$" and the verse number n (1-3 digits) become "<s>n</s>", with anchors
// "<s>n</s><a name=n>". A "$" without a digit after it stays as it is. Then the line-break
// clean-ups: "<hr><br" -> "<hr", "<br>　　<br>" -> "<br>", CR LF "<br>" -> "<br>",
// "op><br>" -> "op>".
void ConvertVerseMarks(GbString& text, bool withAnchors);

// Gives every footnote mark "<sup>k</sup>" (k = 1, 2, ...) of a chapter the id
//     ' id="(' + the text of its note "<q>k</q>..." + ')"'
// with the note's references made readable: "[" removed, "]" and ";" blanks, "本章"/"本篇"
// replaced by the chapter's own reference prefix (abbreviation without "。", chapter, ":").
// The numbering stops at the first missing mark. A prefix of 8 bytes or more (a malformed key
// or abbreviation table) is reported in a message box and replaced by the key's 5 characters.
void FootnoteIds(RenderState& state, GbString& text, std::string_view key);

// Appends one navigation link to bar: nothing when chapterNumber <= 0, else
// "　<a href=" + the number as 5 digits + ">" + cmpStr[wordIndex] + "</a>".
void NavLink(const RenderState& state, GbString& bar, int chapterNumber, int wordIndex);

// The navigation bar of a chapter (chapterNumber = book x 1000 + chapter, valid): links to the
// previous book, the previous chapter, the book's name, the next chapter, the next book and
// the language link, "<p align=center>" ... "</p>".
GbString NavigationBar(const RenderState& state, int chapterNumber);

}  // namespace quillax
