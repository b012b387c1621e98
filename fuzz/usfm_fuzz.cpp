// Fuzz target: the USFM reader. The input is one USFM file.
//
// Checked: a file the reader accepts gives a module of the published-module layout (see
// published_module_check.h) with as many verse lines as verses counted and at least one chapter
// header per book counted; a refused file is refused at a line of the file, with a reason; reading
// the same bytes again gives the same result.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "fuzz/published_module_check.h"
#include "setup/bible_formats/usfm_reader.h"
#include "setup/bible_formats/verse_collector.h"

namespace {

using namespace quillax;
using fuzzing::Finding;

constexpr const char* kName = "usfm_fuzz";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    VerseCollector verses;
    const std::optional<FormatError> error = ReadUsfmBooks(input, verses);
    const std::string module = verses.ModuleText();
    if (error) {
        const int lines = fuzzing::Count(input, "\n") + 1;
        if (error->line < 1 || error->line > lines) Finding(kName, "an error outside the file's lines");
        if (error->reason.empty()) Finding(kName, "an error without a reason");
    } else {
        fuzzing::CheckPublishedModule(kName, module, verses.VerseCount());
        const int headers = fuzzing::Count(module, ":=\n");
        if (verses.BookCount() > headers || (verses.VerseCount() > 0) != (verses.BookCount() > 0)) {
            Finding(kName, "the books counted do not match the module");
        }
    }
    VerseCollector again;
    const std::optional<FormatError> secondError = ReadUsfmBooks(input, again);
    if (secondError.has_value() != error.has_value() || again.ModuleText() != module) {
        Finding(kName, "the same file read twice gives two results");
    }
    return 0;
}
