// The set-up tool's actions on Linux with their stand-ins: registration through the regsvr tool
// (with a stand-in component library), questions answered through QUILLAX_MESSAGE_ANSWER, the
// XDG folders of the test environment, fc-cache, and the built envoke program for the
// installation run and the uninstall hand-off.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/program_location.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "setup/bible_import.h"
#include "setup/environment_install.h"
#include "setup/fonts.h"
#include "setup/locale_table.h"
#include "setup/posix/envoke_program.h"
#include "setup/setup_test_support.h"
#include "setup/shortcuts.h"
#include "setup/uninstall.h"
#include "textlib/registry_text.h"

namespace quillax {
namespace {

using platform::RegistryRoot;
using testsupport::CurrentDirectoryGuard;
using testsupport::ProgramRun;
using testsupport::Quoted;
using testsupport::RunEnvokeProgram;
using testsupport::RunProgramIn;
using testsupport::SystemForm;
using testsupport::TempDirectory;
using testsupport::TempInstallation;

std::string Utf8(std::string_view gbk) { return platform::GbkToUtf8(gbk); }

using testing::ScopedVariable;

void SetLocale(const char* value) {
    ASSERT_TRUE(platform::WriteRegistryString(RegistryRoot::CurrentUser, "Control Panel\\International", "Locale", value));
}

SetupSession SessionOf(const TempInstallation& install) {
    SetupSession session;
    session.configDirectory = install.Config();
    return session;
}

// ---- registration ---------------------------------------------------------------------------

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::CopyProgramFile(QUILLAX_FAKE_COMPONENT, install_.Config() + "quillax.dll"));
        log_ = logDir_.Path() + "calls.log";
        platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, "quillax.qlx");
    }
    void TearDown() override {
        platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, "quillax.qlx");
        platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, "CLSID");
    }
    GbString RegisteredLibrary() const {
        const GbString classId = ReadRegistryText(RegistryRoot::ClassesRoot, "quillax.qlx\\CLSID", "");
        return ReadRegistryText(RegistryRoot::ClassesRoot, GbString("CLSID\\") + classId + "\\InprocServer32", "");
    }
    std::string Calls() const { return platform::ReadWholeFile(log_).value_or(""); }

    TempInstallation install_;
    TempDirectory logDir_;
    std::string log_;
};

TEST_F(RegistrationTest, RegistersTheLibraryOfTheConfigurationDirectoryAndUnregistersIt) {
    const ScopedVariable logVariable("QUILLAX_FAKE_COMPONENT_LOG", SystemForm(log_));
    const SetupSession session = SessionOf(install_);
    const std::string library = SystemForm(install_.Config() + "quillax.dll");

    UnregisterComponent(session);
    EXPECT_EQ(Calls(), "") << "nothing registered: nothing to unregister";

    RegisterComponent(session);
    EXPECT_EQ(RegisteredLibrary(), library);
    UnregisterComponent(session);
    EXPECT_FALSE(platform::RegistryKeyExists(RegistryRoot::ClassesRoot, "quillax.qlx"));
    EXPECT_EQ(Calls(), "register " + library + "\nunregister " + library + "\n");
}

TEST_F(RegistrationTest, ReRegistrationUnregistersTheOldLibraryFirst) {
    const ScopedVariable logVariable("QUILLAX_FAKE_COMPONENT_LOG", SystemForm(log_));
    TempDirectory old;
    ASSERT_TRUE(platform::CopyProgramFile(QUILLAX_FAKE_COMPONENT, old.Path() + "quillax.dll"));
    SetupSession oldSession;
    oldSession.configDirectory = old.Path();
    RegisterComponent(oldSession);
    const std::string oldLibrary = SystemForm(old.Path() + "quillax.dll");
    ASSERT_EQ(RegisteredLibrary(), oldLibrary);

    // An old library in the (stand-in) system directory goes too.
    TempDirectory windows;
    ASSERT_TRUE(platform::WriteWholeFile(windows.Path() + "quillax.dll", "stale"));
    SetupSession session = SessionOf(install_);
    session.systemComponentPath = windows.Path() + "quillax.dll";
    session.showFlag = false;
    SetLocale("00000409");
    InstallEnvironment(session, true);

    const std::string library = SystemForm(install_.Config() + "quillax.dll");
    EXPECT_EQ(Calls(), "register " + oldLibrary + "\nunregister " + oldLibrary + "\nregister " + library + "\n");
    EXPECT_EQ(RegisteredLibrary(), library);
    EXPECT_FALSE(platform::PathExists(windows.Path() + "quillax.dll"));
    EXPECT_EQ(session.messageText, ClosingNotice(kLocaleOther));

    // Without re-registration nothing is unregistered first.
    ASSERT_TRUE(platform::WriteWholeFile(log_, ""));
    InstallEnvironment(session, false);
    EXPECT_EQ(Calls(), "register " + library + "\n");
}

