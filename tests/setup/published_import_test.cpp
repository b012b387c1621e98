// envoke -import with the published formats, as a user runs it: a folder of USFM books or an
// OSIS file becomes a parallel version (module, "EQUATEFILE=", index) with a closing message
// that says what was imported; an input that is refused changes nothing. Also the collector
// that all readers hand their verses to. Inputs are UTF-8 (u8 literals); plain literals are
// GBK in this build.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "setup/bible_format_test_support.h"
#include "setup/bible_formats/published_bible.h"
#include "setup/bible_formats/verse_collector.h"
#include "setup/bible_import.h"
#include "setup/setup_test_support.h"
#include "textlib/gb_list.h"
#include "textlib/module_reader.h"

namespace quillax {
namespace {

using testsupport::ChapterRecord;
using testsupport::CurrentDirectoryGuard;
using testsupport::ShownModule;
using testsupport::TempInstallation;
using testsupport::TextRecord;

const std::string kGenesis = u8"\\id GEN World English Bible\n\\h Genesis\n\\c 1\n\\p\n"
                             u8"\\v 1 In the beginning, God\\f + \\ft Elohim\\f* created the heavens.\n"
                             u8"\\v 2 The earth was formless—empty.\n";
const std::string kMatthew = u8"\\id MAT\n\\c 1\n\\s1 The genealogy\n\\p\n\\v 1 The book of the genealogy.\n";

class PublishedImportTest : public ::testing::Test {
protected:
    PublishedImportTest() {
        platform::ChangeDirectory(install_.Config());
        session_.configDirectory = install_.Config();
        install_.Write("bible.ini", "[bible]\r\nSYSKEY=corpa\r\nEQUATEFILE=usr\\niv\r\n");
    }
    GbString Import(const std::string& path) {
        session_.messageText.Empty();
        ImportBible(session_, path);
        return session_.messageText;
    }
    GbString ReadChapter(const std::string& module, const std::string& key) const {
        const GbString installDir(install_.Config());
        const GbString systemDir("sys\\");
        const GbString systemModules("corpa");
        const GbList vocabulary;
        const ModuleReaderContext reader{installDir, systemDir, systemModules, false, vocabulary, nullptr, nullptr};
        return ReadModuleEntryWith(reader, module, key, false);
    }

