#include "engine/pages/study_pages.h"

#include <string>

#include "engine/pages/calendar.h"
#include "engine/pages/pipeline.h"
#include "engine/pages/reference_links.h"
#include "textlib/chapter_keys.h"
#include "textlib/gb_list.h"
#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"

namespace quillax {

namespace {

// A key of a plan day: three digits, 001 to the plan's last day.
bool IsPlanDayKey(std::string_view key) {
    if (key.size() != 3) return false;
    for (const char c : key) {
        if (c < '0' || c > '9') return false;
    }
    const int day = (key[0] - '0') * 100 + (key[1] - '0') * 10 + (key[2] - '0');
    return day >= 1 && day <= kPlanDays;
}

// The last plan day that has a devotional.
constexpr std::string_view kLastDevotionalDay = "352";
constexpr int kTableWidthTemplate = 5;  // TABLETDWIDTH item that study notes write

ReferenceContext References(RenderState& state) {
    return ReferenceContext{state.bookNameText, state.cmpStr, state.lastBook, state.linkKey};
}

GbString ThreeDigits(int value) {
    GbString text;
    text.SetPadded(value, "000");
    return text;
}

bool StartsWith(const GbString& text, std::string_view prefix) {
    return text.view().substr(0, prefix.size()) == prefix;
}

bool EndsWith(const GbString& text, std::string_view suffix) {
    return text.view().size() >= suffix.size() &&
           text.view().substr(text.view().size() - suffix.size()) == suffix;
}

// Bytes a verse list after an outline title may hold: "[0123456789/,-]" (brackets included).
bool IsVerseListByte(unsigned char byte) {
    return (byte >= '0' && byte <= '9') || byte == '/' || byte == ',' || byte == '-' ||
           byte == '[' || byte == ']';
}

// The reference of a heading up to the end of its chapter number: "创1" of "创1章", "撒上12" of
// "撒上12" (the digits start after a one- or two-character book name).
std::string_view ChapterPart(const GbString& reference) {
    int end = reference.GetAt(2) < 0x3A ? 2 : 4;
    while (end < reference.Length() && reference.GetAt(end) >= '0' && reference.GetAt(end) <= '9') {
        ++end;
    }
    return reference.Slice(0, end);
}

// An outline line "一、【title】1/31": the title is marked <ins> and the verse list after it
// becomes a link into the chapter of the heading above (E for lines marked "　　※", else H).
void LinkOutlineLine(RenderState& state, GbString& line, const HeadingMemory& h,
                     const HeadingMemory& e) {
    const GbString& open = state.cmpStr[kWordTitleOpen];
    const GbString& close = state.cmpStr[kWordTitleClose];
    if (open.IsEmpty() || close.IsEmpty()) return;
    const int d = line.Find(open, 0);
    if (d <= 0) return;

    // The closing bracket must lie on a character boundary: between the brackets stand
    // two-byte characters and single "/" bytes only.
    int c = line.Find(close, d + open.Length());
    while (c > d) {
        int slashes = 0;
        for (int i = d + 1; i < c; ++i) {
            if (line.GetAt(i) == '/') ++slashes;
        }
        if ((c + d + slashes) % 2 == 0) break;
        c = line.Find(close, c + close.Length());
    }
    if (c < 1) return;
    line.Insert(c, "</ins>");
    line.Insert(d + open.Length(), "<ins>");
    c += 11;

    const int s = c + close.Length();
    int f = s;
    while (f < line.Length() && IsVerseListByte(line.GetAt(f))) ++f;
    if (f <= s) return;
    GbString verses(line.Slice(s, f - s));
    verses.Replace(state.cmpStr[kWordVerseListEmpty], "");
    verses.Replace("/", "-");
    line.Delete(s, f - s);
    const HeadingMemory& heading = line.Find("　　※", 0) >= 0 ? e : h;
    GbString link("<a href=");
    link += heading.key;
    link += ">";
    link += ChapterPart(heading.text);
    link += ":";
    link += verses;
    link += "</a>";
    line.Insert(s, link);
}

}  // namespace

GbString AmberlyEntry(RenderState& state, std::string_view id) {
    GbString key(id);
    if (key.Greater(kLastDevotionalDay)) return state.cmpStr[kWordNoDevotional];
    if (key.Length() < 3) {
        const int planDay = CalendarReadingDay(state);
        if (planDay > 352) return state.cmpStr[kWordNoDevotional];
        key = ThreeDigits(planDay);
    }
    GbString entry = ReadModuleEntry(state, "amberly", key, true);
    LinkBracketReferences(state, entry, "");
    SayWhenNoEntry(state, entry);
    state.host.popupKind = PopupModuleEntry;
    return entry;
}

GbString ModuleLink(RenderState& state, std::string_view target, GbString& entryKey) {
    GbString output;
    if (target.empty()) return output;
    GbString module(target);
    const int hash = module.Find("#", 0);
    if (hash >= 0) {
        entryKey.Assign(module.Slice(hash + 1));
        module.SetLength(hash);
    }
    output = ReadModuleEntry(state, module, entryKey, true);
    const GbString name = StripPath(module);
    const bool outline = name == "oblix";
    const bool notes = name == "zendri";
    if (output.IsEmpty() && (outline || notes) && IsPlanDayKey(entryKey.view())) {
        // The calendar's day links name a plan day of these modules; a day they have nothing
        // for says so rather than leaving the page blank.
        SayWhenNoEntry(state, output);
        return output;
    }
    if (outline) OblixPost(state, output);
    if (notes) FitTableWidths(state, output);
    return output;
}

void SayWhenNoEntry(const RenderState& state, GbString& text) {
    if (text.IsEmpty()) text = state.cmpStr[kWordNoDevotional];
}

void FitTableWidths(const RenderState& state, GbString& text) {
    text.Replace(state.tableWidths[kTableWidthTemplate], state.tableWidths[IEFontSize()]);
}

GbString TextFixNote(RenderState& state, std::string_view text) {
    if (state.extendNote < 2) return state.cmpStr[kWordPressForNotes];

    // The module's keys carry the text's own markers: "@" ... "#" for bold, "%" ... "^" for
    // underline.
    GbString key(text);
    key.MakeLower();
    key.Replace("<i>", "");
    key.Replace("</i>", "");
    key.Replace("<b>", "@");
    key.Replace("</b>", "#");
    key.Replace("<u>", "%");
    key.Replace("</u>", "^");

    const GbString& miss = state.cmpStr[kWordNoTextFixNote];
    GbString note = ReadModuleEntry(state, "emendo", key, false);
    if ((note.IsEmpty() || (!miss.IsEmpty() && note.Find(miss, 0) >= 0)) && !key.IsEmpty()) {
        // The phrase may be filed under the other marker pair.
        const char first = key.data()[0];
        const char last = key.data()[key.Length() - 1];
        key.Replace(std::string(1, first), first == '@' ? "%" : "@");
        key.Replace(std::string(1, last), last == '#' ? "^" : "#");
        note = ReadModuleEntry(state, "emendo", key, false);
    }
    LinkifyReferences(state, note, state.extendNote == 3);
    LinkBracketReferences(state, note, "");
    if (note.IsEmpty()) note = miss;
    return note;
}

GbString StudyDayPage(RenderState& state, std::string_view which) {
    HostState& host = state.host;
    host.planDay = CalendarReadingDay(state);
    const GbString key = ThreeDigits(host.planDay);
    const bool notes = which == "1";
    GbString page = ReadModuleEntry(state, notes ? "zendri" : "oblix", key, true);
    if (page.IsEmpty()) {
        SayWhenNoEntry(state, page);
    } else if (notes) {
        FitTableWidths(state, page);
    } else {
        OblixPost(state, page);
    }
    host.popupKind = PopupModuleEntry;
    return page;
}

void HeadingLink(RenderState& state, GbString& line, int start, HeadingMemory& memory,
                 bool whole) {
    const GbString& close = state.cmpStr[kWordTitleClose];
    const int c = close.IsEmpty() ? -1 : line.Find(close, 0);
    if (c < start) return;
    memory.text.Assign(line.Slice(start, c - start));
    ReferenceContext references = References(state);
    memory.key = ChapterKeyFromReference(memory.text, whole, references);
    line.Insert(c, "</a>");
    GbString open("<a href=");
    open += memory.key;
    open += ">";
    line.Insert(start, open);
}

void OblixPost(RenderState& state, GbString& text) {
    GbList lines(text, "<br>", GbList::kSplitOwnItems);
    HeadingMemory h;
    HeadingMemory e;
    for (int i = 1; i < lines.Count(); ++i) {
        GbString& line = *lines.Get(i);
        if (StartsWith(line, "<h1>")) {
            HeadingLink(state, line, 6, h, true);
        } else if (EndsWith(line, "</h1>")) {
            HeadingLink(state, line, 2, e, true);
        } else if (StartsWith(line, "<h2>")) {
            HeadingLink(state, line, 6, h, true);
        } else if (StartsWith(line, "<h")) {
            // other headings stay as they are
        } else if (EndsWith(line, "</h2>")) {
            HeadingLink(state, line, 2, e, false);
        } else {
            LinkOutlineLine(state, line, h, e);
        }
    }

    GbString header(lines[0]);
    header.Replace(":=", ":");
    GbString result("<font style=\"text-align:right\">");
    result += state.cmpStr[kWordOutlineHeader];
    result += header;
    result += "</font>";
    for (int i = 1; i < lines.Count(); ++i) {
        result += "\r\n<br>";
        result += lines[i];
    }
    // No line break after a line that ends with a tag (a heading, the header), none before a
    // heading.
    result.Replace(">\r\n<br>", ">\r\n");
    result.Replace("<br><h", "<h");
    text = result;
}

void CompactPage(RenderState& state, GbString& page) {
    if (page.IsEmpty() || page.Find("<br>　<a name=", 0) > 0) {
        state.host.compactState = 0;
        return;
    }
    page.Replace("<a name=", "<br>　<a name=");
    page.Replace("<br>　　<br>", "<br>");
    page.Replace("top>　　<br>", "top>");
    page.Replace("<td class=td1 valign=top>　<br>　", "<td class=td1 valign=top>　");
    page.Replace("　　　", "　　");
    page.Replace("<td class=td1 valign=top>　　(<br>　", "<td class=td1 valign=top>　(");
    page.Replace("<a>", "");
    page.Replace("<hr>\r\n　　<br>　", "<hr>　");
    page.Replace("-<br>　", "-");
    state.host.compactState = 9999;
}

}  // namespace quillax
