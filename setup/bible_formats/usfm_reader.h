// Reader of USFM, the line format of Bible translation projects: one book per file, each line
// beginning with a backslash marker or continuing the text of the line before.
//
// What it takes from a file (UTF-8, a byte order mark allowed):
//  - "\id CODE": a book begins; CODE is its USFM book code. Lines before the first "\id" (a
//    licence notice, say) are passed over. A book outside the 66 of the book table is skipped
//    whole and counted. A file may hold more than one book.
//  - "\c N" starts chapter N (1-999); "\v LABEL" starts a verse, and LABEL ("3", "3-4", "3a")
//    is kept as it is written. Everything between "\id" and the first "\c" is the book's header
//    (titles, running heads, introduction) and is dropped.
//  - Verse text keeps its words, joined across lines with one blank. Dropped: footnotes,
//    endnotes and cross references ("\f ... \f*", "\fe", "\x", "\ef", "\ex") with everything in
//    them; headings and other paragraphs that are not verse text ("\s", "\ms", "\mr", "\r",
//    "\d", "\sp", "\cl", "\cp", "\cd", titles, introductions, remarks); figures, alternate and
//    published verse and chapter numbers ("\fig", "\va", "\vp", "\ca"); and the attributes of
//    word-level markup ("\w grace|strong=\"G5485\"\w*" keeps "grace"). Paragraph and poetry
//    markers ("\p", "\q1", "\m", "\li" ...) become a blank; character markers ("\nd", "\add",
//    "\wj", "\+w" ...) keep their words.
//
// A file that is not a book, or one cut short, gives a FormatError with its line: no "\id"
// line, a book code missing, a book of the 66 that ends in its header (no "\c") or without a
// verse, a chapter without a number or out of range, a verse without a label or before the
// first chapter, a book that was read before (from this or another file).
#pragma once

#include <optional>
#include <string_view>

#include "setup/bible_formats/format_error.h"
#include "setup/bible_formats/verse_collector.h"

namespace quillax {

// Reads the books of one USFM file into verses. On an error the collector may hold part of the
// file: the caller discards it.
std::optional<FormatError> ReadUsfmBooks(std::string_view bytes, VerseCollector& verses);

}  // namespace quillax
