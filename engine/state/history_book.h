// The navigation history's lists: one list of visited pages per host window, and the texts of
// their entries (engine/com/history.h holds the rules that fill them).
//
// A list starts with one blank entry. Recording a page that is already in the list makes that
// entry current; a new page reuses a blank last entry or is inserted right after the current
// entry (the entries after it stay, so forward still reaches them). The lists and the texts of
// their entries live as long as the RenderState that holds them.
#pragma once

#include <functional>
#include <list>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillax {

class HostWindow;

// Texts kept once for the life of the pool; the views it hands out stay valid until then.
class TextPool {
public:
    std::string_view Intern(std::string_view text);
    int Size() const { return static_cast<int>(texts_.size()); }

private:
    std::set<std::string, std::less<>> texts_;
};

struct HistoryEntry {
    int scroll = -1;            // saved vertical scroll position; -1: do not scroll back
    std::string_view key;       // page key (lower-cased, path removed), interned
    std::string_view position;  // the position of the page request, interned

    bool IsBlank() const { return key.empty() && position.empty(); }
};

class HistoryList {
public:
    HistoryList();

    HistoryEntry& Current() { return *current_; }
    const HistoryEntry& Current() const { return *current_; }
    // Makes the entry before (after) the current one current; false, nothing changed, when the
    // current entry is the first (the last).
    bool StepBack();
    bool StepForward();

    // Makes the entry with this key and position current; false when there is none.
    bool SelectExisting(std::string_view key, std::string_view position);
    // The entry that a new page goes into, made current: the last entry when it is blank,
    // otherwise a new entry right after the current one.
    HistoryEntry& MakeNewCurrent();

    // For inspection: the entries in order and the index of the current one.
    std::vector<HistoryEntry> Entries() const;
    int CurrentIndex() const;

private:
    std::list<HistoryEntry> entries_;
    std::list<HistoryEntry>::iterator current_;
};

// The lists of all host windows, and the pool of their texts.
class HistoryBook {
public:
    // The list of window, created (with its blank entry) the first time the window is seen.
    HistoryList& ListOf(const HostWindow* window);
    // The list of window when it exists, else null.
    const HistoryList* Find(const HostWindow* window) const;
    int ListCount() const { return static_cast<int>(lists_.size()); }

    TextPool& Texts() { return texts_; }

private:
    std::map<const HostWindow*, HistoryList> lists_;
    TextPool texts_;
};

}  // namespace quillax
