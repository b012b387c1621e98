#include "textlib/module_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/temp_dir.h"
#include "textlib/chapter_keys.h"
#include "textlib/index_builder.h"

namespace quillax {
namespace {

// ---- index layouts, written byte by byte --------------------------------------------------------

std::string Offset32(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
    return bytes;
}

// Chapter form: (chapter number - 1000) as 16-bit little endian, ":", "=", offset.
std::string ChapterEntry(int chapterNumber, std::uint32_t offset) {
    const auto stored = static_cast<unsigned>(chapterNumber - 1000);
    std::string bytes;
    bytes.push_back(static_cast<char>(stored & 0xFFu));
    bytes.push_back(static_cast<char>(stored >> 8));
    return bytes + ":=" + Offset32(offset);
}

std::string TextEntry(std::string_view key, std::uint32_t offset) {
    return std::string(key) + "=" + Offset32(offset);
}

std::string ClosingEntry(std::uint32_t textSize) { return "=" + Offset32(textSize); }

// A module written by the test: each record is a key line (key + marker + line end) and a body.
// The index points at the key line, or (offsetAfterKeyLine) at the line after it, as the index
// builder does for the "=" and ":=" markers.
struct Module {
    std::string text;
    std::string index;
};

Module BuildModule(const std::vector<std::pair<std::string, std::string>>& records,
                   std::string_view marker, bool offsetAfterKeyLine,
                   std::string_view lineEnd = "\r\n") {
    Module m;
    for (const auto& [key, body] : records) {
        const auto keyLine = static_cast<std::uint32_t>(m.text.size());
        m.text += key + std::string(marker) + std::string(lineEnd);
        const auto offset = offsetAfterKeyLine ? static_cast<std::uint32_t>(m.text.size()) : keyLine;
        const int number = IsChapterKey(key, false);
        m.index += number != 0 ? ChapterEntry(number, offset) : TextEntry(key, offset);
        m.text += body;
    }
    m.index += ClosingEntry(static_cast<std::uint32_t>(m.text.size()));
    return m;
}

// ---- IndexLookup ----------------------------------------------------------------------------

void ExpectRange(const IndexRange& range, std::int64_t offset, std::int64_t length) {
    EXPECT_EQ(range.offset, offset);
    EXPECT_EQ(range.length, length);
}

TEST(IndexLookup, EntryLayouts) {
    // Genesis 1 at 0 and Genesis 2 at 120 (bytes 01 00 3A 3D ... and 02 00 3A 3D 78 ...), then
    // the closing entry with the text size 200.
    const std::string chapters("\x01\x00:=\x00\x00\x00\x00"
                               "\x02\x00:=\x78\x00\x00\x00"
                               "=\xC8\x00\x00\x00", 21);
    ExpectRange(IndexLookup(chapters, "01001"), 0, 120);
    ExpectRange(IndexLookup(chapters, "01002"), 120, -1);  // the last record: to the end
    ExpectRange(IndexLookup(chapters, "0100100"), 0, 120); // extra characters are not stored
    ExpectRange(IndexLookup(chapters, "01003"), -1, -1);
    ExpectRange(IndexLookup(chapters, "02001"), -1, -1);
    // The closing entry's empty key is no record.
    ExpectRange(IndexLookup(chapters, ""), -1, -1);

    const std::string big = ChapterEntry(19119, 70000) + ChapterEntry(66022, 0x01020304) +
                            ClosingEntry(0x01030000);
    EXPECT_EQ(big.substr(0, 4), std::string("\xC7\x46:=", 4));  // 19119 - 1000 = 0x46C7
    ExpectRange(IndexLookup(big, "19119"), 70000, 0x01020304 - 70000);
    ExpectRange(IndexLookup(big, "66022"), 0x01020304, -1);

    // Day keys, a special key (chapter 000, stored as text) and study keys in Chinese.
    const std::string days = TextEntry("001", 0) + TextEntry("002", 17) + TextEntry("0100000", 30) +
                             TextEntry("亚伯拉罕", 44) + TextEntry("以撒", 60) + ClosingEntry(75);
    ExpectRange(IndexLookup(days, "001"), 0, 17);
    ExpectRange(IndexLookup(days, "002"), 17, 13);
    ExpectRange(IndexLookup(days, "0100000"), 30, 14);
    ExpectRange(IndexLookup(days, "亚伯拉罕"), 44, 16);
    ExpectRange(IndexLookup(days, "以撒"), 60, -1);
    ExpectRange(IndexLookup(days, "003"), -1, -1);
    ExpectRange(IndexLookup(days, "004"), -1, -1);
}

TEST(IndexLookup, NextEntryIsFoundWhateverItsKeyBytes) {
    // 2 Samuel 21 is stored as 3D 23 3A: its first byte is "=", which must not be taken for its
    // separator.
    const std::string chapters = ChapterEntry(1001, 0) + ChapterEntry(10021, 50) + ClosingEntry(90);
    ASSERT_EQ(chapters[8], '=');
    ExpectRange(IndexLookup(chapters, "01001"), 0, 50);
    ExpectRange(IndexLookup(chapters, "10021"), 50, -1);

    // A key that mixes an ASCII letter and GBK characters puts a character across the third
    // byte of the key; its "=" is still the separator.
    const std::string mixed = TextEntry("Z亚当", 0) + TextEntry("A亚当", 10) + TextEntry("B亚当", 25) +
                              ClosingEntry(40);
    ExpectRange(IndexLookup(mixed, "Z亚当"), 0, 10);
    ExpectRange(IndexLookup(mixed, "A亚当"), 10, 15);
}

TEST(IndexLookup, KeysThatEndOtherKeys) {
    // Whole keys are compared: "ab" is not found inside the entry "cab=".
    const std::string endsEarlier = TextEntry("cab", 0) + TextEntry("ab", 10) + ClosingEntry(20);
    ExpectRange(IndexLookup(endsEarlier, "ab"), 10, -1);
    ExpectRange(IndexLookup(endsEarlier, "cab"), 0, 10);
    const std::string endsLater = TextEntry("ab", 0) + TextEntry("cab", 10) + ClosingEntry(20);
    ExpectRange(IndexLookup(endsLater, "ab"), 0, 10);
    ExpectRange(IndexLookup(endsLater, "cab"), 10, -1);
}

TEST(IndexLookup, OffsetBytesThatSpellAChapterKey) {
    // Genesis 2 is stored as 01 00 3A; an earlier offset 0x3A000100 holds those bytes in its
    // middle. Proverbs 5 (20005) is stored as 3D 4A 3A: its first byte is itself "=".
    const std::string index = ChapterEntry(1001, 0x3A000100u) + ChapterEntry(20005, 0x3A000200u) +
                              ChapterEntry(1002, 0x3A000300u) + ClosingEntry(0x3A000400u);
    ExpectRange(IndexLookup(index, "01002"), 0x3A000300ll, -1);  // the last record
    ExpectRange(IndexLookup(index, "20005"), 0x3A000200ll, 0x100);
    ExpectRange(IndexLookup(index, "01001"), 0x3A000100ll, 0x100);
}

TEST(IndexLookup, DamagedIndexes) {
    // Cut at every length: a key is either not found or found with its own offset, and its
    // length is its own or "to the end".
    const std::string index = ChapterEntry(1001, 0) + ChapterEntry(1002, 100) +
                              ChapterEntry(1003, 250) + ClosingEntry(400);
    const struct { const char* key; std::int64_t offset; std::int64_t length; } expected[] = {
        {"01001", 0, 100}, {"01002", 100, 150}, {"01003", 250, -1}};
    for (std::size_t cut = 0; cut <= index.size(); ++cut) {
        const std::string_view part(index.data(), cut);
        for (const auto& e : expected) {
            const IndexRange r = IndexLookup(part, e.key);
            if (r.offset == -1) continue;
            EXPECT_EQ(r.offset, e.offset) << e.key << " cut " << cut;
            EXPECT_TRUE(r.length == e.length || r.length == -1) << e.key << " cut " << cut;
        }
    }
    // Cut inside the offset of 01002: not found. Cut right after it: runs to the end.
    ExpectRange(IndexLookup(std::string_view(index.data(), 14), "01002"), -1, -1);
    ExpectRange(IndexLookup(std::string_view(index.data(), 16), "01002"), 100, -1);
    ExpectRange(IndexLookup(std::string_view(index.data(), 20), "01002"), 100, -1);
    ExpectRange(IndexLookup("", "01001"), -1, -1);

    // A next entry that starts before this one gives an empty range, never a negative length.
    ExpectRange(IndexLookup(TextEntry("k1", 500) + TextEntry("k2", 100) + ClosingEntry(600), "k1"),
                500, 0);
    // Offsets are unsigned: the largest value is an offset, not "missing".
    ExpectRange(IndexLookup(TextEntry("k1", 0xFFFFFFFFu) + ClosingEntry(10), "k1"), 0xFFFFFFFFll, -1);
    // Keys with zero bytes and zero bytes around them.
    const std::string zeros = TextEntry(std::string("a\0b", 3), 0) + TextEntry(std::string("\0\0", 2), 7) +
                              ClosingEntry(9);
    ExpectRange(IndexLookup(zeros, std::string("a\0b", 3)), 0, 7);
    ExpectRange(IndexLookup(zeros, std::string("\0\0", 2)), 7, -1);
}

TEST(IndexLookup, IndexLargerThan64KiB) {
    std::string index;
    for (std::uint32_t i = 0; i < 10000; ++i) {
        std::string key = std::to_string(100000 + i);
        key[0] = 'k';
        index += TextEntry(key, i * 40);
    }
    index += ClosingEntry(400000);
    ASSERT_GT(index.size(), 65536u);
    ExpectRange(IndexLookup(index, "k00000"), 0, 40);
    ExpectRange(IndexLookup(index, "k09998"), 399920, 40);
    ExpectRange(IndexLookup(index, "k09999"), 399960, -1);
}

// ---- ReadModuleEntry ------------------------------------------------------------------------

class RecordingLinker : public ReferenceLinker {
public:
    void LinkifyReferences(GbString& text) override {
        calls.push_back("linkify:" + text.str());
        text += "[L]";
    }
    void LinkBracketReferences(GbString& text, const GbString& defaultKey) override {
        calls.push_back("bracket:" + text.str() + "|" + defaultKey.str());
        text += "[B]";
    }
    std::vector<std::string> calls;
};

class ModuleReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        installDir = GbString(dir.path() + "\\");
        for (int i = 0; i < 80; ++i) vocabulary.Add("");
    }

