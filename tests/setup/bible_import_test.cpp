// The import of a Bible text of another language: the module text, the reference removal, the
// "EQUATEFILE=" list of bible.ini and the module's index.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "setup/bible_import.h"
#include "setup/setup_test_support.h"
#include "textlib/gb_list.h"
#include "textlib/module_reader.h"

namespace quillax {
namespace {

using testsupport::ChapterRecord;
using testsupport::CurrentDirectoryGuard;
using testsupport::TempDirectory;
using testsupport::TempInstallation;
using testsupport::TextRecord;

std::string Convert(std::string_view input) {
    int verses = 0;
    return ConvertVerseList(input, verses);
}

// Runs the import as the driver does: the configuration directory is the current one.
class ImportTest : public ::testing::Test {
protected:
    ImportTest() {
        platform::ChangeDirectory(install_.Config());
        session_.configDirectory = install_.Config();
    }
    GbString Import(const std::string& fileName) {
        session_.messageText.Empty();
        ImportBible(session_, fileName);
        return session_.messageText;
    }

    CurrentDirectoryGuard guard_;
    TempInstallation install_;
    SetupSession session_;
};

TEST(BibleImport, WritesChapterHeadersAndVerseLines) {
    const std::string input =
        "KJV export\n"
        "gen\t1\t1\t1\tIn the beginning God created the heaven and the earth.\r\n"
        "three\ttabs\tonly\there\n"
        "gen\t1\t1\t2\tAnd the earth was without form\n"
        "five\t1\t1\t3\ttabs\tare too many\n"
        "exo\t2\t1\t1\tNow these are the names\n"
        "exo\t2x\t02\t1a\tAnd Joseph died\n"
        "rev\t66\t22\t21\t\n"
        "odd\t\t\tlabel\tno numbers\n"
        "big\t123\t4567\t1\tlast five digits\n";
    int verses = 0;
    EXPECT_EQ(ConvertVerseList(input, verses),
              "01001:=\n$1In the beginning God created the heaven and the earth.\r\n"
              "$2And the earth was without form\r\n"
              "02001:=\n$1Now these are the names\r\n"
              "02002:=\n$1aAnd Joseph died\r\n"
              "66022:=\n$21\r\n"
              "00000:=\n$labelno numbers\r\n"
              "27567:=\n$1last five digits\r\n");
    EXPECT_EQ(verses, 7);
    EXPECT_EQ(Convert("no data\nat\tall\n"), "");
}

TEST(BibleImport, RemovesLeadingReferencesWhenTheFirstVerseHasOne) {
    EXPECT_EQ(Convert("gen\t1\t1\t1\tGen 1:1 In the beginning\n"
                      "gen\t1\t1\t2\t\"Gen 1:2 And the earth was without form\"\n"
                      "psa\t19\t119\t176\tPs 119:176 I have gone astray\n"
                      "lam\t25\t1\t1\tLamentations 1:1 How doth\n"
                      "psa\t19\t119\t1\tPsalm 119:1 Blessed\n"
                      "gen\t1\t1\t3\tGen 1:3\n"),
              "01001:=\n$1In the beginning\r\n$2And the earth was without form\r\n"
              "19119:=\n$176I have gone astray\r\n"
              "25001:=\n$1Lamentations 1:1 How doth\r\n"
              "19119:=\n$1Blessed\r\n"
              "01001:=\n$3\r\n");

    // The first data line allows a reference of at most 7 bytes before its ":", later ones 9.
    EXPECT_EQ(Convert("gen\t1\t1\t1\txx Gen 1:1 kept\n"
                      "gen\t1\t1\t2\txx Gen 1:2 removed\n"
                      "gen\t1\t1\t3\tSongs 1234:5 tenth byte kept\n"),
              "01001:=\n$1xx Gen 1:1 kept\r\n$2removed\r\n$3Songs 1234:5 tenth byte kept\r\n");

    // Without "Gen 1:1" in the first verse every text stays as it is, quotes included.
    EXPECT_EQ(Convert("gen\t1\t1\t1\tIn the beginning\n"
                      "gen\t1\t1\t2\t\"Gen 1:2 And\"\n"),
              "01001:=\n$1In the beginning\r\n$2\"Gen 1:2 And\"\r\n");
}

TEST(BibleImport, ModuleNameIsTheFileNameUpToItsFirstDot) {
    EXPECT_EQ(ImportModuleName("d:\\bibles\\cuv.big5.txt"), "usr\\cuv");
    EXPECT_EQ(ImportModuleName("KJV.TXT"), "usr\\kjv");
    EXPECT_EQ(ImportModuleName("/data/bibles/web.txt"), "usr\\web");
    EXPECT_EQ(ImportModuleName(".hidden.txt"), "usr\\.hidden.txt");
    // A "\" that is the trail byte of a Chinese character does not end the directory part.
    EXPECT_EQ(ImportModuleName("d:\\\x81\x5C" "x.txt"), "usr\\\x81\x5C" "x");
}

TEST(BibleImport, IniValuesAreReadAndWrittenByTheFileRules) {
    const GbString ini = "A=1\r\nEQUATEFILE=usr\\niv , usr\\nasb\r\nQ=\"x,\r\ny\"\r\n";
    EXPECT_EQ(ReadIniValue(ini, "EQUATEFILE="), "usr\\niv,usr\\nasb");
    EXPECT_EQ(ReadIniValue(ini, "Q="), "x,y");
    EXPECT_EQ(ReadIniValue(ini, "MISSING="), "");

    GbString edited = ini;
    EXPECT_TRUE(WriteIniValue(edited, "EQUATEFILE=", "usr\\kjv"));
    EXPECT_EQ(edited, "A=1\r\nEQUATEFILE=usr\\kjv\r\nQ=\"x,\r\ny\"\r\n");
    // A quoted value over two lines goes whole, not only its first line.
    EXPECT_TRUE(WriteIniValue(edited, "Q=", "z"));
    EXPECT_EQ(edited, "A=1\r\nEQUATEFILE=usr\\kjv\r\nQ=z\r\n");
    // A missing key is appended at the very end, without a line break before it.
    EXPECT_FALSE(WriteIniValue(edited, "NEW=", "v"));
    EXPECT_EQ(edited, "A=1\r\nEQUATEFILE=usr\\kjv\r\nQ=z\r\nNEW=v");
}

TEST(BibleImport, ParallelListGetsTheModuleOnce) {
    GbString ini = "EQUATEFILE=usr\\NIV,usr\\nasb\r\nX=1\r\n";
    EXPECT_TRUE(AddParallelModule(ini, "usr\\kjv"));
    EXPECT_EQ(ini, "EQUATEFILE=usr\\niv,usr\\nasb,usr\\kjv\r\nX=1\r\n");
    EXPECT_FALSE(AddParallelModule(ini, "usr\\kjv"));
    EXPECT_FALSE(AddParallelModule(ini, "usr\\niv"));

    // An item naming a ".txt" file is not the module (the engine would look for kjv.txt.txt),
    // and no item after it is lost when the module is added.
    GbString named = "EQUATEFILE=usr\\kjv.txt,usr\\nasb\r\n";
    EXPECT_TRUE(AddParallelModule(named, "usr\\kjv"));
    EXPECT_EQ(named, "EQUATEFILE=usr\\kjv.txt,usr\\nasb,usr\\kjv\r\n");

    // A longer name in the list is another module.
    GbString longer = "EQUATEFILE=usr\\kjv2\r\n";
    EXPECT_TRUE(AddParallelModule(longer, "usr\\kjv"));
    EXPECT_EQ(longer, "EQUATEFILE=usr\\kjv2,usr\\kjv\r\n");

    // Quotes inside an unquoted list are dropped: written back without its leading blank, the
    // list would otherwise read as the empty quoted text "" and miss the new module.
    GbString quotes = "EQUATEFILE= \"\"OLD\r\n";
    EXPECT_TRUE(AddParallelModule(quotes, "usr\\kjv"));
    EXPECT_EQ(quotes, "EQUATEFILE=old,usr\\kjv\r\n");
    EXPECT_EQ(ReadIniValue(quotes, "EQUATEFILE="), "old,usr\\kjv");

    // An item with a quote inside is no module the engine finds, even when it would be the
    // module without its quote: the list is written without the quote, and so names it.
    GbString quoted = "EQUATEFILE=u \"sr\\Kjv \r\n";
    EXPECT_TRUE(AddParallelModule(quoted, "usr\\kjv"));
    EXPECT_EQ(ReadIniValue(quoted, "EQUATEFILE="), "usr\\kjv");
    EXPECT_FALSE(AddParallelModule(quoted, "usr\\kjv"));

    GbString empty = "EQUATEFILE=\r\n";
    EXPECT_TRUE(AddParallelModule(empty, "usr\\kjv"));
    EXPECT_EQ(empty, "EQUATEFILE=usr\\kjv\r\n");
}

TEST_F(ImportTest, ImportsAModuleListsItAndIndexesIt) {
    install_.Write("bible.ini", "[config]\r\nSYSKEY = corpa\r\nEQUATEFILE=usr\\niv\r\n");
    install_.Write("KJV.txt",
                   "gen\t1\t1\t1\tIn the beginning\n"
                   "gen\t1\t1\t2\tAnd the earth\n"
                   "exo\t2\t1\t1\tNow these\n");
    EXPECT_EQ(Import("kjv.txt"), kImportDoneMessage);

    const std::string text = install_.Read("usr\\kjv.txt");
    EXPECT_EQ(text, "01001:=\n$1In the beginning\r\n$2And the earth\r\n02001:=\n$1Now these\r\n");
    EXPECT_EQ(install_.Read("bible.ini"), "[config]\r\nSYSKEY=corpa\r\nEQUATEFILE=usr\\niv,usr\\kjv\r\n");
    const auto second = static_cast<std::uint32_t>(text.find("02001:=\n") + 8);
    EXPECT_EQ(install_.Read("usr\\kjv.inx"),
              ChapterRecord(1001, 8) + ChapterRecord(2001, second) +
                  TextRecord("", static_cast<std::uint32_t>(text.size())));

    // The engine reads the chapter back through the index.
    const GbString installDir(install_.Config());
    const GbString systemDir("sys\\");
    const GbString systemModules("corpa");
    const GbList vocabulary;
    const ModuleReaderContext reader{installDir, systemDir, systemModules, false, vocabulary, nullptr, nullptr};
    const GbString exodus = ReadModuleEntryWith(reader, "usr\\kjv", "02001", false);
    EXPECT_NE(exodus.Find("Now these", 0), -1) << exodus.str();
    EXPECT_EQ(exodus.Find("beginning", 0), -1) << exodus.str();

    // A second import rewrites the module and its index but leaves bible.ini as it is, blanks
    // around "=" included.
    install_.Write("bible.ini", "EQUATEFILE = usr\\kjv\r\nA = 1\r\n");
    install_.Write("KJV.txt", "gen\t1\t1\t1\tChanged\n");
    EXPECT_EQ(Import("KJV.txt"), kImportDoneMessage);
    EXPECT_EQ(install_.Read("usr\\kjv.txt"), "01001:=\n$1Changed\r\n");
    EXPECT_EQ(install_.Read("usr\\kjv.inx"), ChapterRecord(1001, 8) + TextRecord("", 19));
    EXPECT_EQ(install_.Read("bible.ini"), "EQUATEFILE = usr\\kjv\r\nA = 1\r\n");
}

TEST_F(ImportTest, AppendsTheListAtTheVeryEndWhenBibleIniHasNone) {
    install_.Write("bible.ini", "[bible]\r\nSYSKEY = corpa\r\n");
    install_.Write("web.txt", "gen\t1\t1\t1\tIn the beginning\n");
    EXPECT_EQ(Import("web.txt"), kImportDoneMessage);
    EXPECT_EQ(install_.Read("bible.ini"), "[bible]\r\nSYSKEY=corpa\r\nEQUATEFILE=usr\\web");
}

TEST_F(ImportTest, AMissingOrEmptyInputChangesNothing) {
    const std::string ini = install_.Read("bible.ini");
    EXPECT_EQ(Import("absent.txt"), kImportMissingMessage);
    install_.Write("empty.txt", "no verse\nlines\there\n");
    EXPECT_EQ(Import("empty.txt"), kImportEmptyMessage);
    EXPECT_FALSE(platform::PathExists(install_.Config() + "usr\\absent.txt"));
    EXPECT_FALSE(platform::PathExists(install_.Config() + "usr\\empty.txt"));
    EXPECT_EQ(install_.Read("bible.ini"), ini);
}

TEST_F(ImportTest, AFileInTheCallersDirectoryIsFoundToo) {
    // The tool makes the configuration directory the current one; a name without a directory
    // is then also looked for where the user started it.
    TempDirectory caller;
    ASSERT_TRUE(platform::WriteWholeFile(caller.Path() + "web.txt", "gen\t1\t1\t1\tFrom the caller\n"));
    session_.startDirectory = caller.Bare();
    EXPECT_EQ(Import("web.txt"), kImportDoneMessage);
    EXPECT_EQ(install_.Read("usr\\web.txt"), "01001:=\n$1From the caller\r\n");

    // The configuration directory comes first.
    install_.Write("web.txt", "gen\t1\t1\t1\tFrom the installation\n");
    EXPECT_EQ(Import("web.txt"), kImportDoneMessage);
    EXPECT_EQ(install_.Read("usr\\web.txt"), "01001:=\n$1From the installation\r\n");

    // A file in neither is missing.
    EXPECT_EQ(Import("nowhere.txt"), kImportMissingMessage);
}

TEST_F(ImportTest, AnImportThatCannotWriteSaysWhichFile) {
    install_.Write("kjv.txt", "gen\t1\t1\t1\tIn the beginning\n");
    const std::string ini = install_.Read("bible.ini");

    // A read-only module file: nothing is listed in bible.ini.
    install_.Write("usr\\kjv.txt", "the old module");
    ASSERT_TRUE(platform::SetReadOnly(install_.Config() + "usr\\kjv.txt", true));
    EXPECT_EQ(Import("kjv.txt"), GbString(kImportWriteFailedMessage) + install_.Config() + "usr\\kjv.txt");
    platform::SetReadOnly(install_.Config() + "usr\\kjv.txt", false);
    EXPECT_EQ(install_.Read("usr\\kjv.txt"), "the old module");
    EXPECT_EQ(install_.Read("bible.ini"), ini);

    // A read-only bible.ini.
    ASSERT_TRUE(platform::SetReadOnly(install_.Config() + "bible.ini", true));
    EXPECT_EQ(Import("kjv.txt"), GbString(kImportWriteFailedMessage) + install_.Config() + "bible.ini");
    platform::SetReadOnly(install_.Config() + "bible.ini", false);
    EXPECT_EQ(install_.Read("bible.ini"), ini);

    // A full disk.
    platform::RemoveFile(install_.Config() + "usr\\kjv.txt");
    platform::SetWriteFault(platform::WriteFault::DuringWrite);
    const GbString full = Import("kjv.txt");
    platform::SetWriteFault(platform::WriteFault::None);
    EXPECT_EQ(full, GbString(kImportWriteFailedMessage) + install_.Config() + "usr\\kjv.txt");
    EXPECT_FALSE(platform::PathExists(install_.Config() + "usr\\kjv.txt"));

    EXPECT_EQ(Import("kjv.txt"), kImportDoneMessage);
}

TEST_F(ImportTest, AFailedWriteOfBibleIniLeavesTheOldFile) {
    const std::string ini = install_.Read("bible.ini");
    install_.Write("kjv.txt", "gen\t1\t1\t1\tIn the beginning\n");
    platform::SetWriteFault(platform::WriteFault::BeforeRename);
    Import("kjv.txt");
    platform::SetWriteFault(platform::WriteFault::None);
    EXPECT_EQ(install_.Read("bible.ini"), ini);
    for (const platform::DirectoryEntry& entry : platform::ListDirectory(install_.Config())) {
        EXPECT_TRUE(entry.name == "bible.ini" || entry.name == "kjv.txt" || entry.name == "sys" ||
                    entry.name == "usr")
            << "left behind: " << entry.name;
    }
}

}  // namespace
}  // namespace quillax
