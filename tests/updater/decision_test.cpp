// The update decision for one manifest entry, and what the check and apply passes do with it.
#include "updater/updater_fixture.h"

#include "updater/texts.h"

namespace quillax {
namespace {

using testing::FileBytes;
using testing::SetLocalWriteTime;
using testing::WriteFileBytes;

class DecisionTest : public testing::UpdaterFixture {
protected:
    // An entry section with the given key lines.
    static std::string Section(const std::string& name, const std::string& lines) {
        return "[" + name + "]\r\nUpdateFile=/files/" + name + ".zip\r\n" + lines;
    }
    void Local(const std::string& relative, const platform::CalendarTime& written = {2006, 7, 28, 20, 25, 59}) {
        ASSERT_TRUE(WriteFileBytes(install_ + relative, "local"));
        ASSERT_TRUE(SetLocalWriteTime(install_ + relative, written));
    }
};

TEST_F(DecisionTest, TheEngineLibraryComparesWithTheInstalledLabel) {
    Local("quillax.dll");
    WriteManifest(Section("quillax.dll", "Version=Build 2006.07.28 20:25\r\n"));
    EXPECT_FALSE(Evaluate("quillax.dll", false));
    WriteManifest(Section("quillax.dll", "version = Build 2006.10.01 08:00\r\n"));
    EXPECT_TRUE(Evaluate("quillax.dll", false));
    EXPECT_EQ(Lines(), std::vector<std::string>{"quillax.dll"});
    WriteManifest(Section("quillax.dll", "Version=Build 2006.07.28 20:24\r\n"));
    EXPECT_FALSE(Evaluate("quillax.dll", false));

    // The date decides alone, in both directions.
    WriteManifest(Section("quillax.dll", "Version=Build 2099.01.01 00:00\r\nFileDateTime=2006-07-28 20:25\r\n"));
    EXPECT_FALSE(Evaluate("quillax.dll", false));
    WriteManifest(Section("quillax.dll", "Version=Build 2000.01.01 00:00\r\nFileDateTime=2006-07-28 20:26\r\n"));
    EXPECT_TRUE(Evaluate("quillax.dll", false));

    // Only "quillax.dll" exactly has the version rule; the ".dll" test is case-sensitive.
    Local("QUILLAX.dll");
    Local("Foo.DLL");
    Local("other.dll");
    WriteManifest(Section("QUILLAX.dll", "Version=Build 2099.01.01 00:00\r\n") +
                  Section("Foo.DLL", "Version=Build 2099.01.01 00:00\r\n") +
                  Section("other.dll", "Version=Build 2099.01.01 00:00\r\n"));
    EXPECT_FALSE(Evaluate("QUILLAX.dll", false));
    EXPECT_FALSE(Evaluate("Foo.DLL", false));
    EXPECT_FALSE(Evaluate("other.dll", false));
}

TEST_F(DecisionTest, ProgramsCompareWithTheirOwnLabelAndOtherFilesOnlyByDateOrPresence) {
    // A program without version information has the empty label: any Version is greater.
    Local("tool.exe");
    WriteManifest(Section("tool.exe", "Version=1\r\n") + Section("Foo.DLL", "") +
                  Section("notes.txt", "Version=Build 2099.01.01 00:00\r\n"));
    EXPECT_TRUE(Evaluate("tool.exe", false));
    WriteManifest(Section("tool.exe", "Version=\r\n"));
    EXPECT_FALSE(Evaluate("tool.exe", false));

    Local("notes.txt");
    WriteManifest(Section("notes.txt", "Version=Build 2099.01.01 00:00\r\n"));
    EXPECT_FALSE(Evaluate("notes.txt", false));
    // A label of the same minute is not later: the file was written at 20:25:59.
    WriteManifest(Section("notes.txt", "FileDateTime=2006-07-28 20:25\r\n"));
    EXPECT_FALSE(Evaluate("notes.txt", false));
    WriteManifest(Section("notes.txt", "FileDateTime=2006-07-28 20:26\r\n"));
    EXPECT_TRUE(Evaluate("notes.txt", false));
    // A missing file is always needed, whatever the labels say.
    WriteManifest(Section("gone.txt", "FileDateTime=1999-01-01 00:00\r\n"));
    EXPECT_TRUE(Evaluate("gone.txt", false));
    // A section the manifest does not hold: no keys, and the file is missing.
    EXPECT_TRUE(Evaluate("unknown.txt", false));
    EXPECT_EQ(Lines(), (std::vector<std::string>{"tool.exe", "notes.txt", "gone.txt", "unknown.txt"}));
}

TEST_F(DecisionTest, AMissingDirectoryIsNotAMissingFile) {
    WriteManifest(Section("notes.txt", "TargetPath=newdir\r\n") +
                  Section("dated.txt", "TargetPath=dated\r\nFileDateTime=2006-07-28 20:26\r\n") +
                  Section("deep.txt", "TargetPath=a\\b\r\nFileDateTime=2006-07-28 20:26\r\n") +
                  Section("up.txt", "TargetPath=..\\..\\outside\r\nFileDateTime=2006-07-28 20:26\r\n"));
    EXPECT_FALSE(Evaluate("notes.txt", false));
    EXPECT_FALSE(platform::PathExists(install_ + "newdir"));
    // Needed by its date: the check pass makes the directory (one level) in the installation.
    EXPECT_TRUE(Evaluate("dated.txt", false));
    EXPECT_TRUE(platform::DirectoryExists(install_ + "dated"));
    EXPECT_TRUE(Evaluate("deep.txt", false));
    EXPECT_FALSE(platform::PathExists(install_ + "a"));
    // A TargetPath that climbs out is kept inside the installation.
    EXPECT_TRUE(Evaluate("up.txt", false));
    EXPECT_TRUE(platform::DirectoryExists(install_ + "outside"));
    EXPECT_FALSE(platform::PathExists(scratch_ / "outside"));
    // In a directory that exists, a missing file is needed.
    EXPECT_FALSE(Evaluate("notes.txt", false));
    ASSERT_TRUE(platform::MakeDirectories(install_ + "newdir"));
    EXPECT_TRUE(Evaluate("notes.txt", false));
}

TEST_F(DecisionTest, TheConfigurationFileIsMergedInEveryCheckPass) {
    ASSERT_TRUE(WriteFileBytes(install_ + "cfg\\bible.ini",
                               "[config]\r\nUPDATEURL=http://mine/\r\n[FIXGB2312TOGBK]\r\nWORD_GBK=a\r\n"));
    server_.ServeBody("/files/bible.ini", "[FIXGB2312TOGBK]\r\nWORD_GBK=a,b\r\n");
    WriteManifest("[bible.ini]\r\nUpdateFile=/files/bible.ini\r\nTargetPath=cfg\r\n");
    // Present and without a date: not needed, yet fetched and merged.
    EXPECT_FALSE(Evaluate("bible.ini", false));
    EXPECT_EQ(server_.CountRequests("/files/bible.ini"), 1);
    EXPECT_EQ(FileBytes(install_ + "cfg\\bible.ini"),
              "[config]\r\nUPDATEURL=http://mine/\r\n[FIXGB2312TOGBK]\r\nWORD_GBK=a,b\r\n");
    EXPECT_EQ(Lines(), std::vector<std::string>{updater_text::kLineCorrectionsMerged});
    // The downloaded copy is gone from the download directory.
    EXPECT_TRUE(platform::ListDirectory(install_ + "update").empty());
    // The apply pass fetches it only when it is needed.
    EXPECT_FALSE(Evaluate("bible.ini", true));
    EXPECT_EQ(server_.CountRequests("/files/bible.ini"), 1);
}

TEST_F(DecisionTest, TheApplyPassInstallsAndRunsTheFollowUpSteps) {
    server_.ServeBody("/files/Envoke.exe.zip", testing::BuildZip({{"Envoke.exe", "new envoke"}}));
    server_.ServeBody("/files/ENVOKE.EXE.zip", testing::BuildZip({{"ENVOKE.EXE", "new envoke"}}));
    server_.ServeBody("/files/corvex.chm.zip", testing::BuildZip({{"corvex.chm", "help"}}));
    server_.ServeBody("/files/Envoke.zip", testing::BuildZip({{"Envoke", "envoke"}}));
    server_.ServeBody("/files/Envoke.exe.bak.zip", testing::BuildZip({{"Envoke.exe.bak", "backup"}}));
    WriteManifest(Section("Envoke.exe", "TargetPath=cfg\r\nVersion=Build 2099.01.01 00:00\r\n") +
                  Section("ENVOKE.EXE", "TargetPath=cfg\r\n") + Section("corvex.chm", "") +
                  Section("Envoke", "") + Section("Envoke.exe.bak", "") + Section("Envoke.ex", ""));
    EXPECT_TRUE(Evaluate("Envoke.exe", true));
    EXPECT_EQ(FileBytes(install_ + "cfg\\Envoke.exe"), "new envoke");
    const std::string localPath = install_ + "cfg\\Envoke.exe";
    EXPECT_EQ(Lines(), (std::vector<std::string>{std::string(updater_text::kLineUpdating) + "Envoke.exe...",
                                                 localPath + updater_text::kLineUpdated}));
    // The set-up tool starts when the pass has ended, and once.
    EXPECT_TRUE(started_.empty());
    updater_->FinishPass();
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].program, localPath);
    EXPECT_EQ(started_[0].arguments, std::vector<std::string>{"-q"});
    updater_->FinishPass();
    EXPECT_EQ(started_.size(), 1u);

