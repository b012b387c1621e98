// Index building: the bytes of every mode against the record layouts, line ends, sequence
// numbers, the terminal record, large indexes, read-only handling and bad input.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "setup/module_index.h"
#include "textlib/index_writer.h"
#include "textlib/line_reader.h"
#include "setup/setup_test_support.h"

namespace quillax {
namespace {

using testsupport::ChapterRecord;
using testsupport::TempInstallation;
using testsupport::TextRecord;

std::string IndexOf(std::string text, std::string_view marker, bool lineFlag) {
    LineReader reader = LineReader::FromBytes(std::move(text));
    return BuildIndexBytes(reader, IndexModeOf(marker), marker, lineFlag);
}

TEST(LineReader, GivesLinesWithoutLineEndsAndCountsTheBytesPresent) {
    LineReader reader = LineReader::FromBytes("one\r\ntwo\n\r\r\nlast");
    GbString line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "one");
    EXPECT_EQ(reader.Position(), 5u);
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "two");
    EXPECT_EQ(reader.Position(), 9u);
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "\r") << "only one CR before the LF is removed";
    EXPECT_FALSE(reader.AtEnd());
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "last") << "a last line without LF counts";
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(reader.Position(), 16u);
    EXPECT_FALSE(reader.ReadLine(line));
    EXPECT_TRUE(line.IsEmpty());

    LineReader missing("no\\such\\file.txt");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_TRUE(missing.AtEnd());
    EXPECT_FALSE(missing.ReadLine(line));
}

TEST(IndexWriter, StoresChapterKeysInChapterFormAndOtherKeysAsText) {
    IndexWriter writer;
    writer.Add("01001");
    writer.SetOffset(0);
    writer.Add("66022");  // Revelation 22: 65022 = 0xFDFE
    writer.SetOffset(0x12345678);
    writer.Add("0100100");  // seven characters naming Genesis 1: the last two are dropped
    writer.SetOffset(7);
    writer.Add("0100000");  // chapter 000: text
    writer.SetOffset(8);
    writer.Add("01051");  // Genesis has 50 chapters: text
    writer.SetOffset(9);
    writer.Add("67001");  // no book 67: text
    writer.SetOffset(10);
    writer.Add("dropped");  // never finished: not part of the index
    writer.Add("");
    writer.SetOffset(11);
    const std::string expected = std::string("\x01\x00:=", 4) + testsupport::Le32(0) +
                                 std::string("\xFE\xFD:=\x78\x56\x34\x12", 8) + ChapterRecord(1001, 7) +
                                 TextRecord("0100000", 8) + TextRecord("01051", 9) +
                                 TextRecord("67001", 10) + TextRecord("", 11);
    EXPECT_EQ(std::string(writer.Bytes()), expected);
    EXPECT_EQ(writer.RecordCount(), 7);
}

TEST(ModuleIndex, ChoosesTheModeFromTheMarker) {
    EXPECT_EQ(IndexModeOf("<key:"), IndexMode::KeyMarker);
    EXPECT_EQ(IndexModeOf("<key:x>"), IndexMode::KeyMarker);
    EXPECT_EQ(IndexModeOf("<h1>"), IndexMode::TagMarker);
    EXPECT_EQ(IndexModeOf("<h1"), IndexMode::PlainMarker);
    EXPECT_EQ(IndexModeOf(":="), IndexMode::PlainMarker);
    EXPECT_EQ(IndexModeOf("<"), IndexMode::PlainMarker);
    EXPECT_EQ(IndexModeOf(""), IndexMode::EmptyMarker);
    EXPECT_EQ(SequenceNumberText(1), "001");
    EXPECT_EQ(SequenceNumberText(42), "042");
    EXPECT_EQ(SequenceNumberText(1000), "000");
    EXPECT_EQ(SequenceNumberText(1234), "234");
}

