// Main text derivation: the plain Bible text "sys\corpa.txt", one line per chapter, made from
// the chain-reference module "sys\Tessaly.txt" whose chapters carry markup, notes and
// reference marks.
#pragma once

#include <string_view>

#include "textlib/gb_list.h"
#include "textlib/gb_string.h"

namespace quillax {

// The 27 byte sequences that CleanRecord deletes, in order: "<hr>", "<i>", "</i>", " ", "%",
// "^", "@", "#", "'z", "'1" ... "'9", "'0", "'a", "'b", "{", "}", "[", "]", "_" and two
// ideographic spaces (A1 A1 A1 A1). Built on first use; the program builds it at start.
const GbList& StripList();

// Cleans one record (a header line "BBCCC:=..." and its continuation lines, joined without
// line ends) and appends it to output as one line ending in LF; the record is emptied. An
// empty record adds nothing. The steps, in order:
//   1. "'a" becomes "'0";
//   2. note spans: every "'0" after the first byte is removed together with everything up to
//      and including the next "'1" (searching on one byte after each span start);
//   3. every entry of StripList() is deleted, in order;
//   4. "$" becomes "#";
//   5. a grave accent (0x60) after the first byte is removed with the ASCII digits right after
//      it, repeatedly;
//   6. tags: "<" (after the first byte) through the next ">" are removed, repeatedly;
//   7. ":=" becomes "=";
//   8. "'e" becomes "{" and "'f" becomes "}";
//   9. every "\" and "|" is deleted;
//  10. "{" through the next "}" are removed, repeatedly.
// One-byte marks are never matched at the trail byte of a GBK character.
void CleanRecord(GbString& record, GbString& output);

// Writes configDir + "sys\corpa.txt" from configDir + "sys\Tessaly.txt": every record whose
// header key (the text before the first ":=" of its header line) is exactly five bytes long
// becomes one line of the output through CleanRecord; other records and the lines before the
// first header are dropped. When the source cannot be read the output is empty. The file is
// replaced whole (through a temporary file); a failed write is not reported.
void DeriveMainText(std::string_view configDir);

}  // namespace quillax
