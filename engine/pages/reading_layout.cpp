#include "engine/pages/reading_layout.h"

#include <cstddef>
#include <string_view>

#include "engine/pages/study_pages.h"
#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"

namespace quillax {

namespace {

// Rows of a layout table: every occurrence of the first text becomes the second, row by row.
struct Replacement {
    std::string_view from;
    std::string_view to;
};

// Chapter page to the normal layout.
constexpr Replacement kChapterToNormal[] = {
    {"<br>　", ""},
    {"</strong>　<br>　", "</strong>　"},
    {"<hr>\r\n　", "<hr>　　"},
    {"</big>", "</big><br>　　"},
    {"<td valign=top>　", "<td valign=top>　　"},
    {"<td valign=top>　(", "<td valign=top>　　("},
    {"</big><br>　　<br>", "</big><br>"},
};

// Study page (prose mark) to the one-line-per-verse layout. "Ｘ" keeps the spaces that must stay
// while all others go.
constexpr Replacement kProseToLines[] = {
    {"　神", "Ｘ神"},
    {">　<", ">Ｘ<"},
    {"　", ""},
    {"Ｘ", "　"},
    {"<a name=", "<br><a name="},
    {"<br><br>", "<br>"},
    {"top><br>", "top>"},
    {"<td valign=top><br>", "<td valign=top>"},
    {"<a>", ""},
    {"　　<big>", "<big>"},
    {"<hr>\r\n<br>", "<hr>"},
    {"</big><br>　<br>", "</big><br>"},
    {"　　<big>", "<big>"},
};

// Study page (prose mark) back to prose.
constexpr Replacement kLinesToProse[] = {
    {"<br><a name", "<a name"},
    {"</strong>　<br>　", "</strong>　"},
    {"<hr>\r\n", "<hr>　　"},
    {"</big>", "</big><br>　　"},
    {"<td valign=top>", "<td valign=top>　　"},
    {"　　<strong>", "<strong>"},
    {"td class=td1 valign=top>　　<font", "td class=td1 valign=top><font"},
    {"　　<big>", "<big>"},
    {"<br>　　<br>", "<br>"},
};

template <std::size_t N>
void ApplyTable(GbString& text, const Replacement (&table)[N]) {
    for (const Replacement& row : table) text.Replace(row.from, row.to);
}

}  // namespace

std::optional<GbString> ToggledReadingLayout(RenderState& state, GbString body) {
    const GbList& words = state.cmpStr;
    const bool prose = Contains(body, words[kWordProseLayout]);
    if (!prose && !Contains(body, words[kWordPreviousBook]) && !Contains(body, words[kWordNextBook])) {
        return std::nullopt;
    }
    if (!prose) {
        if (state.readModel != 0) {
            ApplyTable(body, kChapterToNormal);
            state.readModel = 0;
        } else {
            state.readModel = kCompactReadModel;
            CompactPage(state, body);
        }
    } else if (state.readModel != 0) {
        ApplyTable(body, kProseToLines);
        state.readModel = 0;
    } else {
        state.readModel = kCompactReadModel;
        ApplyTable(body, kLinesToProse);
    }
    if (body.IsEmpty()) return body;
    body.Replace("　　　　", "　　");
    body.Replace("<br>\r\n", "\r\n");
    return body;
}

}  // namespace quillax
