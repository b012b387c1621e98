// Fuzz target: IndexLookup and ReadModuleEntry over a hostile module (index and text file),
// with the engine's reference passes on or off and the substitutions on or off.
//
// Checked: a range that IndexLookup finds is the offset written after the key's entry in the
// index; the record converts to HTML without leftover protection bytes; reading never writes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/pages/reference_links.h"
#include "engine/state/render_state.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/sample_state.h"
#include "platform/files.h"
#include "textlib/module_reader.h"

namespace {

using namespace quillax;
using fuzzing::Finding;

constexpr const char* kName = "module_fuzz";

std::uint32_t ReadLe32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

bool HasDigit(std::string_view key) {
    for (const char c : key) {
        if (c >= '0' && c <= '9') return true;
    }
    return false;
}

// A found key of the plain kind: some "key=" of the index is followed by the offset's bytes.
void CheckRange(std::string_view index, std::string_view key, const IndexRange& range) {
    if (range.offset < 0) {
        if (range.length != -1) Finding(kName, "a missing key has a length");
        return;
    }
    if (range.offset > 0xFFFFFFFFll || range.length < -1) Finding(kName, "range out of bounds");
    if (HasDigit(key)) return;  // chapter keys are stored in their binary form
    const std::string pattern = std::string(key) + "=";
    for (std::size_t at = index.find(pattern); at != std::string_view::npos;
         at = index.find(pattern, at + 1)) {
        const std::size_t offsetAt = at + pattern.size();
        if (offsetAt + 4 <= index.size() && ReadLe32(index, offsetAt) == range.offset) return;
    }
    Finding(kName, "the range's offset is not the one after the key in the index");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string dir = fuzzing::ScratchDirectory() + "/install";
    static RenderState* state = [] {
        platform::MakeDirectories(dir);
        auto* s = new RenderState;
        fuzzing::FillSampleState(*s, dir + "\\");
        return s;
    }();

    FuzzedDataProvider input(data, size);
    const std::string key = input.ConsumeRandomLengthString(16);
    const std::uint8_t flags = input.ConsumeIntegral<std::uint8_t>();
    const std::string moduleName = (flags & 4) != 0 ? input.ConsumeRandomLengthString(16) : "m";
    const std::string index = input.ConsumeRandomLengthString(1024);
    const std::string text = input.ConsumeRemainingBytesAsString();

    const IndexRange range = IndexLookup(index, key);
    CheckRange(index, key, range);

    fuzzing::PutFile(dir + "/m.inx", index);
    fuzzing::PutFile(dir + "/m.txt", text);
    state->substitute = (flags & 1) != 0 ? 1 : 0;
    const bool link = (flags & 2) != 0;
    const GbString record = (flags & 8) != 0
        ? ReadModuleEntry(*state, moduleName, key, link)
        : ReadModuleEntryWith(ModuleReaderContext{state->installDir, state->systemTextDir,
                                                  state->systemModules, state->substitute != 0,
                                                  state->cmpStr, nullptr, nullptr},
                              moduleName, key, link);
    if (moduleName == "m" && range.offset < 0 && !record.IsEmpty()) {
        Finding(kName, "a key that is not in the index gave a record");
    }
    // As in markup_fuzz: a lead byte followed by a byte below 0x40 (no GBK character) may keep
    // a protection byte; module texts are GBK, so only texts without such pairs are checked.
    bool invalidPair = false;
    for (std::size_t i = 1; i < text.size(); ++i) {
        invalidPair = invalidPair || (static_cast<unsigned char>(text[i - 1]) >= 0x80 &&
                                      static_cast<unsigned char>(text[i]) < 0x40);
    }
    if (!invalidPair &&
        record.view().find_first_of(std::string_view("\x01\x02\x03", 3)) != std::string_view::npos) {
        Finding(kName, "a protection byte is left in the record");
    }
    if (platform::ListDirectory(dir).size() != 2) Finding(kName, "reading a record wrote a file");
    return 0;
}