    ModuleReaderContext Context(bool useCache = true) {
        return ModuleReaderContext{installDir, systemTextDir, systemModules, substitute,
                                   vocabulary,  &linker,      useCache ? &cache : nullptr};
    }
    std::string Read(std::string_view module, std::string_view key, bool link = false,
                     bool useCache = true) {
        return ReadModuleEntryWith(Context(useCache), module, key, link).str();
    }
    void Write(const std::string& relative, std::string_view bytes) {
        ASSERT_TRUE(platform::WriteWholeFile(dir / relative, bytes)) << relative;
    }
    void WriteModule(const std::string& relative, const Module& m) {
        Write(relative + ".txt", m.text);
        Write(relative + ".inx", m.index);
    }
    // Dates a file back, so that the cache may keep it.
    void SetAge(const std::string& relative, std::int64_t seconds) {
        const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch()).count();
        platform::FileTimes times;
        times.lastWrite = platform::FileTimeFromUnixSeconds(now - seconds);
        ASSERT_TRUE(platform::SetFileTimes(dir / relative, times));
    }

    testing::TempDir dir;
    GbString installDir;
    GbString systemTextDir;
    GbString systemModules;
    bool substitute = false;
    GbList vocabulary;
    RecordingLinker linker;
    ModuleFileCache cache;
};

