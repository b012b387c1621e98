// Where paths lead on Linux: long names rewritten whole, links that leave a directory, the roots
// of the mounted filesystems and the user folders that are never deleted whole.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/posix/system_tables.h"
#include "platform/shell.h"
#include "platform/posix/posix_test_support.h"
#include "platform/temp_dir.h"

namespace quillax {
namespace {

std::string ProgramForm(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

using testing::ScopedVariable;
using testing::SystemForm;

TEST(LongNames, FilesWithNamesUpToTheLimitAreReplacedWhole) {
    // Every length up to the system's 255 bytes, where a temporary name made by adding to the
    // file's own name would no longer fit.
    testing::TempDir dir;
    for (std::size_t length = 235; length <= 255; ++length) {
        const std::string name(length - 4, static_cast<char>('a' + length % 26));
        const std::string path = dir / (name + ".txt");
        ASSERT_TRUE(platform::WriteWholeFile(path, "first")) << length;
        ASSERT_TRUE(platform::WriteWholeFile(path, "second")) << length;
        EXPECT_EQ(platform::ReadWholeFile(path), "second") << length;
    }
    // Nothing but the files themselves is left.
    const std::vector<platform::DirectoryEntry> entries = platform::ListDirectory(dir.path());
    EXPECT_EQ(entries.size(), 21u);
    for (const platform::DirectoryEntry& entry : entries) {
        EXPECT_EQ(entry.name.substr(entry.name.size() - 4), ".txt") << entry.name;
    }
    // A name beyond the limit cannot be written, and says so.
    EXPECT_FALSE(platform::WriteWholeFile(dir / std::string(256, 'x'), "too long"));
}

TEST(StaysWithin, FollowsLinksOnTheWayOfBothPaths) {
    testing::TempDir dir;
    const std::string inside = dir / "inst";
    const std::string outside = dir / "outside";
    ASSERT_TRUE(platform::MakeDirectories(inside + "\\sub"));
    ASSERT_TRUE(platform::MakeDirectories(outside));
    ASSERT_EQ(::symlink(SystemForm(outside).c_str(), SystemForm(inside + "/away").c_str()), 0);
    ASSERT_EQ(::symlink(SystemForm(inside + "/sub").c_str(), SystemForm(inside + "/near").c_str()), 0);
    ASSERT_EQ(::symlink(SystemForm(dir / "gone").c_str(), SystemForm(inside + "/dangling").c_str()), 0);
    ASSERT_EQ(::symlink(SystemForm(inside).c_str(), SystemForm(dir / "inst-link").c_str()), 0);

    EXPECT_TRUE(platform::StaysWithin(inside, inside));
    EXPECT_TRUE(platform::StaysWithin(inside + "\\sub\\new\\deeper\\file.txt", inside)) << "not there yet";
    EXPECT_TRUE(platform::StaysWithin(inside + "\\near\\file.txt", inside)) << "a link that stays inside";
    EXPECT_FALSE(platform::StaysWithin(inside + "\\away", inside));
    EXPECT_FALSE(platform::StaysWithin(inside + "\\away\\new\\file.txt", inside));
    EXPECT_FALSE(platform::StaysWithin(inside + "\\dangling\\file.txt", inside));
    EXPECT_FALSE(platform::StaysWithin(inside + "\\sub\\..\\..\\outside", inside));
    EXPECT_FALSE(platform::StaysWithin(dir / "inst2", inside)) << "a name that only starts the same";
    EXPECT_TRUE(platform::StaysWithin(inside + "\\sub", dir / "inst-link")) << "the directory may be a link too";
    EXPECT_FALSE(platform::StaysWithin(inside, dir / "missing"));

    EXPECT_EQ(platform::RealPath(inside + "\\away"), ProgramForm(outside));
    EXPECT_EQ(platform::RealPath(inside + "\\sub\\..\\near\\"), ProgramForm(inside + "\\sub"));
    EXPECT_FALSE(platform::RealPath(inside + "\\dangling"));
    ::unlink(SystemForm(inside + "/away").c_str());
    ::unlink(SystemForm(dir / "inst-link").c_str());
}

TEST(FilesystemRoots, AreTheRootAndEveryMountPoint) {
    const std::vector<std::string> roots = platform::FilesystemRoots();
    ASSERT_FALSE(roots.empty());
    EXPECT_EQ(roots.front(), "\\");
    // Every directory the kernel lists as mounted (/proc/mounts, the older table) is among them.
    std::ifstream mounts("/proc/mounts");
    std::string line;
    int checked = 0;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string device;
        std::string mountPoint;
        fields >> device >> mountPoint;
        if (mountPoint == "/" || mountPoint.find('\\') != std::string::npos) {
            continue;  // the root, or a name written with octal escapes
        }
        if (platform::DirectoryExists(mountPoint)) {
            EXPECT_NE(std::find(roots.begin(), roots.end(), platform::Utf8ToGbk(ProgramForm(mountPoint))), roots.end())
                << mountPoint;
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

TEST(SystemTables, MountPointsAndUserFoldersAreReadAsWritten) {
    const std::string mountInfo =
        "22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
        "23 22 0:5 / /proc rw - proc proc rw\n"
        "24 22 8:2 / /media/my\\040disk\\011two rw - ext4 /dev/sdb1 rw\n"
        "25 22 8:3 / /mnt/back\\134slash rw - ext4 /dev/sdc1 rw\n"
        "26 22 8:4 / /mnt/odd\\09x rw\n"
        "short line\n"
        "27 22 8:5 / relative rw\n"
        "28 22 8:6 / /last";
    EXPECT_EQ(platform::posix::MountPointsOf(mountInfo),
              (std::vector<std::string>{"/proc", "/media/my disk\ttwo", "/mnt/back\\slash", "/mnt/odd\\09x", "/last"}));
    EXPECT_TRUE(platform::posix::MountPointsOf("").empty());

    const std::string userDirs = "# XDG_DOCUMENTS_DIR=\"$HOME/comment\"\n"
                                 "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
                                 "XDG_DOCUMENTS_DIR=\"/data/docs\"\n"
                                 "XDG_DOCUMENTS_DIR=\"$HOME/unclosed\n"
                                 "XDG_MUSIC_DIR=\"$HOME/Musik\"";
    EXPECT_EQ(platform::posix::UserDirsFolders(userDirs, "XDG_DOCUMENTS_DIR", "/home/u"),
              (std::vector<std::string>{"/home/u/Dokumente", "/data/docs"}));
    EXPECT_EQ(platform::posix::UserDirsFolders(userDirs, "XDG_MUSIC_DIR", "/home/u"),
              std::vector<std::string>{"/home/u/Musik"});
    EXPECT_TRUE(platform::posix::UserDirsFolders(userDirs, "XDG_VIDEOS_DIR", "/home/u").empty());
}

TEST(ProtectedFolders, HoldTheUserFoldersUnderEveryName) {
    testing::TempDir dir;
    const std::string home = SystemForm(dir.path()) + "/home";
    ASSERT_TRUE(platform::MakeDirectories(dir / "home\\.config"));
    ASSERT_TRUE(platform::WriteWholeFile(dir / "home\\.config\\user-dirs.dirs",
                                         "XDG_DOCUMENTS_DIR=\"$HOME/" + platform::Utf16ToUtf8(u"文档") +
                                             "\"\n#XDG_MUSIC_DIR=\"$HOME/commented\"\n"
                                             "XDG_VIDEOS_DIR=\"/srv/media/videos\"\n"));
    const ScopedVariable homeVariable("HOME", home);
    const ScopedVariable config("XDG_CONFIG_HOME", std::nullopt);
    const ScopedVariable pictures("XDG_PICTURES_DIR", home + "/Bilder");
    const std::vector<std::string> folders = platform::ProtectedFolders();
    const auto has = [&folders](const std::string& systemPath) {
        return std::find(folders.begin(), folders.end(), platform::Utf8ToGbk(ProgramForm(systemPath))) != folders.end();
    };
    EXPECT_TRUE(has(home));
    for (const char* name : {"Desktop", "Documents", "Downloads", "Music", "Pictures", "Public", "Templates", "Videos"}) {
        EXPECT_TRUE(has(home + "/" + name)) << name;
    }
    EXPECT_TRUE(has(home + "/" + platform::Utf16ToUtf8(u"文档"))) << "the name user-dirs.dirs gives";
    EXPECT_TRUE(has("/srv/media/videos"));
    EXPECT_TRUE(has(home + "/Bilder")) << "the name the variable gives";
    EXPECT_FALSE(has(home + "/commented"));
    EXPECT_TRUE(has("/usr"));
}

}  // namespace
}  // namespace quillax
