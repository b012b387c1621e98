#include "textlib/chapter_keys.h"

#include <algorithm>
#include <array>
#include <string>

#include "textlib/text_helpers.h"

namespace quillax {
namespace {

// Chapters per book, in book order.
constexpr std::array<int, kBookCount> kChapterCounts = {
    50, 40, 27, 36, 34, 24, 21, 4,  31, 24, 22, 25, 29, 36, 10, 13, 10, 42, 150, 31, 12, 8,
    66, 52, 5,  48, 12, 14, 3,  9,  1,  4,  7,  3,  3,  3,  2,  14, 4,  28,  16, 24, 21,
    28, 16, 16, 13, 6,  6,  4,  4,  5,  3,  6,  4,  3,  1,  13, 5,  5,  3,   5,  1,  1,
    1,  22};

// Width of one abbreviation slot in "CNAME=".
constexpr int kSlotWidth = 5;
// The tag "<a href=" key ">" ... "</a>" around a 5-character key.
constexpr int kLinkMarkupLength = 18;
// The opening tag " <a href=" key ">" of a bracket reference is 15 bytes; the scan resumes at
// its last byte.
constexpr int kBracketStep = 14;

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool StartsWith(const GbString& text, int at, std::string_view word) {
    return !word.empty() && text.Slice(at, static_cast<int>(word.size())) == word;
}

// Book of an abbreviation: its first position in the "CNAME=" text / 5 + 1. The division
// truncates toward zero, so a name that is not found (-1) gives book 1.
int BookOfName(const GbString& bookNameText, std::string_view name) {
    return bookNameText.Find(name) / kSlotWidth + 1;
}

// First occurrence of a pattern that starts in [from, limit), found the way GbString::Find
// finds it. The bracket pass asks for the same pattern from increasing positions with the
// same limit while the text stays unchanged (nested "[" before one "]"); the last answer is
// reused then, so a text full of brackets is still scanned in linear time. Forget() must be
// called whenever the text changes. An empty pattern is never found.
class BracketSearch {
public:
    explicit BracketSearch(std::string_view pattern) : pattern_(pattern) {}

    int Find(const GbString& text, int from, int limit) {
        if (pattern_.IsEmpty() || from < 0 || from >= limit) return -1;
        if (known_ && from >= from_ && limit == limit_ && (found_ < 0 || found_ >= from)) {
            return found_;
        }
        // A match must start before limit but may end after it.
        const int windowEnd = std::min(text.Length(), limit + pattern_.Length() - 1);
        const GbString window(text.Slice(from, windowEnd - from));
        const int at = window.Find(pattern_);
        known_ = true;
        from_ = from;
        limit_ = limit;
        found_ = at >= 0 && from + at < limit ? from + at : -1;
        return found_;
    }

