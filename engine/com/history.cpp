#include "engine/com/history.h"

#include "engine/pages/page_body.h"
#include "engine/state/render_state.h"
#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"

namespace quillax {

namespace {

}  // namespace

// ---- rules -----------------------------------------------------------------------------------------

int HistoryScrollRule(const RenderState& state, std::string_view position, bool leaving) {
    const GbString text(position);
    int value = 1;
    if (text.IsEmpty()) {
        value = 1;
    } else if (ContainsAfterStart(text, state.cmpStr[kWordBookUnit]) ||
               ContainsAfterStart(text, state.cmpStr[kWordChapterUnit]) ||
               ContainsAfterStart(text, state.cmpStr[kWordPsalmUnit])) {
        value = leaving ? 1 : 0;
    } else {
        const int colon = text.Find(":");
        const bool onlyAtStart = colon < 0 || (colon == 0 && text.Find(":", 1) < 0);
        value = onlyAtStart ? 1 : -1;
    }
    if (Contains(text, state.cmpStr[kWordThisChapter]) || Contains(text, state.cmpStr[kWordThisPsalm])) {
        value = -1;
    }
    return value;
}

namespace {

void SaveScroll(RenderState& state, HistoryEntry& entry, bool leaving) {
    const int value = HistoryScrollRule(state, entry.position, leaving);
    entry.scroll = value == 1 ? BodyScrollTop(state, 0) : value;
}

}  // namespace

HistoryList& SelectHistory(RenderState& state, const HostWindow* window) {
    HistoryList& list = state.events.history.ListOf(window);
    SaveScroll(state, list.Current(), true);
    return list;
}

HistoryEntry& RecordHistory(RenderState& state, HistoryList& list, std::string_view key,
                            std::string_view position) {
    const GbString pageKey = StripPath(key);
    if (pageKey.IsEmpty() && position.empty()) return list.Current();
    if (list.SelectExisting(pageKey, position)) return list.Current();
    HistoryEntry& entry = list.MakeNewCurrent();
    TextPool& texts = state.events.history.Texts();
    entry.key = texts.Intern(pageKey);
    entry.position = texts.Intern(position);
    SaveScroll(state, entry, false);
    return entry;
}

}  // namespace quillax
