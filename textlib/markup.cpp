// Conversion of the inline record markup into HTML.
//
// The conversion is defined as a sequence of searches and replacements over the whole text.
// Done literally, every converted pair would move the rest of the text twice, and every search
// would walk the text again, which costs quadratic time on long records. Here one walk over the
// text finds every mark character; the protections change bytes in place; each kind of pair is
// decided from the position lists and the text is rebuilt once per kind, after which the
// positions of the marks still to come are moved by what was inserted before them. The result is
// exactly the text that the step-by-step replacements give.
#include "textlib/markup.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillax {
namespace {

// Bytes that stand in for protected characters while the pairs are converted.
constexpr char kProtectedAt = '\x01';
constexpr char kProtectedHash = '\x02';
constexpr char kProtectedPercent = '\x03';

using Positions = std::vector<std::size_t>;

// The single-byte characters the conversion looks at.
enum Mark : std::size_t {
    kAt, kHash, kGreater, kPercent, kCaret, kBackslash, kBar, kBraceOpen, kBraceClose, kMarkCount
};

// Positions of every mark character, never a trail byte, in ascending order per mark.
std::array<Positions, kMarkCount> FindMarks(std::string_view s) {
    std::array<Positions, kMarkCount> marks;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (GbkCharSize(s, i) == 2) {
            i += 2;
            continue;
        }
        switch (c) {
            case '@': marks[kAt].push_back(i); break;
            case '#': marks[kHash].push_back(i); break;
            case '>': marks[kGreater].push_back(i); break;
            case '%': marks[kPercent].push_back(i); break;
            case '^': marks[kCaret].push_back(i); break;
            case '\\': marks[kBackslash].push_back(i); break;
            case '|': marks[kBar].push_back(i); break;
            case '{': marks[kBraceOpen].push_back(i); break;
            case '}': marks[kBraceClose].push_back(i); break;
            default: break;
        }
        ++i;
    }
    return marks;
}

// Index of the first position in list at or after `from`, starting the search at `hint`
// (positions are asked for in ascending order, so the hint only moves forward).
std::size_t FirstAtOrAfter(const Positions& list, std::size_t hint, std::size_t from) {
    while (hint < list.size() && list[hint] < from) {
        ++hint;
    }
    return hint;
}

// Replaces the byte at each position in `protect` (a sorted subset of *list) by `stand`, and
// drops those positions from *list: they are no longer the mark.
void Protect(std::string& s, Positions* list, const Positions& protect, char stand) {
    if (protect.empty()) {
        return;
    }
    Positions kept;
    kept.reserve(list->size() - protect.size());
    std::size_t k = 0;
    for (const std::size_t p : *list) {
        if (k < protect.size() && protect[k] == p) {
            s[p] = stand;
            ++k;
        } else {
            kept.push_back(p);
        }
    }
    list->swap(kept);
}

// Step 2: in each "mailto:" link, the first "@" after "mailto:" and the next "@" after it become
// protected when they lie before the next "</a>". An "@" protected for one "mailto:" is no
// longer an "@" for a later one.
void ProtectMailAddresses(std::string& s, Positions* ats) {
    static constexpr std::string_view kMailto = "mailto:";
    static constexpr std::string_view kLinkEnd = "</a>";
    if (ats->empty()) {
        return;
    }
    Positions protect;
    std::size_t at = 0;  // first "@" not yet passed or protected
    std::size_t linkEnd = 0;
    bool linkEndKnown = false;
    for (std::size_t p = s.find(kMailto); p != std::string::npos; p = s.find(kMailto, p + 1)) {
        const std::size_t start = p + kMailto.size();
        if (!linkEndKnown || linkEnd < start) {
            linkEnd = s.find(kLinkEnd, start);
            linkEndKnown = true;
        }
        if (linkEnd == std::string::npos) {
            break;  // no "</a>" after this point: nothing further is protected
        }
        // Protected "@" all lie before `at`, so moving it forward never passes a wanted one.
        at = FirstAtOrAfter(*ats, at, start);
        for (int taken = 0; taken < 2 && at < ats->size() && (*ats)[at] < linkEnd; ++taken) {
            protect.push_back((*ats)[at]);
            ++at;
        }
    }
    Protect(s, ats, protect, kProtectedAt);
}

// Step 3: in each "<a href=" tag, the first "#" after it becomes protected when it lies before
// the next ">".
void ProtectLinkTargets(std::string& s, Positions* hashes, const Positions& closers) {
    static constexpr std::string_view kLinkStart = "<a href=";
    if (hashes->empty()) {
        return;
    }
    Positions protect;
    std::size_t hash = 0;
    std::size_t closer = 0;
    for (std::size_t p = s.find(kLinkStart); p != std::string::npos;
         p = s.find(kLinkStart, p + 1)) {
        const std::size_t start = p + kLinkStart.size();
        hash = FirstAtOrAfter(*hashes, hash, start);
        closer = FirstAtOrAfter(closers, closer, start);
        if (hash < hashes->size() && closer < closers.size() && (*hashes)[hash] < closers[closer]) {
            protect.push_back((*hashes)[hash]);
            ++hash;
        }
    }
    Protect(s, hashes, protect, kProtectedHash);
}

