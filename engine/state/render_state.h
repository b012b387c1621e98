// RenderState: the one process-wide state of the engine.
//
// All control instances of the process share it: it is created when the library is loaded,
// filled from the configuration (engine/config/configuration.h) and lives until the library is
// unloaded. Everything runs on the host's user-interface thread, so nothing here is locked;
// `busy` only keeps a page build, a popup build and a configuration write from overlapping
// while browser calls pump messages.
//
// The fields are grouped by the code that owns them; later engine code adds its own group.
// GlobalRenderState() is the process-wide instance; tests create instances of their own.
#pragma once

#include <memory>
#include <string>

#include "engine/host/desktop_seams.h"
#include "engine/state/chapter_state.h"
#include "engine/state/event_state.h"
#include "engine/state/host_state.h"
#include "textlib/conversions.h"
#include "textlib/date.h"
#include "textlib/gb_list.h"
#include "textlib/gb_string.h"

namespace quillax {

struct RenderState {
    RenderState()
        : desktop(MakeDefaultDesktopInfo()), colorChooser(MakeDefaultColorChooser()) {}
    RenderState(const RenderState&) = delete;
    RenderState& operator=(const RenderState&) = delete;

    // ---- engine guard -------------------------------------------------------------------------
    // Set while a page build, a popup build or a configuration write runs; each of them returns
    // at once when it finds it set.
    bool busy = false;

    // ---- desktop services (replaced by fakes in tests) ---------------------------------------
    std::unique_ptr<DesktopInfo> desktop;
    std::unique_ptr<ColorChooser> colorChooser;

    // ---- installation and configuration file ----------------------------------------------------
    GbString installDir;   // the configuration directory, ending in "\"
    GbString configText;   // bible.ini as last read (blank rule applied)

    // ---- identity and window, filled at load ------------------------------------------------------
    GbString buildLabel;    // "Build 2006.07.28 20:25", from the library's version information
    GbString aboutText;     // the legal notice with the build label inserted
    WindowHandle mainWindow = nullptr;  // the host's main window (active window at load)
    GbString titlePrefix;   // its caption at load (at most 63 bytes) + " - "

    // ---- settings, re-read after every ordinary configuration write --------------------------------
    std::u16string charset;        // LANGUAGE: charset of every document
    std::u16string scrollScript;   // SCROLLFUNC: run once in each new popup document
    GbString systemTextDir;        // TXTSYSPTH, lower-cased: folder of the system text modules
    GbString lastSearch;           // SEARCH: last search words
    GbString lastExclusions;       // EXCLUSIVE: last exclusion words, "," separated
    GbString bookNameText;         // CNAME: book abbreviations, 5 bytes each
    GbString systemModules;        // SYSKEY: modules that lie in systemTextDir
    GbString linkControl;          // LINKCTRL: inserted after "<body>" of every page
    GbList parallelModules;        // EQUATEFILE: modules shown beside the main text
    int maxPopupWidth = 0;         // MAXWINDOWWIDTH x screen width, pixels
    double pictureScale = 0.0;     // TUPER: scale of picture widths and heights
    int readModel = 0;             // READMODEL: reading layout
    int songWidth = 0;             // SONGWIDTH: wheel popup width in line units
    int scrollSpeed = 0;           // SCROLLSPEED: auto-scroll interval, ms
    int useGbk = 0;                // USEGBK: 1 = show traditional characters
    int extendNote = 0;            // EXTENDNOTE: popup level 0-3
    int maxSearch = 0;             // MAXSEARCH: hit limit of the word search
    int openDelay = 0;             // OPENDELAYTIME, ms (100..2000, else 300)
    int closeDelay = 0;            // CLOSEDELAYTIME, ms (0..2000, else 200)
    unsigned char substitute = 0;  // SUBSTITUTE: 1 when the value starts with "1"
    GbString pageHeader;           // "<html><body><STYLE>" + bible.css + "</STYLE>"
    std::u16string scriptText;     // quillets.js

    // ---- lists read only at load ------------------------------------------------------------------
    GbList cssBgColors;       // CSSBGCOLOR: "#RRGGBB" by index (page and popup backgrounds)
    GbList bookNames;         // CCNAME: the 66 book names, index = book number - 1
    GbList cmpStr;            // CMPSTR: the vocabulary of the pages, by index
    GbList tableWidths;       // TABLETDWIDTH: table widths by IE font size 0-4, template at 5
    GbList simplifiedWords;   // WORD_GB2: simplified side of the conversion corrections
    GbList traditionalWords;  // WORD_GBK: traditional side of the conversion corrections

    // ---- reading calendar and references ----------------------------------------------------------
    Date sixDayPlanBase{2000, 2, 16};  // anchor of the six-day reading plan
    Date dailyPlanBase{2004, 2, 1};    // anchor of the daily reading plan
    int lastBook = 0;     // book of the last reference turned into a chapter key
    GbString linkKey;     // key of the last reference link made; a ";" continuation reuses it

    // ---- pages, popups and the host (engine/state/host_state.h) -------------------------------------
    HostState host;

    // ---- chapter pages and reference links (engine/state/chapter_state.h) -------------------------
    ChapterPageState chapter;

    // ---- event handling, history and popup windows (engine/state/event_state.h) ----------------------
    EventState events;

    // The conversion settings of the moment (they follow useGbk as it changes).
    ConversionOptions Conversions() const {
        return ConversionOptions{useGbk != 0, &simplifiedWords, &traditionalWords};
    }
};

// The process-wide state, created empty on first use; the library's load code fills it once
// with LoadConfiguration.
inline RenderState& GlobalRenderState() {
    static RenderState state;
    return state;
}

}  // namespace quillax
