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

#include <string_view>

#include "engine/host/host_window.h"
#include "engine/state/history_book.h"
#include "textlib/gb_string.h"

namespace quillax {

struct RenderState;

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
