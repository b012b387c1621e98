// Index building of the set-up tool: the .inx file of a text module, made from its .txt file.
//
// A module is named relative to the configuration directory without extension ("usr\niv");
// its text is name + ".txt" and its index name + ".inx". How the records are found for each
// marker, and the modules of the installation, are in textlib/index_builder.h (the engine
// builds indexes the same way); the record layout is in textlib/index_writer.h.
#pragma once

#include <string_view>

#include "textlib/index_builder.h"

namespace quillax {

// Builds the index of the module `name` below configDir (a directory ending in "\"):
//  - nothing when name is empty;
//  - the name is lower-cased (ASCII letters); the chain-reference module "sys\tessaly" is
//    always indexed as the installation indexes it: plain marker ":=", line flag off, whatever
//    was passed (IndexRuleOf);
//  - when the text file exists and can be read, the index is rewritten whole (its read-only
//    attribute cleared first, then written through a temporary file and a rename, so a failure
//    leaves the old index);
//  - in every case the index file, if there is one, is made read-only.
// Returns true when an index was written. Failures are not reported otherwise.
bool BuildModuleIndex(std::string_view configDir, std::string_view name, bool lineFlag,
                      std::string_view marker);

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
