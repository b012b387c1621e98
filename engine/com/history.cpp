#include "engine/com/history.h"

#include "engine/pages/page_body.h"
#include "engine/render_state.h"
#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"

namespace quillax {

namespace {

}  // namespace

// ---- TextPool ------------------------------------------------------------------------------------

std::string_view TextPool::Intern(std::string_view text) {
    if (text.empty()) return {};
    auto found = texts_.find(text);
    if (found == texts_.end()) found = texts_.emplace(text).first;
    return *found;
}

// ---- HistoryList ---------------------------------------------------------------------------------

HistoryList::HistoryList() : entries_(1), current_(entries_.begin()) {}

bool HistoryList::StepBack() {
    if (current_ == entries_.begin()) return false;
    --current_;
    return true;
}

bool HistoryList::StepForward() {
    auto next = std::next(current_);
    if (next == entries_.end()) return false;
    current_ = next;
    return true;
}

bool HistoryList::SelectExisting(std::string_view key, std::string_view position) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->key == key && it->position == position) {
            current_ = it;
            return true;
        }
    }
    return false;
}

HistoryEntry& HistoryList::MakeNewCurrent() {
    if (entries_.back().IsBlank()) {
        current_ = std::prev(entries_.end());
    } else {
        current_ = entries_.insert(std::next(current_), HistoryEntry{});
    }
    return *current_;
}

std::vector<HistoryEntry> HistoryList::Entries() const {
    return std::vector<HistoryEntry>(entries_.begin(), entries_.end());
}

int HistoryList::CurrentIndex() const {
    int index = 0;
    for (auto it = entries_.begin(); it != current_; ++it) ++index;
    return index;
}

// ---- HistoryBook ---------------------------------------------------------------------------------

HistoryList& HistoryBook::ListOf(const HostWindow* window) { return lists_[window]; }

const HistoryList* HistoryBook::Find(const HostWindow* window) const {
    const auto found = lists_.find(window);
    return found == lists_.end() ? nullptr : &found->second;
}

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
