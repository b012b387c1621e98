// Index building: the .inx file of a text module, made from its .txt file.
//
// A module is named relative to the configuration directory without extension ("usr\niv");
// its text is name + ".txt" and its index name + ".inx" (see setup/index_writer.h for the
// record layout). The marker passed for a module selects how its records are found; p is the
// position of the marker in a line:
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

#include "textlib/line_reader.h"
#include "textlib/gb_string.h"

namespace quillax {

enum class IndexMode { KeyMarker, TagMarker, PlainMarker, EmptyMarker };

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

// Builds the index of the module `name` below configDir (a directory ending in "\"):
//  - nothing when name is empty;
//  - the name is lower-cased (ASCII letters); the chain-reference module "sys\tessaly" is
//    always indexed as the installation indexes it: plain marker ":=", line flag off, whatever
//    was passed;
//  - when the text file exists and can be read, the index is rewritten whole (its read-only
//    attribute cleared first, then written through a temporary file and a rename, so a failure
//    leaves the old index);
//  - in every case the index file, if there is one, is made read-only.
// Returns true when an index was written. Failures are not reported otherwise.
bool BuildModuleIndex(std::string_view configDir, std::string_view name, bool lineFlag,
                      std::string_view marker);

// One module that every installation run indexes.
struct ModuleTableRow {
    std::string_view name;
    std::string_view marker;
    bool lineFlag;
};

// The modules of the installation, in the order PrepareModules indexes them.
extern const std::array<ModuleTableRow, 10> ModuleTable;

// Prepares the text modules of the installation in configDir: derives the main text
// "sys\corpa.txt" when it is missing (setup/main_text.h), builds the index of every
// ModuleTable row in order, then the indexes of the parallel versions (IndexParallelModules).
// A module without its text file gets no index.
void PrepareModules(std::string_view configDir);

// Builds the index of every parallel version that "EQUATEFILE=" of configDir's bible.ini lists
// (read as the engine reads it), as an import builds it (plain marker ":=", line flag off):
// each name once, in list order. Skipped: empty items, names that would leave configDir (see
// StaysInside in setup/path_text.h) and the modules of ModuleTable, whose indexes keep the
// table's marker. Returns the number of indexes written.
int IndexParallelModules(std::string_view configDir);

}  // namespace quillax
