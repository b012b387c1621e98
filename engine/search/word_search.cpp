#include "engine/search/word_search.h"

#include <chrono>
#include <climits>

#include "engine/config/configuration.h"
#include "textlib/line_reader.h"
#include "textlib/conversions.h"
#include "textlib/gb_list.h"
#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"

namespace quillax {

namespace {

// The placeholder of the search time in the summary's closing word.
constexpr std::string_view kTimePlaceholder = "msec";

class SteadySearchClock : public SearchClock {
public:
    long long NowMs() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

// The link label of a chapter key: the book's 4-byte abbreviation from CNAME without its
// filler "。", the chapter and ":" ("创1:", "约壹1:").
GbString ChapterLabel(const RenderState& state, const GbString& key) {
    const int book = ToInt(key.Slice(0, 2));
    GbString label;
    if (book >= 1) label.Assign(state.bookNameText.Slice((book - 1) * 5, 4));
    label.Replace("。", "");
    label += DecimalText(ToInt(key) % 1000);
    label += ":";
    return label;
}

// Position of the next verse mark "#" at or after from, or the end of the line. The byte is
// looked for as such: "#" is never part of a Chinese character, and a GBK-aware search that
// starts inside a character (right after a hit) could pair up the wrong bytes and step over
// the mark, running a verse into the next one.
int NextVerseMark(const GbString& line, int from) {
    const std::size_t at = line.view().find('#', static_cast<std::size_t>(from));
    return at == std::string_view::npos ? line.Length() : static_cast<int>(at);
}

bool ContainsAny(const GbString& text, const GbList& words) {
    for (const GbString& word : words) {
        // An empty item (as left by a doubled or trailing ",") names no word.
        if (!word.IsEmpty() && text.Find(word, 0) >= 0) return true;
    }
    return false;
}

// Every "#" followed by a number becomes "<s>" number "</s>", the number taken as 1, 2 or 3
// digits by its value.
void MarkVerseNumbers(GbString& text) {
    const std::string_view bytes = text.view();
    if (bytes.find('#') == std::string_view::npos) return;
    GbString marked;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t hash = bytes.find('#', i);
        if (hash == std::string_view::npos) {
            marked += bytes.substr(i);
            break;
        }
        marked += bytes.substr(i, hash - i);
        const std::size_t digitsAt = hash + 1;
        if (digitsAt < bytes.size() && bytes[digitsAt] >= '0' && bytes[digitsAt] <= '9') {
            const int value = ToInt(bytes.substr(digitsAt));
            const std::size_t digits = value < 10 ? 1 : value < 100 ? 2 : 3;
            marked += "<s>";
            marked += bytes.substr(digitsAt, digits);
            marked += "</s>";
            i = digitsAt + digits;
        } else {
            marked += '#';
            i = digitsAt;
        }
    }
    text = marked;
}

}  // namespace

const SearchClock& SystemSearchClock() {
    static const SteadySearchClock clock;
    return clock;
}

GbString SearchMainText(const RenderState& state, std::string_view path, const GbString& word,
                        const GbString& exclusions, bool extend, int& summaryEnd) {
    const GbList exclusionWords(exclusions, ",");
    GbString highlighted("<font color=red>");
    highlighted += word;
    highlighted += "</font>";

    // A search that goes on after a hit outside the verses starts after the hit's first
    // character: GBK-aware searches (one ASCII byte, one Chinese character) must not start in
    // the middle of a character.
    const bool characterSearch =
        word.Length() == 1 || (word.Length() == 2 && IsGbkLeadByte(word.GetAt(0)));
    const int wordStep = characterSearch ? word.Length() : 1;

    GbString hitsText;
    int hits = 0;
    int excluded = 0;
    LineReader reader(word.IsEmpty() ? std::string_view() : path);  // no word: nothing to read
    if (!word.IsEmpty() && reader.IsOpen()) {
        GbString line;
        GbString linkOpen;
        GbString label;
        GbString verseText;
        // The limit is checked before each line, so all hits of the line that passes it count.
        while (hits <= state.maxSearch && reader.ReadLine(line)) {
            const int equals = line.Find("=", 0);
            if (equals >= 0) {
                const GbString key(line.Slice(0, equals));
                linkOpen.Assign("<a href=");
                linkOpen += key;
                linkOpen += ">";
                label = ChapterLabel(state, key);
            }
            int e = line.Find(word, 0);
            while (e >= 0) {
                const int f = line.ReverseFind("#", e);
                if (f < 0) {
                    // Not inside a verse (the key before the first verse).
                    e = line.Find(word, e + wordStep);
                    continue;
                }
                const int l = NextVerseMark(line, e + 1);
                verseText.Assign(line.Slice(f, l - f));
                ++hits;
                if (ContainsAny(verseText, exclusionWords)) {
                    ++excluded;
                } else {
                    hitsText += linkOpen;
                    hitsText += label;
                    hitsText += DecimalText(ToInt(line.Slice(f + 1, 3)));
                    hitsText += "</a>|";
                    if (extend) {
                        verseText.Replace(word, highlighted);
                        hitsText += verseText;
                        hitsText += "<br>\r\n";
                    }
                }
                // A verse counts once: the search goes on after it.
                e = line.Find(word, l + 1);
            }
        }
    }
    MarkVerseNumbers(hitsText);

    const GbList& words = state.cmpStr;
    GbString result(words[kWordSummaryStart]);
    result += DecimalText(hits);
    result += words[kWordBeforeWord];
    result += word;
    result += words[kWordBeforeExcluded];
    result += DecimalText(excluded);
    result += words[kWordBeforeExclusions];
    result += exclusions;
    result += words[kWordBeforeListed];
    result += DecimalText(hits - excluded);
    summaryEnd = result.Length();
    result += words[kWordSummaryEnd];
    result += "<br>";
    result += hitsText;
    return result;
}

std::optional<GbString> SearchResultPage(RenderState& state, std::u16string_view word,
                                         std::u16string_view exclusions, long extend,
                                         const SearchClock& clock) {
    HostState& host = state.host;
    const long long start = clock.NowMs();
    // Repeated key presses start one search. 0 stands for "no search yet".
    const long long sinceLast = start - host.lastSearchTick;
    if (host.lastSearchTick != 0 && sinceLast >= 0 && sinceLast < kSearchRepeatGuardMs) {
        return std::nullopt;
    }
    host.changedFlags = kChangedLinksAdded;
    host.lastSearchTick = start;

    // The words are read in simplified characters, whatever the display shows.
    const int savedUseGbk = state.useGbk;
    state.useGbk = 1;
    const GbString searchWord = FromWide(word, state.Conversions());
    GbString exclusionText = FromWide(exclusions, state.Conversions());

    GbString result;
    int placeholderFrom = 0;
    if (searchWord.IsEmpty()) {
        result = state.cmpStr[kWordNoSearchWord];
    } else {
        // Both writes fail silently while the engine is busy; the search still runs.
        GbString stored(searchWord);
        SetConfigValue(state, "SEARCH=", stored);
        if (exclusionText.IsEmpty()) exclusionText.Assign(" ");
        stored = exclusionText;
        SetConfigValue(state, "EXCLUSIVE=", stored);

        GbString path(state.installDir);
        path += state.systemTextDir;
        path += "corpa.txt";
        result = SearchMainText(state, path, searchWord, exclusionText, extend != 0,
                                placeholderFrom);
    }

    const long long now = clock.NowMs();
    // The time goes into the summary's own placeholder, not into a search word that happens
    // to read "msec".
    const int at = result.Find(kTimePlaceholder, placeholderFrom);
    if (at >= 0) {
        result.Delete(at, static_cast<int>(kTimePlaceholder.size()));
        result.Insert(at, DecimalText(now - start));
    }
    host.lastSearchTick = now;
    result.Replace("<s>　", "<s>");
    state.useGbk = savedUseGbk;
    return result;
}

}  // namespace quillax
