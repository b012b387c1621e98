// Errata correction: the sections and corrections of "correct.txt" applied to the text files of
// the "sys" directory.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "setup/errata.h"
#include "setup/module_index.h"
#include "textlib/module_reader.h"
#include "setup/setup_test_support.h"

namespace quillax {
namespace {

using testsupport::TempInstallation;

constexpr char kCorpa[] = "first\r\nsecond\r\nthe beginnning\r\n\r\nfourth a\nlast line";
constexpr char kZendri[] = "a\r\n";

class ErrataTest : public ::testing::Test {
protected:
    ErrataTest() {
        session_.configDirectory = install_.Config();
        install_.Write("sys\\corpa.txt", kCorpa);
        install_.Write("sys\\zendri.txt", kZendri);
    }
    GbString Apply(const std::string& list) {
        install_.Write("correct.txt", list);
        ApplyErrata(session_);
        EXPECT_FALSE(platform::PathExists(install_.Config() + "sys\\corpa.tex"));
        EXPECT_FALSE(platform::PathExists(install_.Config() + "sys\\zendri.tex"));
        return session_.messageText;
    }

    TempInstallation install_;
    SetupSession session_;
};

TEST_F(ErrataTest, CorrectsLinesInOrderAndRewritesTheFile) {
    // Two corrections of one line apply in turn; new text may hold commas; the last line of
    // the file can be corrected too.
    EXPECT_EQ(Apply("[corpa]\r\n3,beginnning,beginning\r\n3,the,The\r\n5,a,b,c\r\n6,line,LINE\r\n"),
              kErrataDoneMessage);
    // Empty lines are dropped and every line ends in CR LF.
    EXPECT_EQ(install_.Read("sys\\corpa.txt"), "first\r\nsecond\r\nThe beginning\r\nfourth b,c\r\nlast LINE\r\n");
    EXPECT_EQ(install_.Read("sys\\zendri.txt"), kZendri);

    // Only the first occurrence goes, and the new text may be empty.
    install_.Write("sys\\zendri.txt", "x y x\r\n");
    Apply("[zendri]\r\n1,x,\r\n");
    EXPECT_EQ(install_.Read("sys\\zendri.txt"), " y x\r\n");
}

TEST_F(ErrataTest, PagesAfterACorrectionShowTheCorrectedRecords) {
    // The chain-reference module as installed, with its index; the errata list lengthens a line
    // of chapter 1 and shortens one of chapter 2.
    install_.Write("sys\\Tessaly.txt",
                   "01001:=\r\nIn the beginnning God\r\ncreated\r\n01002:=\r\nThe heavens and the earth were finishedd\r\n"
                   "01003:=\r\nThird\r\n");
    ASSERT_TRUE(BuildModuleIndex(install_.Config(), "sys\\Tessaly", false, ":="));
    install_.Write("sys\\emendo.txt", "01001=note one\r\n01002=note two\r\n");
    ASSERT_TRUE(BuildModuleIndex(install_.Config(), "sys\\emendo", true, "="));
    EXPECT_EQ(Apply("[Tessaly]\r\n2,beginnning,very first beginning\r\n5,finishedd,done\r\n"
                    "[emendo]\r\n1,one,one, longer now\r\n"),
              kErrataDoneMessage);

    // The pages the engine reads: each chapter whole, nothing of the next one.
    const GbString installDir = install_.Config();
    const GbString systemTextDir("sys\\");
    const GbString systemModules("tessaly,emendo");
    const GbList vocabulary;
    const ModuleReaderContext engine{installDir, systemTextDir, systemModules, false, vocabulary,
                                     nullptr, nullptr};
    EXPECT_EQ(ReadModuleEntryWith(engine, "tessaly", "01001", false), "In the very first beginning God\r\ncreated");
    EXPECT_EQ(ReadModuleEntryWith(engine, "tessaly", "01002", false), "The heavens and the earth were done");
    EXPECT_EQ(ReadModuleEntryWith(engine, "tessaly", "01003", false), "Third");
    EXPECT_EQ(ReadModuleEntryWith(engine, "emendo", "01001", false), "01001=note one, longer now");
    EXPECT_EQ(ReadModuleEntryWith(engine, "emendo", "01002", false), "01002=note two");

    // The indexes on disk were rebuilt, as the installation builds them.
    for (const char* module : {"sys\\Tessaly", "sys\\emendo"}) {
        const std::string text = install_.Read(std::string(module) + ".txt");
        EXPECT_EQ(install_.Read(std::string(module) + ".inx"), BuildInstalledIndex(module, text)) << module;
        EXPECT_TRUE(platform::IsReadOnly(install_.Config() + module + ".inx")) << module;
    }
    // A file left as it was keeps its index as it was.
    install_.Write("sys\\zendri.inx", "stale");
    Apply("[zendri]\r\n1,absent,x\r\n");
    EXPECT_EQ(install_.Read("sys\\zendri.inx"), "stale");
}

TEST_F(ErrataTest, AFileWhoseTextIsNotFoundStaysByteForByte) {
    Apply("[corpa]\r\n3,misspelt,x\r\n[zendri]\r\n1,b,c\r\n");
    EXPECT_EQ(install_.Read("sys\\corpa.txt"), kCorpa);
    EXPECT_EQ(install_.Read("sys\\zendri.txt"), kZendri);

    // A one-byte old text never matches the trail byte of a Chinese character.
    install_.Write("sys\\zendri.txt", "\x81\x40\r\n");
    Apply("[zendri]\r\n1,@,#\r\n");
    EXPECT_EQ(install_.Read("sys\\zendri.txt"), "\x81\x40\r\n");
}

TEST_F(ErrataTest, SectionsNamingFilesOutsideTheTextFolderSelectNothing) {
    // A file beside the installation that a ".." section would reach, and names with a drive,
    // a root or a 0 byte (which would make the temporary file the text file itself).
    install_.Write("outside.txt", "the beginnning\r\n");
    const std::string outside = install_.Read("outside.txt");
    for (const std::string& section : {std::string("..\\outside"), std::string("../outside"),
                                      std::string("C:\\outside"), std::string("\\outside"),
                                      std::string("corpa\0x", 7)}) {
        SCOPED_TRACE(section);
        Apply("[" + section + "]\r\n1,beginnning,beginning\r\n");
        EXPECT_EQ(install_.Read("outside.txt"), outside);
        EXPECT_EQ(install_.Read("sys\\corpa.txt"), kCorpa);
    }
}

TEST_F(ErrataTest, ALineOutOfOrderEndsTheRunAfterItsFile) {
    Apply("[corpa]\r\n5,fourth,4th\r\n2,second,2nd\r\n3,the,The\r\n[zendri]\r\n1,a,b\r\n");
    EXPECT_EQ(install_.Read("sys\\corpa.txt"), "first\r\nsecond\r\nthe beginnning\r\n4th a\r\nlast line\r\n");
    EXPECT_EQ(install_.Read("sys\\zendri.txt"), kZendri);

    // So does a line beyond the end of the file; the file itself is left alone.
    install_.Write("sys\\corpa.txt", kCorpa);
    Apply("[corpa]\r\n99,first,x\r\n[zendri]\r\n1,a,b\r\n");
    EXPECT_EQ(install_.Read("sys\\corpa.txt"), kCorpa);
    EXPECT_EQ(install_.Read("sys\\zendri.txt"), kZendri);
}

TEST_F(ErrataTest, ItemsThatCorrectNothingAreSkipped) {
    Apply("1,first,x\r\n"          // before any section
          "[corpa]\r\n"
          "0,first,x\r\n"          // line 0
          "1 first x\r\n"          // no commas
          "\r\n"                   // an empty line
          "1,,x\r\n"               // no old text
          "1,first,First\r\n"
          "[missing]\r\n"          // a section without its file
          "1,a,b\r\n"
          "[zendri]\r\n"
          "1,a,b\r\n");
    EXPECT_EQ(install_.Read("sys\\corpa.txt"), "First\r\nsecond\r\nthe beginnning\r\nfourth a\r\nlast line\r\n");
    EXPECT_EQ(install_.Read("sys\\zendri.txt"), "b\r\n");
    EXPECT_FALSE(platform::PathExists(install_.Config() + "sys\\missing.txt"));
    EXPECT_FALSE(platform::PathExists(install_.Config() + "sys\\missing.tex"));
}

TEST_F(ErrataTest, SuccessIsToldOnlyWhenSomethingWasCorrected) {
    // No old text anywhere: nothing needed correcting, and that is what is said.
    EXPECT_EQ(Apply("[corpa]\r\n3,misspelt,x\r\n[zendri]\r\n1,b,c\r\n"), kErrataNothingMessage);
    EXPECT_EQ(Apply("[missing]\r\n1,a,b\r\n"), kErrataNothingMessage);
    EXPECT_EQ(Apply(""), kErrataNothingMessage);

    // A list saved with LF alone is read like one with CR LF.
    EXPECT_EQ(Apply("[corpa]\n3,beginnning,beginning\n[zendri]\n1,a,b\n"), kErrataDoneMessage);
    EXPECT_EQ(install_.Read("sys\\corpa.txt"), "first\r\nsecond\r\nthe beginning\r\nfourth a\r\nlast line\r\n");
    EXPECT_EQ(install_.Read("sys\\zendri.txt"), "b\r\n");
}

TEST_F(ErrataTest, AFileThatCannotBeRewrittenIsNamedAndKept) {
    // A read-only module: it stays byte for byte, no "corpa.tex" is left beside it, and the
    // message names it instead of claiming success; the other file is still corrected.
    const std::string corpa = install_.Config() + "sys\\corpa.txt";
    ASSERT_TRUE(platform::SetReadOnly(corpa, true));
    const GbString message = Apply("[corpa]\r\n3,beginnning,beginning\r\n[zendri]\r\n1,a,b\r\n");
    platform::SetReadOnly(corpa, false);
    EXPECT_EQ(message, GbString(kErrataWriteFailedMessage) + "\n" + corpa + "\n" + kErrataOthersDoneMessage);
    EXPECT_EQ(install_.Read("sys\\corpa.txt"), kCorpa);
    EXPECT_EQ(install_.Read("sys\\zendri.txt"), "b\r\n");

    // A full disk: the same, for every file the list corrects.
    install_.Write("sys\\zendri.txt", kZendri);
    install_.Write("correct.txt", "[corpa]\r\n3,beginnning,beginning\r\n[zendri]\r\n1,a,b\r\n");
    platform::SetWriteFault(platform::WriteFault::DuringWrite);
    ApplyErrata(session_);
    platform::SetWriteFault(platform::WriteFault::None);
    const GbString full = session_.messageText;
    EXPECT_FALSE(platform::PathExists(install_.Config() + "sys\\corpa.tex"));
    EXPECT_FALSE(platform::PathExists(install_.Config() + "sys\\zendri.tex"));
    EXPECT_EQ(full, GbString(kErrataWriteFailedMessage) + "\n" + corpa + "\n" + install_.Config() +
                        "sys\\zendri.txt");
    EXPECT_EQ(install_.Read("sys\\corpa.txt"), kCorpa);
    EXPECT_EQ(install_.Read("sys\\zendri.txt"), kZendri);
}

TEST(Errata, WithoutTheListNothingHappens) {
    TempInstallation install;
    install.Write("sys\\corpa.txt", kCorpa);
    SetupSession session;
    session.configDirectory = install.Config();
    ApplyErrata(session);
    EXPECT_EQ(session.messageText, kErrataMissingMessage);
    EXPECT_EQ(install.Read("sys\\corpa.txt"), kCorpa);
}

}  // namespace
}  // namespace quillax
