// The uninstall where a mistake costs the user's own files: installations whose root is the home
// folder, a user folder or a filesystem root. Each test builds a scratch home (HOME and the XDG
// folders point into it) and checks, file by file, that nothing outside the installation is
// touched and that the refusal is reported.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/code_page.h"
#include "platform/files.h"
#include "setup/posix/envoke_program.h"
#include "setup/setup_test_support.h"
#include "setup/shortcuts.h"
#include "setup/uninstall.h"

namespace quillax {
namespace {

using testsupport::CurrentDirectoryGuard;
using testsupport::ProgramRun;
using testsupport::Quoted;
using testsupport::RunEnvokeProgram;
using testsupport::SystemForm;
using testsupport::TempDirectory;

std::string Utf8(std::string_view gbk) { return platform::GbkToUtf8(gbk); }

// Every file and directory below `directory`, by its path relative to it, with the bytes of the
// files ("<dir>" for a directory, "<link>" for a link, which is not followed).
using Snapshot = std::map<std::string, std::string>;

void Collect(const std::string& directory, const std::string& relative, Snapshot& snapshot) {
    for (const platform::DirectoryEntry& entry : platform::ListDirectory(directory + relative)) {
        const std::string path = relative + entry.name;
        if (entry.attributes == platform::kAttrReparsePoint) {
            snapshot[path] = "<link>";
        } else if ((entry.attributes & platform::kAttrDirectory) != 0) {
            snapshot[path] = "<dir>";
            Collect(directory, path + "\\", snapshot);
        } else {
            snapshot[path] = platform::ReadWholeFile(directory + path).value_or("<unreadable>");
        }
    }
}

Snapshot Take(const std::string& directory) {
    Snapshot snapshot;
    Collect(directory, "", snapshot);
    return snapshot;
}

// The entries of a snapshot outside the subtree `below` (a relative path).
Snapshot Outside(const Snapshot& snapshot, const std::string& below) {
    Snapshot rest;
    for (const auto& [path, content] : snapshot) {
        if (path != below && path.rfind(below + "\\", 0) != 0) {
            rest[path] = content;
        }
    }
    return rest;
}

// A home folder of its own for one test, with the XDG folders inside it, and a folder to start
// the tool from that is not an installation.
class ScratchHome : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::MakeDirectories(home_ + "Documents"));
        ASSERT_TRUE(platform::MakeDirectories(home_ + ".local\\share"));
        ASSERT_TRUE(platform::MakeDirectories(elsewhere_));
        Write("Documents\\letter.txt", "the user's letter");
        Write("notes.txt", "the user's notes");
        Write("midi\\mine.mid", "the user's song");
        Write("update\\plan.txt", "the user's plan");
        Write("Tessaly.chm", "a file of the user's that shares a name with the product's");
    }

    void Write(const std::string& relative, const std::string& bytes) {
        const std::string path = home_ + relative;
        platform::MakeDirectories(path.substr(0, path.rfind('\\')));
        ASSERT_TRUE(platform::WriteWholeFile(path, bytes)) << relative;
    }

    // An installation (bible.ini, a module) with its configuration directory at `config`,
    // relative to the home folder.
    void Install(const std::string& config) {
        Write(config + "\\bible.ini", "[bible]\r\nSYSKEY=corpa\r\n");
        Write(config + "\\sys\\corpa.txt", "01001=text\n");
    }

    // Runs envoke with the scratch home's environment and every question answered Yes.
    ProgramRun Envoke(const std::string& directory, std::initializer_list<std::string> arguments) {
        const std::string home = SystemForm(home_);
        const std::string environment = "HOME=" + Quoted(home) + " XDG_CONFIG_HOME=" + Quoted(home + ".config") +
                                        " XDG_DATA_HOME=" + Quoted(home + ".local/share") +
                                        " XDG_CACHE_HOME=" + Quoted(home + ".cache") +
                                        " XDG_DESKTOP_DIR=" + Quoted(home + "Desktop") +
                                        " QUILLAX_MESSAGE_ANSWER=yes LANG=C";
        return RunEnvokeProgram(platform::GbkToUtf8(directory), environment, arguments);
    }

    // The run said that it refused, named why, and asked nothing.
    static void ExpectRefused(const ProgramRun& run) {
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.output.rfind("[Orvane]\n" + Utf8(kUninstallRefusedMessage), 0), 0u) << run.output;
        EXPECT_EQ(run.output.find("[WARNING]"), std::string::npos) << "nothing is asked";
        EXPECT_EQ(run.output.find(Utf8(kUninstallDoneMessage)), std::string::npos);
    }

    TempDirectory scratch_;
    std::string home_ = scratch_.Path() + "home\\";
    std::string elsewhere_ = scratch_.Path() + "elsewhere";
};

TEST_F(ScratchHome, AnInstallationWhoseRootIsTheHomeFolderIsRefused) {
    Install("cfg");
    const Snapshot before = Take(home_);

    // From the uninstall shortcut (started in the configuration directory, where the tool
    // would hand over to a copy in the root): refused before the copy is written.
    const ProgramRun fromShortcut = Envoke(home_ + "cfg", {"-uninstall"});
    ExpectRefused(fromShortcut);
    EXPECT_NE(fromShortcut.output.find(Utf8("安装目录 ")), std::string::npos) << fromShortcut.output;
    EXPECT_EQ(Take(home_), before);

    // Started anywhere else, the installation is found through the registry: refused as well.
    const ProgramRun fromElsewhere = Envoke(elsewhere_, {"-uninstall"});
    ExpectRefused(fromElsewhere);
    EXPECT_EQ(Take(home_), before);
}

