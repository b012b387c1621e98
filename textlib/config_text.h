// The rules of the configuration file bible.ini, shared by the engine, the updater and the
// set-up tool.
//
// bible.ini looks like a profile file, but its keys are found by text search, sections
// notwithstanding: a key is written in upper case with its equals sign ("LANGUAGE=") and is
// found where it starts a line (FindConfigKey). Only a file in which no line starts with the
// key has it found inside other text, at its first occurrence, as the files were always read.
//
//  - The file is read whole; every blank directly before an "=", then every blank directly
//    after one, is removed once, so "KEY = v" reads as "KEY=v" (but "KEY  =v" as "KEY =v").
//  - Plain value: from after the key to the next CR LF (or the end of the text), with every
//    blank removed.
//  - Quoted value (the first byte after the key is a double quote): up to the next double quote
//    (or the end of the text), possibly over several lines; its CR LF pairs are removed.
//  - List value: a plain or quoted value cut at every "," (no trimming, empty items stay).
//
// "Every" in these rules is the replace-all of GbString::Replace, with its limit of
// GbString::kDefaultReplaceLimit replacements per pass.
#pragma once

#include <string_view>

#include "textlib/gb_list.h"
#include "textlib/gb_string.h"

namespace quillax {

// Where key stands in the configuration text text: the first occurrence that starts a line (at
// the start of the text or right after a LF, with only blanks or tabs before it on its line);
// when no line starts with it, its first occurrence anywhere. So "SEARCH=" is found on its own
// line, not inside a "MAXSEARCH=" line before it. -1 when key is empty or does not occur. The
// reader, the writer and every program that looks up a key of bible.ini use this one rule.
int FindConfigKey(std::string_view text, std::string_view key);

// Applies the blank rule to a whole configuration text.
GbString ApplyBlankRule(std::string_view text);

// The whole file with the blank rule applied; the empty text when it cannot be read.
GbString ReadConfigFile(std::string_view path);

// The value of key (including its "=") in configText by the rules above; the empty text when
// the key does not occur.
GbString ReadConfigValue(const GbString& configText, std::string_view key);

// The value of key cut at every ",". A missing key gives a list of one empty item, as cutting
// an empty text does.
GbList ReadConfigList(const GbString& configText, std::string_view key);

// The text that a write stores for a new value: a final backquote is dropped, a value that is
// one blank becomes empty, and a value that contains a blank is enclosed in double quotes.
GbString StoredConfigValue(std::string_view value);

// Replaces the value of key in configText by StoredConfigValue(value): the old value is deleted
// from after the key to the next CR LF (or the end of the text) and the new one is put in its
// place. A quoted old value that spans lines is deleted up to its closing quote and the rest of
// that line, so no part of it is left behind; an old value with an opening quote but no closing
// one is deleted to the next CR LF only. False, with the text unchanged, when key does not occur
// or is empty: files are never extended with new keys.
bool ReplaceConfigValue(GbString& configText, std::string_view key, std::string_view value);

}  // namespace quillax
