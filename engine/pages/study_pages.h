// Pages and popups of the study modules: the devotional ("amberly", keyed by a three-digit
// plan day), study notes ("zendri") and outlines ("oblix") of a plan day, text-fix notes
// ("emendo", keyed by the marked phrase) and generic module links ("module#key"), plus the
// compact layout toggle of a page.
//
// Every entry is read with the text store's record reader (markup converted); the texts are
// GBK and the words come from the vocabulary (cmpStr). Missing modules or entries give empty
// texts, except where a vocabulary word answers a miss.
#pragma once

#include <string_view>

#include "engine/state/render_state.h"
#include "textlib/gb_string.h"

namespace quillax {

// The devotional entry of a plan day (popupKind becomes PopupModuleEntry when the module is
// read). An id above "352" (byte-wise), or a day the module has no entry for, has no
// devotional: cmpStr[24]. An id of fewer than three characters stands for the plan day of the
// calendar date.
GbString AmberlyEntry(RenderState& state, std::string_view id);

// The entry of a generic module link. target is a module name, "#" and an entry key, or a
// module name alone; with "#" the part after it is written into entryKey, else entryKey is the
// key looked up (the caller passes the link's text). An outline entry is post-processed by
// OblixPost, a study-notes entry by FitTableWidths. A plan day (three digits, 001-478) that the
// outline or study notes have no entry for gives cmpStr[24]. An empty target gives an empty
// text and leaves entryKey as it is.
GbString ModuleLink(RenderState& state, std::string_view target, GbString& entryKey);

// Study notes ("zendri") write their tables with the width template, item 5 of TABLETDWIDTH:
// every occurrence becomes the width of the browser's font size (the item of IEFontSize).
void FitTableWidths(const RenderState& state, GbString& text);

// The text-fix note of a marked phrase, given as "<b>" phrase "</b>" or "<u>" phrase "</u>".
// Below popup level 2 the answer is cmpStr[22]. A phrase missing under its own markers is
// looked up under the other pair (bold and underline swap); a miss gives cmpStr[0].
GbString TextFixNote(RenderState& state, std::string_view text);

// The study-note page (which = "1") or the outline page of the calendar date's plan day;
// cmpStr[24] when the module has no entry for the day. Sets state.host.planDay and popupKind
// (PopupModuleEntry). DayPage (pipeline.h) shows it.
GbString StudyDayPage(RenderState& state, std::string_view which);

// A plan day's entry that came back empty says so: text becomes cmpStr[24] ("no reading for
// this day"). Text that is not empty stays as it is.
void SayWhenNoEntry(const RenderState& state, GbString& text);

// A heading of an outline page: its reference text and the chapter key made of it.
struct HeadingMemory {
    GbString text;
    GbString key;
};

// Turns the reference of a heading line into a chapter link in place: the reference runs from
// byte `start` to the first cmpStr[48] of the line; it is remembered in memory (text and key;
// with whole set the chapter is all digits after the book name). A line without cmpStr[48] at
// or after `start` stays as it is.
void HeadingLink(RenderState& state, GbString& line, int start, HeadingMemory& memory,
                 bool whole);

// Post-processes an outline entry in place: headings become chapter links, outline lines get
// their title marked (<ins>) and their verse list linked to the chapter of the heading above,
// and the first line becomes a right-aligned header after cmpStr[39].
void OblixPost(RenderState& state, GbString& text);

// Toggles a page body to its compact layout in place. state.host.compactState becomes 9999
// when the page was changed, 0 when it was empty or already compact.
void CompactPage(RenderState& state, GbString& page);

}  // namespace quillax