TEST_F(RegistrationTest, ClearRegistrationRemovesTheClassAndTheProductKey) {
    const SetupSession session = SessionOf(install_);
    RegisterComponent(session);
    ASSERT_TRUE(platform::WriteRegistryString(RegistryRoot::CurrentUser, "Software\\quillax\\deeper\\still", "v", "1"));
    SetupSession clearing = SessionOf(install_);
    ClearRegistration(clearing);
    EXPECT_FALSE(platform::RegistryKeyExists(RegistryRoot::ClassesRoot, "quillax.qlx"));
    EXPECT_FALSE(platform::RegistryKeyExists(RegistryRoot::CurrentUser, "Software\\quillax"));
    // What was done is said, never an empty box.
    EXPECT_EQ(clearing.messageText, kRegistrationClearedMessage);
    ClearRegistration(clearing);
    EXPECT_EQ(clearing.messageText, kNothingRegisteredMessage);

    // A registration the tool cannot undo (its library is gone) is not reported as undone.
    RegisterComponent(session);
    ASSERT_TRUE(platform::RemoveFile(install_.Config() + "quillax.dll"));
    ClearRegistration(clearing);
    EXPECT_EQ(clearing.messageText, GbString(kUnregistrationFailedMessage) + "3）。");
    EXPECT_FALSE(platform::RegistryKeyExists(RegistryRoot::CurrentUser, "Software\\quillax"));
}

TEST(RegsvrTool, ReportsLikeRegsvr32) {
    TempDirectory dir;
    const std::string tool = platform::RegistrationToolPath("", "");
    ASSERT_TRUE(platform::FileExists(tool)) << tool;
    EXPECT_EQ(platform::StartProgram(tool, {}, true).exitCode, 1);
    EXPECT_EQ(platform::StartProgram(tool, {"/s", dir.Path() + "absent.dll"}, true).exitCode, 3);
    ASSERT_TRUE(platform::WriteWholeFile(dir.Path() + "text.dll", "not a library"));
    EXPECT_EQ(platform::StartProgram(tool, {"-S", dir.Path() + "text.dll"}, true).exitCode, 3);
    // A library without the entry points.
    ASSERT_TRUE(platform::CopyProgramFile(QUILLAX_FAKE_COMPONENT, dir.Path() + "fake.dll"));
    const std::string registry = SystemForm(dir.Path() + "registry");
    const ScopedVariable store("QUILLAX_REGISTRY", registry);
    EXPECT_EQ(platform::StartProgram(tool, {"/s", dir.Path() + "fake.dll"}, true).exitCode, 0);
    EXPECT_EQ(platform::StartProgram(tool, {"/u", "/s", dir.Path() + "fake.dll"}, true).exitCode, 0);
    EXPECT_EQ(platform::StartProgram(tool, {"/s", "/x", dir.Path() + "fake.dll"}, true).exitCode, 1);
}

// ---- questions and fonts --------------------------------------------------------------------

