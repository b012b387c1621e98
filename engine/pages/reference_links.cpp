#include "engine/pages/reference_links.h"

#include <utility>

#include "engine/pages/passage_text.h"
#include "textlib/chapter_keys.h"
#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"

namespace quillax {
namespace {

// Width of one abbreviation slot in "CNAME=".
constexpr int kSlotWidth = 5;
// "<a href=" + 5-character key + ">" and "</a>" around a reference.
constexpr int kLinkMarkupLength = 18;
// "<a href=" and the key after it.
constexpr int kHrefLength = 8;
constexpr int kKeyLength = 5;
// A ":" this many bytes after a chapter's first digit at most ends the chapter number.
constexpr int kColonReach = 3;
// A reference without ":" has a chapter number of at most this many digits.
constexpr int kMaxChapterDigits = 3;

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

ReferenceContext MakeReferenceContext(RenderState& state) {
    return ReferenceContext{state.bookNameText, state.cmpStr, state.lastBook, state.linkKey};
}

// Whether name stands at the start of one of the abbreviation slots of "CNAME=": "创" and
// "撒上" do, the padding "。" and the second character of "撒上" do not.
bool StartsAbbreviationSlot(const GbString& bookNameText, std::string_view name) {
    const int length = static_cast<int>(name.size());
    for (int slot = 0; slot + length <= bookNameText.Length(); slot += kSlotWidth) {
        if (bookNameText.Slice(slot, length) == name) {
            return true;
        }
    }
    return false;
}

// The separators of a group: blanks and "；" become ";", and ";;" one ";".
GbString NormalizeSeparators(std::string_view text) {
    GbString normalized(text);
    normalized.Replace(" ", ";");
    normalized.Replace("；", ";");
    normalized.Replace(";;", ";");
    return normalized;
}

// Cleans a parenthesised group before its references are looked for.
void CleanGroup(GbString& group) {
    group.Replace("：", ":");
    // Links already in the text (a page read back from the browser) give up their tags; the
    // references inside are linked afresh. The browser may write the tags in either case
    // ("<A href=" or "<a href="). An anchor without an href (a verse name) stays whole: the
    // separators are normalised around its tag, not inside it.
    GbString cleaned;
    int copied = 0;
    int p = FindIgnoringCase(group, "<a ");
    while (p >= 0) {
        const int close = group.Find(">", p);
        if (close < 0) {
            break;
        }
        if (FindIgnoringCase(group.Slice(p, close - p), "href=") < 0) {
            cleaned += NormalizeSeparators(group.Slice(copied, p - copied));
            cleaned += group.Slice(p, close + 1 - p);
            copied = close + 1;
            p = FindIgnoringCase(group, "<a ", copied);
            continue;
        }
        group.Delete(p, close - p + 1);
        const int end = FindIgnoringCase(group, "</a>", p);
        if (end >= 0) {
            group.Delete(end, 4);
        }
        p = FindIgnoringCase(group, "<a ", p);
    }
    cleaned += NormalizeSeparators(group.Slice(copied));
    group = std::move(cleaned);
}

// Links the reference that starts at start (its book abbreviation, or its first digit) and
// whose chapter number starts at number. Returns where scanning goes on.
int LinkGroupReference(RenderState& state, GbString& group, int start, int number) {
    const int length = group.Length();
    if (!IsDigit(group.GetAt(number))) {
        return number;
    }
    int colon = -1;
    for (int i = number + 1; i <= number + kColonReach && i < length; ++i) {
        const unsigned char c = group.GetAt(i);
        if (c == ':') {
            colon = i;
            break;
        }
        if (!IsDigit(c)) {
            break;
        }
    }

    int end = number;
    if (colon >= 0) {
        end = colon + 1;
        while (end < length) {
            const unsigned char c = group.GetAt(end);
            if (!IsDigit(c) && c != '-' && c != ',') {
                break;
            }
            ++end;
        }
    } else {
        while (end < length && IsDigit(group.GetAt(end))) {
            ++end;
        }
        const std::string_view unit = group.Slice(end, 2);
        const GbString& unitAlt = state.cmpStr[kWordPsalmUnit];
        const GbString& unitWord = state.cmpStr[kWordChapterUnit];
        const bool isUnit = unit.size() == 2 && ((!unitAlt.IsEmpty() && unit == unitAlt.view()) ||
                                                 (!unitWord.IsEmpty() && unit == unitWord.view()));
        if (end - number > kMaxChapterDigits || !isUnit) {
            return end;  // a plain number
        }
        end += 2;
    }

    const GbString reference(group.Slice(start, end - start));
    ReferenceContext refs = MakeReferenceContext(state);
    const GbString key = ChapterKeyFromReference(reference, false, refs);
    if (IsChapterKey(key, false) == 0) {
        return end;  // no such chapter: the reference stays text
    }
    group.Delete(start, end - start);
    group.Insert(start, "<a href=" + key + ">" + reference + "</a>");
    return end + kLinkMarkupLength;
}

void LinkGroup(RenderState& state, GbString& group) {
    CleanGroup(group);
    int pos = 0;
    while (pos < group.Length()) {
        const unsigned char c = group.GetAt(pos);
        if (IsGbkLeadByte(c) && StartsAbbreviationSlot(state.bookNameText, group.Slice(pos, 2))) {
            const std::string_view four = group.Slice(pos, 4);
            const int nameLength =
                four.size() == 4 && StartsAbbreviationSlot(state.bookNameText, four) ? 4 : 2;
            pos = LinkGroupReference(state, group, pos, pos + nameLength);
        } else if (c == '[') {
            const int close = group.Find("]", pos + 1);
            pos = close >= 0 ? close + 1 : pos + 1;
        } else if (c == ';' && IsDigit(group.GetAt(pos + 1))) {
            pos = LinkGroupReference(state, group, pos + 1, pos + 1);
        } else {
            pos += IsGbkLeadByte(c) ? 2 : 1;
        }
    }
}

// Replaces every "<a href=" link of text by the passage it names.
void ExpandLinks(RenderState& state, GbString& text) {
    const int labelOffset = kHrefLength + kKeyLength + 1;
    for (int b = text.Find("<a href="); b >= 0; b = text.Find("<a href=", b)) {
        const int close = text.Find("</a>", b + labelOffset);
        if (close < 0) {
            break;
        }
        const GbString key(text.Slice(b + kHrefLength, kKeyLength));
        const GbString label(text.Slice(b + labelOffset, close - (b + labelOffset)));
        const GbString passage = PassageText(state, key, label);
        text.Delete(b, close + 4 - b);
        text.Insert(b, passage);
        b += passage.Length();
    }
}

}  // namespace

void LinkifyReferences(RenderState& state, GbString& text, bool expand) {
    state.host.changedFlags = 1;
    const GbString work = text;
    text.Empty();
    GbString group;
    int rest = 0;  // the first byte of work not yet taken
    while (true) {
        const int open = work.Find("(", rest);
        if (open < 0) {
            break;
        }
        text += group;
        text += work.Slice(rest, open + 1 - rest);
        group.Empty();
        rest = open + 1;
        const int close = work.Find(")", rest);
        if (close < 0) {
            break;  // never closed: the rest is copied as it stands
        }
        group.Assign(work.Slice(rest, close - rest));
        rest = close;
        LinkGroup(state, group);
    }
    text += group;
    text += work.Slice(rest);

    if (expand) {
        ExpandLinks(state, text);
    }
}

void LinkBracketReferences(RenderState& state, GbString& text, std::string_view defaultKey) {
    const ReferenceContext refs = MakeReferenceContext(state);
    LinkBracketReferences(text, defaultKey, refs);
    state.host.changedFlags = 1;
}

void EngineReferenceLinker::LinkifyReferences(GbString& text) {
    quillax::LinkifyReferences(state_, text, false);
}

void EngineReferenceLinker::LinkBracketReferences(GbString& text, const GbString& defaultKey) {
    quillax::LinkBracketReferences(state_, text, defaultKey);
}

GbString ReadModuleEntry(RenderState& state, std::string_view module, std::string_view key,
                         bool linkReferences) {
    EngineReferenceLinker linker(state);
    const ModuleReaderContext reader{state.installDir,   state.systemTextDir,
                                     state.systemModules, state.substitute != 0,
                                     state.cmpStr,        &linker,
                                     &state.chapter.moduleFiles};
    return ReadModuleEntryWith(reader, module, key, linkReferences);
}

}  // namespace quillax