TEST_F(ModuleReaderTest, ChapterModuleRoundTrip) {
    // Every chapter of the first three books, records keyed "BBCCC:=" with the offset after the
    // key line (the layout of the chain-reference module), verses carrying markup.
    std::vector<std::pair<std::string, std::string>> records;
    std::vector<std::string> expected;
    for (int book = 1; book <= 3; ++book) {
        for (int chapter = 1; chapter <= ChapterCount(book); ++chapter) {
            std::string body;
            std::string html;
            for (int verse = 1; verse <= 1 + (book * chapter) % 7; ++verse) {
                const std::string v = std::to_string(verse);
                body += "$" + v + "　起初@神#创造%天地^_{注" + v + "}\\斜|\r\n";
                html += "$" + v + "　起初<b>神</b>创造<u>天地</u><br><em>注" + v + "</em><i>斜</i>\r\n";
            }
            records.emplace_back(MakeChapterKey(book * 1000 + chapter).str(), body);
            html.resize(html.size() - 2);  // the record's last line break goes
            expected.push_back(html);
        }
    }
    const Module m = BuildModule(records, ":=", true);
    WriteModule("tessaly", m);
    SetAge("tessaly.txt", 3600);  // old enough to be kept in the cache
    SetAge("tessaly.inx", 3600);

    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(Read("Tessaly", records[i].first), expected[i]) << records[i].first;
        EXPECT_EQ(Read("tessaly", records[i].first, false, false), expected[i]) << records[i].first;
    }
    // A seven-character key reads its chapter.
    EXPECT_EQ(Read("tessaly", "0100100"), expected[0]);
    EXPECT_EQ(Read("tessaly", "04001"), "");
    EXPECT_EQ(Read("tessaly", "01051"), "");
}

