// Index building: the bytes of a text module's index (name.inx), made from its text.
//
// The set-up tool writes every index with these functions, and the engine builds one in memory
// with them for a text whose index file does not match it (see textlib/module_reader.h), so
// both find the records alike. The record layout is IndexWriter's (textlib/index_writer.h).
//
// The marker given for a module selects how its records are found; p is the position of the
// marker in a line:
//  - key marker (it starts with "<key:"): a line with p > 0 starts a record whose key runs from
//    5 bytes after p to the next ">" (or the end of the line); the offset is the start of the
//    line, or with the line flag the start of the next line;
//  - tag marker ("<" ... ">", e.g. "<h1>"): a line with p >= 0 starts a record whose key is
//    the text of a "<key:...>" in the line, or else the sequence number; the offset is the
//    start of the line;
//  - plain marker (any other text, e.g. "=" or ":="): a line with p > 0 starts a record whose
//    key is the line's first p bytes; the offset is the start of the next line, or with the
//    line flag the start of the line itself;
//  - empty marker: with the line flag every line starts a record keyed by the sequence
//    number, at the start of the line; without it no line does.
// The sequence number counts the records from 1 and is written with three digits, keeping the
// last three (1000 gives "000"). Lines that start no record are skipped.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "textlib/gb_string.h"
#include "textlib/line_reader.h"

namespace quillax {

enum class IndexMode { KeyMarker, TagMarker, PlainMarker, EmptyMarker };

// Whether the lower-cased module name lowerName is `wanted` (lower case, "\" as separator), read
// as the program writes paths: "/" taken as "\" (on Linux a module name may be given with "/").
bool SameModuleName(std::string_view lowerName, std::string_view wanted);

// The mode a marker selects: KeyMarker when its first five characters are "<key:", otherwise
// TagMarker when it begins with "<" and ends with ">", otherwise PlainMarker when it is not
// empty, otherwise EmptyMarker.
IndexMode IndexModeOf(std::string_view marker);

// The sequence number n as three digits, keeping the last three ("001", "042", "000", "234").
GbString SequenceNumberText(int n);

// The index bytes of the lines that reader has still to give, in the given mode, searching
// markerText in each line. Ends with the terminal record (empty key, the reader's position at
// the end, which is the file size).
std::string BuildIndexBytes(LineReader& reader, IndexMode mode, std::string_view markerText,
                            bool lineFlag);

// How a module's index is built when the set-up tool is asked for it with lineFlag and marker:
// the mode the marker selects, searching the marker; but the chain-reference module
// "sys\tessaly" (lowerName compared with "/" taken as "\") always by its key lines, plain marker
// ":=" without the line flag, whatever was asked.
struct IndexRule {
    IndexMode mode;
    std::string_view markerText;
    bool lineFlag;
};
IndexRule IndexRuleOf(std::string_view lowerName, bool lineFlag, std::string_view marker);

// One module that every installation run indexes.
struct ModuleTableRow {
    std::string_view name;
    std::string_view marker;
    bool lineFlag;
};

// The modules of the installation, in the order the set-up tool indexes them.
extern const std::array<ModuleTableRow, 10> ModuleTable;

// The row the installation indexes `module` by: the ModuleTable row whose name ends in the same
// file name (the part after the last "\" or "/", ASCII case ignored: "tessaly", "usr\niv" and
// "sys\Corpa" find their rows); any other module is indexed as an imported text is, by its key
// lines "BBCCC:=" (marker ":=", line flag off). The row's name is module itself then.
ModuleTableRow InstalledIndexRow(std::string_view module);

// The index the installation would write for text, the bytes of module's text file.
std::string BuildInstalledIndex(std::string_view module, std::string text);

}  // namespace quillax
