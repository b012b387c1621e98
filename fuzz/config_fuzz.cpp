// Fuzz target: the configuration reader and SetConfigValue over a hostile bible.ini.
//
// The input is a key, a value and a whole bible.ini. Checked:
//  - the text rules: a plain value put in with ReplaceConfigValue reads back unchanged;
//  - LoadConfiguration reads the file (registered through the Linux registry store) and keeps
//    its delay settings in range;
//  - SetConfigValue leaves only bible.ini in the directory (no temporary file), leaves the
//    engine not busy, and a write that happened stores a file the reader reads back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/config/configuration.h"
#include "engine/state/render_state.h"
#include "fuzz/fuzz_support.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "textlib/config_text.h"

namespace {

using namespace quillax;
using fuzzing::Finding;

constexpr const char* kName = "config_fuzz";

const std::string& InstallDir() {
    static const std::string dir = [] {
        const std::string root = fuzzing::ScratchDirectory();
        platform::MakeDirectories(root + "/cfg");
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", root + "/registry");
        platform::WriteRegistryString(platform::RegistryRoot::CurrentUser, "Software\\quillax", "",
                                      root + "/cfg\\");
        return root + "/cfg";
    }();
    return dir;
}

bool IsPlainWord(const std::string& s) {
    if (s.empty()) return false;
    for (const char c : s) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!ok) return false;
    }
    return true;
}

// A key of upper-case letters ending in its only "=".
bool IsPlainKey(const std::string& key) {
    if (key.size() < 2 || key.back() != '=') return false;
    for (std::size_t i = 0; i + 1 < key.size(); ++i) {
        if (key[i] < 'A' || key[i] > 'Z') return false;
    }
    return true;
}

void CheckTextRules(const std::string& file, const std::string& key, const std::string& value) {
    GbString text = ApplyBlankRule(file);
    (void)ReadConfigList(text, key);
    (void)ReadConfigValue(text, key);
    const bool present = !key.empty() && text.Find(key, 0) >= 0;
    const bool replaced = ReplaceConfigValue(text, key, value);
    if (replaced != present) Finding(kName, "ReplaceConfigValue disagrees with the key search");
    if (!replaced) {
        if (text.view() != ApplyBlankRule(file).view()) Finding(kName, "a refused replace changed the text");
        return;
    }
    if (IsPlainKey(key) && IsPlainWord(value) && ReadConfigValue(text, key).view() != value) {
        Finding(kName, "a plain value does not read back");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string key = input.ConsumeRandomLengthString(24);
    const std::string value = input.ConsumeRandomLengthString(64);
    const bool useSample = input.ConsumeBool();
    std::string file = input.ConsumeRemainingBytesAsString();
    if (useSample) file = fuzzing::SampleConfig() + file;

    CheckTextRules(file, key, value);

    const std::string dir = InstallDir();
    const std::string iniPath = dir + "/bible.ini";
    fuzzing::PutFile(iniPath, file);

    RenderState state;
    LoadConfiguration(state);
    if (state.openDelay < 100 || state.openDelay > 2000) Finding(kName, "open delay out of range");
    if (state.closeDelay < 0 || state.closeDelay > 2000) Finding(kName, "close delay out of range");

    GbString inOut(value);
    const bool result = SetConfigValue(state, key, inOut);
    (void)result;
    if (state.busy) Finding(kName, "the engine stays busy after a write");

    const auto entries = platform::ListDirectory(dir);
    if (entries.size() != 1 || entries[0].name != "bible.ini") {
        Finding(kName, "a write left something beside bible.ini");
    }
    const auto after = platform::ReadWholeFile(iniPath);
    if (!after) Finding(kName, "bible.ini is gone");
    // A write stores the engine's text (blank rule applied) whole; no write leaves the file as
    // it was.
    if (*after != file && *after != state.configText.view()) {
        Finding(kName, "bible.ini is neither the old text nor the engine's new text");
    }
    GbString upper(key);
    upper.MakeUpper();
    const std::string upperKey(upper.view());
    if (*after != file && IsPlainKey(upperKey) && IsPlainWord(value) &&
        upperKey != "CSSBGCOLOR=" && ReadConfigValue(GbString(*after), upperKey).view() != value) {
        Finding(kName, "a written plain value does not read back from the file");
    }
    return 0;
}