TEST_F(ModuleReaderTest, KeyLineRecordsWithBareLineFeeds) {
    // The main text: one line per chapter, the index pointing at the key line, LF line ends.
    const Module m = BuildModule({{"01001", "#1 起初#2 地是空虚\n"}, {"01002", "#1 天地万物\n"},
                                  {"01003", "#1 耶和华\n"}},
                                 "=", false, "");
    WriteModule("corpa", m);
    EXPECT_EQ(Read("corpa", "01001"), "01001=#1 起初#2 地是空虚");
    EXPECT_EQ(Read("corpa", "01002"), "01002=#1 天地万物");
    EXPECT_EQ(Read("corpa", "01003"), "01003=#1 耶和华");
}

TEST_F(ModuleReaderTest, DayAndStudyKeys) {
    std::vector<std::pair<std::string, std::string>> records;
    for (int day = 1; day <= 12; ++day) {
        GbString key;
        key.SetPadded(day, "000");
        records.emplace_back(key.str(), "第" + std::to_string(day) + "天_\r\n读经_\r\n");
    }
    WriteModule("zendri", BuildModule(records, ":=", true));
    EXPECT_EQ(Read("zendri", "001"), "第1天<br>\r\n读经");
    EXPECT_EQ(Read("zendri", "007"), "第7天<br>\r\n读经");
    EXPECT_EQ(Read("zendri", "012"), "第12天<br>\r\n读经");
    EXPECT_EQ(Read("zendri", "013"), "");

    WriteModule("amberly", BuildModule({{"亚伯拉罕", "信心之父\r\n"}, {"以撒该", "应许之子\r\n"}},
                                       ":=", true));
    EXPECT_EQ(Read("amberly", "亚伯拉罕"), "信心之父");
    EXPECT_EQ(Read("amberly", "以撒该"), "应许之子");
}

