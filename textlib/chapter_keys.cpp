#include "textlib/chapter_keys.h"

#include <algorithm>
#include <array>
#include <string>

#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"

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

bool StartsWith(std::string_view text, std::string_view word) {
    return !word.empty() && text.substr(0, word.size()) == word;
}

// Book of an abbreviation: its first position in the "CNAME=" text / 5 + 1. The division
// truncates toward zero, so a name that is not found (-1) gives book 1.
int BookOfName(const GbString& bookNameText, std::string_view name) {
    return bookNameText.Find(name) / kSlotWidth + 1;
}

// The text of the bracket pass while it is being edited: the bytes before the gap in front_,
// the bytes from the gap on in back_ from backStart_. The pass looks and edits only at or after
// its scan position, which only moves forward, so with the gap kept at the place of each edit
// an edit costs the bytes it moves rather than the rest of the text.
class GapText {
public:
    explicit GapText(std::string_view text) : back_(text) {}

    int Length() const { return static_cast<int>(front_.size() + back_.size() - backStart_); }
    int Gap() const { return static_cast<int>(front_.size()); }
    // The bytes from the gap to the end.
    std::string_view Rest() const { return std::string_view(back_).substr(backStart_); }
    // n bytes from `at` (at >= Gap()), clipped to the text.
    std::string_view Slice(int at, int n) const {
        const std::string_view rest = Rest();
        const auto skip = static_cast<std::size_t>(at - Gap());
        return skip >= rest.size() ? std::string_view()
                                   : rest.substr(skip, static_cast<std::size_t>(std::max(n, 0)));
    }
    // The byte at i as a value 0..255; 0 outside the text.
    unsigned char GetAt(int i) const {
        if (i < 0 || i >= Length()) return 0;
        const int gap = Gap();
        const char c = i < gap ? front_[static_cast<std::size_t>(i)]
                               : back_[backStart_ + static_cast<std::size_t>(i - gap)];
        return static_cast<unsigned char>(c);
    }

    // Position of pattern at or after `from`, as GbString::Find gives it.
    int Find(std::string_view pattern, int from) {
        if (from < 0 || from >= Length()) return -1;
        if (from < Gap()) MoveGap(from);
        const int at = FindInText(Rest(), pattern, from - Gap());
        return at < 0 ? -1 : Gap() + at;
    }

    void MoveGap(int to) {
        to = std::clamp(to, 0, Length());
        const auto target = static_cast<std::size_t>(to);
        if (target > front_.size()) {
            const std::size_t n = target - front_.size();
            front_.append(back_, backStart_, n);
            backStart_ += n;
        } else if (target < front_.size()) {
            const std::size_t n = front_.size() - target;
            if (backStart_ < n) {
                // Room in front of the rest, as much again as the rest holds, so that moving
                // back stays cheap.
                const std::size_t room = n + std::max<std::size_t>(back_.size() - backStart_, 64);
                std::string grown(room, '\0');
                grown.append(back_, backStart_, std::string::npos);
                back_.swap(grown);
                backStart_ = room;
            }
            backStart_ -= n;
            back_.replace(backStart_, n, front_, target, n);
            front_.resize(target);
        }
    }
    // Inserts bytes at the gap (the gap stays after them).
    void Insert(std::string_view bytes) { front_.append(bytes.data(), bytes.size()); }
    // Removes n bytes after the gap.
    void Erase(int n) {
        backStart_ = std::min(back_.size(), backStart_ + static_cast<std::size_t>(std::max(n, 0)));
    }

    std::string Take() {
        front_.append(Rest());
        back_.clear();
        backStart_ = 0;
        return std::move(front_);
    }

private:
    std::string front_;
    std::string back_;
    std::size_t backStart_ = 0;
};

// First occurrence of a pattern that starts in [from, limit), found the way GbString::Find
// finds it. The bracket pass asks for the same pattern from increasing positions with the
// same limit while the text stays unchanged (nested "[" before one "]"); the last answer is
// reused then, so a text full of brackets is still scanned in linear time. Forget() must be
// called whenever the text changes. An empty pattern is never found.
class BracketSearch {
public:
    explicit BracketSearch(std::string_view pattern) : pattern_(pattern) {}

