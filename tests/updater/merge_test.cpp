// Merging a downloaded bible.ini into the local one.
#include <gtest/gtest.h>

#include "updater/bible_ini_merge.h"
#include "updater/profile_file.h"
#include "updater/texts.h"
#include "updater/updater_test_support.h"

namespace quillax {
namespace {

using testing::FileBytes;
using testing::ScratchDir;
using testing::WorkingDirectoryScope;
using testing::WriteFileBytes;

std::string Merged(std::string_view local, std::string_view downloaded) {
    const auto value = MergedCorrectionValue(local, downloaded);
    return value ? value->str() : "(unchanged)";
}

TEST(MergeCorrectionList, ItemsMissingFromTheLocalListAreAppended) {
    EXPECT_EQ(Merged("a,b", "b,c,d"), "a,b,c,d");
    EXPECT_EQ(Merged("", "x,y"), "x,y");
    EXPECT_EQ(Merged("a,b", ""), "(unchanged)");
    EXPECT_EQ(Merged("a,b", "a,b"), "(unchanged)");
    EXPECT_EQ(Merged("a,b", "b"), "(unchanged)");
    EXPECT_EQ(Merged("a,b", "c"), "a,b,c");
    // Plain substring search: "a," is found inside "xa,".
    EXPECT_EQ(Merged("xa", "a,c"), "xa,c");
    // Middle items are searched with both commas, the last one with its leading comma.
    EXPECT_EQ(Merged("ab,cd", "cd,b,d"), "ab,cd,b,d");
    EXPECT_EQ(Merged("p,q", "p,pq"), "p,q,pq");
    // Items appended earlier count for the later ones.
    EXPECT_EQ(Merged("a", "b,b"), "a,b");
    // A search never starts at the trail byte of a Chinese character: "b" found inside the
    // character 乥 (0x81 0x62) would hide a missing item.
    EXPECT_EQ(Merged("乥", "b"), "乥,b");
    EXPECT_EQ(Merged("頭髮,乾地", "頭髮,細麵,乾地"), "頭髮,乾地,細麵");
    // 0x80 and 0xFF are characters of their own: the byte after them is searched.
    EXPECT_EQ(Merged("\x80" "b", "b"), "(unchanged)");
    EXPECT_EQ(Merged("\xFF" "b", "b"), "(unchanged)");
}

class MergeBibleIniTest : public ::testing::Test {
protected:
    ScratchDir scratch_;
    std::string local_ = scratch_ / "bible.ini";
    std::string downloaded_ = scratch_ / "update-bible.ini";
    RecordingFront front_;
};

TEST_F(MergeBibleIniTest, TheLongerVocabularyBlockReplacesTheLocalOne) {
    const std::string tail =
        "[config]\r\nUPDATEURL=http://mine/update.ini\r\nLANGUAGE=gb2312\r\n"
        "[FIXGB2312TOGBK]\r\nWORD_GB2=头发\r\nWORD_GBK=頭髮\r\n";
    ASSERT_TRUE(WriteFileBytes(local_, "CMPSTR=\"一,二\"\r\n" + tail));
    // One byte longer: replaces the block, the rest of the local file stays byte for byte.
    ASSERT_TRUE(WriteFileBytes(downloaded_,
                               "CMPSTR=\"一,二,\"\r\n[config]\r\nUPDATEURL=http://theirs/\r\nLANGUAGE=big5\r\n"));
    MergeOutcome outcome = MergeBibleIni(local_, downloaded_, &front_);
    EXPECT_TRUE(outcome.blockReplaced);
    EXPECT_FALSE(outcome.urlWritten);
    EXPECT_EQ(FileBytes(local_), "CMPSTR=\"一,二,\"\r\n" + tail);

    // Equal length with other bytes, or shorter: nothing changes.
    ASSERT_TRUE(WriteFileBytes(downloaded_, "CMPSTR=\"三,四,\"\r\n[config]\r\n"));
    outcome = MergeBibleIni(local_, downloaded_, &front_);
    EXPECT_FALSE(outcome.blockReplaced);
    ASSERT_TRUE(WriteFileBytes(downloaded_, "CMPSTR=\"x\"\r\n[config]\r\n"));
    EXPECT_FALSE(MergeBibleIni(local_, downloaded_, &front_).blockReplaced);
    EXPECT_EQ(FileBytes(local_), "CMPSTR=\"一,二,\"\r\n" + tail);

    // A block needs "[config]" after "CMPSTR=" in both files.
    ASSERT_TRUE(WriteFileBytes(downloaded_, "[config]\r\nCMPSTR=\"a very long vocabulary block\"\r\n"));
    EXPECT_FALSE(MergeBibleIni(local_, downloaded_, &front_).blockReplaced);
    EXPECT_TRUE(front_.lines.empty());
}

TEST_F(MergeBibleIniTest, TheUrlIsTakenOnlyWhenTheLocalFileHasNone) {
    ASSERT_TRUE(WriteFileBytes(local_, "CMPSTR=x\r\n[config]\r\nUPDATEURL=\r\nLANGUAGE=gb2312\r\n"));
    ASSERT_TRUE(WriteFileBytes(downloaded_, "[config]\r\nUPDATEURL=http://theirs/update.ini\r\n"));
    EXPECT_TRUE(MergeBibleIni(local_, downloaded_, &front_).urlWritten);
    EXPECT_EQ(ReadProfileValue(local_, "config", "UPDATEURL").value_or("?"), "http://theirs/update.ini");

    // Now set: kept whatever the download says.
    ASSERT_TRUE(WriteFileBytes(downloaded_, "[config]\r\nUPDATEURL=http://other/update.ini\r\n"));
    EXPECT_FALSE(MergeBibleIni(local_, downloaded_, &front_).urlWritten);
    EXPECT_EQ(ReadProfileValue(local_, "config", "UPDATEURL").value_or("?"), "http://theirs/update.ini");

    // Missing locally and in the download: an empty value is written.
    ASSERT_TRUE(WriteFileBytes(local_, "[config]\r\nLANGUAGE=gb2312\r\n"));
    ASSERT_TRUE(WriteFileBytes(downloaded_, "[config]\r\n"));
    EXPECT_TRUE(MergeBibleIni(local_, downloaded_, &front_).urlWritten);
    EXPECT_EQ(FileBytes(local_), "[config]\r\nLANGUAGE=gb2312\r\nUPDATEURL=\r\n");
}

TEST_F(MergeBibleIniTest, CorrectionListsGrowAndOnlyTheTraditionalListAddsALine) {
    const std::string head = "CMPSTR=x\r\n[config]\r\nUPDATEURL=http://mine/\r\n[FIXGB2312TOGBK]\r\n";
    ASSERT_TRUE(WriteFileBytes(local_, head + "WORD_GB2=头发\r\nWORD_GBK=頭髮\r\n"));
    // Only WORD_GB2 gains items: the file changes, no line.
    ASSERT_TRUE(WriteFileBytes(downloaded_, "[FIXGB2312TOGBK]\r\nWORD_GB2=头发,干地\r\nWORD_GBK=頭髮\r\n"));
    MergeOutcome outcome = MergeBibleIni(local_, downloaded_, &front_);
    EXPECT_TRUE(outcome.gb2Grew);
    EXPECT_FALSE(outcome.gbkGrew);
    EXPECT_TRUE(front_.lines.empty());
    EXPECT_EQ(FileBytes(local_), head + "WORD_GB2=头发,干地\r\nWORD_GBK=頭髮\r\n");

    // WORD_GBK gains items: the list line.
    ASSERT_TRUE(WriteFileBytes(downloaded_, "[FIXGB2312TOGBK]\r\nWORD_GB2=干地\r\nWORD_GBK=頭髮,乾地\r\n"));
    outcome = MergeBibleIni(local_, downloaded_, &front_);
    EXPECT_FALSE(outcome.gb2Grew);
    EXPECT_TRUE(outcome.gbkGrew);
    EXPECT_EQ(front_.lines, std::vector<GbString>{GbString(updater_text::kLineCorrectionsMerged)});
    EXPECT_EQ(FileBytes(local_), head + "WORD_GB2=头发,干地\r\nWORD_GBK=頭髮,乾地\r\n");

    // A long local list is merged whole (a value cut at a buffer limit would lose items).
    std::string longList;
    for (int i = 0; i < 3000; ++i) {
        longList += (i ? "," : "") + std::to_string(i);
    }
    ASSERT_TRUE(WriteFileBytes(local_, head + "WORD_GB2=" + longList + "\r\n"));
    ASSERT_TRUE(WriteFileBytes(downloaded_, "[FIXGB2312TOGBK]\r\nWORD_GB2=2999,new\r\n"));
    EXPECT_TRUE(MergeBibleIni(local_, downloaded_, &front_).gb2Grew);
    EXPECT_EQ(ReadProfileValue(local_, "FIXGB2312TOGBK", "WORD_GB2").value_or("?"), longList + ",new");
}

TEST_F(MergeBibleIniTest, AMissingLocalFileIsCreatedWithTheKeysWritten) {
    ASSERT_TRUE(WriteFileBytes(downloaded_,
                               "CMPSTR=\"a\"\r\n[config]\r\nUPDATEURL=http://theirs/\r\n"
                               "[FIXGB2312TOGBK]\r\nWORD_GB2=x\r\nWORD_GBK=y,z\r\n"));
    const MergeOutcome outcome = MergeBibleIni(local_, downloaded_, &front_);
    EXPECT_FALSE(outcome.blockReplaced);
    EXPECT_EQ(FileBytes(local_),
              "[config]\r\nUPDATEURL=http://theirs/\r\n[FIXGB2312TOGBK]\r\nWORD_GB2=x\r\nWORD_GBK=y,z\r\n");
    EXPECT_EQ(front_.lines.size(), 1u);
}

TEST_F(MergeBibleIniTest, TheSampleFileTakesAnExtendedDownload) {
    const auto sample = platform::ReadWholeFile("sample\\cfg\\bible.ini");
    ASSERT_TRUE(sample) << "run the tests from the repository root";
    ASSERT_TRUE(WriteFileBytes(local_, *sample));
    // The publisher's copy: the same vocabulary with one more item, other user settings, one
    // more correction pair.
    std::string theirs = *sample;
    const std::size_t blockEnd = theirs.find("[config]");
    ASSERT_NE(blockEnd, std::string::npos);
    const std::size_t quote = theirs.rfind('"', blockEnd);
    theirs.insert(quote, ",新词");
    const std::size_t gbk = theirs.find("WORD_GBK=");
    theirs.insert(theirs.find("\r\n", gbk), ",聖經");
    const std::size_t gb2 = theirs.find("WORD_GB2=");
    theirs.insert(theirs.find("\r\n", gb2), ",圣经");
    const std::size_t search = theirs.find("SEARCH=");
    theirs.replace(search, theirs.find("\r\n", search) - search, "SEARCH=other");
    ASSERT_TRUE(WriteFileBytes(downloaded_, theirs));

    const MergeOutcome outcome = MergeBibleIni(local_, downloaded_, &front_);
    EXPECT_TRUE(outcome.blockReplaced);
    EXPECT_TRUE(outcome.gb2Grew);
    EXPECT_TRUE(outcome.gbkGrew);
    const std::string merged = FileBytes(local_);
    EXPECT_NE(merged.find(",新词\"\r\n[config]"), std::string::npos);
    EXPECT_EQ(merged.find("SEARCH=other"), std::string::npos);
    EXPECT_EQ(merged.substr(merged.find("[config]"), merged.find("WORD_GB2=") - merged.find("[config]")),
              sample->substr(sample->find("[config]"), sample->find("WORD_GB2=") - sample->find("[config]")));
    EXPECT_NE(merged.find(",圣经\r\n"), std::string::npos);
    EXPECT_NE(merged.find(",聖經"), std::string::npos);
}

// The installer's upgrade: cvupdate -mergeini in the configuration directory keeps what the
// user set and takes what an update would bring.
TEST_F(MergeBibleIniTest, TheInstallersUpgradeMergesTheShippedFileIntoTheUsersOne) {
    ASSERT_TRUE(WriteFileBytes(local_, "CMPSTR=\"a\"\r\n[config]\r\nSEARCH=mine\r\n"
                                       "[FIXGB2312TOGBK]\r\nWORD_GB2=x\r\nWORD_GBK=y\r\n"));
    const std::string shipped = "CMPSTR=\"a,b\"\r\n[config]\r\nSEARCH=\r\nUPDATEURL=http://ours/\r\n"
                                "[FIXGB2312TOGBK]\r\nWORD_GB2=x\r\nWORD_GBK=y,z\r\n";
    ASSERT_TRUE(WriteFileBytes(scratch_ / "bible.ini.new", shipped));
    WorkingDirectoryScope inConfig(scratch_.dir());

    // Anything but the whole merge command is the updater's own command line.
    EXPECT_FALSE(RunInstallerMerge(""));
    EXPECT_FALSE(RunInstallerMerge("-mergeini bible.ini"));
    EXPECT_FALSE(RunInstallerMerge("Tessaly 2026 http://ours/update.ini"));
    EXPECT_FALSE(RunInstallerMerge("-mergeini bible.ini bible.ini.new extra"));
    EXPECT_EQ(ReadProfileValue(local_, "config", "SEARCH").value_or("?"), "mine");

    EXPECT_TRUE(RunInstallerMerge("-mergeini bible.ini bible.ini.new"));
    EXPECT_EQ(ReadProfileValue(local_, "config", "SEARCH").value_or("?"), "mine");
    EXPECT_EQ(ReadProfileValue(local_, "config", "UPDATEURL").value_or("?"), "http://ours/");
    EXPECT_EQ(ReadProfileValue(local_, "FIXGB2312TOGBK", "WORD_GBK").value_or("?"), "y,z");
    EXPECT_EQ(FileBytes(local_).rfind("CMPSTR=\"a,b\"", 0), 0u);
    EXPECT_EQ(FileBytes(scratch_ / "bible.ini.new"), shipped);
}

}  // namespace
}  // namespace quillax