TEST_F(ModuleReaderTest, RecordEnds) {
    // The next record's key line and trailing line breaks and "_" go.
    WriteModule("m", BuildModule({{"k1", "body one_\r\n\r\n"}, {"k2", "body two_\r\n_\r\n"}},
                                 ":=", true));
    EXPECT_EQ(Read("m", "k1"), "body one");
    EXPECT_EQ(Read("m", "k2"), "body two");

    // A record that is one empty line gives nothing (not the next record's key line).
    WriteModule("e", BuildModule({{"k1", "\r\n"}, {"k2", "x\r\n"}}, ":=", true));
    EXPECT_EQ(Read("e", "k1"), "");
    EXPECT_EQ(Read("e", "k2"), "x");

    // An "_" that is the second byte of a GBK character (0x81 0x5F) is part of it and stays.
    Write("g.txt", "\x81_\r\n_\r\n");
    Write("g.inx", TextEntry("gg", 0) + ClosingEntry(7));
    EXPECT_EQ(Read("g", "gg"), "\x81_");
    // After 0x80 or 0xFF (no lead bytes) it is a trailing "_" of its own and goes.
    Write("h.txt", "\xFF_\r\n_\r\n");
    Write("h.inx", TextEntry("hh", 0) + ClosingEntry(7));
    EXPECT_EQ(Read("h", "hh"), "\xFF");
    Write("i.txt", "\x80_\r\n_\r\n");
    Write("i.inx", TextEntry("ii", 0) + ClosingEntry(7));
    EXPECT_EQ(Read("i", "ii"), "\x80");

    // A record ending in "=" without a line break before it keeps its text.
    Write("q.txt", "a=b=");
    Write("q.inx", TextEntry("qq", 0) + ClosingEntry(4));
    EXPECT_EQ(Read("q", "qq"), "a=b=");
}

TEST_F(ModuleReaderTest, Substitution) {
    vocabulary = GbList();
    for (int i = 0; i < 69; ++i) vocabulary.Add("");
    vocabulary.Add("AA");   // 69
    vocabulary.Add("%x^");  // 70
    vocabulary.Add("x");    // 71
    vocabulary.Add("y");    // 72
    Write("s.txt", "AA and x\r\n");
    Write("s.inx", TextEntry("s1", 0) + ClosingEntry(10));

    substitute = false;
    EXPECT_EQ(Read("s", "s1"), "AA and x");
    // 69 -> 70, then 71 -> 72 (which also hits the x that the first one brought in), both
    // before the markup is converted.
    substitute = true;
    EXPECT_EQ(Read("s", "s1"), "<u>y</u> and y");
}

TEST_F(ModuleReaderTest, ModuleLocation) {
    systemTextDir = "sys\\";
    systemModules = "corpa,tessaly,emendo";
    ASSERT_TRUE(platform::MakeDirectories(dir / "sys"));
    WriteModule("sys\\Tessaly", BuildModule({{"01001", "in sys\r\n"}}, ":=", true));
    WriteModule("niv", BuildModule({{"01001", "in cfg\r\n"}}, ":=", true));
    WriteModule("sys\\niv", BuildModule({{"01001", "wrong\r\n"}}, ":=", true));

    EXPECT_EQ(Read("TESSALY", "01001"), "in sys");
    EXPECT_EQ(Read("old/path/Tessaly", "01001"), "in sys");
    EXPECT_EQ(Read("niv", "01001"), "in cfg");
    // Not listed in SYSKEY: looked for in the configuration directory only.
    WriteModule("sys\\oblix", BuildModule({{"001", "x\r\n"}}, ":=", true));
    EXPECT_EQ(Read("oblix", "001"), "");
    EXPECT_EQ(Read("", "01001"), "");
    EXPECT_EQ(Read("missing", "01001"), "");
    // A name cut short by a 0 byte must not open the file before the cut: here that file
    // would serve as both index and text.
    Write("both.inx", TextEntry("k", 11) + ClosingEntry(16) + "hello");
    EXPECT_EQ(Read(std::string("both.inx\0", 9), "k"), "");
}