    platform::RemoveFile(install_ + "cfg\\Envoke.exe");
    EXPECT_TRUE(Evaluate("ENVOKE.EXE", true));
    updater_->FinishPass();
    EXPECT_EQ(started_.size(), 2u);
    // The name is compared over its own length only: a shorter name that starts the same
    // matches, a longer one does not.
    EXPECT_TRUE(Evaluate("Envoke", true));
    updater_->FinishPass();
    EXPECT_EQ(started_.size(), 3u);
    EXPECT_TRUE(Evaluate("Envoke.exe.bak", true));
    updater_->FinishPass();
    EXPECT_EQ(started_.size(), 3u);
    // A set-up tool entry that was not replaced starts nothing; its line says why, and no "done" line
    // follows.
    front_.lines.clear();
    EXPECT_TRUE(Evaluate("Envoke.ex", true));
    updater_->FinishPass();
    EXPECT_EQ(started_.size(), 3u);
    EXPECT_EQ(Lines(), (std::vector<std::string>{std::string(updater_text::kLineUpdating) + "Envoke.ex...",
                                                 "/files/Envoke.ex.zip" + std::string(updater_text::kStatusNotFound)}));
    EXPECT_TRUE(shortcuts_.empty());

    locale_ = "00000C04";
    EXPECT_TRUE(Evaluate("corvex.chm", true));
    ASSERT_EQ(shortcuts_.size(), 1u);
    const HelpShortcut& shortcut = shortcuts_[0];
    EXPECT_EQ(shortcut.linkPath, "Tessaly\\Tessaly.lnk");
    EXPECT_EQ(shortcut.target, install_ + "corvex.chm");
    EXPECT_EQ(shortcut.workingDirectory, install_);
    EXPECT_EQ(shortcut.iconFile, install_ + "cfg\\envoke.exe");
    EXPECT_EQ(shortcut.iconIndex, 0);
    EXPECT_EQ(shortcut.description, "Tessaly");
    EXPECT_EQ(shortcut.hotKey, 0x0642);
    EXPECT_EQ(FileBytes(install_ + "corvex.chm"), "help");

