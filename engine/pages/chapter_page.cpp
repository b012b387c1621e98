#include "engine/pages/chapter_page.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "engine/pages/reference_links.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "textlib/chapter_keys.h"
#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"

namespace quillax {
namespace {

constexpr int kSlotWidth = 5;      // one abbreviation of "CNAME="
constexpr int kAbbreviationBytes = 4;
constexpr int kKeyDigits = 5;
constexpr int kMaxVerseDigits = 3;
// A footnote reference prefix of this length or more cannot be right.
constexpr int kMaxPrefixBytes = 8;
constexpr int kPsalms = 19;

constexpr std::string_view kIdeographicSpace = "　";
constexpr std::string_view kKeyErrorCaption = "经节出错了";

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The chapter number of the digits among the first five characters of key (a non-digit ends
// it), without any validation.
int KeyNumber(std::string_view key) {
    int number = 0;
    for (std::size_t i = 0; i < key.size() && i < static_cast<std::size_t>(kKeyDigits); ++i) {
        const auto c = static_cast<unsigned char>(key[i]);
        if (!IsDigit(c)) {
            break;
        }
        number = number * 10 + (c - '0');
    }
    return number;
}

// The end of the run of ASCII digits at i (at most maxDigits of them).
int DigitsEnd(const GbString& text, int i, int maxDigits) {
    const int length = text.Length();
    int end = i;
    while (end < length && end - i < maxDigits && IsDigit(text.GetAt(end))) {
        ++end;
    }
    return end;
}

// Rewrites every occurrence of the one-byte mark character in text: convert(text, i, out)
// appends what the mark at i becomes to out and returns where the text goes on. Marks are
// looked for character by character, so the second byte of a GBK character is never taken for
// one; the text between marks is copied in runs.
template <class Convert>
void RewriteMarks(GbString& text, char mark, Convert convert) {
    if (text.Find(std::string_view(&mark, 1)) < 0) {
        return;
    }
    const int length = text.Length();
    const char* bytes = text.data();
    GbString out;
    int run = 0;  // start of the text not yet copied
    for (int i = 0; i < length;) {
        if (IsGbkLeadByte(static_cast<unsigned char>(bytes[i]))) {
            i += 2;
        } else if (bytes[i] == mark) {
            out += text.Slice(run, i - run);
            i = convert(text, i, out);
            run = i;
        } else {
            ++i;
        }
    }
    out += text.Slice(run);
    text = std::move(out);
}

// Replaces each marker character followed by digits by open + digits + close; a marker
// without digits becomes open alone.
void ConvertFootnoteMarks(GbString& text, char marker, std::string_view open,
                          std::string_view close) {
    RewriteMarks(text, marker, [&](const GbString& source, int i, GbString& out) {
        const int end = DigitsEnd(source, i + 1, source.Length());
        out += open;
        if (end > i + 1) {
            out += source.Slice(i + 1, end - i - 1);
            out += close;
        }
        return end;
    });
}

// Removes every reference column: from each "'0" through the next "'1" (to the end of the
// text when no "'1" follows).
void RemoveReferenceColumns(GbString& text) {
    int from = text.Find("'0");
    if (from < 0) {
        return;
    }
    GbString out;
    int copied = 0;
    while (from >= 0) {
        out += text.Slice(copied, from - copied);
        const int close = text.Find("'1", from + 2);
        if (close < 0) {
            copied = text.Length();
            break;
        }
        copied = close + 2;
        from = text.Find("'0", copied);
    }
    out += text.Slice(copied);
    text = std::move(out);
}

void ReplaceAll(GbString& text, std::initializer_list<std::pair<std::string_view, std::string_view>> pairs) {
    for (const auto& [from, to] : pairs) {
        text.Replace(from, to);
    }
}

void ShowMessage(RenderState& state, std::string_view text, std::string_view caption) {
    if (state.chapter.showMessage) {
        state.chapter.showMessage(text, caption);
    } else {
        platform::ShowMessageBox(text, caption, platform::MessageButtons::Ok);
    }
}

// The last occurrence of pattern that starts after `after` and before `before`, or -1. The
// parallel verses only look back as far as the previous verse, so the search stays there. (A
// first-byte test before each comparison: the standard reverse search compares at every
// position, which is what made this step slow on long chapters.)
int LastBetween(const GbString& text, std::string_view pattern, int after, int before) {
    const int size = static_cast<int>(pattern.size());
    if (size == 0) {
        return -1;
    }
    const char* bytes = text.data();
    const char first = pattern[0];
    for (int p = std::min(before - 1, text.Length() - size); p > after; --p) {
        if (bytes[p] == first && std::memcmp(bytes + p, pattern.data(), pattern.size()) == 0) {
            return p;
        }
    }
    return -1;
}

// The first occurrence of any of the patterns that starts after `after` and before `before`,
// or -1.
int FirstBetween(const GbString& text, std::initializer_list<std::string_view> patterns, int after,
                 int before) {
    const int start = std::max(after + 1, 0);
    const int end = std::min(before, text.Length());
    if (start >= end) {
        return -1;
    }
    // Only the span between the two places is searched, as LastBetween does.
    const std::string_view span = text.view().substr(static_cast<std::size_t>(start),
                                                     static_cast<std::size_t>(end - start));
    std::size_t first = std::string_view::npos;
    for (const std::string_view pattern : patterns) {
        first = std::min(first, span.find(pattern));
    }
    return first == std::string_view::npos ? -1 : start + static_cast<int>(first);
}

// A page may list more parallel modules than this before their index files are looked for in
// one listing of their directory rather than one by one.
constexpr int kListedModulesForListing = 16;

// Which parallel modules have an index file, from one listing of each directory they lie in, so
// that a page listing thousands of modules, most of them not installed, does not ask the file
// system for each. Names compare without regard to ASCII case, as the file layer's do.
class IndexFilesPresent {
public:
    explicit IndexFilesPresent(const RenderState& state) : state_(state) {}

    // False when module has no index file (ReadModuleEntry would give nothing).
    bool Has(std::string_view module) {
        const ModuleReaderContext context{state_.installDir, state_.systemTextDir,
                                          state_.systemModules, false, state_.cmpStr, nullptr,
                                          nullptr};
        GbString stem = ModuleStem(context, module);
        if (stem.IsEmpty()) {
            return false;
        }
        const int cut = LastPathSeparator(stem.view()) + 1;
        const std::string directory(stem.Slice(0, cut));
        GbString file(stem.Slice(cut));
        file += ".inx";
        file.MakeLower();
        auto listed = listings_.find(directory);
        if (listed == listings_.end()) {
            std::unordered_set<std::string> names;
            for (const platform::DirectoryEntry& entry :
                 platform::ListDirectory(directory.empty() ? std::string_view(".") : directory)) {
                GbString folded(entry.name);
                folded.MakeLower();
                names.insert(folded.str());
            }
            listed = listings_.emplace(directory, std::move(names)).first;
        }
        return listed->second.count(file.str()) > 0;
    }

private:
    const RenderState& state_;
    std::unordered_map<std::string, std::unordered_set<std::string>> listings_;
};

// Puts the verses of the parallel modules behind the matching verses of the page.
void InsertParallelVersions(RenderState& state, GbString& text, std::string_view key,
                            bool noLinks) {
    text.Replace("　　", "");
    std::optional<IndexFilesPresent> present;
    if (state.parallelModules.Count() > kListedModulesForListing) {
        present.emplace(state);
    }
    // The page's own replacements below are limited in number per call; once a call finds
    // nothing to replace, calls for further modules that add nothing find nothing either.
    bool settled = false;
    for (const GbString& entry : state.parallelModules) {
        if (entry.IsEmpty()) {
            continue;
        }
        GbString verses;
        if (!present || present->Has(entry)) {
            verses = ReadModuleEntry(state, entry, key, false);
        }
        if (verses.IsEmpty() && settled) {
            continue;
        }

        // The position of the previous verse; -1 before the first.
        int current = text.Find("<s>1</s>");
        int replaced = text.Replace("　　<s", "<s");
        if (noLinks) {
            replaced += text.Replace("<hr>", "<br>");
        }
        settled = replaced == 0 && verses.IsEmpty();
        if (verses.IsEmpty()) {
            continue;
        }
        const int slash = entry.Find("\\");
        const GbString name(slash > 0 ? entry.Slice(slash + 1) : entry.view());
        GbString label = state.cmpStr[kWordParallelOpen];
        label.Insert(label.Find(">"), name);  // no ">": no name in the tag
        label += state.cmpStr[kWordParallelNameOpen];
        label += name;
        label += state.cmpStr[kWordParallelNameClose];

        for (int n = 2; !verses.IsEmpty(); ++n) {
            const GbString mark = "<s>" + DecimalText(n) + "</s>";
            const int markAt = text.Find(mark, std::max(current, 0));
            int at = markAt;
            if (!noLinks && current >= 0) {
                // In a table the previous verse's translation goes at the end of that verse's
                // text cell: before the next cell (its row's reference cell), the next row or
                // the end of its table, whichever comes first after the verse.
                const int cellEnd = FirstBetween(text, {"<td", "<tr", "</table", "<table"}, current,
                                                 markAt >= 0 ? markAt : text.Length());
                if (cellEnd >= 0) {
                    at = cellEnd;
                }
            }
            if (at < 0) {
                at = LastBetween(text, "<td", -1, text.Length());
                if (at < 0) {
                    at = text.Length();
                }
            }

            // The next verse of the module: up to its next "$", without "$" and its number.
            int next = verses.Find("$", 1);
            if (next < 0) {
                next = verses.Length();
            }
            int pieceStart = 0;
            if (verses.GetAt(0) == '$') {
                pieceStart = 1;
                while (pieceStart < next && IsDigit(verses.GetAt(pieceStart))) {
                    ++pieceStart;
                }
            }
            const GbString insert = label + verses.Slice(pieceStart, next - pieceStart) +
                                    state.cmpStr[kWordParallelClose];
            verses.Delete(0, next);

            // Each of these moves the place back only to a mark after the previous verse.
            if (!noLinks) {
                const int rule = LastBetween(text, "<hr>", current, at);
                if (rule >= 0) {
                    at = rule;
                }
            }
            const int heading = LastBetween(text, "<big>", current, at);
            if (heading >= 0) {
                at = heading;
            }
            if (at > 0 && text.GetAt(at - 1) == '(') {
                --at;
            }
            text.Insert(at, insert);
            // The verse mark found above has moved by the insertion, unless the inserted text
            // holds that mark itself.
            const int placed = markAt >= 0 && insert.Find(mark) < 0 ? markAt + insert.Length()
                                                                   : text.Find(mark, at);
            current = placed >= 0 ? placed : at;
        }
    }
}

}  // namespace

void ConvertVerseMarks(GbString& text, bool withAnchors) {
    RewriteMarks(text, '$', [withAnchors](const GbString& source, int i, GbString& out) {
        const int end = DigitsEnd(source, i + 1, kMaxVerseDigits);
        if (end == i + 1) {
            out += '$';  // no number: not a verse mark
            return i + 1;
        }
        int verse = 0;
        for (int d = i + 1; d < end; ++d) {
            verse = verse * 10 + (source.GetAt(d) - '0');
        }
        const GbString number = DecimalText(verse);
        out += "<s>";
        out += number;
        out += "</s>";
        if (withAnchors) {
            out += "<a name=";
            out += number;
            out += ">";
        }
        return end;
    });
    ReplaceAll(text, {{"<hr><br", "<hr"},
                      {"<br>　　<br>", "<br>"},
                      {"\r\n<br>", "<br>"},
                      {"op><br>", "op>"}});
}

void FootnoteIds(RenderState& state, GbString& text, std::string_view key) {
    const int number = KeyNumber(key);
    const int book = number / 1000;
    const int chapter = number % 1000;
    GbString prefix;
    if (book >= 1 && book <= kBookCount) {
        prefix.Assign(state.bookNameText.Slice((book - 1) * kSlotWidth, kAbbreviationBytes));
        prefix.Replace("。", "");
    }
    prefix += DecimalText(chapter);
    prefix += ":";
    if (prefix.Length() >= kMaxPrefixBytes) {
        ShowMessage(state, key, kKeyErrorCaption);
        prefix.Assign(key.substr(0, kKeyDigits));
    }

    int markFrom = 0;
    int noteFrom = 0;
    for (int k = 1;; ++k) {
        const GbString digits = DecimalText(k);
        const int mark = text.Find("<sup>" + digits + "</sup>", markFrom);
        if (mark < 0) {
            break;
        }
        const GbString noteMark = "<q>" + digits + "</q>";
        GbString note;
        const int noteAt = text.Find(noteMark, noteFrom);
        if (noteAt >= 0) {
            const int start = noteAt + noteMark.Length();
            int end = text.Find("<", start);
            const int quote = text.Find("'", start);
            if (end < 0 || (quote >= 0 && quote < end)) {
                end = quote;
            }
            if (end < 0) {
                end = text.Length();
            }
            note.Assign(text.Slice(start, end - start));
            noteFrom = end;
        }
        ReplaceAll(note, {{"\r\n", ""}, {"[", ""}, {"]", " "}, {";", " "}, {"  ", " "}});
        note.Replace("本章", prefix);
        note.Replace("本篇", prefix);
        // A double quote would end the attribute early.
        note.Replace("\"", "");
        note.TrimRight();

        const GbString id = " id=\"(" + note + ")\"";
        const int insertAt = mark + 4;  // after "<sup"
        text.Insert(insertAt, id);
        if (noteFrom >= insertAt) {
            noteFrom += id.Length();
        }
        markFrom = insertAt + id.Length();
        if (mark == 0) {
            break;
        }
    }
}

void NavLink(const RenderState& state, GbString& bar, int chapterNumber, int wordIndex) {
    if (chapterNumber <= 0) {
        return;
    }
    bar += kIdeographicSpace;
    bar += "<a href=";
    bar += MakeChapterKey(chapterNumber);
    bar += ">";
    bar += state.cmpStr[wordIndex];
    bar += "</a>";
}

GbString NavigationBar(const RenderState& state, int chapterNumber) {
    const int book = chapterNumber / 1000;
    const int chapter = chapterNumber % 1000;

    int previousBook = 0;
    int previousChapter = 0;
    if (book < 2) {
        previousChapter = chapter > 1 ? chapterNumber - 1 : 0;
    } else {
        previousBook = (book - 1) * 1000 + 1;
        previousChapter = chapter > 1 ? chapterNumber - 1 : (book - 1) * 1000 + ChapterCount(book - 1);
        if (previousChapter == previousBook) {
            previousChapter = 0;
        }
    }
    int nextBook = 0;
    int nextChapter = 0;
    if (book > kBookCount - 1) {
        nextChapter = chapter < ChapterCount(book) ? chapterNumber + 1 : 0;
    } else {
        nextBook = (book + 1) * 1000 + 1;
        nextChapter = chapter < ChapterCount(book) ? chapterNumber + 1 : nextBook;
        if (nextChapter == nextBook) {
            nextChapter = 0;
        }
    }

    static constexpr std::string_view kOpen = "<p align=center>";
    GbString bar(kOpen);
    NavLink(state, bar, previousBook, kWordPreviousBook);
    NavLink(state, bar, previousChapter,
            previousChapter / 1000 == kPsalms ? kWordPreviousPsalm : kWordPreviousChapter);
    bar += kIdeographicSpace;
    bar += "<strong>";
    bar += state.bookNames[book - 1];
    bar += "</strong>";
    NavLink(state, bar, nextChapter, nextChapter / 1000 == kPsalms ? kWordNextPsalm : kWordNextChapter);
    NavLink(state, bar, nextBook, kWordNextBook);
    bar += state.cmpStr[state.useGbk != 0 ? kWordShowSimplified : kWordShowTraditional];
    bar += "</p>";
    bar.Delete(static_cast<int>(kOpen.size()), static_cast<int>(kIdeographicSpace.size()));
    return bar;
}

GbString ChapterPage(RenderState& state, std::string_view keyText, bool noLinks) {
    GbString key(keyText);
    GbString text = ReadModuleEntry(state, kChapterModule, key, false);

    ReplaceAll(text, {{"'8", "<small>"}, {"'9", "</small>"}, {"'5", "<strong>"}, {"'6", "</strong>"}});
    ConvertFootnoteMarks(text, '`', "<sup>", "</sup>");
    ConvertFootnoteMarks(text, '~', "<q>", "</q>");
    FootnoteIds(state, text, key);
    ReplaceAll(text, {{"\n　$", "\n$"}, {"'e", "<big>"}, {"'f", "</big>"}});

    if (noLinks) {
        text.Replace("'a", "'0");
        RemoveReferenceColumns(text);
        text.Replace("'2", "<br>");
        ConvertVerseMarks(text, false);
        ReplaceAll(text, {{"'4", ""}, {"'3", ""}, {"'b", ""}, {"'d", ""}, {"'1", ""}});
        if (key.Length() > kKeyDigits) {
            key.SetLength(kKeyDigits);
        }
        LinkBracketReferences(state, text, key);
        text.Replace("( ", "(");
    } else if (text.IsEmpty() && IsChapterKey(key, false) != 0) {
        // A chapter the installation lacks: the notice for a missing passage between the two
        // bars, as a popup of the passage shows it; no parallel text has a verse to go beside.
        const GbString bar = NavigationBar(state, IsChapterKey(key, false));
        return bar + state.cmpStr[kWordPassageMissing] + bar;
    } else {
        ReplaceAll(text, {{"'7", "%><font size=-2>"},
                          {"'a", "<td class=td2 valign=top width="},
                          {"'b", "<table class=tb><tr width=90% align=center><td class=td1 valign=top>"},
                          {"'d", "<table class=tb width=90% align=center>"},
                          {"'3", "<table class=tb>'2"},
                          {"'4", "</table>"},
                          {"'2", "<tr><td class=td1 valign=top>"},
                          {"'1", "</font>"},
                          {"'0", "<td class=td2 valign=top><font size=-2>"}});
        LinkBracketReferences(state, text, key);
        const int lastRow = text.ReverseFind("td1");
        if (const int number = IsChapterKey(key, false); number != 0) {
            if (lastRow >= 0) {
                text.Replace("td1", "td3", lastRow, 1);
                text.Replace("td2", "td4", lastRow, 1);
            }
            ConvertVerseMarks(text, true);
            const GbString bar = NavigationBar(state, number);
            text = bar + text + bar;
        } else {
            if (lastRow >= 0) {
                text.Replace("td1", "td8", lastRow, 1);
            }
            text.Replace("td1", "td6");
        }
    }

    text.Replace("'z", "<a>");
    if (state.readModel == 1) {
        text.Replace("<s>", "<br><s>");
        text.Replace("(<br>", "<br>(");
    } else if (IsChapterKey(key, true) != 0 && key.Length() == kKeyDigits && state.readModel > 1) {
        InsertParallelVersions(state, text, key, noLinks);
    }
    return text;
}

}  // namespace quillax