    void Forget() { known_ = false; }

private:
    GbString pattern_;
    bool known_ = false;
    int from_ = 0;
    int limit_ = 0;
    int found_ = -1;
};

}  // namespace

int ChapterCount(int book) {
    return book >= 1 && book <= kBookCount ? kChapterCounts[book - 1] : 0;
}

GbString MakeChapterKey(long long number) {
    const std::string padded = "00000" + std::to_string(number);
    return GbString(std::string_view(padded).substr(padded.size() - 5));
}

int IsChapterKey(std::string_view key, bool acceptSpecial) {
    int number = 0;
    for (std::size_t i = 0; i < key.size() && i < 5; ++i) {
        const auto c = static_cast<unsigned char>(key[i]);
        if (!IsDigit(c)) break;
        number = number * 10 + (c - '0');
    }
    const int book = number / 1000;
    const int chapter = number % 1000;
    const bool valid = chapter >= 1 && chapter <= ChapterCount(book);
    if (!acceptSpecial) return valid ? number : 0;

    bool special = false;
    if (key.size() == 7 && chapter == 0) {
        const std::string_view suffix = key.substr(5);
        special = suffix == "00" || suffix == "0b" || suffix == "0c" || suffix == "2j" ||
                  suffix == "1z";
    }
    return valid || special ? 1 : 0;
}

GbString ChapterKeyFromReference(std::string_view ref, bool wholeRest, ReferenceContext& context) {
    const GbString& chapterWord = context.vocabulary[kWordChapter];
    GbString text(ref);
    // A one-character book name alone: its first chapter.
    if (text.Length() == 2) {
        text += "1";
        text += chapterWord;
    }

    int book = context.lastBook;
    int nameLength = 0;
    if (text.GetAt(0) >= 0x80) {
        nameLength = text.GetAt(2) <= 0x80 ? 2 : 4;
        book = BookOfName(context.bookNameText, text.Slice(0, nameLength));
    }

    GbString chapterText(text.Slice(nameLength));
    if (!wholeRest) {
        int cut = chapterText.Find(":");
        if (cut < 0 && !chapterWord.IsEmpty()) cut = chapterText.Find(chapterWord);
        if (cut >= 0) chapterText = GbString(chapterText.Slice(0, cut));
    }
    const int chapter = ToInt(chapterText);

    context.lastBook = book;
    // In 64 bits: a huge chapter number must not overflow; the key keeps its last 5 digits.
    return MakeChapterKey(static_cast<long long>(book) * 1000 + chapter);
}

int LinkReference(GbString& text, int pos, int end, ReferenceContext& context) {
    end = std::clamp(end, 0, text.Length());
    pos = std::clamp(pos, 0, end);

    if (pos < end && text.GetAt(pos) == ';') {
        // A continuation of the previous reference keeps its key. Before any link has been
        // made there is none: the continuation is read on its own (a digit gives lastBook).
        pos = std::min(pos + 2, end);
        if (context.linkKey.Length() < 2) {
            context.linkKey = ChapterKeyFromReference(text.Slice(pos, end - pos), false, context);
        }
    } else {
        context.linkKey = ChapterKeyFromReference(text.Slice(pos, end - pos), false, context);
    }

    GbString key = context.linkKey;
    if (pos < end && IsDigit(text.GetAt(pos))) {
        // Only chapter (and verse): the book of the key with this chapter.
        int chapter = 0;
        for (int i = pos; i < end && i < pos + 3 && IsDigit(text.GetAt(i)); ++i) {
            chapter = chapter * 10 + (text.GetAt(i) - '0');
        }
        key.Left(context.linkKey, 2);
        key.SetPadded(chapter, "000", true);
        context.linkKey = key;
    }

    const GbString reference(text.Slice(pos, end - pos));
    text.Delete(pos, end - pos);
    text.Insert(pos, "<a href=" + key + ">" + reference + "</a>");
    return end + kLinkMarkupLength;
}

int LinkBracketReferences(GbString& text, std::string_view defaultKey,
                          const ReferenceContext& context) {
    const GbString& thisChapter = context.vocabulary[kWordThisChapter];
    const GbString& thisChapterAlt = context.vocabulary[kWordThisChapterAlt];

    BracketSearch closing("]");
    BracketSearch colon(":");
    BracketSearch chapterWord(context.vocabulary[kWordChapter]);
    BracketSearch unitWord(context.vocabulary[kWordChapterUnitAlt]);
    auto forgetAll = [&] {
        closing.Forget();
        colon.Forget();
        chapterWord.Forget();
        unitWord.Forget();
    };

    GbString previousKey;      // the key of the previous link of this pass
    bool noColonLeft = false;  // no ":" follows the scan position (the pass adds none)
    int links = 0;
    for (int i = 0;;) {
        i = text.Find("[", i);
        if (i < 0) break;
        const int a = closing.Find(text, i, text.Length());
        if (a < 0) break;

        // Only a bracket with ":" or a chapter word in it holds a reference.
        const int colonInBracket = colon.Find(text, i + 1, a);
        const bool isReference = colonInBracket >= 0 ||
                                 chapterWord.Find(text, i + 1, a) >= 0 ||
                                 unitWord.Find(text, i + 1, a) >= 0;
        if (!isReference) {
            ++i;
            continue;
        }

        text.Delete(a, 1);
        text.Insert(a, "</a>");
        text.Delete(i, 1);
        forgetAll();

        GbString key;
        if (text.GetAt(i) < 0x3A) {
            // Chapter and verse only: the book of the previous link, the chapter before the
            // next ":". That is the bracket's own ":" (one byte nearer now that the "[" is
            // gone) when it has one; otherwise the text after it is searched, once only when
            // it has none at all.
            int verseColon = -1;
            if (colonInBracket >= 0) {
                verseColon = colonInBracket - 1;
            } else if (!noColonLeft) {
                verseColon = text.Find(":", i);
                noColonLeft = verseColon < 0;
            }
            if (verseColon >= 0 && previousKey.Length() >= 2) {
                key.Left(previousKey, 2);
                key.SetPadded(ToInt(text.Slice(i, verseColon - i)), "000", true);
            }
        } else if (StartsWith(text, i, thisChapter) || StartsWith(text, i, thisChapterAlt)) {
            key = GbString(defaultKey);
        } else {
            // A book abbreviation: two characters, or one character (written "X。" in the
            // book-name text) directly followed by the chapter number.
            GbString name;
            int after = i + 4;
            if (IsDigit(text.GetAt(i + 2))) {
                name.Mid(text, i, 2);
                name += "。";
                after = i + 2;
            } else {
                name.Mid(text, i, 4);
            }
            const int chapter = ToInt(text.Slice(after, 3));
            key = MakeChapterKey(static_cast<long long>(BookOfName(context.bookNameText, name)) *
                                     1000 + chapter);
        }

        int step = kBracketStep;
        if (!key.IsEmpty()) {
            const GbString tag = " <a href=" + key + ">";
            text.Insert(i, tag);
            previousKey = key;
            ++links;
            // The step ends on the tag's ">" for a key of five characters; a longer key (a
            // default key can be anything) must not be scanned as text, or brackets in it
            // would be linked again and again without end.
            step = std::max(step, tag.Length() - 1);
        }
        i += step;
    }
    return links;
}

}  // namespace quillax
