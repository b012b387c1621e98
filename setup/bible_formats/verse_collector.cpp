#include "setup/bible_formats/verse_collector.h"

#include <algorithm>

#include "platform/code_page.h"
#include "setup/bible_import.h"

namespace quillax {
namespace {

// The message lists at most this many names of one kind, then how many more there are.
constexpr std::size_t kListedNames = 100;

bool IsAsciiSpace(unsigned char c) {
    return c <= ' ' && (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f');
}

bool IsAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// How a UTF-8 sequence at the start of s counts in verse text: 0 an ordinary character,
// otherwise its length, negative for a zero-width character (left out), positive for a blank.
int SpecialWidth(std::string_view s) {
    const auto at = [&s](std::size_t i) -> unsigned char {
        return i < s.size() ? static_cast<unsigned char>(s[i]) : static_cast<unsigned char>(0);
    };
    const unsigned char b0 = at(0);
    const unsigned char b1 = at(1);
    const unsigned char b2 = at(2);
    if (b0 == 0xC2) {
        if (b1 == 0xA0) return 2;   // U+00A0 no-break space
        if (b1 == 0xB6) return 2;   // U+00B6 pilcrow, a paragraph mark in the text
        if (b1 == 0xAD) return -2;  // U+00AD soft hyphen
    } else if (b0 == 0xE2 && b1 == 0x80) {
        if (b2 >= 0x80 && b2 <= 0x8A) return 3;  // U+2000-U+200A spaces of various widths
        if (b2 >= 0x8B && b2 <= 0x8D) return -3; // U+200B-U+200D zero-width space and joiners
        if (b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF) return 3;  // line/paragraph separator, U+202F
    } else if (b0 == 0xE2 && b1 == 0x81) {
        if (b2 == 0x9F) return 3;   // U+205F medium mathematical space
        if (b2 == 0xA0) return -3;  // U+2060 word joiner
    } else if (b0 == 0xEF && b1 == 0xBB && b2 == 0xBF) {
        return -3;  // U+FEFF byte order mark / zero-width no-break space
    }
    return 0;
}

std::size_t CountQuestionMarks(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '?'));
}

// "1 book", "2 books".
std::string Counted(std::size_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

void AppendNameList(GbString& message, const std::vector<std::string>& names) {
    for (std::size_t i = 0; i < names.size() && i < kListedNames; ++i) {
        message.Append(i == 0 ? " " : ", ");
        message.Append(names[i]);
    }
    if (names.size() > kListedNames) {
        message.Append(" and " + std::to_string(names.size() - kListedNames) + " more");
    }
}

}  // namespace

void VerseText::Append(std::string_view text) {
    if (text.empty()) {
        return;
    }
    if (droppedBefore_ && !text_.empty() && IsAsciiAlnum(static_cast<unsigned char>(text_.back())) &&
        IsAsciiAlnum(static_cast<unsigned char>(text.front()))) {
        text_ += ' ';
    }
    droppedBefore_ = false;
    text_.append(text.data(), text.size());
}

void VerseText::Break() {
    if (!text_.empty()) {
        text_ += ' ';
    }
    droppedBefore_ = false;
}

void VerseText::Dropped() { droppedBefore_ = true; }

void VerseText::Clear() {
    text_.clear();
    droppedBefore_ = false;
}

std::string NormalizeVerseText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    bool blank = false;
    std::size_t i = 0;
    while (i < utf8.size()) {
        // A run of ordinary bytes goes over whole. Only white space and the first bytes of the
        // special characters (C2, E2, EF) can end it.
        std::size_t end = i;
        while (end < utf8.size()) {
            const auto b = static_cast<unsigned char>(utf8[end]);
            if (IsAsciiSpace(b) ||
                ((b == 0xC2 || b == 0xE2 || b == 0xEF) && SpecialWidth(utf8.substr(end, 3)) != 0)) {
                break;
            }
            ++end;
        }
        if (end > i) {
            if (blank && !out.empty()) {
                out += ' ';
            }
            blank = false;
            out.append(utf8.data() + i, end - i);
            i = end;
            continue;
        }
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (IsAsciiSpace(b)) {
            blank = true;
            ++i;
        } else {
            const int width = SpecialWidth(utf8.substr(i, 3));
            blank = blank || width > 0;
            i += static_cast<std::size_t>(width > 0 ? width : -width);
        }
    }
    return out;
}

void VerseCollector::AddVerse(int book, int chapter, std::string_view label, std::string_view text) {
    if (book < 1 || book > 66) {
        return;
    }
    Book& target = books_[book - 1];
    if (target.text.empty() || chapter != target.lastChapter) {
        AppendModuleChapterHeader(target.text, book, chapter);
        target.lastChapter = chapter;
    }
    chapters_.insert(book * 1000 + chapter);
    ++verses_;

    scratch_.assign("$");
    scratch_.append(label.data(), label.size());
    scratch_ += NormalizeVerseText(text);
    const std::string gbk = platform::Utf8ToGbk(scratch_);
    replaced_ += static_cast<int>(CountQuestionMarks(gbk) - CountQuestionMarks(scratch_));
    target.text += gbk;
    target.text += "\r\n";
}

void VerseCollector::SkipBook(std::string_view name) {
    if (std::find(skipped_.begin(), skipped_.end(), name) == skipped_.end()) {
        skipped_.emplace_back(name);
    }
}

void VerseCollector::RepairedVerse(std::string_view reference) {
    if (std::find(repaired_.begin(), repaired_.end(), reference) == repaired_.end()) {
        repaired_.emplace_back(reference);
    }
}

bool VerseCollector::HasBook(int book) const {
    return book >= 1 && book <= 66 && !books_[book - 1].text.empty();
}

int VerseCollector::BookCount() const {
    return static_cast<int>(std::count_if(std::begin(books_), std::end(books_),
                                          [](const Book& book) { return !book.text.empty(); }));
}

std::string VerseCollector::ModuleText() const {
    std::size_t size = 0;
    for (const Book& book : books_) {
        size += book.text.size();
    }
    std::string text;
    text.reserve(size);
    for (const Book& book : books_) {
        text += book.text;
    }
    return text;
}

GbString VerseCollector::Summary(std::string_view moduleName) const {
    GbString message(kImportDoneMessage);
    message.Append("\n");
    message.Append(moduleName);
    message.Append(": " + Counted(static_cast<std::size_t>(BookCount()), "book") + ", " +
                   Counted(chapters_.size(), "chapter") + ", " +
                   Counted(static_cast<std::size_t>(verses_), "verse") + ".");
    if (!skipped_.empty()) {
        message.Append("\nSkipped " + Counted(skipped_.size(), "book") + " outside the 66 of the Bible:");
        AppendNameList(message, skipped_);
        message.Append(".");
    }
    if (replaced_ > 0) {
        message.Append("\n" + Counted(static_cast<std::size_t>(replaced_), "character") +
                       " that GBK lacks became \"?\".");
    }
    if (!repaired_.empty()) {
        message.Append("\nRepaired " + Counted(repaired_.size(), "verse") + " with damaged markup:");
        AppendNameList(message, repaired_);
        message.Append(".");
    }
    return message;
}

}  // namespace quillax