// A mark that a pair conversion replaced, and how many bytes longer its tag is.
struct Growth {
    std::size_t at;
    std::size_t bytes;
};

// Steps 4 and 5: one kind of pair. For each opening mark at i, from left to right, j is the
// first closing mark at or after i that has not been converted yet; the pair is converted when
// j - i < maxDistance, measured in the text as it stands at that moment.
//
// Why the lists are enough: a closing mark is only ever converted as the first unconverted one
// at or after some opening mark, so the converted closing marks at or after i always form an
// unbroken run of the closing marks from the first one at or after i. The text between i and j
// is the original one except for those m converted closing marks, each of which has grown by
// closeTag.size() - 1 bytes (opening marks before i have grown too, but they move i and j
// alike). So the current distance is (j - i) + m * (closeTag.size() - 1).
//
// Returns the replaced marks in text order.
std::vector<Growth> ConvertPairs(std::string& s, const Positions& opens, const Positions& closes,
                                 std::size_t maxDistance, std::string_view openTag,
                                 std::string_view closeTag) {
    std::vector<Growth> changes;
    if (opens.empty() || closes.empty()) {
        return changes;
    }
    const std::size_t openGrowth = openTag.size() - 1;
    const std::size_t closeGrowth = closeTag.size() - 1;
    Positions convertedOpens;
    Positions convertedCloses;
    std::size_t first = 0;  // first closing mark at or after the current opening mark
    std::size_t next = 0;   // first unconverted closing mark at or after it
    for (const std::size_t i : opens) {
        first = FirstAtOrAfter(closes, first, i);
        next = std::max(next, first);
        if (next >= closes.size()) {
            break;  // no closing mark after this point
        }
        const std::size_t distance = closes[next] - i + (next - first) * closeGrowth;
        if (distance < maxDistance) {
            convertedOpens.push_back(i);
            convertedCloses.push_back(closes[next]);
            ++next;
        }
    }
    if (convertedOpens.empty()) {
        return changes;
    }

    changes.reserve(convertedOpens.size() * 2);
    std::string result;
    result.reserve(s.size() + convertedOpens.size() * (openGrowth + closeGrowth));
    std::size_t done = 0;
    std::size_t o = 0;
    std::size_t c = 0;
    while (o < convertedOpens.size() || c < convertedCloses.size()) {
        const bool takeOpen = c >= convertedCloses.size() ||
                              (o < convertedOpens.size() && convertedOpens[o] < convertedCloses[c]);
        const std::size_t at = takeOpen ? convertedOpens[o++] : convertedCloses[c++];
        result.append(s, done, at - done);
        result.append(takeOpen ? openTag : closeTag);
        changes.push_back({at, takeOpen ? openGrowth : closeGrowth});
        done = at + 1;
    }
    result.append(s, done, std::string::npos);
    s.swap(result);
    return changes;
}

// Moves the positions of list past the growth of the changes before them.
void Shift(Positions* list, const std::vector<Growth>& changes) {
    if (changes.empty()) {
        return;
    }
    std::size_t k = 0;
    std::size_t growth = 0;
    for (std::size_t& p : *list) {
        while (k < changes.size() && changes[k].at < p) {
            growth += changes[k].bytes;
            ++k;
        }
        p += growth;
    }
}

// GbString::Replace of a one-byte text, skipped when the byte does not occur at all.
void ReplaceByte(GbString& text, char from, std::string_view to) {
    if (text.view().find(from) != std::string_view::npos) {
        text.Replace(std::string_view(&from, 1), to);
    }
}

}  // namespace

void RenderMarkup(GbString& text) {
    text.Replace("% ", "\x03 ");
    text.Replace("%>", "\x03>");
    text.Replace("<A HREF=", "<a href=");

    std::string s = text.str();
    std::array<Positions, kMarkCount> marks = FindMarks(s);
    ProtectMailAddresses(s, &marks[kAt]);
    ProtectLinkTargets(s, &marks[kHash], marks[kGreater]);

    struct PairKind {
        Mark open;
        Mark close;
        std::size_t maxDistance;
        std::string_view openTag;
        std::string_view closeTag;
    };
    static constexpr PairKind kPairs[] = {
        {kPercent, kCaret, 30, "<u>", "</u>"},
        {kAt, kHash, 30, "<b>", "</b>"},
        {kBackslash, kBar, 30, "<i>", "</i>"},
        {kBraceOpen, kBraceClose, 150, "<em>", "</em>"},
    };
    for (std::size_t k = 0; k < std::size(kPairs); ++k) {
        const PairKind& pair = kPairs[k];
        const std::vector<Growth> changes = ConvertPairs(
            s, marks[pair.open], marks[pair.close], pair.maxDistance, pair.openTag, pair.closeTag);
        for (std::size_t later = k + 1; later < std::size(kPairs); ++later) {
            Shift(&marks[kPairs[later].open], changes);
            Shift(&marks[kPairs[later].close], changes);
        }
    }
    text.Assign(s);

    ReplaceByte(text, kProtectedPercent, "%");
    ReplaceByte(text, kProtectedHash, "#");
    ReplaceByte(text, kProtectedAt, "@");
    ReplaceByte(text, '_', "<br>");
}

}  // namespace quillax
