// Loading the configuration into RenderState and reading or writing single keys of bible.ini.
//
// Where things are found:
//  - HKEY_CURRENT_USER\Software\quillax (default value): the configuration directory, ending in
//    "\", which holds bible.ini, bible.css and quillets.js;
//  - HKEY_CLASSES_ROOT\quillax.qlx\CLSID -> CLSID\{...}\InprocServer32: the engine library,
//    whose version information gives the build label and the about text.
//
// The file rules themselves (blank rule, plain and quoted values, lists, rewriting a value) are
// in textlib/config_text.h.
#pragma once

#include <string_view>

#include "engine/state/render_state.h"
#include "textlib/gb_string.h"

namespace quillax {

// Fills a fresh state when the library is loaded: the reading-plan base dates, the build label
// and about text, installDir, and, when installDir holds a bible.ini, configText, the window
// title prefix, the lists read only at load and the settings (LoadSettings). Without a
// registered configuration directory or without bible.ini every setting stays empty or 0.
void LoadConfiguration(RenderState& state);

// Reads the settings from state.configText (see RenderState), applies the two delay rules and
// reads bible.css (pageHeader) and quillets.js (scriptText) from installDir.
void LoadSettings(RenderState& state);

// The value of key in state.configText (the file as last read).
GbString ReadConfigValue(const RenderState& state, std::string_view key);

// Reads or writes one key of bible.ini; value is in and out. The file is read afresh first and
// the key upper-cased. Returns:
//  - false when the engine is busy, or the key is not in the file (value unchanged);
//  - true for a read (empty value: value <- the stored value);
//  - for "CSSBGCOLOR=" with value "n" (one byte): true, value <- colour n, nothing written;
//    with a digit and one more byte: the colour dialog starts at colour n and its choice
//    becomes the new colour n; any longer value is the new colour n itself. The colour list
//    is rebuilt ("0#...,1#...") and written; true, value <- the new colour;
//  - "TABLETDWIDTH=" with a value: the table widths in memory take the value (without its
//    double quotes) and it is written; false;
//  - any other key with a value: written, settings re-read; false.
// A write replaces bible.ini safely (temporary file, then rename): when it fails, the old file
// stays as it was. It reads the file again and writes it under the file's lock
// (textlib/config_lock.h), so that changes other programs made meanwhile are kept.
bool SetConfigValue(RenderState& state, std::string_view key, GbString& value);

// The picture table of a picture group: the value of "TU" + group + "=" in bible.ini, read
// afresh (configText is refreshed).
GbString PictureTable(RenderState& state, std::string_view group);

// "Build " + fileVersion with its first two "," as "." and any further "," as a blank, and a
// ":" before the last two characters: "2006,07,28,2025" gives "Build 2006.07.28 20:25".
GbString MakeBuildLabel(std::string_view fileVersion);

// The legal notice with the build label put between the parentheses of its first "()", and the
// label's year (its bytes 6-9) put directly before that "(".
GbString MakeAboutText(std::string_view legalNotice, const GbString& buildLabel);

}  // namespace quillax
