// Word search over the main Bible text (installDir + TXTSYSPTH + "corpa.txt").
//
// The main text holds one record per chapter: a line that contains "=" starts a record and the
// text before its first "=" is the chapter key; verses start with "#" and the verse number and
// run to the next "#" or the end of the line. The search lists every verse that contains the
// word, leaves out the verses that contain one of the exclusion words, and builds a result
// page (a summary line, then one link per verse, optionally with the verse text and the word
// highlighted) that the page pipeline writes into the window the host names. The words are remembered in bible.ini
// ("SEARCH=", "EXCLUSIVE=").
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/state/render_state.h"

namespace quillax {

// The millisecond clock of the search: its duration and the guard against repeated starts.
class SearchClock {
public:
    virtual ~SearchClock() = default;
    // Milliseconds on a clock that never goes back; never 0 in practice.
    virtual long long NowMs() const = 0;
};

// The monotonic clock of the machine.
const SearchClock& SystemSearchClock();

// A search started less than this many milliseconds after the previous one ended does nothing.
constexpr long long kSearchRepeatGuardMs = 1000;

// Searches the main text for word, skipping the verses that contain one of the exclusion words
// (separated by ","), and gives the result page with the time the search took; the words are
// remembered in the configuration. With extend non-zero every listed verse is shown with the
// word in red. The words arrive wide and are read in simplified characters. Nothing (no search)
// within a second of the end of the previous search. SearchWords (pipeline.h) shows the page.
std::optional<GbString> SearchResultPage(RenderState& state, std::u16string_view word,
                                         std::u16string_view exclusions, long extend,
                                         const SearchClock& clock);

// The result page of a search of the main text at path, without timing, configuration or
// window: the summary (with "msec" still in it) followed by the hits. Used by
// SearchResultPage.
// summaryEnd receives the position where the summary's closing word cmpStr[45] starts.
GbString SearchMainText(const RenderState& state, std::string_view path, const GbString& word,
                        const GbString& exclusions, bool extend, int& summaryEnd);

}  // namespace quillax
