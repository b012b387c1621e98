// Fuzz target: the verse-list import. The input is an import file name, a bible.ini and the
// verse list; the import runs in a configuration directory of its own (also the working
// directory), as envoke -import does.
//
// Checked: the module name is "usr\" + a plain name; the converted module consists of chapter
// header lines and one "$" line per data line; after an import with data the module, its
// index and the EQUATEFILE entry exist; nothing is written outside the configuration directory.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "fuzz/import_scratch.h"
#include "platform/files.h"
#include "setup/bible_import.h"
#include "setup/setup_session.h"
#include "setup/text_edit.h"

namespace {

using namespace quillax;
using fuzzing::Finding;

constexpr const char* kName = "import_fuzz";

// Five digits; a negative book or chapter field (nonsense, but read as a number) pads its
// minus sign in among the zeros ("000-1").
bool IsHeaderNumber(std::string_view s) {
    for (const char c : s) {
        if ((c < '0' || c > '9') && c != '-') return false;
    }
    return true;
}

void CheckModuleText(const std::string& text, int verseCount) {
    int verses = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) Finding(kName, "a module line without its line end");
        const std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.front() == '$') {
            if (line.back() != '\r') Finding(kName, "a verse line without CR LF");
            ++verses;
        } else if (line.size() != 7 || line.substr(5) != ":=" || !IsHeaderNumber(line.substr(0, 5))) {
            std::fprintf(stderr, "line: %.*s\n", static_cast<int>(line.size()), line.data());
            Finding(kName, "a module line that is neither a chapter header nor a verse");
        }
        start = end + 1;
    }
    if (verses != verseCount) Finding(kName, "the verse count differs from the verse lines");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string top = fuzzing::ScratchDirectory() + "/a";
    static const std::string config = top + "/b/cfg";

    FuzzedDataProvider input(data, size);
    const std::string fileName = input.ConsumeRandomLengthString(40);
    const std::string ini = input.ConsumeRandomLengthString(512);
    const std::string verses = input.ConsumeRemainingBytesAsString();

    const GbString module = ImportModuleName(fileName);
    if (module.view().rfind("usr\\", 0) != 0) Finding(kName, "a module name outside usr");
    bool ascii = true;
    for (const char c : fileName) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii && module.view().substr(4).find_first_of("\\/") != std::string_view::npos) {
        Finding(kName, "a module name with a directory");
    }

    int verseCount = 0;
    const std::string text = ConvertVerseList(verses, verseCount);
    CheckModuleText(text, verseCount);

    fuzzing::ImportInScratch(kName, top, "in.dat", verses, ini);

    // A line end other than CR LF (a lone CR or LF, or blanks between CR and LF, which the
    // blank rule joins into a new CR LF) or a 0 byte can cut the list where it is written
    // back; the list is checked for bible.ini texts without them.
    bool plainLines = ini.find('\0') == std::string::npos;
    for (std::size_t i = 0; i < ini.size(); ++i) {
        if (ini[i] == '\r' && (i + 1 == ini.size() || ini[i + 1] != '\n')) plainLines = false;
        if (ini[i] == '\n' && (i == 0 || ini[i - 1] != '\r')) plainLines = false;
    }
    if (verseCount > 0) {
        if (platform::ReadWholeFile(config + "/usr/in.txt").value_or("") != text) {
            Finding(kName, "the module file is not the converted text");
        }
        if (!platform::FileExists(config + "/usr/in.inx")) Finding(kName, "the module has no index");
        // The import reads the file with one pass of removing the blanks around "=" and writes
        // that text back when the list changes; unchanged, the file stays as it was.
        GbString after(platform::ReadWholeFile(config + "/bible.ini").value_or(""));
        if (after.view() == ini) {
            ReplaceAll(after, " =", "=");
            ReplaceAll(after, "= ", "=");
        }
        const GbString list = ReadIniValue(after, "EQUATEFILE=");
        // Module names are file names, matched without regard to case: an "usr\\In" already
        // in the list is the imported module, and the import leaves the list as it is.
        GbString lowered(list);
        lowered.MakeLower();
        // Looked for byte by byte: a list whose last byte is a lone GBK lead byte joins the
        // "," put after it into one character.
        // An empty item (",usr\\in" after a blank quoted value) is one the engine skips.
        const std::string items = "," + std::string(lowered.view()) + ",";
        const bool listed = items.find(",usr\\in,") != std::string::npos;
        if (plainLines && !listed) {
            std::fprintf(stderr, "bible.ini after: [%s]\nlist: [%.*s]\n", after.c_str(),
                         static_cast<int>(list.view().size()), list.view().data());
            Finding(kName, "the module is not in EQUATEFILE");
        }
    }
    return 0;
}
