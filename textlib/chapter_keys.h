// Chapter keys, the Bible book table and the conversion of written references into links.
//
// A chapter key is text whose first five characters are the chapter number BBCCC zero-padded
// to five digits, where the number is book x 1000 + chapter (Genesis 1 = "01001", Psalm 119 =
// "19119", Revelation 22 = "66022"). Books are numbered 1-66 in the order of the Protestant
// canon. A key may carry two more characters: a 7-character key with chapter 000 whose last two
// characters are "00", "0b", "0c", "2j" or "1z" is a special key (a page that is not a chapter).
//
// References written for readers start with a book abbreviation: "CNAME=" of bible.ini holds
// the 66 abbreviations in book order, each taking exactly 5 bytes (two GBK characters, or one
// GBK character followed by "。", then ","), so an abbreviation found at byte d belongs to book
// d / 5 + 1. A reference that starts with a digit belongs to the book of the last reference
// converted.
//
// These functions sit below the engine: what they read from or keep in the engine's state is
// handed to them in a ReferenceContext. No function throws; texts of any shape are accepted.
#pragma once

#include <string_view>

#include "textlib/gb_list.h"
#include "textlib/gb_string.h"

namespace quillax {

constexpr int kBookCount = 66;

// Number of chapters of a book (1-66); 0 for any other number.
int ChapterCount(int book);

// What the reference conversions read from and keep in the engine's state. The engine builds
// one over its own fields for each use:
//     ReferenceContext refs{state.bookNameText, state.cmpStr, state.lastBook, state.linkKey};
// Tests build one over local variables.
struct ReferenceContext {
    const GbString& bookNameText;  // "CNAME=": the 66 abbreviations, 5 bytes each
    const GbList& vocabulary;      // "CMPSTR=" (cmpStr), read at the indexes of vocabulary.h
    int& lastBook;                 // book of the last reference converted; starts at 0
    GbString& linkKey;             // key of the last LinkReference, for continuations after ";"
};

// The chapter number as a key: the decimal number zero-padded to five digits, of which only
// the last five characters are kept (as GbString::SetPadded pads), so 1001 gives "01001".
GbString MakeChapterKey(long long number);

// Validates a chapter key. The number is formed by the digits among the first five characters
// (the first non-digit ends it). Without acceptSpecial: the number when its book is 1-66 and its
// chapter 1..ChapterCount(book), else 0. With acceptSpecial: 1 for such a key or for a special
// key (exactly 7 characters, chapter 000, a special suffix; the book plays no part), else 0.
int IsChapterKey(std::string_view key, bool acceptSpecial);

// Converts a reference such as "创世3:16" (abbreviation, chapter, then ":" or the chapter word
// cmpStr[4]) into its chapter key and records its book in context.lastBook.
//  - A reference of exactly 2 bytes (a one-character book name alone) means chapter 1.
//  - Book: when the first byte is a GBK lead byte (IsGbkLeadByte) the name is 4 bytes long if
//    the third byte is one too, else 2; its book is (first position in bookNameText) / 5 + 1, so a name
//    that is not there gives book 1. A reference that starts otherwise (a digit) belongs to
//    context.lastBook.
//  - Chapter: the number after the name; unless wholeRest only the text before the first ":"
//    (or, when there is none, before the first chapter word) is read.
GbString ChapterKeyFromReference(std::string_view ref, bool wholeRest, ReferenceContext& context);

// Turns the reference text[pos, end) into the link "<a href=" key ">" reference "</a>" in place
// and returns end + 18, the position after the link (the tag around a 5-character key adds 18
// bytes).
//  - A reference that starts with ";" continues the previous one: the link starts 2 bytes
//    further on and keeps context.linkKey (when there has been no previous link yet, the text
//    is converted as a reference of its own).
//  - Otherwise the key is ChapterKeyFromReference(text[pos, end)), kept in context.linkKey.
//  - When the linked text starts with a digit it gives only chapter (and verse): the key is the
//    book of the key (its first two characters) and that number (at most 3 digits).
// pos and end are clipped to the text (end to its length, pos to 0..end).
int LinkReference(GbString& text, int pos, int end, ReferenceContext& context);

// The bracket-reference pass: every "[...]" that holds a ":" or a chapter word (cmpStr[4], or
// cmpStr[3] when cmpStr[4] is not in the bracket) loses its brackets and becomes a link, the "]"
// turning into "</a>" and " <a href=" key ">" going in front of the reference:
//  - a reference that starts with a digit (any byte below ":") takes the book of the previous
//    link of this pass and the number before the next ":" as chapter; without a previous link
//    or without a ":" it gets no opening tag;
//  - a reference that starts with cmpStr[1] or cmpStr[2] links to defaultKey (no opening tag
//    when defaultKey is empty);
//  - otherwise it starts with an abbreviation of 4 bytes, or of 2 bytes when a digit follows
//    them (looked up as those 2 bytes and "。"), and the chapter is the number in the 3 bytes
//    after it; an abbreviation that is not in bookNameText gives book 1.
// After each converted bracket the scan goes on 14 bytes after its start; after a bracket
// without a reference, 1 byte after its "[". An empty vocabulary word never matches.
//
// Returns the number of links opened. The pass counts as run whatever it returns: the engine
// stores 1 in changedFlags (references linked) after every call.
int LinkBracketReferences(GbString& text, std::string_view defaultKey,
                          const ReferenceContext& context);

}  // namespace quillax
