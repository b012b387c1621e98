// The installation's shortcuts and fonts, and the tree deletion and its safety checks that the
// uninstall uses, on temporary folders (never the user's own start menu, desktop or fonts).
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "platform/program_location.h"
#include "platform/shell.h"
#include "setup/fonts.h"
#include "setup/locale_table.h"
#include "setup/shortcuts.h"
#include "setup/setup_test_support.h"
#include "setup/uninstall.h"

namespace quillax {
namespace {

using testsupport::TempDirectory;
using testsupport::TempInstallation;

// The session of an installation whose configuration directory is install.Config().
SetupSession SessionOf(const TempInstallation& install) {
    SetupSession session;
    session.configDirectory = install.Config();
    return session;
}

bool LinkExists(const std::string& link) { return platform::FileExists(platform::ShellLinkFile(link)); }

TEST(Shortcuts, ShortcutHoldsTargetIconHotKeyAndWorkingDirectory) {
    TempDirectory dir;
    ASSERT_TRUE(platform::MakeDirectories(dir.Path() + "menu"));
    const std::string target = dir.Path() + "prod\\corvex.chm";
    const std::string link = dir.Path() + "menu\\Tessaly\\Tessaly.lnk";
    CreateShortcut(target, link, dir.Path() + "prod\\cfg\\envoke.exe", 0, "Tessaly", kMainHotKey, "");

    const std::optional<platform::ShellLink> main = platform::ReadShellLink(link);
    ASSERT_TRUE(main.has_value());
    EXPECT_EQ(main->target, target);
    EXPECT_EQ(main->description, "Tessaly");
    EXPECT_EQ(main->hotKey, 0x0642);
    EXPECT_EQ(main->hotKey, platform::kHotKeyControl | platform::kHotKeyAlt | 'B');
    EXPECT_EQ(main->iconPath, dir.Path() + "prod\\cfg\\envoke.exe");
    EXPECT_EQ(main->iconIndex, 0);
    EXPECT_EQ(main->workingDirectory, dir.Path() + "prod");
    EXPECT_EQ(main->arguments, "");

    const std::string uninstall = dir.Path() + "menu\\Tessaly\\x.lnk";
    CreateShortcut(dir.Path() + "prod\\cfg\\Envoke.exe", uninstall, dir.Path() + "prod\\cfg\\Envoke.exe", 1,
                   "uninstall", 0, "-uninstall");
    const std::optional<platform::ShellLink> second = platform::ReadShellLink(uninstall);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->arguments, "-uninstall");
    EXPECT_EQ(second->iconIndex, 1);
    EXPECT_EQ(second->hotKey, 0);