TEST(FontsOnLinux, AsksWhenTheInstalledFontStaysAndRefreshesTheFontCache) {
    TempInstallation install;
    TempDirectory fonts;
    SetupSession session = SessionOf(install);
    install.Write("SimYou.ttf", "new");
    ASSERT_TRUE(platform::WriteWholeFile(fonts.Path() + "SimYou.ttf", "installed"));
    ASSERT_TRUE(platform::SetReadOnly(fonts.Path() + "SimYou.ttf", true));
    GbString completion = kCompletionText;
    {
        const ScopedVariable answer("QUILLAX_MESSAGE_ANSWER", "yes");
        ::testing::internal::CaptureStdout();
        InstallFonts(session, fonts.Bare(), fonts.Bare(), completion);
        const std::string printed = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(printed.rfind("[" + Utf8(kFontQuestionCaption) + "]\n" + Utf8(kFontQuestionText), 0), 0u) << printed;
    }
    platform::SetReadOnly(fonts.Path() + "SimYou.ttf", false);
    EXPECT_EQ(platform::ReadWholeFile(fonts.Path() + "SimYou.ttf"), "installed") << "Yes keeps the installed font";
    EXPECT_EQ(completion, kCompletionText);

    // The numbered-notation font: moved, the cache refreshed, the hint added but not shown.
    install.Write("jianpu2.5.1.ttf", "jianpu");
    ::testing::internal::CaptureStdout();
    InstallFonts(session, fonts.Bare(), fonts.Bare(), completion);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(platform::ReadWholeFile(fonts.Path() + "jianpu2.5.1.ttf"), "jianpu");
    EXPECT_EQ(completion, GbString(kCompletionText) + kFontHint);

    // When the refresh cannot be started the completion text is shown, also in a quiet run.
    session.showFlag = false;
    install.Write("jianpu2.5.1.ttf", "jianpu 2");
    GbString again = kCompletionText;
    TempDirectory emptyPath;
    {
        const ScopedVariable path("PATH", emptyPath.Bare());
        ::testing::internal::CaptureStdout();
        InstallFonts(session, fonts.Bare(), fonts.Bare(), again);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(),
                  "[Orvane]\n" + Utf8(GbString(kCompletionText) + kFontHint) + "\n");
    }
    EXPECT_EQ(platform::ReadWholeFile(fonts.Path() + "jianpu2.5.1.ttf"), "jianpu 2");
}

// ---- uninstall --------------------------------------------------------------------------------

// An installation with the product's files in its root and other content beside them, its
// registry key and its shortcuts in temporary shell folders.
class UninstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::ChangeDirectory(install_.Config()));
        session_.startDirectory = install_.Root();
        session_.configDirectory = install_.Config();
        install_.Write("sys\\corpa.txt", "01001=text\n");
        install_.Write("sys\\corpa.inx", "index");
        ASSERT_TRUE(platform::SetReadOnly(install_.Config() + "sys\\corpa.inx", true));
        for (const char* file : {"midi\\0102.mid", "update\\cvupdate.exe", "Tessaly.chm", "corvex.chm",
                                 "随笔.htm", "nmad.txt", "txconv.exe", "envoke.exe", "keep.txt",
                                 "mydata\\notes.txt"}) {
            const std::string path = install_.Root() + file;
            platform::MakeDirectories(path.substr(0, path.rfind('\\')));
            ASSERT_TRUE(platform::WriteWholeFile(path, "x")) << file;
        }
        ASSERT_TRUE(platform::MakeDirectories(shell_.Path() + "programs"));
        ASSERT_TRUE(platform::MakeDirectories(shell_.Path() + "desktop"));
        folders_ = ShortcutFolders{shell_.Path() + "programs", shell_.Path() + "desktop"};
        SetLocale("00000804");
        CreateProductShortcuts(session_, kLocaleSimplified, folders_);
        ASSERT_TRUE(platform::WriteRegistryString(RegistryRoot::CurrentUser, "Software\\quillax\\sub", "", "v"));
    }

    std::string Run(const char* answer) {
        const ScopedVariable variable("QUILLAX_MESSAGE_ANSWER", answer);
        ::testing::internal::CaptureStdout();
        Uninstall(session_, folders_, ProtectedPlaces::OfPlatform());
        return ::testing::internal::GetCapturedStdout();
    }

    CurrentDirectoryGuard guard_;
    TempInstallation install_;
    TempDirectory shell_;
    ShortcutFolders folders_;
    SetupSession session_;
};

