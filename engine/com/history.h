// The navigation history: one list of visited pages per host window.
//
// Every page opened by a click, by openchahtm or as a day page is recorded with its key and
// position (the verse named by the link); the back and forward links of the page step through
// the list. An entry also keeps the page's scroll position, saved when the user leaves the page,
// so that going back restores it; entries whose position names a verse or the whole chapter
// get no scroll position (-1), because opening them scrolls by themselves.
//
// A list starts with one blank entry. Recording a page that is already in the list makes that
// entry current; a new page reuses a blank last entry or is inserted right after the current
// entry (the entries after it stay, so forward still reaches them). The lists and the texts of
// their entries live as long as the RenderState that holds them.
#pragma once

#include <list>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/host/host_window.h"
#include "textlib/gb_string.h"

namespace quillax {

struct RenderState;

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

// What is saved as the scroll position of an entry with this position text: 1 stands for "the
// body's scrollTop now", 0 and -1 are stored as they are.
//  - no position: 1;
//  - a whole-chapter position (cmpStr[64], cmpStr[4] or cmpStr[3] after its first byte): 1 when
//    the page is being left (leaving), 0 for a page just recorded;
//  - otherwise 1 when the position has no ":" except at its very start, else -1 (a verse);
//  - a position with cmpStr[1] or cmpStr[2] ("this chapter") always -1.
int HistoryScrollRule(const RenderState& state, std::string_view position, bool leaving);

// Selects the history list of window (creating it) and saves the scroll position of its current
// entry by the rule for a page being left; scrollTop is read from the page window's body.
HistoryList& SelectHistory(RenderState& state, const HostWindow* window);

// Records a page in list: key is lower-cased and cut after its last "/"; nothing happens when
// key and position are both empty. An entry with the same key and position becomes current;
// otherwise the new current entry (see HistoryList::MakeNewCurrent) takes the key and position
// and its scroll is saved by the rule for a page just recorded. Returns the current entry.
HistoryEntry& RecordHistory(RenderState& state, HistoryList& list, std::string_view key,
                            std::string_view position);

}  // namespace quillax
