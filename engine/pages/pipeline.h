// The page and popup drivers.
//
// OpenPage writes a whole page (a chapter, a devotional, a study-module entry, the about page)
// into the body of the host's main document, scrolls to the requested verse and sets the main
// window's caption. ShowHoverPopup builds the popup of the element under the mouse (verse text,
// study-module entry, text-fix note, footnote references, picture, the wheel table), places it
// by screen quadrant and shows it in the popup window.
//
// The page builders (chapter pages, study pages, the reading calendar, the search result) give
// their text back; these drivers are what writes a page or a popup to the host. The drivers
// set state.busy while they run and return at once when they find it set. All texts are GBK;
// the host is reached through state.host.pageWindow and state.host.popupWindow (engine/host),
// and nothing happens to a window that is missing.
#pragma once

#include <string>
#include <string_view>

#include "engine/search/word_search.h"
#include "engine/state/render_state.h"
#include "textlib/gb_string.h"

namespace quillax {

// Where a popup goes, as PlacePopup (text popups) or the picture popup decides before the
// window is filled: the top left corner and the width in screen pixels, a picture's height (a
// text popup starts 10 px high and grows to its content), the screen quadrant
// of the cursor for text popups (1-4: 3 and 4, the lower half, grow upwards) and the line unit
// the placement used.
struct PopupPlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int quadrant = 0;
    int lineUnit = 0;
};

// Opens the page of key: a chapter key (five digits, or a seven-character special key), a key
// containing "amberly" (the devotional of a plan day), "0000000" (the about page), or a module
// link ("module#entry"; the entry goes to position). position names the verse to scroll to
// ("5", ":5", the chapter word form) and ends up in the caption of a chapter page. Reopening
// the chapter shown only scrolls and retitles. noLinks chooses the chapter form without
// reference links.
void OpenPage(RenderState& state, std::string_view key, int noLinks, std::string_view position);

// Shows the reading-calendar page of a date text (CalendarPage) without the LINKCTRL links and
// forgets the key of the page shown before (state.host.currentKey).
void ReadingCalendar(RenderState& state, std::string_view dateText);

// Shows the study-note page (which = "1") or the outline page of the calendar date's plan day
// (StudyDayPage); the plan day, three digits, becomes the current key.
void DayPage(RenderState& state, std::string_view which);

// Runs a word search (SearchResultPage) and writes its result page into window, which becomes
// the page window; the key of the page shown before is forgotten. Nothing is written without
// a window. Returns whether the search ran (false within a second of the end of the previous
// search).
bool SearchWords(RenderState& state, std::u16string_view word, std::u16string_view exclusions,
                 long extend, HostWindow* window,
                 const SearchClock& clock = SystemSearchClock());

// The work of the AddBibleLink method: unless links were already added to this body
// (changedFlags bit kChangedLinksAdded), reads the body, turns its references into links (the
// reference pass without expansion, then the bracket pass with no default key) and writes it
// back. changedFlags then holds both bits.
void AddReferenceLinks(RenderState& state);

// Runs when the open-delay timer fires: the popup of state.host.element. Nothing while a right
// click holds the popups back (state.host.holdHoverPopups).
void ShowHoverPopup(RenderState& state);

// Tidies a text popup body, places it (PlacePopup) and shows it. Nothing is shown for an empty
// text or for one that ends with the "nothing found" word cmpStr[23]. The wheel popup (a tip
// title, !state.host.titleNotTip) shows the wheel table of the date in text[4..] instead.
void FinishPopup(RenderState& state, GbString text);

// Where a text popup goes. An ordinary popup (titleNotTip) is maxPopupWidth wide, centred, and
// lies below the cursor in the upper screen half (quadrants 1 and 2) or above it in the lower
// half (3 and 4). The wheel popup (a tip title) is songWidth line units wide, centred, below
// the cursor in the upper half (quadrant 1) or above it in the lower half (quadrant 4).
PopupPlacement PlacePopup(RenderState& state);

// Wraps body into a document (pageHeader before, "</body></html>" after), fills the popup
// window with it at place, sizes the window to its content and shows it. Picture popups keep
// their rectangle; text popups grow to their content height.
void ShowPopup(RenderState& state, const GbString& body, const PopupPlacement& place,
               bool pictureMode);

// The line height used to place popups: (3 f - 8) / 2 + the main window font's maximum
// character width, f being the IE font size.
int LineUnit(RenderState& state);

// The browser's font size setting: the value "IEFontSize" under HKEY_CURRENT_USER
// "Software\Microsoft\Internet Explorer\International\Scripts\26" as a decimal prefix, 0 when
// missing.
int IEFontSize();

// ---- document operations on the page window ------------------------------------------------------

// Scrolls the window to the anchor of that name: its offsetTop, plus its offsetParent's, plus,
// when that was not 0, the offsetTop of the next enclosing TABLE. No anchor, no scrolling.
void ScrollToAnchor(RenderState& state, std::string_view name);
// The body's offsetHeight, 0 when unavailable.
int BodyHeight(RenderState& state);
// The document's background colour (a colour text such as "#FFFFEE").
void SetPageBackground(RenderState& state, std::string_view color);
// Cancels the current event (returnValue = false, cancelBubble = true).
void CancelEvent(RenderState& state);
// The document's URL.
GbString DocumentUrl(RenderState& state);

}  // namespace quillax
