// What the readers of the published Bible formats (USFM, OSIS) hand over: verses with their book,
// chapter and label, and what they left out. The collector turns them into the text of a module
// in the layout of the verse-list import: per book and chapter a chapter header (book x 1000 +
// chapter as five digits, ":=" and LF), then one line per verse, "$" + label + text + CR LF.
//
// Verse text arrives as UTF-8 without markup. Runs of white space (line breaks included) become
// one blank and the ends are trimmed; blanks of other widths (no-break space, thin space ...)
// and the pilcrow, a paragraph mark some texts carry in their words ("¶ And it came to pass"),
// count as white space, and zero-width characters (zero-width space and joiners, word joiner,
// byte order mark, soft hyphen) are left out: none of them is a character a GBK text can show.
// The text is then converted to GBK; every character GBK lacks becomes "?" and is counted.
//
// Books come out in book order, whatever the order in which they were read; the verses of a
// book in the order they were added, with a chapter header wherever the chapter differs from
// the book's previous verse.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "textlib/gb_string.h"

namespace quillax {

// Builds the text of one verse while a reader walks its markup: keeps the words, and remembers
// where markup was dropped or a block (paragraph, poetry line) began or ended, so that words on
// both sides stay apart.
class VerseText {
public:
    // Text of the verse (UTF-8).
    void Append(std::string_view text);
    // A paragraph, poetry line or line break: a blank separates what comes before and after.
    void Break();
    // A note or other dropped element ended here. When letters or digits meet across it (as in
    // "God<note>…</note>created") a blank keeps the two words apart; a mark that follows
    // ("God’s", "earth,") stays joined.
    void Dropped();
    bool IsEmpty() const { return text_.empty(); }
    const std::string& Text() const { return text_; }
    void Clear();

private:
    std::string text_;
    bool droppedBefore_ = false;
};

class VerseCollector {
public:
    // Adds one verse of book 1-66 (other numbers are ignored).
    void AddVerse(int book, int chapter, std::string_view label, std::string_view text);
    // Notes a book that is not one of the 66 (deuterocanon, front matter, glossary ...); each
    // name counts once.
    void SkipBook(std::string_view name);
    // Notes a verse whose markup was damaged and had to be repaired (each name counts once).
    void RepairedVerse(std::string_view reference);

    // Whether a verse of the book has been added.
    bool HasBook(int book) const;
    int BookCount() const;
    int ChapterCount() const { return static_cast<int>(chapters_.size()); }
    int VerseCount() const { return verses_; }
    int ReplacedCount() const { return replaced_; }
    const std::vector<std::string>& SkippedBooks() const { return skipped_; }
    const std::vector<std::string>& RepairedVerses() const { return repaired_; }

    // The module text (GBK), books in book order.
    std::string ModuleText() const;

    // The closing message of a successful import into moduleName: the words of the verse-list
    // import's success, then what was imported, skipped, replaced and repaired.
    GbString Summary(std::string_view moduleName) const;

private:
    struct Book {
        std::string text;
        int lastChapter = 0;
    };
    Book books_[66];
    std::set<int> chapters_;  // book x 1000 + chapter
    int verses_ = 0;
    int replaced_ = 0;
    std::vector<std::string> skipped_;
    std::vector<std::string> repaired_;
    std::string scratch_;
};

// The verse text as the collector stores it, before the conversion to GBK: white space runs
// made one blank, the ends trimmed, zero-width characters left out (see above).
std::string NormalizeVerseText(std::string_view utf8);

}  // namespace quillax