    int Find(GapText& text, int from, int limit) {
        if (pattern_.IsEmpty() || from < 0 || from >= limit) return -1;
        if (known_ && from >= from_ && limit == limit_ && (found_ < 0 || found_ >= from)) {
            return found_;
        }
        if (from < text.Gap()) text.MoveGap(from);
        // A match must start before limit but may end after it.
        const int windowEnd = std::min(text.Length(), limit + pattern_.Length() - 1);
        const std::string_view window = text.Slice(from, windowEnd - from);
        const int at = FindInText(window, pattern_);
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
    const GbString& chapterWord = context.vocabulary[kWordChapterUnit];
    GbString text(ref);
    // A one-character book name alone: its first chapter.
    if (text.Length() == 2) {
        text += "1";
        text += chapterWord;
    }

    int book = context.lastBook;
    int nameLength = 0;
    if (IsGbkLeadByte(text.GetAt(0))) {
        nameLength = IsGbkLeadByte(text.GetAt(2)) ? 4 : 2;
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
    const GbString& thisChapterAlt = context.vocabulary[kWordThisPsalm];

    BracketSearch closing("]");
    BracketSearch colon(":");
    BracketSearch chapterWord(context.vocabulary[kWordChapterUnit]);
    BracketSearch unitWord(context.vocabulary[kWordPsalmUnit]);
    auto forgetAll = [&] {
        closing.Forget();
        colon.Forget();
        chapterWord.Forget();
        unitWord.Forget();
    };

    // The edits below happen at the scan position or after it, the gap of `work` going with
    // them; positions are those of the text as edited so far.
    GapText work(text);
    GbString previousKey;      // the key of the previous link of this pass
    bool noColonLeft = false;  // no ":" follows the scan position (the pass adds none)
    int links = 0;
    for (int i = 0;;) {
        i = work.Find("[", i);
        if (i < 0) break;
        const int a = closing.Find(work, i, work.Length());
        if (a < 0) break;

        // Only a bracket with ":" or a chapter word in it holds a reference.
        const int colonInBracket = colon.Find(work, i + 1, a);
        const bool isReference = colonInBracket >= 0 ||
                                 chapterWord.Find(work, i + 1, a) >= 0 ||
                                 unitWord.Find(work, i + 1, a) >= 0;
        if (!isReference) {
            ++i;
            continue;
        }

        // "]" becomes "</a>" and the "[" goes; the gap stays where the bracket was.
        work.MoveGap(a);
        work.Erase(1);
        work.Insert("</a>");
        work.MoveGap(i);
        work.Erase(1);
        forgetAll();

        GbString key;
        const std::string_view rest = work.Rest();  // the text from the bracket's place on
        if (work.GetAt(i) < 0x3A) {
            // Chapter and verse only: the book of the previous link, the chapter before the
            // next ":". That is the bracket's own ":" (one byte nearer now that the "[" is
            // gone) when it has one; otherwise the text after it is searched, once only when
            // it has none at all.
            int verseColon = -1;
            if (colonInBracket >= 0) {
                verseColon = colonInBracket - 1;
            } else if (!noColonLeft) {
                verseColon = work.Find(":", i);
                noColonLeft = verseColon < 0;
            }
            if (verseColon >= 0 && previousKey.Length() >= 2) {
                key.Left(previousKey, 2);
                key.SetPadded(ToInt(work.Slice(i, verseColon - i)), "000", true);
            }
        } else if (StartsWith(rest, thisChapter) || StartsWith(rest, thisChapterAlt)) {
            key = GbString(defaultKey);
        } else {
            // A book abbreviation: two characters, or one character (written "X。" in the
            // book-name text) directly followed by the chapter number.
            GbString name;
            int after = 4;
            if (IsDigit(work.GetAt(i + 2))) {
                name.Mid(rest, 0, 2);
                name += "。";
                after = 2;
            } else {
                name.Mid(rest, 0, 4);
            }
            const int chapter = ToInt(work.Slice(i + after, 3));
            key = MakeChapterKey(static_cast<long long>(BookOfName(context.bookNameText, name)) *
                                     1000 + chapter);
        }

        int step = kBracketStep;
        if (!key.IsEmpty()) {
            const GbString tag = " <a href=" + key + ">";
            work.Insert(tag);
            previousKey = key;
            ++links;
            // The step ends on the tag's ">" for a key of five characters; a longer key (a
            // default key can be anything) must not be scanned as text, or brackets in it
            // would be linked again and again without end.
            step = std::max(step, tag.Length() - 1);
        }
        i += step;
    }
    text = GbString(work.Take());
    return links;
}

}  // namespace quillax