TEST_F(ModuleReaderTest, ReferencePasses) {
    WriteModule("amberly", BuildModule({{"001", "@a# (约3:16)\r\n"}}, ":=", true));

    EXPECT_EQ(Read("amberly", "001", true), "<b>a</b> (约3:16)[L][B]");
    ASSERT_EQ(linker.calls.size(), 2u);
    EXPECT_EQ(linker.calls[0], "linkify:<b>a</b> (约3:16)");
    EXPECT_EQ(linker.calls[1], "bracket:<b>a</b> (约3:16)[L]|001");

    linker.calls.clear();
    EXPECT_EQ(Read("amberly", "001", false), "<b>a</b> (约3:16)");
    EXPECT_EQ(Read("amberly", "002", true), "");
    EXPECT_TRUE(linker.calls.empty());

    // Without a linker the passes are skipped.
    ModuleReaderContext noLinker = Context();
    noLinker.linker = nullptr;
    EXPECT_EQ(ReadModuleEntryWith(noLinker, "amberly", "001", true), "<b>a</b> (约3:16)");
}

TEST_F(ModuleReaderTest, BadInput) {
    const Module good = BuildModule({{"01001", "one\r\n"}, {"01002", "two\r\n"}}, ":=", true);

    // Missing files.
    Write("noidx.txt", good.text);
    EXPECT_EQ(Read("noidx", "01001"), "");
    Write("notxt.inx", good.index);
    EXPECT_EQ(Read("notxt", "01001"), "");
    Write("empty.txt", "");
    Write("empty.inx", "");
    EXPECT_EQ(Read("empty", "01001"), "");

    // Offsets past the end of the text give nothing; a range past the end gives what exists.
    // (The closing entry holds the text's size, else the index would not be used.)
    Write("past.txt", "0123456789");
    Write("past.inx", TextEntry("p1", 1000) + TextEntry("p2", 4) + TextEntry("p3", 0xFFFFFFFFu) +
                          TextEntry("p4", 8) + ClosingEntry(10));
    EXPECT_EQ(Read("past", "p1"), "");   // its range would end before it starts
    EXPECT_EQ(Read("past", "p2"), "456789");  // up to p3's offset, far beyond the end
    EXPECT_EQ(Read("past", "p3"), "");
    EXPECT_EQ(Read("past", "p4"), "89");
    // With the size of another text in its closing entry the index is not used, and this text
    // has no key lines: nothing is found.
    Write("past.inx", TextEntry("p2", 4) + ClosingEntry(5000));
    EXPECT_EQ(Read("past", "p2"), "");

    // An index cut inside a record has no closing entry: it is not used, the text is indexed
    // in memory.
    WriteModule("cut", good);
    Write("cut.inx", good.index.substr(0, 14));
    EXPECT_EQ(Read("cut", "01002"), "two");
    EXPECT_EQ(Read("cut", "01001"), "one");

    // Zero bytes are text like any other.
    Write("zeros.txt", std::string("k1:=\r\na\0b\r\n", 11));
    Write("zeros.inx", TextEntry("k1", 6) + ClosingEntry(11));
    EXPECT_EQ(Read("zeros", "k1"), std::string("a\0b", 3));

    // Lines longer than 64 KiB.
    const std::string longLine = std::string(100000, 'x') + "%u^";
    WriteModule("long", BuildModule({{"L1", longLine + "\r\n"}, {"L2", "short\r\n"}}, ":=", true));
    EXPECT_EQ(Read("long", "L1"), std::string(100000, 'x') + "<u>u</u>");
    EXPECT_EQ(Read("long", "L2"), "short");

    // The empty key is the closing entry's, not a record.
    WriteModule("good", good);
    EXPECT_EQ(Read("good", ""), "");
}