    // Only the link's own directory is made, not the folders above it.
    CreateShortcut(target, dir.Path() + "none\\Tessaly\\Tessaly.lnk", "", 0, "Tessaly", 0, "");
    EXPECT_FALSE(platform::PathExists(dir.Path() + "none"));
}

TEST(Shortcuts, ProductShortcutsFollowTheLocale) {
    TempInstallation install;
    TempDirectory shell;
    ASSERT_TRUE(platform::MakeDirectories(shell.Path() + "programs"));
    ASSERT_TRUE(platform::MakeDirectories(shell.Path() + "desktop"));
    const ShortcutFolders folders{shell.Path() + "programs", shell.Path() + "desktop"};
    const SetupSession session = SessionOf(install);

    // An English locale makes no shortcut at all.
    CreateProductShortcuts(session, kLocaleOther, folders);
    EXPECT_TRUE(platform::ListDirectory(shell.Path() + "programs").empty());
    EXPECT_TRUE(platform::ListDirectory(shell.Path() + "desktop").empty());

    const LocaleTexts& texts = LocaleTable(kLocaleSimplified);
    const std::string folder = shell.Path() + "programs\\Tessaly\\";
    CreateProductShortcuts(session, kLocaleSimplified, folders);
    const auto main = platform::ReadShellLink(folder + "Tessaly.lnk");
    ASSERT_TRUE(main.has_value());
    EXPECT_EQ(main->target, install.Root() + "corvex.chm");
    EXPECT_EQ(main->hotKey, kMainHotKey);
    EXPECT_EQ(main->iconPath, install.Config() + "envoke.exe");
    const auto update = platform::ReadShellLink(folder + std::string(texts.updateShortcutName) + ".lnk");
    ASSERT_TRUE(update.has_value());
    EXPECT_EQ(update->target, install.Root() + "update\\" + platform::ProgramFileName("cvupdate.exe"));
    EXPECT_EQ(update->description, texts.updateShortcutName);
    EXPECT_EQ(update->hotKey, 0);
    // The uninstall shortcut starts a program that is there: without the set-up tool in the
    // configuration directory, the running one.
    const std::string uninstallLink = folder + std::string(texts.uninstallShortcutName) + ".lnk";
    auto uninstall = platform::ReadShellLink(uninstallLink);
    ASSERT_TRUE(uninstall.has_value());
    EXPECT_EQ(uninstall->target, platform::ProgramPath());
    EXPECT_EQ(uninstall->arguments, "-uninstall");
    EXPECT_EQ(uninstall->iconIndex, 1);
    const std::string installed = install.Config() + platform::ProgramFileName("Envoke.exe");
    ASSERT_TRUE(platform::WriteWholeFile(installed, "the set-up tool"));
    CreateProductShortcuts(session, kLocaleSimplified, folders);
    uninstall = platform::ReadShellLink(uninstallLink);
    ASSERT_TRUE(uninstall.has_value());
    EXPECT_EQ(uninstall->target, installed);
    EXPECT_EQ(uninstall->iconPath, installed);
    EXPECT_EQ(uninstall->iconIndex, 1);
    const std::string desktopLink = shell.Path() + "desktop\\Tessaly.lnk";
    const auto desktop = platform::ReadShellLink(desktopLink);
    ASSERT_TRUE(desktop.has_value());
    EXPECT_EQ(desktop->hotKey, kMainHotKey);

    // A second run keeps the desktop shortcut and writes the start-menu ones again.
    ASSERT_TRUE(platform::WriteWholeFile(platform::ShellLinkFile(desktopLink), "the user's own"));
    ASSERT_TRUE(platform::WriteWholeFile(platform::ShellLinkFile(folder + "Tessaly.lnk"), "stale"));
    CreateProductShortcuts(session, kLocaleSimplified, folders);
    EXPECT_EQ(platform::ReadWholeFile(platform::ShellLinkFile(desktopLink)), "the user's own");
    EXPECT_TRUE(platform::ReadShellLink(folder + "Tessaly.lnk").has_value());

    // The traditional column names the same folder and its own shortcuts.
    const LocaleTexts& traditional = LocaleTable(kLocaleTraditional);
    CreateProductShortcuts(session, kLocaleTraditional, folders);
    EXPECT_TRUE(LinkExists(folder + std::string(traditional.updateShortcutName) + ".lnk"));
    EXPECT_TRUE(LinkExists(folder + std::string(traditional.uninstallShortcutName) + ".lnk"));
}

TEST(Fonts, CopiesTheYouYuanFontAndMovesTheOthers) {
    TempInstallation install;
    TempDirectory fonts;
    SetupSession session = SessionOf(install);
    session.showFlag = false;  // a quiet run: no question
    install.Write("SimYou.ttf", "youyuan v2");
    install.Write("WINGDNG3.TTF", "wingdings");
    install.Write("cvfont.ttf", "cvfont");
    ASSERT_TRUE(platform::WriteWholeFile(fonts.Path() + "cvfont.ttf", "old cvfont"));
    GbString completion = "done";
    InstallFonts(session, fonts.Bare(), fonts.Bare(), completion);

    EXPECT_EQ(platform::ReadWholeFile(fonts.Path() + "SimYou.ttf"), "youyuan v2");
    EXPECT_TRUE(platform::FileExists(install.Config() + "SimYou.ttf")) << "copied, not moved";
    EXPECT_EQ(platform::ReadWholeFile(fonts.Path() + "WINGDNG3.TTF"), "wingdings");
    EXPECT_EQ(platform::ReadWholeFile(fonts.Path() + "cvfont.ttf"), "cvfont");
    EXPECT_FALSE(platform::PathExists(install.Config() + "WINGDNG3.TTF"));
    EXPECT_FALSE(platform::PathExists(install.Config() + "cvfont.ttf"));
    EXPECT_EQ(completion, "done") << "no hint without the numbered-notation font";

    // A second run copies the YouYuan font again over a deletable one; the moved fonts are gone
    // from the configuration directory and are skipped.
    install.Write("SimYou.ttf", "youyuan v3");
    InstallFonts(session, fonts.Bare(), fonts.Bare(), completion);
    EXPECT_EQ(platform::ReadWholeFile(fonts.Path() + "SimYou.ttf"), "youyuan v3");
    EXPECT_EQ(platform::ReadWholeFile(fonts.Path() + "WINGDNG3.TTF"), "wingdings");

    // An installed font that cannot be deleted stays in a quiet run.
    ASSERT_TRUE(platform::SetReadOnly(fonts.Path() + "SimYou.ttf", true));
    install.Write("SimYou.ttf", "youyuan v4");
    InstallFonts(session, fonts.Bare(), fonts.Bare(), completion);
    platform::SetReadOnly(fonts.Path() + "SimYou.ttf", false);
    EXPECT_EQ(platform::ReadWholeFile(fonts.Path() + "SimYou.ttf"), "youyuan v3");

    // Without a font directory nothing moves.
    install.Write("cvfont.ttf", "cvfont");
    InstallFonts(session, "", "", completion);
    EXPECT_TRUE(platform::FileExists(install.Config() + "cvfont.ttf"));
}

TEST(DeleteTree, DeletesReadOnlyFilesAndKeepsHiddenDirectories) {
    TempDirectory dir;
    const std::string tree = dir.Path() + "cfg";
    ASSERT_TRUE(platform::MakeDirectories(tree + "\\sys\\deeper"));
    ASSERT_TRUE(platform::WriteWholeFile(tree + "\\bible.ini", "x"));
    ASSERT_TRUE(platform::WriteWholeFile(tree + "\\sys\\corpa.inx", "index"));
    ASSERT_TRUE(platform::SetReadOnly(tree + "\\sys\\corpa.inx", true));
    ASSERT_TRUE(platform::WriteWholeFile(tree + "\\sys\\deeper\\a.txt", "a"));
    ASSERT_TRUE(platform::MakeDirectories(tree + "\\.keep\\inner"));
    ASSERT_TRUE(platform::WriteWholeFile(tree + "\\.keep\\inner\\notes.txt", "notes"));
    // Hidden on Windows by its attribute, on Linux by its name.
    platform::SetFileAttributeBits(tree + "\\.keep", platform::kAttrHidden);

    EXPECT_FALSE(DeleteTree(tree));
    EXPECT_FALSE(platform::PathExists(tree + "\\sys"));
    EXPECT_FALSE(platform::PathExists(tree + "\\bible.ini"));
    EXPECT_TRUE(platform::FileExists(tree + "\\.keep\\inner\\notes.txt"));
    EXPECT_TRUE(platform::DirectoryExists(tree));

    platform::SetFileAttributeBits(tree + "\\.keep", platform::kAttrNormal);
    ASSERT_TRUE(platform::RenamePath(tree + "\\.keep", dir.Path() + "moved"));
    EXPECT_TRUE(DeleteTree(tree));
    EXPECT_FALSE(platform::PathExists(tree));
    EXPECT_FALSE(DeleteTree(tree)) << "nothing to delete";
}

TEST(UninstallSafety, RefusesDirectoriesThatAreNotAnInstallation) {
    TempInstallation install;
    EXPECT_EQ(UninstallRefusal(install.Config()), "");
    EXPECT_NE(UninstallRefusal(""), "");

    TempDirectory stranger;
    const GbString noIni = UninstallRefusal(stranger.Path());
    EXPECT_NE(noIni.Find("bible.ini", 0), -1) << noIni.str();

    // The root of the drive or file system the installation lies on.
    const std::string config = install.Config();
    const std::string root = config.size() > 2 && config[1] == ':' ? config.substr(0, 3) : std::string("\\");
    EXPECT_NE(UninstallRefusal(root), "");

    const std::vector<std::string> protectedFolders = platform::ProtectedFolders();
    ASSERT_FALSE(protectedFolders.empty());
    for (const std::string& folder : protectedFolders) {
        const GbString reason = UninstallRefusal(folder + "\\");
        EXPECT_NE(reason, "") << folder;
        EXPECT_EQ(reason.Find("bible.ini", 0), -1) << folder << " refused for its kind, not for a missing file";
    }
}

}  // namespace
}  // namespace quillax