TEST(ModuleIndex, PlainMarkerGivesKeyLineOrFollowingLineOffsets) {
    // The main text: "=" with the line flag, records at their key lines.
    std::string corpa = "01001=" + std::string(112, 'a') + "\r\n";  // 120 bytes
    ASSERT_EQ(corpa.size(), 120u);
    corpa += "01002=b\r\n";
    EXPECT_EQ(IndexOf(corpa, "=", true),
              ChapterRecord(1001, 0) + ChapterRecord(1002, 120) + TextRecord("", 129));

    // ":=" without the line flag: the record starts after its key line.
    EXPECT_EQ(IndexOf("40001:=\r\ntext\r\n40002:=\r\nmore\r\n", ":=", false),
              ChapterRecord(40001, 9) + ChapterRecord(40002, 24) + TextRecord("", 30));

    // A marker at the first byte is no key line; text keys keep their bytes.
    EXPECT_EQ(IndexOf("=skip\nabc=1\nzz:=2\n", "=", true),
              TextRecord("abc", 6) + TextRecord("zz:", 12) + TextRecord("", 18));
}

TEST(ModuleIndex, LfAndCrLfGiveTheSameKeysWithTheirOwnOffsets) {
    const std::string lf = IndexOf("head\n01001:=x\ny\n01002:=z\n", ":=", false);
    const std::string crlf = IndexOf("head\r\n01001:=x\r\ny\r\n01002:=z\r\n", ":=", false);
    EXPECT_EQ(lf, ChapterRecord(1001, 14) + ChapterRecord(1002, 25) + TextRecord("", 25));
    EXPECT_EQ(crlf, ChapterRecord(1001, 16) + ChapterRecord(1002, 29) + TextRecord("", 29));
}

TEST(ModuleIndex, EmptyMarkerKeysEveryLineBySequenceNumberWrappingAfter999) {
    std::string text;
    for (int i = 0; i < 1001; ++i) {
        text += "l\r\n";  // 3 bytes a line
    }
    const std::string index = IndexOf(text, "", true);
    std::string expected;
    for (int i = 1; i <= 1001; ++i) {
        expected += TextRecord(SequenceNumberText(i), static_cast<std::uint32_t>(3 * (i - 1)));
    }
    expected += TextRecord("", 3003);
    EXPECT_EQ(index, expected);
    EXPECT_EQ(index.substr(999 * 8, 8), TextRecord("000", 2997));
    EXPECT_EQ(index.substr(1000 * 8, 8), TextRecord("001", 3000));

    // Without the line flag no line is a record.
    EXPECT_EQ(IndexOf(text, "", false), TextRecord("", 3003));
}

TEST(ModuleIndex, TagMarkerTakesKeyTagsOrSequenceNumbers) {
    const std::string text =
        "<h1><key:intro>Preface\r\n"   // 24 bytes
        "words\r\n"                   // 7
        "<h1>Chapter two\r\n"         // 17
        "<h1><key:>empty key\r\n"     // 21: an empty key takes the number
        "<h1><key:open\r\n"           // 15: no ">" after "<key:"
        "x<h1>\n";                    // 6: the marker anywhere in the line
    EXPECT_EQ(IndexOf(text, "<h1>", true),
              TextRecord("intro", 0) + TextRecord("002", 31) + TextRecord("003", 48) +
                  TextRecord("004", 69) + TextRecord("005", 84) + TextRecord("", 90));
}

TEST(ModuleIndex, KeyMarkerTakesTheTextAfterTheMarker) {
    const std::string text =
        "<key:first>at byte 0 is passed over\n"  // 36
        "x<key:alpha>A\n"                        // 14
        "body\n"                                 // 5
        "yy<key:01002\n";                        // 13: no ">", key to the end of the line
    EXPECT_EQ(IndexOf(text, "<key:", false),
              TextRecord("alpha", 36) + ChapterRecord(1002, 55) + TextRecord("", 68));
    EXPECT_EQ(IndexOf(text, "<key:", true),
              TextRecord("alpha", 50) + ChapterRecord(1002, 68) + TextRecord("", 68));
}

TEST(ModuleIndex, BadInputNeverBreaksTheIndex) {
    // NUL bytes stay part of lines and keys; offsets still count every byte.
    const std::string withNul("a\0b=1\n\0=2\ncd=3", 14);
    EXPECT_EQ(IndexOf(withNul, "=", true),
              TextRecord(std::string("a\0b", 3), 0) + TextRecord(std::string("\0", 1), 6) +
                  TextRecord("cd", 10) + TextRecord("", 14));

    // A line far longer than 64 KiB.
    const std::string longLine = "01001:=" + std::string(200000, 'x') + "\r\n";
    EXPECT_EQ(IndexOf(longLine + "01002:=y\r\n", ":=", false),
              ChapterRecord(1001, 200009) + ChapterRecord(1002, 200019) + TextRecord("", 200019));

    // A marker that never occurs: only the terminal record.
    EXPECT_EQ(IndexOf("abc\r\n", "<h1>", true), TextRecord("", 5));
    // One-byte marker searches skip GBK trail bytes: the trail byte of 丂 is "@".
    EXPECT_EQ(IndexOf("丂@x\n", "@", true), TextRecord("丂", 0) + TextRecord("", 5));
}

