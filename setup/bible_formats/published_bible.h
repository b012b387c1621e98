// The published Bible formats the import reads besides its own verse list: USFM (a file of one
// or more books, or a folder of such files) and OSIS XML. This file decides which format a path
// holds, reads it whole with the reader of that format and gives either the module text with
// the closing message, or the message that says why nothing can be imported.
//
// Which format: a folder is read as USFM files, one book each: every file in it whose name ends
// in ".usfm", ".sfm" or ".ptx" (other files, such as a licence or a script, are passed over);
// a file with one of those endings is USFM; a file ending in ".xml" or ".osis" is OSIS. Any
// other path is the verse list (Format::VerseList), which this file does not read.
//
// Nothing is half imported: a file of the folder that cannot be read, a reader's error, an empty
// folder or a Bible without a verse of the 66 books gives a message naming the file (and the
// line) and no module text.
#pragma once

#include <string>
#include <string_view>

#include "textlib/gb_string.h"

namespace quillax {

enum class BibleFormat { VerseList, UsfmFile, UsfmFolder, Osis };

// The format of the import input at path (a folder must exist to count as one).
BibleFormat BibleFormatOf(std::string_view path);

// The module name of a published Bible at path: the verse list's rule (ImportModuleName), after
// any separator at the end of a folder's path ("bibles/web/" gives "usr\web").
GbString PublishedModuleName(std::string_view path);

struct PublishedBible {
    bool ok = false;
    std::string moduleText;  // GBK, in the verse-list import's module layout
    GbString message;        // the closing message: the summary, or why nothing was imported
};

// Reads the USFM or OSIS input at path (format from BibleFormatOf, not VerseList) for the
// module moduleName ("usr\web"), which the summary names.
PublishedBible ReadPublishedBible(std::string_view path, BibleFormat format, std::string_view moduleName);

// The start of every message that refuses an input: then the file (", line N"), ": " and why.
// A missing file gives the verse list's "The import file is not exist!".
extern const char kImportRefusedPrefix[];  // "Nothing was imported: "

}  // namespace quillax
