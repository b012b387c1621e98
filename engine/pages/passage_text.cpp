#include "engine/pages/passage_text.h"

#include <algorithm>

#include "engine/pages/chapter_page.h"
#include "textlib/chapter_keys.h"
#include "textlib/gb_list.h"
#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"

namespace quillax {
namespace {

constexpr int kProverbs = 20;
constexpr int kPsalms = 19;

constexpr std::string_view kIdeographicSpace = "　";

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool EndsWith(const GbString& text, std::string_view tail) {
    return !tail.empty() && text.Length() >= static_cast<int>(tail.size()) &&
           text.Slice(text.Length() - static_cast<int>(tail.size())) == tail;
}

// Removes tail from the end of text as often as it ends it.
void StripTrailing(GbString& text, std::string_view tail) {
    while (EndsWith(text, tail)) {
        text.SetLength(text.Length() - static_cast<int>(tail.size()));
    }
}

// The position of the last character of text that is the one-byte character c (never the second
// byte of a GBK character), or -1; lastIsIt tells whether it is the text's last character.
int LastSingleByteCharacter(const GbString& text, unsigned char c, bool* lastIsIt) {
    int found = -1;
    bool last = false;
    for (int i = 0; i < text.Length();) {
        const unsigned char b = text.GetAt(i);
        if (IsGbkLeadByte(b)) {
            i += 2;
            last = false;
        } else {
            if (b == c) {
                found = i;
            }
            last = b == c;
            ++i;
        }
    }
    if (lastIsIt != nullptr) {
        *lastIsIt = last;
    }
    return found;
}

// Where verse v starts in a chapter text whose verse marks are "#": the first "#" + v not
// followed by another digit, at or after from; -1 when absent.
int FindVerse(const GbString& chapter, int verse, int from = 0) {
    if (verse <= 0) {
        return -1;
    }
    GbString mark("#");
    mark.SetNumber(verse, true);
    for (int at = chapter.Find(mark, from); at >= 0; at = chapter.Find(mark, at + 1)) {
        if (!IsDigit(chapter.GetAt(at + mark.Length()))) {
            return at;
        }
    }
    return -1;
}

// The end of the verse that starts at start: the next "#", or the end of the text.
int VerseEnd(const GbString& chapter, int start) {
    const int next = chapter.Find("#", start + 1);
    return next >= 0 ? next : chapter.Length();
}

// A chapter in no-links form with its verse marks turned into "#".
GbString MarkedChapter(RenderState& state, std::string_view key) {
    GbString chapter = ChapterPage(state, key, true);
    chapter.Replace("<s>", "#");
    return chapter;
}

// What one item of the reference selects; piece bytes come from source, and end is where the
// piece stopped in it (for the "-" continuation).
struct Selection {
    const GbString* source = nullptr;
    int end = -1;
};

Selection SelectInChapter(const GbString& chapter, const GbString& item, GbString& result) {
    Selection selection{&chapter, -1};
    int start = -1;
    int end = -1;
    const int dash = item.Find("-");
    if (item == "*") {
        // The chapter's heading: from its first "<strong>" through the next "</small>".
        start = chapter.Find("<strong>");
        if (start >= 0) {
            const int close = chapter.Find("</small>", start);
            end = close >= 0 ? close + 8 : chapter.Length();
        }
    } else if (dash <= 0) {
        start = FindVerse(chapter, ToInt(item));
        if (start >= 0) {
            end = VerseEnd(chapter, start);
        }
    } else {
        start = FindVerse(chapter, ToInt(item.Slice(0, dash)));
        if (start >= 0) {
            const int last = ToInt(item.Slice(dash + 1));
            const int lastStart = last > 0 ? FindVerse(chapter, last, start) : -1;
            // An open range, or one past the chapter's last verse, runs to the end.
            end = lastStart >= 0 ? VerseEnd(chapter, lastStart) : chapter.Length();
        }
    }
    if (start >= 0) {
        result += chapter.Slice(start, end - start);
        selection.end = end;
    }
    return selection;
}

// An item "a-c:v" (":" or the chapter word at separator): verse a to the end of this chapter,
// the whole chapters in between, and chapter c up to the end of its verse v.
Selection SelectIntoLaterChapter(RenderState& state, const GbString& chapter, int chapterNumber,
                                 const GbString& item, int separator, GbString& result,
                                 GbString& laterChapter) {
    Selection selection;
    const int first = FindVerse(chapter, ToInt(item));
    if (first >= 0) {
        result += chapter.Slice(first);
    }
    const int dash = item.Find("-");
    const int target = dash >= 0 && dash < separator ? ToInt(item.Slice(dash + 1, separator - dash - 1)) : 0;
    const int book = chapterNumber / 1000;
    // A target below 1 (also a clamped huge negative number) adds no chapters in between.
    const int lastInBetween = target < 1 ? 0 : std::min(target - 1, ChapterCount(book));
    for (int c = chapterNumber % 1000 + 1; c <= lastInBetween; ++c) {
        result += ChapterPage(state, MakeChapterKey(book * 1000 + c), true);
    }
    if (target < 1 || target > ChapterCount(book)) {
        return selection;
    }
    laterChapter = MarkedChapter(state, MakeChapterKey(book * 1000 + target));
    // The record's leading line end, if any, is left out.
    int start = 0;
    const unsigned char firstByte = laterChapter.GetAt(0);
    if (firstByte == '\r' || firstByte == '\n' || firstByte == ' ' || firstByte == '\t') {
        start = 1;
    }
    const int lastVerse = FindVerse(laterChapter, ToInt(item.Slice(separator + 1)));
    int end = laterChapter.Length();
    if (lastVerse >= 0) {
        end = VerseEnd(laterChapter, lastVerse);
    }
    if (end > start) {
        result += laterChapter.Slice(start, end - start);
    }
    selection.source = &laterChapter;
    selection.end = end;
    return selection;
}

}  // namespace

GbString PassageText(RenderState& state, std::string_view keyText, std::string_view referenceText) {
    const GbString heading(referenceText);
    const GbString key = StripPath(keyText);
    const GbList& words = state.cmpStr;

    GbString reference(referenceText);
    for (const int word : {kWordVerseSecondHalf, kWordVerseFirstHalf, kWordOrdinal, kWordVerse}) {
        reference.Replace(words[word], "");
    }
    reference.Replace(words[kWordThisChapter], ":");
    reference.Replace(words[kWordThisPsalm], ":");
    const int colon = reference.Find(":");
    if (colon >= 0) {
        reference.Delete(0, colon + 1);
    }
    reference.Replace(words[kWordPsalmUnit], words[kWordChapterUnit]);

    const GbString chapter = MarkedChapter(state, key);
    const int chapterNumber = IsChapterKey(key, false);
    const GbString& chapterWord = words[kWordChapterUnit];

    GbString result;
    if (chapter.IsEmpty()) {
        // nothing to cut out
    } else if (!chapterWord.IsEmpty() && reference.Find(chapterWord) > 0) {
        result = chapter;
    } else if (chapterNumber == 0) {
        result = chapter;
    } else {
        const GbList items(reference, ",");
        GbString laterChapter;
        for (const GbString& item : items) {
            int separator = item.Find(":");
            if (separator < 0 && !chapterWord.IsEmpty()) {
                separator = item.Find(chapterWord);
            }
            const Selection selection =
                separator < 0
                    ? SelectInChapter(chapter, item, result)
                    : SelectIntoLaterChapter(state, chapter, chapterNumber, item, separator, result,
                                             laterChapter);
            // A verse that ends with "-" runs on to the next verse mark.
            if (selection.source != nullptr && selection.end >= 0 && EndsWith(result, "-")) {
                const GbString& source = *selection.source;
                int next = source.Find("#", selection.end + 2);
                if (next < 0) {
                    next = source.Length();
                }
                if (next > selection.end) {
                    result += source.Slice(selection.end, next - selection.end);
                }
            }
        }
    }

    result.Replace("#", "<s>");
    StripTrailing(result, "(");
    if (EndsWith(result, "\r\n　　")) {
        result.SetLength(result.Length() - 6);
    }
    bool endsWithBrace = false;
    LastSingleByteCharacter(result, '}', &endsWithBrace);
    if (endsWithBrace) {
        const int open = LastSingleByteCharacter(result, '{', nullptr);
        if (open >= 0) {
            result.SetLength(open);
        }
    }

    if (result.IsEmpty()) {
        return words[kWordPassageMissing];
    }
    result.Replace("\r\n", "");
    StripTrailing(result, kIdeographicSpace);
    StripTrailing(result, "<br>");
    StripTrailing(result, "<hr>");
    if (EndsWith(result, "</big>")) {
        const int big = result.ReverseFind("<big>");
        if (big >= 0) {
            result.SetLength(big);
        }
    }

    const int book = chapterNumber / 1000;
    if (chapterNumber == 0 || (book != kPsalms && book != kProverbs)) {
        result.Replace("\r\n", "");
        if (state.readModel == 0) {
            result.Replace("<s>1</s>", "<br>　　<s>1</s>");
        }
        result.Replace("　<br>　　", "　");
    } else {
        const GbString headingEnd = words[kWordHeadingEnd] + "</small>";
        result.Replace(headingEnd, headingEnd + "<br>");
    }

    result.Insert(0, "【<tt>" + heading + "</tt>】");
    result.Replace("】<br>　　", "】");
    ConvertVerseMarks(result, false);
    return result;
}

}  // namespace quillax