TEST(ModuleIndex, BuildsIndexesLargerThan64KiB) {
    std::string text;
    std::string expected;
    // 20,000 records of 14-byte keys: 400,000 bytes of index.
    for (int i = 0; i < 20000; ++i) {
        const std::string key = "entry-" + std::to_string(100000000 + i).substr(1);
        expected += TextRecord(key, static_cast<std::uint32_t>(text.size()));
        text += key + "=value " + std::to_string(i) + "\r\n";
    }
    expected += TextRecord("", static_cast<std::uint32_t>(text.size()));
    TempInstallation install;
    install.Write("usr\\big.txt", text);
    ASSERT_TRUE(BuildModuleIndex(install.Config(), "usr\\big", true, "="));
    const std::string index = install.Read("usr\\big.inx");
    EXPECT_GT(index.size(), 65536u);
    EXPECT_EQ(index, expected);
}

TEST(ModuleIndex, WritesFilesReadOnlyAndLeavesIndexesWithoutText) {
    TempInstallation install;
    // An empty text gives exactly "=" and four zero bytes.
    install.Write("usr\\empty.txt", "");
    ASSERT_TRUE(BuildModuleIndex(install.Config(), "usr\\empty", false, ":="));
    EXPECT_EQ(install.Read("usr\\empty.inx"), std::string("=\0\0\0\0", 5));
    EXPECT_TRUE(platform::IsReadOnly(install.Config() + "usr\\empty.inx"));

    // A second build replaces the read-only index and leaves it read-only again; the name is
    // lower-cased and found whatever its case on disk.
    install.Write("usr\\empty.txt", "01001:=a\r\n");
    ASSERT_TRUE(BuildModuleIndex(install.Config(), "USR\\Empty", false, ":="));
    EXPECT_EQ(install.Read("usr\\empty.inx"), ChapterRecord(1001, 10) + TextRecord("", 10));
    EXPECT_TRUE(platform::IsReadOnly(install.Config() + "usr\\empty.inx"));

    // Without its text an existing index stays as it is, read-only; no index is made up.
    const std::string orphan = ChapterRecord(1001, 0) + TextRecord("", 3);
    install.Write("usr\\orphan.inx", orphan);
    EXPECT_FALSE(BuildModuleIndex(install.Config(), "usr\\orphan", true, "="));
    EXPECT_EQ(install.Read("usr\\orphan.inx"), orphan);
    EXPECT_TRUE(platform::IsReadOnly(install.Config() + "usr\\orphan.inx"));
    EXPECT_FALSE(BuildModuleIndex(install.Config(), "usr\\absent", true, "="));
    EXPECT_FALSE(platform::PathExists(install.Config() + "usr\\absent.inx"));
    EXPECT_FALSE(BuildModuleIndex(install.Config(), "", true, "="));
}

TEST(ModuleIndex, ChainReferenceModuleIsAlwaysIndexedByItsKeyLines) {
    TempInstallation install;
    const std::string text = "01001:=<h1>Genesis\r\nverse\r\n01002:=\r\nmore\r\n";
    install.Write("sys\\Tessaly.txt", text);
    const std::string expected = ChapterRecord(1001, 20) + ChapterRecord(1002, 36) + TextRecord("", 42);
    // The index mode's default marker "<h1>" and any other marker give the installation's index.
    for (const char* marker : {"<h1>", "", "<key:", "="}) {
        ASSERT_TRUE(BuildModuleIndex(install.Config(), "sys\\tessaly", true, marker)) << marker;
        EXPECT_EQ(install.Read("sys\\tessaly.inx"), expected) << marker;
    }
    ASSERT_TRUE(BuildModuleIndex(install.Config(), "sys/Tessaly", false, "<h1>"));
    EXPECT_EQ(install.Read("sys\\tessaly.inx"), expected);
}

