// The set-up tool's driver: reading the command line, finding and recording the installation,
// and running the index mode and the installation run on a temporary installation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/program_location.h"
#include "platform/registry.h"
#include "setup/bible_import.h"
#include "setup/driver.h"
#include "setup/errata.h"
#include "setup/locale_table.h"
#include "setup/uninstall.h"
#include "setup/setup_test_support.h"
#include "textlib/registry_text.h"

namespace quillax {
namespace {

using testsupport::ChapterRecord;
using testsupport::CurrentDirectoryGuard;
using testsupport::TempInstallation;
using testsupport::TextRecord;

constexpr platform::RegistryRoot kUser = platform::RegistryRoot::CurrentUser;

ParsedCommandLine Parse(std::string_view line) { return ParseCommandLine(line, SlashOptions::AllSlashes); }

std::vector<std::string> Names(const IndexRequest& request) {
    std::vector<std::string> names;
    for (const GbString& name : request.names) {
        names.push_back(name.str());
    }
    return names;
}

GbString RegisteredConfigDirectory() { return ReadRegistryText(kUser, "Software\\quillax", ""); }

TEST(SetupDriver, ReadsTheOptions) {
    const ParsedCommandLine none = Parse("");
    EXPECT_EQ(none.action, SetupAction::Install);
    EXPECT_TRUE(none.reregister);
    EXPECT_FALSE(none.quiet);

    for (const char* quiet : {"-q", "-Q", "/q", "/Q", "  -q  "}) {
        const ParsedCommandLine parsed = Parse(quiet);
        EXPECT_EQ(parsed.action, SetupAction::Install) << quiet;
        EXPECT_TRUE(parsed.reregister) << quiet;
        EXPECT_TRUE(parsed.quiet) << quiet;
    }
    for (const char* clear : {"-q -u", "-u -q", "/U", "-clearreg", "  -u"}) {
        EXPECT_EQ(Parse(clear).action, SetupAction::ClearRegistration) << clear;
    }
    EXPECT_TRUE(Parse("-u -q").quiet);
    EXPECT_FALSE(Parse("-u").quiet);
    EXPECT_EQ(Parse("-UNINSTALL").action, SetupAction::Uninstall);
    for (const char* help : {"-h", "-HELP", "/help", "/h -q"}) {
        EXPECT_EQ(Parse(help).action, SetupAction::Usage) << help;
    }
    EXPECT_EQ(Parse("-correct").action, SetupAction::ApplyErrata);

    // Four characters or fewer: installation without unregistration; more: index mode.
    const ParsedCommandLine shortLine = Parse("-u x");
    EXPECT_EQ(shortLine.action, SetupAction::Install);
    EXPECT_FALSE(shortLine.reregister);
    EXPECT_EQ(Parse("abcd").action, SetupAction::Install);
    const ParsedCommandLine helpMe = Parse("-help me");
    EXPECT_EQ(helpMe.action, SetupAction::IndexModules);
    EXPECT_EQ(helpMe.normalised, "-help me");

    // "-import" anywhere; the file name loses its blanks and is lower-cased.
    const ParsedCommandLine import = Parse("-import d:\\My Bibles\\kjv.txt");
    EXPECT_EQ(import.action, SetupAction::Import);
    EXPECT_EQ(import.importFile, "d:\\mybibles\\kjv.txt");
    EXPECT_EQ(import.normalised, "-import d:\\my bibles\\kjv.txt");
    EXPECT_EQ(Parse("x.txt\t-IMPORT -q").importFile, "x.txt");

    // Blanks: one pass that makes two blanks one, then the ends are trimmed.
    EXPECT_EQ(Parse("  sys\\zendri   usr\\niv  ").normalised, "sys\\zendri  usr\\niv");
    // "/" is "-" on Windows, also inside paths.
    EXPECT_EQ(Parse("sys/zendri").normalised, "sys-zendri");
}

TEST(SetupDriver, LinuxCommandLinesKeepTheSlashesOfPaths) {
    const auto parse = [](std::string_view line) { return ParseCommandLine(line, SlashOptions::OptionWordsOnly); };
    const ParsedCommandLine import = parse("/q /import /data/Bibles/KJV.txt");
    EXPECT_TRUE(import.quiet);
    EXPECT_EQ(import.action, SetupAction::Import);
    EXPECT_EQ(import.importFile, "/data/bibles/kjv.txt");
    EXPECT_EQ(parse("/import /kjv.txt").importFile, "/kjv.txt");
    EXPECT_EQ(parse("/H").action, SetupAction::Usage);
    EXPECT_EQ(parse("sys/zendri usr/niv /:=").normalised, "sys/zendri usr/niv -:=");
}

TEST(SetupDriver, ReadsIndexCommands) {
    const IndexRequest plain = ParseIndexCommand("sys\\zendri usr\\niv -:=");
    EXPECT_EQ(plain.marker, ":=");
    EXPECT_FALSE(plain.lineFlag);
    EXPECT_EQ(Names(plain), (std::vector<std::string>{"sys\\zendri", "usr\\niv"}));

    const IndexRequest noMarker = ParseIndexCommand("usr\\niv");
    EXPECT_EQ(noMarker.marker, "<h1>");
    EXPECT_EQ(Names(noMarker), (std::vector<std::string>{"usr\\niv"}));

    const IndexRequest line = ParseIndexCommand("usr\\a -l usr\\b");
    EXPECT_EQ(line.marker, "l");
    EXPECT_TRUE(line.lineFlag);
    EXPECT_EQ(Names(line), (std::vector<std::string>{"usr\\a", "usr\\b"}));
    EXPECT_TRUE(ParseIndexCommand("usr\\a -line").lineFlag);
    EXPECT_FALSE(ParseIndexCommand("usr\\a -lines").lineFlag);

    // A marker at the very start has no blank before it and stays among the names.
    const IndexRequest helpMe = ParseIndexCommand("-help me");
    EXPECT_EQ(helpMe.marker, "help");
    EXPECT_EQ(Names(helpMe), (std::vector<std::string>{"-help", "me"}));

    const IndexRequest bare = ParseIndexCommand("usr\\a -");
    EXPECT_EQ(bare.marker, "");
    EXPECT_EQ(Names(bare), (std::vector<std::string>{"usr\\a"}));
}

TEST(SetupDriver, FindsTheConfigurationDirectoryAndRecordsIt) {
    CurrentDirectoryGuard guard;
    TempInstallation install;

    // Started in the cfg directory itself.
    ASSERT_TRUE(platform::ChangeDirectory(install.Config()));
    const std::string configStart = platform::StartDirectory();
    SetupSession inConfig;
    EXPECT_EQ(RunCommandLine(inConfig, "-h"), kUsageText);
    EXPECT_EQ(inConfig.messageText, kUsageText);
    EXPECT_EQ(inConfig.startDirectory, configStart);
    EXPECT_EQ(inConfig.configDirectory, configStart + "\\");
    EXPECT_EQ(RegisteredConfigDirectory(), inConfig.configDirectory);
    EXPECT_EQ(InstallationRoot(inConfig).Length(), inConfig.configDirectory.Length() - 4);
    EXPECT_TRUE(inConfig.showFlag);

    // Started in the installation root: its cfg subdirectory; the run makes it current.
    ASSERT_TRUE(platform::ChangeDirectory(install.Root()));
    const std::string rootStart = platform::StartDirectory();
    SetupSession inRoot;
    RunCommandLine(inRoot, "-q -h");
    EXPECT_EQ(inRoot.configDirectory, rootStart + "\\cfg\\");
    EXPECT_EQ(inRoot.configDirectory, inConfig.configDirectory);
    EXPECT_EQ(platform::StartDirectory(), configStart);
    EXPECT_FALSE(inRoot.showFlag);

    // Started in a directory below cfg: no bible.ini there, so the registry tells.
    ASSERT_TRUE(platform::MakeDirectories(install.Config() + "sub"));
    ASSERT_TRUE(platform::ChangeDirectory(install.Config() + "sub"));
    SetupSession inSub;
    EXPECT_EQ(RunCommandLine(inSub, "/help"), kUsageText);
    EXPECT_EQ(inSub.configDirectory, inConfig.configDirectory);
    EXPECT_EQ(platform::StartDirectory(), configStart);

    // Nothing in the registry either: the missing-files message, shown even in a quiet run,
    // and nothing recorded.
    ASSERT_TRUE(platform::DeleteRegistryTree(kUser, "Software\\quillax"));
    ASSERT_TRUE(platform::ChangeDirectory(install.Config() + "sub"));
    SetupSession lost;
    EXPECT_EQ(RunCommandLine(lost, "-q"), kMissingFilesMessage);
    EXPECT_TRUE(lost.showFlag);
    EXPECT_FALSE(platform::RegistryKeyExists(kUser, "Software\\quillax"));

    // A registered directory without bible.ini does not count.
    ASSERT_TRUE(platform::WriteRegistryString(kUser, "Software\\quillax", "", install.Root()));
    SetupSession stale;
    EXPECT_EQ(RunCommandLine(stale, "-h"), kMissingFilesMessage);
}

TEST(SetupDriver, InstallationRunPreparesTheModulesAndSetsTheClosingNotice) {
    CurrentDirectoryGuard guard;
    TempInstallation install;
    install.Write("sys\\Tessaly.txt", "01001:=In the beginning\r\n");
    ASSERT_TRUE(platform::ChangeDirectory(install.Root()));
    SetupSession session;
    EXPECT_EQ(RunCommandLine(session, "/Q"), ClosingNotice(DetectLocale()));
    EXPECT_FALSE(session.showFlag);
    EXPECT_EQ(install.Read("sys\\corpa.txt"), "01001=Inthebeginning\n");
    EXPECT_EQ(install.Read("sys\\corpa.inx"), ChapterRecord(1001, 0) + TextRecord("", 21));
    EXPECT_EQ(install.Read("sys\\tessaly.inx"), ChapterRecord(1001, 25) + TextRecord("", 25));
}

TEST(SetupDriver, IndexModeBuildsTheNamedModules) {
    CurrentDirectoryGuard guard;
    TempInstallation install;
    install.Write("sys\\zendri.txt", "01001:=\r\nnote\r\n");
    install.Write("usr\\niv.txt", "01001:=\r\n<h1>Title\r\n");
    install.Write("me.txt", "k1help\r\n");
    ASSERT_TRUE(platform::ChangeDirectory(install.Config()));

    SetupSession session;
    const GbString message = RunCommandLine(session, "sys\\zendri USR\\niv usr\\nothing -:=");
    EXPECT_EQ(install.Read("sys\\zendri.inx"), ChapterRecord(1001, 9) + TextRecord("", 15));
    EXPECT_EQ(install.Read("usr\\niv.inx"), ChapterRecord(1001, 9) + TextRecord("", 20));
    EXPECT_GE(message.Find("usr\\nothing", 0), message.Find("sys\\zendri", 0)) << message.str();
    EXPECT_GE(message.Find("sys\\zendri", 0), 0);
    EXPECT_TRUE(session.showFlag);

    // No marker: "<h1>", the tag mode.
    SetupSession tag;
    RunCommandLine(tag, "usr\\niv -q");
    EXPECT_EQ(install.Read("usr\\niv.inx"), TextRecord("001", 9) + TextRecord("", 20));
    EXPECT_FALSE(tag.showFlag);

    // "-help me" is the index mode with the marker "help": "-help" names no module.
    SetupSession helpMe;
    RunCommandLine(helpMe, "-help me");
    EXPECT_EQ(install.Read("me.inx"), TextRecord("k1", 8) + TextRecord("", 8));
}

TEST(SetupDriver, DispatchesTheMaintenanceActions) {
    CurrentDirectoryGuard guard;
    TempInstallation install;
    ASSERT_TRUE(platform::ChangeDirectory(install.Root()));

    const auto expected = [](void (*action)(SetupSession&)) {
        SetupSession scratch;
        action(scratch);
        return scratch.messageText;
    };
    SetupSession correct;
    EXPECT_EQ(RunCommandLine(correct, "-correct"), expected(&ApplyErrata));
    // "-u" unregisters the engine for real; where the tests share a registry with a registered
    // engine (a Wine prefix), that registration belongs to other tests and is left alone.
    if (!platform::RegistryKeyExists(platform::RegistryRoot::ClassesRoot, "quillax.qlx")) {
        // Not quiet, it would show what it did, never an empty box.
        SetupSession clear;
        EXPECT_EQ(RunCommandLine(clear, "-u -q"), kNothingRegisteredMessage);
        EXPECT_FALSE(clear.showFlag);
        EXPECT_FALSE(platform::RegistryKeyExists(kUser, "Software\\quillax"));
    }
    // Started outside the configuration directory (the runs above made it the current one) the
    // uninstall runs directly and asks first; No leaves everything in place.
    ASSERT_TRUE(platform::ChangeDirectory(install.Root()));
    platform::SetEnvironmentValue("QUILLAX_MESSAGE_ANSWER", "no");
    SetupSession uninstall;
    EXPECT_EQ(RunCommandLine(uninstall, "-uninstall"), kUninstallCancelledMessage);
    platform::SetEnvironmentValue("QUILLAX_MESSAGE_ANSWER", std::nullopt);
    SetupSession scratch;
    ImportBible(scratch, "d:\\mybibles\\kjv.txt");
    SetupSession import;
    EXPECT_EQ(RunCommandLine(import, "-import d:\\My Bibles\\kjv.txt"), scratch.messageText);
    EXPECT_TRUE(platform::FileExists(install.Config() + "bible.ini"));
}

}  // namespace
}  // namespace quillax
