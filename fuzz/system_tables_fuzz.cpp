// Fuzz target: the readers of the mount table and of user-dirs.dirs, which decide what an
// uninstall must never delete. The input is a mount table and a user-dirs.dirs text.
//
// Checked: every mount point is an absolute path other than "/"; every user folder holds no
// double quote or line end and is either written in the text or a "$HOME/" one in the home
// folder given.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/posix/system_tables.h"

namespace {

using quillax::fuzzing::Finding;

constexpr const char* kName = "system_tables_fuzz";
constexpr const char* kHome = "/home/fuzz";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string mountInfo = input.ConsumeRandomLengthString(4096);
    const std::string userDirs = input.ConsumeRemainingBytesAsString();

    for (const std::string& mountPoint : quillax::platform::posix::MountPointsOf(mountInfo)) {
        if (mountPoint.size() < 2 || mountPoint.front() != '/') Finding(kName, "a mount point that is no absolute path");
    }
    for (const quillax::platform::posix::UserFolderKey& key : quillax::platform::posix::kUserFolderKeys) {
        for (const std::string& folder : quillax::platform::posix::UserDirsFolders(userDirs, key.variable, kHome)) {
            if (folder.find('"') != std::string::npos) Finding(kName, "a folder holds a quote");
            if (folder.find('\n') != std::string::npos) Finding(kName, "a folder runs over a line end");
            // Each folder is written in the text, or is a "$HOME/" one in the home folder.
            const bool inHome = folder.rfind(std::string(kHome) + "/", 0) == 0;
            if (!inHome && userDirs.find(folder) == std::string::npos) Finding(kName, "a folder the text does not name");
        }
    }
    return 0;
}