TEST_F(UninstallTest, NoOrCancelChangesNothing) {
    for (const char* answer : {"no", "cancel"}) {
        const std::string printed = Run(answer);
        const UninstallWarning& warning = UninstallWarningFor(kLocaleSimplified);
        EXPECT_EQ(printed.rfind("[" + Utf8(warning.caption) + "] (warning)\n" + Utf8(warning.text), 0), 0u) << printed;
        EXPECT_EQ(session_.messageText, kUninstallCancelledMessage);
        EXPECT_TRUE(platform::FileExists(install_.Config() + "bible.ini"));
        EXPECT_TRUE(platform::FileExists(install_.Root() + "midi\\0102.mid"));
        EXPECT_TRUE(platform::RegistryKeyExists(RegistryRoot::CurrentUser, "Software\\quillax\\sub"));
        EXPECT_TRUE(platform::FileExists(platform::ShellLinkFile(shell_.Path() + "desktop\\Tessaly.lnk")));
    }
}

TEST_F(UninstallTest, TheQuestionWarnsAndEnterKeepsTheInstallation) {
    // A person who presses Enter at the question, as one does at a box that came up unasked.
    const ScopedVariable noScript("QUILLAX_MESSAGE_ANSWER", std::nullopt);
    const testing::TypedInput enter("\n");
    ::testing::internal::CaptureStdout();
    Uninstall(session_, folders_, ProtectedPlaces::OfPlatform());
    const std::string printed = ::testing::internal::GetCapturedStdout();
    const UninstallWarning& warning = UninstallWarningFor(kLocaleSimplified);
    EXPECT_EQ(printed, "[" + Utf8(warning.caption) + "] (warning)\n" + Utf8(warning.text) + "\n(y/N/c) ");
    EXPECT_EQ(session_.messageText, kUninstallCancelledMessage);
    EXPECT_TRUE(platform::FileExists(install_.Config() + "bible.ini"));
    EXPECT_TRUE(platform::FileExists(install_.Root() + "corvex.chm"));
    EXPECT_TRUE(platform::RegistryKeyExists(RegistryRoot::CurrentUser, "Software\\quillax\\sub"));
    EXPECT_TRUE(platform::FileExists(platform::ShellLinkFile(shell_.Path() + "desktop\\Tessaly.lnk")));
}

TEST_F(UninstallTest, YesRemovesWhatTheProductOwnsAndNothingElse) {
    // A hidden directory in the configuration directory stays, and so does the directory.
    ASSERT_TRUE(platform::MakeDirectories(install_.Config() + ".mine"));
    install_.Write(".mine\\note.txt", "mine");

    Run("yes");
    EXPECT_EQ(session_.messageText, kUninstallDoneMessage);
    EXPECT_FALSE(platform::RegistryKeyExists(RegistryRoot::CurrentUser, "Software\\quillax"));
    EXPECT_FALSE(platform::PathExists(install_.Config() + "bible.ini"));
    EXPECT_FALSE(platform::PathExists(install_.Config() + "sys")) << "read-only index files go too";
    EXPECT_EQ(install_.Read(".mine\\note.txt"), "mine");
    for (const char* gone : {"midi", "update", "Tessaly.chm", "corvex.chm", "随笔.htm", "nmad.txt", "txconv.exe",
                             "envoke.exe"}) {
        EXPECT_FALSE(platform::PathExists(install_.Root() + gone)) << gone;
    }
    EXPECT_TRUE(platform::FileExists(install_.Root() + "keep.txt"));
    EXPECT_TRUE(platform::FileExists(install_.Root() + "mydata\\notes.txt"));
    EXPECT_FALSE(platform::PathExists(shell_.Path() + "programs\\Tessaly"));
    EXPECT_FALSE(platform::PathExists(platform::ShellLinkFile(shell_.Path() + "desktop\\Tessaly.lnk")));
    EXPECT_TRUE(platform::DirectoryExists(shell_.Path() + "programs"));

    // Without the hidden directory a second uninstall removes the configuration directory.
    platform::DeleteRegistryTree(RegistryRoot::CurrentUser, "Software\\quillax");
    testsupport::RemoveTree(install_.Config() + ".mine");
    install_.Write("bible.ini", "x");
    Run("yes");
    EXPECT_FALSE(platform::PathExists(install_.Config()));
    EXPECT_TRUE(platform::DirectoryExists(install_.Root()));
}