TEST_F(ModuleReaderTest, AnIndexThatDoesNotMatchItsTextIsNotUsed) {
    // The chain-reference module and its index; then a line of chapter 1 grows, as a
    // correction rewrites it, and the index stays as it was.
    const Module before = BuildModule({{"01001", "In the beginnning\r\n"}, {"01002", "Second\r\n"},
                                       {"01003", "Third\r\n"}},
                                      ":=", true);
    const Module after = BuildModule({{"01001", "In the very first beginning\r\n"},
                                      {"01002", "Second\r\n"}, {"01003", "Third\r\n"}},
                                     ":=", true);
    WriteModule("tessaly", before);
    Write("tessaly.txt", after.text);
    for (const bool useCache : {true, false}) {
        // Read with the old offsets these would hold the next chapter's key line and a stray
        // ":=".
        EXPECT_EQ(Read("tessaly", "01001", false, useCache), "In the very first beginning");
        EXPECT_EQ(Read("tessaly", "01002", false, useCache), "Second");
        EXPECT_EQ(Read("tessaly", "01003", false, useCache), "Third");
        EXPECT_EQ(Read("tessaly", "01004", false, useCache), "");
    }
    // The text is indexed as the installation indexes that module: for the chain-reference
    // module that is this index.
    EXPECT_EQ(BuildInstalledIndex("tessaly", after.text), after.index);

    // Kept with the text it was built for, and followed when the text changes again.
    SetAge("tessaly.txt", 3600);
    SetAge("tessaly.inx", 3600);
    EXPECT_EQ(Read("tessaly", "01002"), "Second");
    EXPECT_EQ(Read("tessaly", "01003"), "Third");
    Write("tessaly.txt", before.text + "01004:=\r\nFourth\r\n");
    SetAge("tessaly.txt", 1800);
    EXPECT_EQ(Read("tessaly", "01001"), "In the beginnning");
    EXPECT_EQ(Read("tessaly", "01004"), "Fourth");

    // The main text: one line per chapter, marker "=" at the key line, which the record keeps.
    const Module corpa = BuildModule({{"01001", "#1 起初\n"}, {"01002", "#1 天地\n"}}, "=", false, "");
    Write("corpa.txt", "01001=#1 起初神创造天地。\n01002=#1 天地万物\n");
    Write("corpa.inx", corpa.index);
    EXPECT_EQ(Read("corpa", "01001"), "01001=#1 起初神创造天地。");
    EXPECT_EQ(Read("corpa", "01002"), "01002=#1 天地万物");

    // An index without its closing entry, or shorter than one, is not used either.
    Write("cut.txt", after.text);
    Write("cut.inx", after.index.substr(0, after.index.size() - 5));
    EXPECT_EQ(Read("cut", "01003"), "Third");
    Write("cut.inx", "=");
    EXPECT_EQ(Read("cut", "01002"), "Second");
}

TEST_F(ModuleReaderTest, AModuleReplacedWhileItIsReadIsNeverTorn) {
    // Two versions of a module, of different sizes, each with its index. Another thread puts
    // them in place in turn (the text, then the index, each replaced whole) while the pages
    // are read: every page is the record of one version or the other.
    std::vector<std::pair<std::string, std::string>> first;
    std::vector<std::pair<std::string, std::string>> second;
    constexpr int kChapters = 30;
    for (int chapter = 1; chapter <= kChapters; ++chapter) {
        const std::string key = MakeChapterKey(1000 + chapter).str();
        first.emplace_back(key, std::string(1 + chapter * 7 % 50, 'a') + "\r\n");
        second.emplace_back(key, std::string(3 + chapter * 11 % 60, 'b') + "\r\n");
    }
    const Module a = BuildModule(first, ":=", true);
    const Module b = BuildModule(second, ":=", true);
    ASSERT_NE(a.text.size(), b.text.size());
    WriteModule("tessaly", a);

    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int round = 0; round < 5000 && !done; ++round) {
            const Module& m = round % 2 == 0 ? b : a;
            platform::WriteWholeFile(dir / "tessaly.txt", m.text, platform::DiskFlush::Skipped);
            platform::WriteWholeFile(dir / "tessaly.inx", m.index, platform::DiskFlush::Skipped);
        }
    });
    int torn = 0;
    int unreadable = 0;  // a file that could not be opened at that moment gives no page at all
    std::string example;
    for (int i = 0; i < 3000; ++i) {
        const int chapter = 1 + i % kChapters;
        const std::string page = Read("tessaly", first[chapter - 1].first);
        if (page.empty()) {
            ++unreadable;
            continue;
        }
        const std::string fromFirst(1 + chapter * 7 % 50, 'a');
        const std::string fromSecond(3 + chapter * 11 % 60, 'b');
        if (page != fromFirst && page != fromSecond) {
            ++torn;
            example = page;
        }
    }
    done = true;
    writer.join();
    EXPECT_EQ(torn, 0) << "for example: " << example;
    EXPECT_LT(unreadable, 100);
}