TEST(ModuleIndex, PrepareModulesIndexesTheModuleTable) {
    TempInstallation install;
    install.Write("sys\\corpa.txt", "01001=#1a#2b\n01002=#1c\n");
    install.Write("sys\\Tessaly.txt", "01001:=\r\n#1a\r\n");
    install.Write("sys\\tidoran.txt", "day one\r\nday two\r\n");
    install.Write("sys\\amberly.txt", "<h1><key:x1>T\r\nbody\r\n<h1>U\r\n");
    install.Write("usr\\niv.txt", "01001:=\r\nIn the beginning\r\n");
    PrepareModules(install.Config());
    EXPECT_EQ(install.Read("sys\\corpa.txt"), "01001=#1a#2b\n01002=#1c\n") << "an existing main text stays";
    EXPECT_EQ(install.Read("sys\\corpa.inx"), ChapterRecord(1001, 0) + ChapterRecord(1002, 13) + TextRecord("", 23));
    EXPECT_EQ(install.Read("sys\\tessaly.inx"), ChapterRecord(1001, 9) + TextRecord("", 14));
    EXPECT_EQ(install.Read("sys\\tidoran.inx"), TextRecord("001", 0) + TextRecord("002", 9) + TextRecord("", 18));
    EXPECT_EQ(install.Read("sys\\amberly.inx"), TextRecord("x1", 0) + TextRecord("002", 21) + TextRecord("", 28));
    EXPECT_EQ(install.Read("usr\\niv.inx"), ChapterRecord(1001, 9) + TextRecord("", 27));
    EXPECT_FALSE(platform::PathExists(install.Config() + "usr\\nasb.inx"));
    EXPECT_EQ(ModuleTable.size(), 10u);
}

TEST(ModuleIndex, PrepareModulesIndexesTheParallelVersionsInsideTheInstallation) {
    TempInstallation install;
    // The list as a user may leave it: blanks around "=", a capital, an empty item, a repeat, two
    // modules of the table and names that lead out of the installation.
    install.Write("bible.ini",
                  "[bible]\r\nSYSKEY=corpa\r\nEQUATEFILE = usr\\KJV,,usr\\web,usr\\kjv,sys\\corpa,usr\\niv,"
                  "..\\outside,C:\\elsewhere,\\rooted\r\n");
    const std::string verses = "01001:=\r\n$1In the beginning\r\n01002:=\r\n$1x\r\n";
    install.Write("usr\\kjv.txt", verses);
    install.Write("usr\\web.txt", verses);
    install.Write("usr\\niv.txt", verses);
    install.Write("sys\\corpa.txt", "01001=#1a\n");
    ASSERT_TRUE(platform::WriteWholeFile(install.Root() + "outside.txt", verses));
    ASSERT_TRUE(platform::WriteWholeFile(install.Root() + "rooted.txt", verses));

    PrepareModules(install.Config());
    // Keyed by the chapter lines, each record starting on the line after its key, as the import
    // indexes a module.
    const std::string parallel = ChapterRecord(1001, 9) + ChapterRecord(1002, 38) + TextRecord("", 43);
    EXPECT_EQ(install.Read("usr\\kjv.inx"), parallel);
    EXPECT_EQ(install.Read("usr\\web.inx"), parallel);
    EXPECT_EQ(install.Read("usr\\niv.inx"), parallel);
    EXPECT_TRUE(platform::IsReadOnly(install.Config() + "usr\\web.inx"));
    // The main text keeps the table's marker "=" and its line flag.
    EXPECT_EQ(install.Read("sys\\corpa.inx"), ChapterRecord(1001, 0) + TextRecord("", 10));
    EXPECT_FALSE(platform::PathExists(install.Root() + "outside.inx"));
    EXPECT_FALSE(platform::PathExists(install.Root() + "rooted.inx"));

    // Each listed module once: the repeat of usr\kjv is not built again.
    EXPECT_EQ(IndexParallelModules(install.Config()), 2);
    // Without a list, or without bible.ini, nothing is indexed.
    install.Write("bible.ini", "[bible]\r\nSYSKEY=corpa\r\n");
    EXPECT_EQ(IndexParallelModules(install.Config()), 0);
    ASSERT_TRUE(platform::RemoveFile(install.Config() + "bible.ini"));
    EXPECT_EQ(IndexParallelModules(install.Config()), 0);
}

}  // namespace
}  // namespace quillax
