// Import of a Bible text of another language as a new text module, listed as a parallel
// version in bible.ini.
//
// Input: a verse list in the ANSI code page (GBK), lines ending in LF or CR LF. A line with
// exactly four tabs is a data line "F1 \t book \t chapter \t verse label \t verse text" (F1 is
// ignored, book and chapter are read as the decimal number at the start of their field); every
// other line is skipped.
//
// Output: configuration directory + "usr\" + name + ".txt", name being the input's file name
// without directory and cut before its first "." (unless the name starts with it). For every
// data line whose book or chapter differs from the previous one's (book 0, chapter 0 before the
// first), a chapter header: book x 1000 + chapter as five digits (the last five of a larger
// number), ":=" and LF; then for every data line the verse line "$" + verse label + verse text
// and CR LF.
//
// Reference removal: when the verse text of the first data line contains "Gen 1:1", every
// verse text is taken to start with its reference. With t the position after "$" and the
// label: a verse text that starts with a double quote loses that quote and the last byte of
// the line; then, with c the distance from t to the first ":" of the line, 4 < c < 10 (for the
// first data line 4 < c < 8) removes everything from t through the first blank at or after that
// ":" (to the end of the line when there is none).
#pragma once

#include <string>
#include <string_view>

#include "setup/setup_session.h"
#include "textlib/gb_string.h"

namespace quillax {

extern const char kImportDoneMessage[];     // "已成功地导入了指定文件！"
extern const char kImportMissingMessage[];  // "The import file is not exist!"
extern const char kImportEmptyMessage[];    // the input holds no data line
// A file of the import could not be written; its path follows.
extern const char kImportWriteFailedMessage[];

// The module name of an input file name: "usr\" + the name as described above, lower-cased
// ("d:\bibles\cuv.big5.txt" gives "usr\cuv").
GbString ImportModuleName(std::string_view fileName);

// Appends the chapter header of a module: book x 1000 + chapter as the last five of its decimal
// digits, zero-padded, then ":=" and LF.
void AppendModuleChapterHeader(std::string& out, int book, int chapter);

// The module text made from a verse list; verseCount receives the number of data lines.
std::string ConvertVerseList(std::string_view input, int& verseCount);

// The value of key in iniText (found by FindConfigKey), by the plain and quoted value rules of
// bible.ini (a plain value ends at CR LF and loses every blank; a quoted one runs to the next
// double quote and loses its CR LF pairs). Empty when the key does not occur.
GbString ReadIniValue(const GbString& iniText, std::string_view key);

// Replaces the value of key (found by FindConfigKey): from after the key to the next CR LF (or
// the end of the text) -- for a quoted value that spans lines, through its closing quote and
// the rest of that line -- becomes value. A missing key is appended with the value at the very
// end of the text, without a line break before it. Returns whether the key was present.
bool WriteIniValue(GbString& iniText, std::string_view key, std::string_view value);

// Adds moduleName to the "EQUATEFILE=" list of iniText: the value is lower-cased and cut at a
// ".txt" found after its first byte; when no item of it equals moduleName, moduleName is
// appended (after a "," when the value is not empty). Returns whether iniText changed.
bool AddParallelModule(GbString& iniText, std::string_view moduleName);

// Writes the text of an imported module (configuration directory + module + ".txt"), adds the
// module to "EQUATEFILE=" of bible.ini (read and rewritten whole through a temporary file under
// the file's lock, see textlib/config_lock.h, and only when the list changes) and builds its index (marker ":="). A file that cannot be written (a
// read-only installation, a full disk) ends the import with kImportWriteFailedMessage and its
// path as the message text, and false.
bool InstallImportedModule(SetupSession& session, const GbString& module, std::string_view text);

// Imports the Bible in fileName (relative to the current directory, which the driver made the
// configuration directory, or else to the directory the tool was started in) and sets the
// message text: a verse list as described above, or a published Bible in USFM or OSIS (see
// setup/bible_formats/published_bible.h), chosen by the path. A missing input, one without
// verses or one its reader refuses changes nothing.
void ImportBible(SetupSession& session, const GbString& fileName);

}  // namespace quillax
