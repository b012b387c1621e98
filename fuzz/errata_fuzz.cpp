// Fuzz target: the errata list parser and its rewrites. The input is a correction list and the
// text of one module file; the installation has two module files and files named "decoy" at
// every level above its configuration directory, where section names with ".." could reach.
//
// Checked: a module file either stays byte for byte or is rewritten with CR LF after every line
// and no empty line; no temporary ".tex" file is left; nothing outside the configuration
// directory changes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/files.h"
#include "setup/errata.h"
#include "setup/setup_session.h"

namespace {

using namespace quillax;
using fuzzing::Finding;

constexpr const char* kName = "errata_fuzz";
constexpr std::string_view kDecoy = "decoy line one\r\ndecoy line two\r\n";
constexpr std::string_view kZendri = "a\r\nb c\r\n\r\nlast";

// list: the correction list, whose new texts go into lines as they are (a lone LF included).
void CheckRewrite(const std::string& before, const std::string& after, const std::string& list) {
    if (after == before) return;
    if (after.empty()) return;
    if (after.size() < 2 || after.compare(after.size() - 2, 2, "\r\n") != 0) {
        Finding(kName, "a rewritten file does not end with CR LF");
    }
    bool loneLineFeed = false;
    for (std::size_t at = list.find('\n'); at != std::string::npos; at = list.find('\n', at + 1)) {
        loneLineFeed = loneLineFeed || at == 0 || list[at - 1] != '\r';
    }
    // A new text ending in LF after a line's lone CR makes a CR LF of its own, and with it what
    // reads as an empty line: the line rules hold for lists without a lone LF.
    if (loneLineFeed) return;
    if (after.rfind("\r\n", 0) == 0 || after.find("\r\n\r\n") != std::string::npos) {
        Finding(kName, "a rewritten file keeps an empty line");
    }
    for (std::size_t at = after.find('\n'); at != std::string::npos; at = after.find('\n', at + 1)) {
        if (at == 0 || after[at - 1] != '\r') Finding(kName, "a rewritten line does not end with CR LF");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string top = fuzzing::ScratchDirectory() + "/a";
    static const std::string config = top + "/b/inst/cfg";

    FuzzedDataProvider input(data, size);
    const std::string corpa = input.ConsumeRandomLengthString(512);
    const std::string list = input.ConsumeRemainingBytesAsString();

    fuzzing::ResetDirectory(top);
    fuzzing::ResetDirectory(config + "/sys");
    for (const std::string& dir : {top, top + "/b", top + "/b/inst", config}) {
        fuzzing::PutFile(dir + "/decoy.txt", kDecoy);
        fuzzing::PutFile(dir + "/decoy.tex", kDecoy);
    }
    fuzzing::PutFile(config + "/sys/corpa.txt", corpa);
    fuzzing::PutFile(config + "/sys/zendri.txt", kZendri);
    fuzzing::PutFile(config + "/correct.txt", list);
    const std::set<std::string> treeBefore = fuzzing::ListTree(top);

    SetupSession session;
    session.configDirectory = GbString(config + "\\");
    ApplyErrata(session);
    if (session.messageText.IsEmpty()) Finding(kName, "no closing message");

    CheckRewrite(corpa, platform::ReadWholeFile(config + "/sys/corpa.txt").value_or("<gone>"), list);
    CheckRewrite(std::string(kZendri), platform::ReadWholeFile(config + "/sys/zendri.txt").value_or("<gone>"), list);
    for (const std::string& path : fuzzing::ListTree(top)) {
        if (path.size() > 4 && path.compare(path.size() - 4, 4, ".tex") == 0 &&
            path.find("decoy") == std::string::npos) {
            Finding(kName, "a temporary file was left");
        }
        const bool insideConfig = path.rfind("b/inst/cfg/", 0) == 0;
        if (!insideConfig && treeBefore.count(path) == 0) {
            std::fprintf(stderr, "made outside: %s\n", path.c_str());
            Finding(kName, "the errata run made a file outside the configuration directory");
        }
    }
    for (const std::string& dir : {top, top + "/b", top + "/b/inst"}) {
        for (const char* name : {"/decoy.txt", "/decoy.tex"}) {
            if (platform::ReadWholeFile(dir + name).value_or("") != kDecoy) {
                std::fprintf(stderr, "changed: %s%s\n", dir.c_str(), name);
                Finding(kName, "the errata run changed a file outside the configuration directory");
            }
        }
    }
    return 0;
}
