// Fuzz target: the update manifest reader (profile text, section and entry bounds) and
// Updater::EvaluateEntry over a hostile manifest. Downloads go to a local port where nothing
// listens, so they fail at once; the check pass still makes target directories.
//
// Checked: section names and lines fit their buffers; a value set with SetValue reads back;
// SafeTargetPath keeps no "." or ".." part and no drive or root; evaluating any entry writes
// nothing outside the installation directory and the updater's own directory.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/files.h"
#include "platform/http.h"
#include "updater/front.h"
#include "updater/profile_file.h"
#include "updater/updater.h"

namespace {

using namespace quillax;
using fuzzing::Finding;

constexpr const char* kName = "manifest_fuzz";

bool IsPlainName(const std::string& s) {
    if (s.empty()) return false;
    for (const char c : s) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                        c == '.' || c == '_';
        if (!ok) return false;
    }
    return true;
}

void CheckProfile(const std::string& text, const std::string& section, const std::string& key,
                  const std::string& value, std::size_t bufferSize) {
    const ProfileText profile(text);
    std::size_t used = 1;
    for (const GbString& name : profile.SectionNames(bufferSize)) used += name.size() + 1;
    if (used > bufferSize && used > 1) Finding(kName, "section names overflow their buffer");
    used = 1;
    for (const GbString& line : profile.SectionLines(section)) used += line.size() + 1;
    if (used > kSectionBufferSize && used > 1) Finding(kName, "section lines overflow their buffer");
    (void)profile.Value(section, key);

    if (IsPlainName(section) && IsPlainName(key) && IsPlainName(value)) {
        ProfileText changed(text);
        changed.SetValue(section, key, value);
        const auto back = changed.Value(section, key);
        if (!back || back->view() != value) Finding(kName, "a value set does not read back");
    }
}

void CheckTargetPath(const std::string& path) {
    for (const char c : path) {
        if (static_cast<unsigned char>(c) >= 0x80) return;  // GBK trail bytes may be 0x5C
    }
    const GbString safe = SafeTargetPath(path);
    const std::string_view s = safe.view();
    if (!s.empty() && (s.front() == '\\' || s.front() == '/')) Finding(kName, "a target path from the root");
    if (s.size() >= 2 && s[1] == ':') Finding(kName, "a target path with a drive");
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t end = s.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = s.size();
        const std::string_view part = s.substr(start, end - start);
        if (part == "." || part == "..") Finding(kName, "a target path keeps a dot part");
        start = end + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string root = fuzzing::ScratchDirectory() + "/a/b/c";
    static const std::string install = root + "/install";
    static const std::string own = root + "/own";
    static const std::string manifest = root + "/cvupdate.ini";

    FuzzedDataProvider input(data, size);
    const std::uint8_t flags = input.ConsumeIntegral<std::uint8_t>();
    const std::string section = input.ConsumeRandomLengthString(32);
    const std::string key = input.ConsumeRandomLengthString(16);
    const std::string value = input.ConsumeRandomLengthString(32);
    const std::size_t bufferSize = input.ConsumeIntegralInRange<std::size_t>(0, 4096);
    const std::string text = input.ConsumeRemainingBytesAsString();

    CheckProfile(text, section, key, value, bufferSize);
    const UpdateEntry entry = ReadUpdateEntry(text, section);
    CheckTargetPath(entry.targetPath.str());
    CheckTargetPath(key);

    if ((flags & 1) == 0) return 0;  // the file-system half on every other input

    fuzzing::ResetDirectory(fuzzing::ScratchDirectory() + "/a");
    fuzzing::ResetDirectory(install + "/sub");
    fuzzing::ResetDirectory(own);
    fuzzing::PutFile(manifest, text);

    static platform::HttpConnection connection("cvupdate", "127.0.0.1", 9);
    RecordingFront front;
    UpdaterSetup setup;
    setup.installDir = GbString(install + "/");
    setup.ownDir = GbString(own + "/");
    setup.manifestCopy = GbString(manifest);
    setup.installedEngineLabel = GbString(value);
    Updater updater(front, connection, setup);
    // An entry whose name starts "Envoke.exe" starts the program after its download.
    updater.startProgram = [](const GbString&, const std::vector<std::string>&) {};
    updater.readLocale = [] { return GbString("00000804"); };
    if ((flags & 2) != 0) {
        updater.RunEntries((flags & 4) != 0);
    } else {
        updater.EvaluateEntry(GbString(section), (flags & 4) != 0);
    }

    for (const std::string& path : fuzzing::ListTree(fuzzing::ScratchDirectory() + "/a")) {
        const bool inside = path.rfind("b/c/install/", 0) == 0 || path.rfind("b/c/own/", 0) == 0 ||
                            path == "b/" || path == "b/c/" || path == "b/c/cvupdate.ini";
        if (!inside) {
            std::fprintf(stderr, "written outside: %s\n", path.c_str());
            Finding(kName, "the updater wrote outside its directories");
        }
    }
    return 0;
}