TEST_F(UninstallTest, RefusesAConfigurationDirectoryThatIsNotAnInstallation) {
    // The registry could name any directory; one without bible.ini is not deleted, and nothing
    // is asked.
    TempDirectory stranger;
    ASSERT_TRUE(platform::WriteWholeFile(stranger.Path() + "precious.txt", "keep"));
    session_.configDirectory = stranger.Path();
    const std::string printed = Run("yes");
    EXPECT_EQ(printed, "");
    EXPECT_EQ(session_.messageText.Find(kUninstallRefusedMessage, 0), 0) << Utf8(session_.messageText);
    EXPECT_TRUE(platform::FileExists(stranger.Path() + "precious.txt"));
    EXPECT_TRUE(platform::RegistryKeyExists(RegistryRoot::CurrentUser, "Software\\quillax\\sub"));

    // Nor is a root, a home folder, or a folder above the user's data folder. (No link to "/" is
    // made for this: the tests' clean-up of temporary folders follows links.)
    EXPECT_NE(UninstallRefusal("/"), "");
    if (const char* home = std::getenv("HOME")) {
        EXPECT_NE(UninstallRefusal(std::string(home) + "/"), "");
    }
    const std::string dataHome = std::getenv("XDG_DATA_HOME");
    EXPECT_NE(UninstallRefusal(dataHome.substr(0, dataHome.rfind('/'))), "");
    EXPECT_TRUE(platform::FileExists(install_.Config() + "bible.ini"));
}

// Removes the links it was given when it goes, so that the clean-up of the temporary folder,
// which follows links, never meets one, whatever the test did.
class LinkGuard {
public:
    explicit LinkGuard(std::initializer_list<std::string> links) : links_(links) {}
    ~LinkGuard() {
        for (const std::string& link : links_) {
            ::unlink(link.c_str());
        }
    }
    LinkGuard(const LinkGuard&) = delete;
    LinkGuard& operator=(const LinkGuard&) = delete;

private:
    std::vector<std::string> links_;
};

TEST(DeleteTreeOnLinux, RemovesALinkButNotWhatItPointsTo) {
    TempDirectory dir;
    // Both links point into this test's own folder.
    const LinkGuard links{SystemForm(dir.Path() + "tree/link"), SystemForm(dir.Path() + "tree/file-link"),
                          SystemForm(dir.Path() + "midi")};
    ASSERT_TRUE(platform::MakeDirectories(dir.Path() + "outside\\inner"));
    ASSERT_TRUE(platform::WriteWholeFile(dir.Path() + "outside\\inner\\file.txt", "outside"));
    ASSERT_TRUE(platform::MakeDirectories(dir.Path() + "tree"));
    ASSERT_EQ(::symlink(SystemForm(dir.Path() + "outside").c_str(), SystemForm(dir.Path() + "tree/link").c_str()), 0);
    ASSERT_EQ(::symlink(SystemForm(dir.Path() + "outside/inner/file.txt").c_str(),
                        SystemForm(dir.Path() + "tree/file-link").c_str()), 0);
    ASSERT_TRUE(platform::SetReadOnly(dir.Path() + "outside\\inner\\file.txt", true));

    EXPECT_TRUE(DeleteTree(dir.Path() + "tree"));
    EXPECT_FALSE(platform::PathExists(dir.Path() + "tree"));

    // A tree that is itself a link loses the link only.
    ASSERT_EQ(::symlink(SystemForm(dir.Path() + "outside").c_str(), SystemForm(dir.Path() + "midi").c_str()), 0);
    EXPECT_FALSE(DeleteTree(dir.Path() + "midi\\"));
    EXPECT_FALSE(platform::PathExists(dir.Path() + "midi"));
    EXPECT_EQ(platform::ReadWholeFile(dir.Path() + "outside\\inner\\file.txt"), "outside");
    EXPECT_TRUE(platform::IsReadOnly(dir.Path() + "outside\\inner\\file.txt")) << "the target is not touched";
}

// ---- the program --------------------------------------------------------------------------------

