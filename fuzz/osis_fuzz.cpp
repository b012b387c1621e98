// Fuzz target: the OSIS import. The input is the document; it is read by the OSIS reader and
// imported as envoke -import does, as an .xml file in a configuration directory of its own
// (also the working directory).
//
// Checked: a document the reader accepts gives a module of the published-module layout (see
// published_module_check.h); a refused one is refused at a line of the document, with a
// reason. The import agrees with the reader: an accepted document with a verse of the 66 books
// is written as exactly that module, indexed and listed in "EQUATEFILE="; otherwise nothing is
// written and bible.ini stays as it was. Nothing is written outside the configuration directory.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "fuzz/import_scratch.h"
#include "fuzz/published_module_check.h"
#include "platform/files.h"
#include "setup/bible_formats/osis_reader.h"
#include "setup/bible_formats/verse_collector.h"

namespace {

using namespace quillax;
using fuzzing::Finding;

constexpr const char* kName = "osis_fuzz";
constexpr std::string_view kIni = "[bible]\r\nEQUATEFILE=usr\\niv\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string top = fuzzing::ScratchDirectory() + "/a";
    static const std::string config = top + "/b/cfg";
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    VerseCollector verses;
    const std::optional<FormatError> error = ReadOsisDocument(input, verses);
    const std::string module = verses.ModuleText();
    if (error) {
        const int lines = fuzzing::Count(input, "\n") + 1;
        if (error->line < 1 || error->line > lines) Finding(kName, "an error outside the document's lines");
        if (error->reason.empty()) Finding(kName, "an error without a reason");
    } else {
        fuzzing::CheckPublishedModule(kName, module, verses.VerseCount());
    }

    fuzzing::ImportInScratch(kName, top, "in.xml", input, kIni);
    const std::optional<std::string> written = platform::ReadWholeFile(config + "/usr/in.txt");
    const std::string ini = platform::ReadWholeFile(config + "/bible.ini").value_or("");
    if (!error && verses.VerseCount() > 0) {
        if (written != module) Finding(kName, "the module file is not the module the reader made");
        if (!platform::FileExists(config + "/usr/in.inx")) Finding(kName, "the module has no index");
        if (ini != "[bible]\r\nEQUATEFILE=usr\\niv,usr\\in\r\n") Finding(kName, "the module is not listed");
    } else {
        if (written || platform::PathExists(config + "/usr/in.inx")) Finding(kName, "a refused document was written");
        if (ini != kIni) Finding(kName, "a refused document changed bible.ini");
    }
    return 0;
}