TEST_F(ScratchHome, AnInstallationWhoseRootIsAUserFolderIsRefused) {
    Install("Documents\\cfg");
    Snapshot before = Take(home_);
    ExpectRefused(Envoke(home_ + "Documents\\cfg", {"-uninstall"}));
    EXPECT_EQ(Take(home_), before);

    // A user folder under the name the user's language gives it (user-dirs.dirs).
    Write(".config\\user-dirs.dirs", "# written by xdg-user-dirs-update\nXDG_MUSIC_DIR=\"$HOME/音乐\"\n");
    Install("音乐\\cfg");
    Write("音乐\\song.mp3", "music");
    before = Take(home_);
    ExpectRefused(Envoke(home_ + "音乐\\cfg", {"-uninstall"}));
    EXPECT_EQ(Take(home_), before);
}

TEST_F(ScratchHome, AnInstallationInsideAUserFolderIsUninstalledAndNothingElse) {
    Install("Documents\\Tessaly\\cfg");
    Write("Documents\\Tessaly\\midi\\0102.mid", "the product's song");
    Write("Documents\\Tessaly\\corvex.chm", "help");
    Write("Documents\\Tessaly\\mine.txt", "kept");
    const Snapshot before = Take(home_);

    const ProgramRun run = Envoke(home_ + "Documents\\Tessaly\\cfg", {"-uninstall"});
    EXPECT_NE(run.output.find("[Orvane]\n" + Utf8(kUninstallDoneMessage)), std::string::npos) << run.output;
    const Snapshot after = Take(home_);
    EXPECT_EQ(Outside(after, "Documents\\Tessaly"), Outside(before, "Documents\\Tessaly"));
    EXPECT_EQ(after.count("Documents\\Tessaly\\cfg"), 0u);
    EXPECT_EQ(after.count("Documents\\Tessaly\\midi"), 0u);
    EXPECT_EQ(after.count("Documents\\Tessaly\\corvex.chm"), 0u);
    EXPECT_EQ(after.count("Documents\\Tessaly\\Envoke.exe"), 0u) << "the uninstall's copy is gone";
    ASSERT_EQ(after.count("Documents\\Tessaly\\mine.txt"), 1u);
    EXPECT_EQ(after.at("Documents\\Tessaly\\mine.txt"), "kept");
}

// A filesystem root cannot be made for a test; the check is given a scratch folder as one.
TEST(UninstallAtAFilesystemRoot, IsRefusedAndTouchesNothing) {
    CurrentDirectoryGuard guard;
    TempDirectory drive;
    const std::string root = drive.Path();
    for (const char* file : {"cfg\\bible.ini", "cfg\\sys\\corpa.txt", "midi\\mine.mid", "update\\plan.txt",
                             "nmad.txt", "envoke.exe", "keep.txt"}) {
        const std::string path = root + file;
        platform::MakeDirectories(path.substr(0, path.rfind('\\')));
        ASSERT_TRUE(platform::WriteWholeFile(path, "the disk's own")) << file;
    }
    ProtectedPlaces places;
    places.roots = {drive.Bare()};
    const Snapshot before = Take(root);
    ::setenv("QUILLAX_MESSAGE_ANSWER", "yes", 1);
    SetupSession session;
    session.configDirectory = root + "cfg\\";
    const ShortcutFolders noShortcuts;
    Uninstall(session, noShortcuts, places);
    EXPECT_EQ(session.messageText.Find(kUninstallRefusedMessage, 0), 0) << Utf8(session.messageText);
    EXPECT_GE(session.messageText.Find("安装目录 ", 0), 0) << Utf8(session.messageText);
    EXPECT_EQ(Take(root), before);

    // A configuration directory that holds the root of another filesystem is refused too.
    const std::string nested = root + "prod\\cfg\\";
    ASSERT_TRUE(platform::MakeDirectories(nested + "mounted"));
    ASSERT_TRUE(platform::WriteWholeFile(nested + "bible.ini", "x"));
    ASSERT_TRUE(platform::WriteWholeFile(nested + "mounted\\disk.txt", "another disk"));
    places.roots = {nested + "mounted"};
    session.configDirectory = nested;
    session.messageText.Empty();
    Uninstall(session, noShortcuts, places);
    EXPECT_GE(session.messageText.Find("配置目录 ", 0), 0) << Utf8(session.messageText);
    EXPECT_EQ(platform::ReadWholeFile(nested + "mounted\\disk.txt"), "another disk");

    // Without it, the same installation is uninstalled: the places refuse only what they name.
    places.roots.clear();
    Uninstall(session, noShortcuts, places);
    ::unsetenv("QUILLAX_MESSAGE_ANSWER");
    EXPECT_EQ(session.messageText, kUninstallDoneMessage);
    EXPECT_FALSE(platform::PathExists(nested));
    EXPECT_EQ(platform::ReadWholeFile(root + "keep.txt"), "the disk's own");
}

}  // namespace
}  // namespace quillax