TEST(EnvokeActions, InstallationRunMakesShortcutsAndPlacesFonts) {
    TempInstallation install;
    install.Write("SimYou.ttf", "youyuan");
    install.Write("cvfont.ttf", "cvfont");
    SetLocale("00000804");
    const ProgramRun run = RunEnvokeProgram(install.Config(), "", {"-q"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");

    const std::string programs = platform::SpecialFolderPath(platform::SpecialFolder::Programs);
    const std::string fonts = platform::SpecialFolderPath(platform::SpecialFolder::Fonts);
    const auto main = platform::ReadShellLink(programs + "\\Tessaly\\Tessaly.lnk");
    ASSERT_TRUE(main.has_value());
    EXPECT_EQ(main->hotKey, kMainHotKey);
    EXPECT_EQ(SystemForm(main->target), SystemForm(install.Root() + "corvex.chm"));
    const std::string entry = platform::ReadWholeFile(programs + "\\Tessaly\\Tessaly.desktop").value_or("");
    EXPECT_NE(entry.find("Type=Link\nURL=file://" + SystemForm(install.Root()) + "corvex.chm\n"), std::string::npos)
        << entry;
    EXPECT_TRUE(platform::ReadShellLink(platform::SpecialFolderPath(platform::SpecialFolder::Desktop) +
                                        "\\Tessaly.lnk").has_value());
    EXPECT_EQ(platform::ReadWholeFile(fonts + "\\SimYou.ttf"), "youyuan");
    EXPECT_EQ(platform::ReadWholeFile(fonts + "\\cvfont.ttf"), "cvfont");
    EXPECT_FALSE(platform::PathExists(install.Config() + "cvfont.ttf"));

    // Not quiet: the closing notice.
    const ProgramRun loud = RunEnvokeProgram(install.Config(), "", {});
    EXPECT_EQ(loud.output, "[Orvane]\n" + Utf8(ClosingNotice(kLocaleSimplified)) + "\n");
    testsupport::RemoveTree(programs + "\\Tessaly");
}

TEST(EnvokeActions, UninstallFromTheConfigurationDirectoryHandsOffToACopy) {
    TempInstallation install;
    ASSERT_TRUE(platform::WriteWholeFile(install.Root() + "keep.txt", "keep"));
    ASSERT_TRUE(platform::MakeDirectories(install.Root() + "update"));
    SetLocale("00000409");

    // Cancelled in the copy: everything stays, and the copy is gone afterwards.
    const ProgramRun cancelled = RunEnvokeProgram(install.Config(), "QUILLAX_MESSAGE_ANSWER=cancel", {"-uninstall"});
    EXPECT_EQ(cancelled.exitCode, 0);
    EXPECT_NE(cancelled.output.find(Utf8(kUninstallCancelledMessage)), std::string::npos) << cancelled.output;
    EXPECT_TRUE(platform::FileExists(install.Config() + "bible.ini"));
    EXPECT_FALSE(platform::PathExists(install.Root() + "Envoke.exe"));

    const ProgramRun run = RunEnvokeProgram(install.Config(), "QUILLAX_MESSAGE_ANSWER=yes", {"-uninstall"});
    EXPECT_EQ(run.exitCode, 0);
    // The first instance says nothing; the copy asks (in English here) and reports.
    EXPECT_EQ(run.output.rfind("[WARNING] (warning)\n", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("[Orvane]\n" + Utf8(kUninstallDoneMessage) + "\n"), std::string::npos) << run.output;
    EXPECT_FALSE(platform::PathExists(install.Config()));
    EXPECT_FALSE(platform::PathExists(install.Root() + "update"));
    EXPECT_FALSE(platform::PathExists(install.Root() + "Envoke.exe"));
    EXPECT_EQ(platform::ReadWholeFile(install.Root() + "keep.txt"), "keep");
}

// ---- the Linux stand-ins of a real installation ----------------------------------------------

// An installation laid out the way a Linux installation keeps its programs: envoke and the
// registration tool in the configuration directory (where the Windows build keeps envoke.exe).
class LinuxInstallationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::CopyProgramFile(testsupport::BuiltEnvoke(), install_.Config() + "envoke"));
        ASSERT_TRUE(platform::CopyProgramFile(platform::ProgramDirectory() + "\\regsvr", install_.Config() + "regsvr"));
        ASSERT_TRUE(platform::CopyProgramFile(QUILLAX_FAKE_COMPONENT, install_.Config() + "quillax.dll"));
        log_ = logDir_.Path() + "calls.log";
    }
    void TearDown() override {
        platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, "quillax.qlx");
        platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, "CLSID");
        platform::DeleteRegistryTree(RegistryRoot::CurrentUser, "Control Panel");
    }
    // Runs the installation's own envoke from its configuration directory.
    ProgramRun Envoke(const std::string& environment, std::initializer_list<std::string> arguments) {
        return RunProgramIn(install_.Config(), "QUILLAX_FAKE_COMPONENT_LOG=" + Quoted(SystemForm(log_)) + " " + environment,
                            install_.Config() + "envoke", arguments);
    }

    TempInstallation install_;
    TempDirectory logDir_;
    std::string log_;
};

