#include "engine/state/history_book.h"

#include <iterator>

namespace quillax {

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

}  // namespace quillax