    CurrentDirectoryGuard guard_;
    TempInstallation install_;
    SetupSession session_;
};

TEST_F(PublishedImportTest, AFolderOfUsfmBooksBecomesAParallelVersion) {
    platform::MakeDirectories(install_.Config() + "WEB\\notes");
    install_.Write("WEB\\70-MATeng-web.usfm", kMatthew);
    install_.Write("WEB\\02-GENeng-web.SFM", kGenesis);
    install_.Write("WEB\\00-FRTeng-web.ptx", "\\id FRT\n\\mt1 Preface\n");
    install_.Write("WEB\\41-TOBeng-web.usfm", "\\id TOB\n\\c 1\n\\v 1 Tobit.\n");
    install_.Write("WEB\\readme.txt", "The World English Bible is in the Public Domain.\n");
    install_.Write("WEB\\copyright.sh", "#!/bin/sh\n");

    EXPECT_EQ(Import("web/"), "已成功地导入了指定文件！\n"
                              "usr\\web: 2 books, 2 chapters, 3 verses.\n"
                              "Skipped 2 books outside the 66 of the Bible: FRT, TOB.");
    const std::string text = install_.Read("usr\\web.txt");
    EXPECT_EQ(ShownModule(text), "01001:=/$1In the beginning, God created the heavens.|"
                                 "$2The earth was formless—empty.|"
                                 "40001:=/$1The book of the genealogy.|");
    EXPECT_EQ(install_.Read("bible.ini"), "[bible]\r\nSYSKEY=corpa\r\nEQUATEFILE=usr\\niv,usr\\web\r\n");
    const auto matthew = static_cast<std::uint32_t>(text.find("40001:=\n") + 8);
    EXPECT_EQ(install_.Read("usr\\web.inx"), ChapterRecord(1001, 8) + ChapterRecord(40001, matthew) +
                                                 TextRecord("", static_cast<std::uint32_t>(text.size())));
    const GbString genesis = ReadChapter("usr\\web", "01001");
    EXPECT_NE(genesis.Find("formless—empty", 0), -1) << genesis.str();
    EXPECT_EQ(genesis.Find("genealogy", 0), -1) << genesis.str();

    // The same folder again: the module is written again, the list keeps one entry.
    EXPECT_EQ(Import("web").Find("usr\\web: 2 books", 0), static_cast<int>(std::string("已成功地导入了指定文件！\n").size()));
    EXPECT_EQ(install_.Read("bible.ini"), "[bible]\r\nSYSKEY=corpa\r\nEQUATEFILE=usr\\niv,usr\\web\r\n");
}

TEST_F(PublishedImportTest, AnOsisFileBecomesAParallelVersionAndItsRepairsAreListed) {
    install_.Write("KJV.osis.xml",
                   u8"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osis><osisText>\n"
                   u8"<div type=\"book\" osisID=\"Exod\"><chapter osisID=\"Exod.6\">\n"
                   u8"<verse osisID=\"Exod.6.2\">I am the LORD:<note>the <divineName>LORD: or, JEHOVAH</note></verse>\n"
                   u8"<verse osisID=\"Exod.6.3\">And I appeared unto Abraham, unto Isaac, and unto Jacob,"
                   u8" by my name \\nd <w>JEHOVAH</w></divineName> was I not known to them.</verse>\n"
                   u8"<verse osisID=\"Exod.6.4\">Cæsar’s covenant ⁂.</verse>\n"
                   u8"</chapter></div>\n</osisText></osis>\n");
    EXPECT_EQ(Import("kjv.osis.xml"), "已成功地导入了指定文件！\n"
                                      "usr\\kjv: 1 book, 1 chapter, 3 verses.\n"
                                      "2 characters that GBK lacks became \"?\".\n"
                                      "Repaired 2 verses with damaged markup: Exod.6.2, Exod.6.3.");
    EXPECT_EQ(ShownModule(install_.Read("usr\\kjv.txt")),
              "02006:=/$2I am the LORD:|"
              "$3And I appeared unto Abraham, unto Isaac, and unto Jacob, by my name JEHOVAH was I not known to them.|"
              "$4C?sar’s covenant ?.|");
    EXPECT_EQ(install_.Read("bible.ini"), "[bible]\r\nSYSKEY=corpa\r\nEQUATEFILE=usr\\niv,usr\\kjv\r\n");
    EXPECT_TRUE(platform::FileExists(install_.Config() + "usr\\kjv.inx"));
}

TEST_F(PublishedImportTest, AnInputThatIsRefusedChangesNothing) {
    // An earlier import of the same module stays as it was.
    platform::MakeDirectories(install_.Config() + "web");
    install_.Write("web\\02-GEN.usfm", kGenesis);
    Import("web");
    const std::string module = install_.Read("usr\\web.txt");
    const std::string index = install_.Read("usr\\web.inx");
    install_.Write("bible.ini", "[bible]\r\nEQUATEFILE = usr\\niv\r\n");

    // A second book cut short in its header, a third that is fine.
    install_.Write("web\\70-MAT.usfm", "\\id MAT\n\\h Matthew\n");
    install_.Write("web\\71-MRK.usfm", "\\id MRK\n\\c 1\n\\v 1 The beginning.\n");
    EXPECT_EQ(Import("web"), "Nothing was imported: web\\70-MAT.usfm, line 2: the book MAT (\\id on line 1) "
                             "ends inside its header, before its first chapter (\\c)");
    // The same book twice.
    install_.Write("web\\70-MAT.usfm", kGenesis);
    EXPECT_EQ(Import("web"), "Nothing was imported: web\\70-MAT.usfm, line 1: the book GEN was read before: "
                             "a book must come once");

    platform::MakeDirectories(install_.Config() + "empty");
    install_.Write("empty\\readme.txt", "no books here\n");
    EXPECT_EQ(Import("empty"), "Nothing was imported: empty: the folder holds no USFM file (.usfm, .sfm, .ptx)");

    install_.Write("apocrypha.usfm", "\\id TOB\n\\c 1\n\\v 1 Tobit.\n");
    EXPECT_EQ(Import("apocrypha.usfm"),
              "Nothing was imported: apocrypha.usfm, line 3: no verse of the 66 books of the Bible was found");

    install_.Write("web.xml", "<?xml version=\"1.0\"?>\n<osis><osisText>\n"
                              "<verse osisID=\"Gen.1.1\">In the beginning</verse>\n");
    EXPECT_EQ(Import("web.xml"),
              "Nothing was imported: web.xml, line 3: the document ends before its root element </osis> "
              "closes: it is cut short");
    EXPECT_EQ(Import("absent.usfm"), kImportMissingMessage);
    EXPECT_EQ(Import("absent.osis"), kImportMissingMessage);

    EXPECT_EQ(install_.Read("usr\\web.txt"), module);
    EXPECT_EQ(install_.Read("usr\\web.inx"), index);
    EXPECT_EQ(install_.Read("bible.ini"), "[bible]\r\nEQUATEFILE = usr\\niv\r\n");
    for (const char* absent : {"usr\\apocrypha.txt", "usr\\empty.txt", "usr\\absent.txt"}) {
        EXPECT_FALSE(platform::PathExists(install_.Config() + absent)) << absent;
    }
}

TEST_F(PublishedImportTest, TheVerseListIsChosenByAnyOtherName) {
    // USFM in a file named .txt is a verse list, which has no data line.
    install_.Write("web.txt", kGenesis);
    EXPECT_EQ(Import("web.txt"), kImportEmptyMessage);
    EXPECT_EQ(BibleFormatOf("kjv.txt"), BibleFormat::VerseList);
    EXPECT_EQ(BibleFormatOf("cuv.big5.txt"), BibleFormat::VerseList);
    EXPECT_EQ(BibleFormatOf("a.USFM"), BibleFormat::UsfmFile);
    EXPECT_EQ(BibleFormatOf("a.Osis"), BibleFormat::Osis);
    EXPECT_EQ(BibleFormatOf(install_.Config()), BibleFormat::UsfmFolder);
    EXPECT_EQ(PublishedModuleName("d:\\bibles\\WEB\\"), "usr\\web");
    EXPECT_EQ(PublishedModuleName("/data/kjv.osis.xml"), "usr\\kjv");
    // A "\" after 0x80 or 0xFF is a separator (those bytes lead no character); after a lead
    // byte it is part of the character (禱 is 0xB6 0x5C).
    EXPECT_EQ(PublishedModuleName("d:\\b\x80\\web\\"), "usr\\web");
    EXPECT_EQ(PublishedModuleName("d:\\b\xFF\\web\\"), "usr\\web");
    EXPECT_EQ(PublishedModuleName("d:\\b\\web\xFF\\"), "usr\\web\xFF");
    EXPECT_EQ(PublishedModuleName("d:\\b\\禱"), "usr\\禱");
}

TEST(VerseCollector, NormalizesBlanksConvertsToGbkAndCountsWhatGbkLacks) {
    EXPECT_EQ(NormalizeVerseText(u8"  In\tthe\r\n beginning\u00A0God\u2009created\u200B \uFEFFthe"
                                 u8" heav\u00ADens.\u00B6 And "),
              u8"In the beginning God created the heavens. And");
    EXPECT_EQ(NormalizeVerseText(u8"\u00B6 \u3000神\u200D爱"), u8"\u3000神爱");

    VerseCollector verses;
    verses.AddVerse(40, 1, "1", u8"Who? Cæsar 😀 saw \xFF it.");
    verses.AddVerse(1, 2, "3-4", u8"上帝 ？");
    verses.AddVerse(1, 3, "1", "");
    verses.AddVerse(1, 2, "5", "back in chapter 2");
    verses.AddVerse(67, 1, "1", "not a book of the table");
    EXPECT_EQ(ShownModule(verses.ModuleText()),
              "01002:=/$3-4上帝 ？|01003:=/$1|01002:=/$5back in chapter 2|"
              "40001:=/$1Who? C?sar ? saw ? it.|");
    EXPECT_EQ(verses.ReplacedCount(), 3);
    EXPECT_EQ(verses.BookCount(), 2);
    EXPECT_EQ(verses.ChapterCount(), 3);
    EXPECT_EQ(verses.VerseCount(), 4);

    verses.SkipBook("TOB");
    verses.SkipBook("TOB");
    verses.RepairedVerse("Matt.1.1");
    EXPECT_EQ(verses.Summary("usr\\web"), "已成功地导入了指定文件！\n"
                                          "usr\\web: 2 books, 3 chapters, 4 verses.\n"
                                          "Skipped 1 book outside the 66 of the Bible: TOB.\n"
                                          "3 characters that GBK lacks became \"?\".\n"
                                          "Repaired 1 verse with damaged markup: Matt.1.1.");
}

}  // namespace
}  // namespace quillax