TEST_F(LinuxInstallationTest, TheUninstallCopyInTheRootUnregistersTheComponent) {
    const std::string library = SystemForm(install_.Config() + "quillax.dll");
    SetupSession session = SessionOf(install_);
    RegisterComponent(session);
    ASSERT_TRUE(platform::RegistryKeyExists(RegistryRoot::ClassesRoot, "quillax.qlx"));

    // The uninstall shortcut's command: the copy in the root finds the registration tool in the
    // configuration directory, not beside itself.
    const ProgramRun run = Envoke("QUILLAX_MESSAGE_ANSWER=yes LANG=C", {"-uninstall"});
    EXPECT_NE(run.output.find(Utf8(kUninstallDoneMessage)), std::string::npos) << run.output;
    EXPECT_FALSE(platform::RegistryKeyExists(RegistryRoot::ClassesRoot, "quillax.qlx"));
    EXPECT_EQ(platform::ReadWholeFile(log_).value_or(""), "unregister " + library + "\n");
    EXPECT_FALSE(platform::PathExists(install_.Config()));
}

TEST_F(LinuxInstallationTest, TraditionalChineseShortcutsAndNoticeAreReadable) {
    // No locale in the registry: LANG decides, here a traditional Chinese one.
    platform::DeleteRegistryTree(RegistryRoot::CurrentUser, "Control Panel");
    const ProgramRun run = Envoke("LANG=zh_TW.UTF-8", {});
    EXPECT_EQ(run.output, "[Orvane]\n" + platform::Utf16ToUtf8(u"特別提示\n默認快捷鍵 CTRL+ALT+B\n快速啟動Tessaly") + "\n");

    const std::string programs = platform::SpecialFolderPath(platform::SpecialFolder::Programs);
    const std::string update = platform::Utf16ToGbk(u"在線升級");
    const std::string uninstall = platform::Utf16ToGbk(u"卸載");
    const std::string entry = platform::ReadWholeFile(programs + "\\Tessaly\\" + uninstall + ".desktop").value_or("");
    EXPECT_NE(entry.find("Name=" + platform::Utf16ToUtf8(u"卸載") + "\n"), std::string::npos) << entry;
    // The shortcut starts the installation's own program, which is there.
    EXPECT_NE(entry.find("Exec=\"" + SystemForm(install_.Config()) + "envoke\" \"-uninstall\"\n"), std::string::npos)
        << entry;
    EXPECT_TRUE(platform::ReadShellLink(programs + "\\Tessaly\\" + update + ".lnk").has_value());
    testsupport::RemoveTree(programs + "\\Tessaly");
}

TEST(EnvokeActions, ImportFindsTheFileWhereTheUserStartedTheTool) {
    TempInstallation install;
    TempDirectory caller;
    ASSERT_TRUE(platform::WriteWholeFile(caller.Path() + "web.txt", "gen\t1\t1\t1\tIn the beginning\n"));
    // The installation is found through the registry; the file lies where the user is.
    ASSERT_TRUE(platform::WriteRegistryString(RegistryRoot::CurrentUser, "Software\\quillax", "", install.Config()));
    const ProgramRun run = RunEnvokeProgram(caller.Path(), "", {"-import", "web.txt"});
    EXPECT_EQ(run.output, "[Orvane]\n" + Utf8(kImportDoneMessage) + "\n");
    EXPECT_EQ(install.Read("usr\\web.txt"), "01001:=\n$1In the beginning\r\n");
}

}  // namespace
}  // namespace quillax
