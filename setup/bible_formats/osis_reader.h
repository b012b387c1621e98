// Reader of OSIS, the XML format other Bible software exports, through libxml2's SAX2 parser in
// recovery mode.
//
// What it takes from a document whose root element is <osis>:
//  - verses from <verse> elements, both forms: the container (<verse osisID="Gen.1.1">text
//    </verse>) and the milestones (<verse sID="…" osisID="Gen.1.1"/>text<verse eID="…"/>); a
//    milestone verse also ends where the next verse begins or its chapter or book element
//    closes. The osisID gives book, chapter and verse ("Gen.1.1"; "Gen.1.1 Gen.1.2" is the
//    range "1-2"; a work prefix "KJV:" and a grain "!a" are ignored). Books are found by their
//    OSIS names; verses of other books are skipped and the books counted.
//  - the words of a verse, with <w>, <transChange>, <divineName>, <q>, <hi>, <seg> and other
//    inline markup kept as their text; their attributes (Strong's numbers, morphology) never
//    are text. Dropped with everything inside them: <note> (footnotes, cross references),
//    <title> and <head> (headings, psalm titles), <speaker>, <figure>, <rdg>, <catchWord> and
//    the <header>. Paragraphs, poetry lines, line breaks and list items (<p>, <l>, <lg>, <lb>,
//    <div>, <item> …) become a blank. Markers of another format left in the text by a faulty
//    conversion ("\nd", "\+nd*") are removed.
//
// Local damage: OSIS found in the wild is often not well-formed inside a verse (an end tag
// without its start, an element closed by the end tag of its parent). The parser's recovery
// goes on after such an error; the end tags are matched here as they are written: an end tag
// closes the innermost open element of its name (and any left open inside it), and an end tag
// whose element is not open is passed over. The verse keeps every word that is not inside a
// dropped element; its osisID is reported as repaired.
//
// A document that is not OSIS (no XML element, or another root element), is cut short (it ends
// before its root element closes, or the parser cannot go on), is not UTF-8 where it says it is,
// or has a verse whose osisID is not Book.Chapter.Verse gives a FormatError with its line.
#pragma once

#include <optional>
#include <string_view>

#include "setup/bible_formats/format_error.h"
#include "setup/bible_formats/verse_collector.h"

namespace quillax {

// Reads the verses of an OSIS document into verses. On an error the collector may hold part of
// the document: the caller discards it.
std::optional<FormatError> ReadOsisDocument(std::string_view bytes, VerseCollector& verses);

}  // namespace quillax
