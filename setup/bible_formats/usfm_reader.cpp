#include "setup/bible_formats/usfm_reader.h"

#include <string>
#include <vector>

#include "setup/bible_formats/book_codes.h"

namespace quillax {
namespace {

// The highest chapter number a chapter key can hold (book x 1000 + chapter).
constexpr int kMaxChapter = 999;

// What a marker does, by its name without the number that some markers carry ("q1", "s2").
enum class MarkerKind {
    Book,            // \id
    Chapter,         // \c
    Verse,           // \v
    TextParagraph,   // paragraphs and poetry lines whose text is verse text
    OtherParagraph,  // headings, titles, introductions, remarks: dropped up to the next paragraph
    Sidebar,         // \esb ... \esbe: dropped whole
    Note,            // \f, \fe, \x, \ef, \ex: dropped up to their closing marker
    DroppedSpan,     // character markup whose content is not verse text
    Span,            // character markup that keeps its words
};

constexpr std::string_view kTextParagraphs[] = {
    "p",  "m",  "po", "pr", "cls", "pmo", "pm", "pmc", "pmr", "pi", "mi", "nb", "pc",  "ph",
    "b",  "q",  "qr", "qc", "qm",  "qd",  "lh", "li",  "lf",  "lim", "tr", "pb", "th", "thr",
    "tc", "tcr",
};
constexpr std::string_view kOtherParagraphs[] = {
    "ide", "h",   "toc", "toca", "mt",  "mte", "ms",   "mr",  "s",   "sr",  "r",   "d",
    "sp",  "sd",  "cl",  "cp",   "cd",  "rem", "usfm", "sts", "restore", "periph", "lit", "qa",
    "imt", "imte", "is", "ip",   "ipi", "im",  "imi",  "ipq", "imq", "ipr", "iq",  "ib",
    "ili", "iot", "io",  "iex",  "ie",
};
constexpr std::string_view kNotes[] = {"f", "fe", "x", "ef", "ex"};
constexpr std::string_view kDroppedSpans[] = {"fig", "va", "vp", "ca", "rq", "cat"};

template <std::size_t N>
bool Contains(const std::string_view (&names)[N], std::string_view name) {
    for (const std::string_view candidate : names) {
        if (candidate == name) {
            return true;
        }
    }
    return false;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// White space inside a line: a lone CR, a form feed or a vertical tab separates words as a blank
// does.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }
bool IsNameChar(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_';
}

MarkerKind KindOf(std::string_view name) {
    if (name == "id") return MarkerKind::Book;
    if (name == "c") return MarkerKind::Chapter;
    if (name == "v") return MarkerKind::Verse;
    if (name == "esb") return MarkerKind::Sidebar;
    if (Contains(kNotes, name)) return MarkerKind::Note;
    if (Contains(kDroppedSpans, name)) return MarkerKind::DroppedSpan;
    std::string_view base = name;
    while (!base.empty() && IsDigit(base.back())) {
        base.remove_suffix(1);
    }
    if (Contains(kTextParagraphs, base)) return MarkerKind::TextParagraph;
    if (Contains(kOtherParagraphs, base)) return MarkerKind::OtherParagraph;
    return MarkerKind::Span;
}

struct Marker {
    std::string_view name;  // without "\" and "+"
    bool closing = false;   // "\name*"
};

class UsfmBookReader {
public:
    explicit UsfmBookReader(VerseCollector& verses) : verses_(verses) {}

    std::optional<FormatError> Read(std::string_view bytes) {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            bytes.remove_prefix(3);
        }
        std::size_t start = 0;
        while (start < bytes.size() && !error_) {
            std::size_t end = bytes.find('\n', start);
            if (end == std::string_view::npos) {
                end = bytes.size();
            }
            std::string_view line = bytes.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            ++lineNumber_;
            ReadLine(line);
            start = end + 1;
        }
        if (!error_) {
            if (!seenBook_) {
                Fail(1, "no \\id line: this is not a USFM book");
            } else {
                EndBook(lineNumber_);
            }
        }
        return error_;
    }

private:
    struct Span {
        std::string name;
        bool dropped = false;
    };

    void Fail(int line, std::string reason) {
        if (!error_) {
            error_ = FormatError{line, std::move(reason)};
        }
    }

    void ReadLine(std::string_view line) {
        std::size_t pos = 0;
        while (pos < line.size() && !error_) {
            if (line[pos] != '\\') {
                const std::size_t next = line.find('\\', pos);
                const std::size_t end = next == std::string_view::npos ? line.size() : next;
                Text(line.substr(pos, end - pos));
                pos = end;
                continue;
            }
            Marker marker;
            std::size_t at = pos + 1;
            if (at < line.size() && line[at] == '+') {
                ++at;  // a nested character marker: "\+w"
            }
            const std::size_t nameStart = at;
            while (at < line.size() && IsNameChar(line[at])) {
                ++at;
            }
            marker.name = line.substr(nameStart, at - nameStart);
            if (at < line.size() && line[at] == '*') {
                marker.closing = true;
                ++at;
            } else if (at < line.size() && IsBlank(line[at])) {
                ++at;  // the blank after an opening marker belongs to it
            }
            pos = at;
            attributes_ = false;
            if (!marker.name.empty()) {
                pos = Handle(marker, line, pos);
            }
        }
        if (verseOpen_) {
            text_.Break();  // a line break is white space
        }
    }

    // The word after an opening marker (a chapter number, a verse label, a book code), from
    // pos: skips blanks, then takes everything up to the next blank or marker. pos moves past
    // the word and one blank after it.
    static std::string_view Word(std::string_view line, std::size_t& pos) {
        while (pos < line.size() && IsBlank(line[pos])) {
            ++pos;
        }
        const std::size_t start = pos;
        while (pos < line.size() && !IsBlank(line[pos]) && line[pos] != '\\') {
            ++pos;
        }
        const std::string_view word = line.substr(start, pos - start);
        if (pos < line.size() && IsBlank(line[pos])) {
            ++pos;
        }
        return word;
    }

    // Acts on a marker; returns where reading goes on in the line.
    std::size_t Handle(const Marker& marker, std::string_view line, std::size_t pos) {
        const MarkerKind kind = marker.closing ? MarkerKind::Span : KindOf(marker.name);
        if (kind == MarkerKind::Book && !marker.closing) {
            StartBook(Word(line, pos));
            return line.size();  // the rest of the \id line describes the file
        }
        if (book_ <= 0) {
            return pos;  // before the first book, or in a skipped one
        }
        if (!note_.empty()) {
            if (marker.closing && marker.name == note_) {
                note_.clear();
                text_.Dropped();
                return pos;
            }
            // A note left open ends with its paragraph or verse.
            const bool structural = kind == MarkerKind::Chapter || kind == MarkerKind::Verse ||
                                    kind == MarkerKind::TextParagraph || kind == MarkerKind::OtherParagraph;
            if (!structural || marker.closing) {
                return pos;
            }
            note_.clear();
        }
        if (sidebar_) {
            if (marker.name == "esbe") {
                sidebar_ = false;
            }
            return pos;
        }
        if (marker.closing) {
            CloseSpan(marker.name);
            return pos;
        }
        switch (kind) {
            case MarkerKind::Book:
                break;
            case MarkerKind::Chapter:
                StartChapter(Word(line, pos));
                break;
            case MarkerKind::Verse:
                StartVerse(Word(line, pos));
                break;
            case MarkerKind::TextParagraph:
            case MarkerKind::OtherParagraph:
                spans_.clear();
                textParagraph_ = kind == MarkerKind::TextParagraph;
                if (verseOpen_) {
                    text_.Break();
                }
                break;
            case MarkerKind::Sidebar:
                sidebar_ = true;
                break;
            case MarkerKind::Note:
                note_.assign(marker.name);
                break;
            case MarkerKind::DroppedSpan:
            case MarkerKind::Span:
                spans_.push_back(Span{std::string(marker.name), kind == MarkerKind::DroppedSpan});
                break;
        }
        return pos;
    }

    void Text(std::string_view text) {
        if (book_ <= 0 || !note_.empty() || sidebar_ || attributes_) {
            return;
        }
        if (!spans_.empty()) {
            // Inside word-level markup a "|" begins its attributes, which run to the next marker.
            const std::size_t bar = text.find('|');
            if (bar != std::string_view::npos) {
                text = text.substr(0, bar);
                attributes_ = true;
            }
            for (const Span& span : spans_) {
                if (span.dropped) {
                    return;
                }
            }
        }
        if (verseOpen_ && textParagraph_) {
            text_.Append(text);
        }
    }

    void CloseSpan(std::string_view name) {
        for (std::size_t i = spans_.size(); i-- > 0;) {
            if (spans_[i].name == name) {
                const bool dropped = spans_[i].dropped;
                spans_.resize(i);
                if (dropped) {
                    text_.Dropped();
                }
                return;
            }
        }
    }

    void StartBook(std::string_view code) {
        if (seenBook_) {
            EndBook(lineNumber_ - 1);
            if (error_) {
                return;
            }
        }
        seenBook_ = true;
        bookLine_ = lineNumber_;
        code_.assign(code);
        chapter_ = 0;
        chapters_ = 0;
        bookVerses_ = 0;
        note_.clear();
        spans_.clear();
        sidebar_ = false;
        textParagraph_ = true;
        if (code.empty()) {
            Fail(lineNumber_, "\\id without a book code");
            return;
        }
        book_ = BookOfUsfmCode(code);
        if (book_ == 0) {
            book_ = -1;
            verses_.SkipBook(code);
        } else if (verses_.HasBook(book_)) {
            Fail(lineNumber_, "the book " + code_ + " was read before: a book must come once");
        }
    }

    // The end of the book begun last, at the given line (the file's last line, or the line
    // before the next \id).
    void EndBook(int lastLine) {
        EndVerse();
        if (book_ <= 0) {
            return;
        }
        if (chapters_ == 0) {
            Fail(lastLine, "the book " + code_ + " (\\id on line " + std::to_string(bookLine_) +
                               ") ends inside its header, before its first chapter (\\c)");
        } else if (bookVerses_ == 0) {
            Fail(lastLine, "the book " + code_ + " (\\id on line " + std::to_string(bookLine_) +
                               ") ends without a verse (\\v)");
        }
    }

    void StartChapter(std::string_view word) {
        EndVerse();
        int number = 0;
        std::size_t digits = 0;
        while (digits < word.size() && IsDigit(word[digits]) && number <= kMaxChapter) {
            number = number * 10 + (word[digits] - '0');
            ++digits;
        }
        if (digits == 0) {
            Fail(lineNumber_, "a chapter (\\c) without its number");
            return;
        }
        if (number < 1 || number > kMaxChapter) {
            Fail(lineNumber_, "the chapter number " + std::string(word) + " is not between 1 and 999");
            return;
        }
        chapter_ = number;
        ++chapters_;
        spans_.clear();
        textParagraph_ = true;
    }

    void StartVerse(std::string_view label) {
        EndVerse();
        if (chapter_ == 0) {
            Fail(lineNumber_, "a verse (\\v) before the first chapter (\\c) of " + code_);
            return;
        }
        if (label.empty() || !IsDigit(label.front())) {
            Fail(lineNumber_, "a verse (\\v) without its number");
            return;
        }
        label_.assign(label);
        verseOpen_ = true;
        spans_.clear();
        textParagraph_ = true;
    }

    void EndVerse() {
        if (verseOpen_) {
            verses_.AddVerse(book_, chapter_, label_, text_.Text());
            ++bookVerses_;
        }
        verseOpen_ = false;
        text_.Clear();
    }

    VerseCollector& verses_;
    std::optional<FormatError> error_;
    int lineNumber_ = 0;

    bool seenBook_ = false;
    int book_ = 0;  // 1-66, -1 for a skipped book, 0 before the first \id
    std::string code_;
    int bookLine_ = 0;
    int chapter_ = 0;
    int chapters_ = 0;
    int bookVerses_ = 0;

    bool verseOpen_ = false;
    std::string label_;
    VerseText text_;

    bool textParagraph_ = true;  // the current paragraph holds verse text
    bool sidebar_ = false;
    std::string note_;           // the open note's marker, empty outside notes
    std::vector<Span> spans_;    // open character markup, innermost last
    bool attributes_ = false;    // after a "|": attributes up to the next marker
};

}  // namespace

std::optional<FormatError> ReadUsfmBooks(std::string_view bytes, VerseCollector& verses) {
    UsfmBookReader reader(verses);
    return reader.Read(bytes);
}

}  // namespace quillax
