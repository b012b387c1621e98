// Fuzz target: RenderMarkup over any record text. Checked: the protection bytes 01-03 never
// survive, and for ASCII text (no GBK trail bytes to pass over) every "_" became "<br>" and
// every underline, bold, italic and emphasis tag came with its partner.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "textlib/gb_string.h"
#include "textlib/markup.h"

namespace {

using quillax::GbString;
using quillax::fuzzing::Finding;

constexpr const char* kName = "markup_fuzz";

using quillax::fuzzing::Count;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    GbString text(input);
    quillax::RenderMarkup(text);
    const std::string_view out = text.view();

    // A lead byte followed by a byte that no GBK character has as its second one (below 0x40)
    // is passed over as one character by the GBK-aware steps but not by the whole-text ones,
    // so a protection byte may stay there. GBK text never holds such a pair.
    bool invalidPair = false;
    for (std::size_t i = 1; i < input.size(); ++i) {
        const auto lead = static_cast<unsigned char>(input[i - 1]);
        invalidPair = invalidPair || (lead >= 0x80 && static_cast<unsigned char>(input[i]) < 0x40);
    }
    if (!invalidPair &&
        out.find_first_of(std::string_view("\x01\x02\x03", 3)) != std::string_view::npos) {
        Finding(kName, "a protection byte is left in the output");
    }
    bool ascii = true;
    for (const char c : input) {
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    }
    if (!ascii || Count(input, "_") >= GbString::kDefaultReplaceLimit) return 0;
    if (out.find('_') != std::string_view::npos) Finding(kName, "a \"_\" was not converted");
    static constexpr std::string_view kPairs[][2] = {
        {"<u>", "</u>"}, {"<b>", "</b>"}, {"<i>", "</i>"}, {"<em>", "</em>"}};
    for (const auto& pair : kPairs) {
        const int opened = Count(out, pair[0]) - Count(input, pair[0]);
        const int closed = Count(out, pair[1]) - Count(input, pair[1]);
        if (opened != closed) Finding(kName, "a mark was converted without its partner");
    }
    return 0;
}