    EXPECT_EQ(HelpShortcutName("00000804"), "Tessaly");
    EXPECT_EQ(HelpShortcutName("00000404"), "Tessaly");
    EXPECT_EQ(HelpShortcutName("00000409"), "tessaly");
}

TEST_F(DecisionTest, ManifestEntriesAreReadWithTheirKeys) {
    const UpdateEntry entry = ReadUpdateEntry(
        "[a.zip]\r\nUPDATEFILE=/x/a.zip\r\nupdatefile=/second\r\nversion=v\r\nFILEDATETIME=d\r\n"
        "TargetPath=t\r\nsha256= AB \r\nLanguage=zh\r\nForOS=win\r\nSize=123abc\r\nnoise\r\n",
        "A.ZIP");
    EXPECT_EQ(entry.updateFile, "/x/a.zip");
    EXPECT_EQ(entry.version, "v");
    EXPECT_EQ(entry.fileDateTime, "d");
    EXPECT_EQ(entry.targetPath, "t");
    EXPECT_EQ(entry.sha256, "AB");
    EXPECT_EQ(entry.language, "zh");
    EXPECT_EQ(entry.forOs, "win");
    EXPECT_EQ(entry.size, 123);

    EXPECT_EQ(DownloadName("/files/sub/a.zip"), "a.zip");
    EXPECT_EQ(DownloadName("/files/..\\..\\evil.zip"), "evil.zip");
    EXPECT_EQ(DownloadName("plain.zip"), "plain.zip");
    EXPECT_EQ(SafeTargetPath("C:\\windows\\..\\system"), "system");
    EXPECT_EQ(SafeTargetPath("sub\\dir\\"), "sub\\dir");
}

}  // namespace
}  // namespace quillax