TEST_F(ModuleReaderTest, CachedFilesFollowChanges) {
    WriteModule("c", BuildModule({{"k1", "aaaa\r\n"}, {"k2", "bbbb\r\n"}}, ":=", true));
    EXPECT_EQ(Read("c", "k1"), "aaaa");
    // Rewritten at once with the same size: the files were too fresh to be kept.
    WriteModule("c", BuildModule({{"k1", "cccc\r\n"}, {"k2", "dddd\r\n"}}, ":=", true));
    EXPECT_EQ(Read("c", "k1"), "cccc");
    EXPECT_EQ(cache.FileCount(), 0u);

    // Older files are kept and served from memory.
    SetAge("c.txt", 3600);
    SetAge("c.inx", 3600);
    EXPECT_EQ(Read("c", "k2"), "dddd");
    EXPECT_EQ(cache.FileCount(), 2u);
    const auto first = cache.Read(dir / "c.txt");
    EXPECT_EQ(cache.Read(dir / "c.txt"), first);

    // Same size, other time: read again.
    Write("c.txt", "k1:=\r\neeee\r\nk2:=\r\nffff\r\n");
    SetAge("c.txt", 7200);
    EXPECT_EQ(Read("c", "k2"), "ffff");
    // A changed index is seen too (here it swaps the two records).
    Write("c.inx", TextEntry("k2", 6) + TextEntry("k1", 18) + ClosingEntry(24));
    SetAge("c.inx", 7200);
    EXPECT_EQ(Read("c", "k2"), "eeee");
    // A file that went away is forgotten.
    ASSERT_TRUE(platform::RemoveFile(dir / "c.txt"));
    EXPECT_EQ(Read("c", "k2"), "");
    EXPECT_EQ(cache.FileCount(), 1u);

    // Limits: the least recently used file goes; a file above the byte limit is not kept.
    ModuleFileCache small(2, 100);
    for (const char* name : {"f1", "f2", "f3"}) {
        Write(name, std::string(10, name[1]));
        SetAge(name, 3600);
    }
    Write("big", std::string(200, 'b'));
    SetAge("big", 3600);
    ASSERT_NE(small.Read(dir / "f1"), nullptr);
    ASSERT_NE(small.Read(dir / "f2"), nullptr);
    ASSERT_NE(small.Read(dir / "f1"), nullptr);  // f2 is now the oldest
    ASSERT_NE(small.Read(dir / "f3"), nullptr);
    EXPECT_EQ(small.FileCount(), 2u);
    const auto f1 = small.Read(dir / "f1");
    EXPECT_EQ(small.Read(dir / "f1"), f1);
    EXPECT_EQ(*small.Read(dir / "f2"), std::string(10, '2'));
    const auto big = small.Read(dir / "big");
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->size(), 200u);
    EXPECT_NE(small.Read(dir / "big"), big);
    EXPECT_EQ(small.Read(dir / "none"), nullptr);
}

}  // namespace
}  // namespace quillax
