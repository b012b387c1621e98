// Chinese literals are GBK bytes at run time: 亅 = 81 7C (trail byte "|"), 形 = D0 CE.
#include <gtest/gtest.h>

#include <string>

#include "textlib/gb_list.h"

namespace quillax {
namespace {

std::string Items(const GbList& list) {
    std::string joined;
    for (const GbString& item : list) joined += "[" + item.str() + "]";
    return joined;
}

TEST(GbListTest, SplitKeepsEmptyItems) {
    GbList list;
    EXPECT_EQ(list.Split("a,b,c", ","), 3);
    EXPECT_EQ(Items(list), "[a][b][c]");
    EXPECT_EQ(list.Split(",a,,b,", ","), 5);
    EXPECT_EQ(Items(list), "[][a][][b][]");
    EXPECT_EQ(list.Split("abc", ","), 1);
    EXPECT_EQ(Items(list), "[abc]");
    EXPECT_EQ(list.Split("", ","), 1);
    EXPECT_EQ(Items(list), "[]");
    EXPECT_EQ(list.Split("L0<br>L1<br><br>L3", "<br>"), 4);
    EXPECT_EQ(Items(list), "[L0][L1][][L3]");
    EXPECT_EQ(list.Split("abc", ""), 1);
    EXPECT_EQ(Items(list), "[abc]");
    // Both modes give the same items.
    EXPECT_EQ(list.Split(",x,y", ",", GbList::kSplitSharedBuffer), 3);
    EXPECT_EQ(Items(list), "[][x][y]");
}

TEST(GbListTest, SeparatorsAreFoundAsFindFindsThem) {
    GbList list("亅|a", "|", GbList::kSplitSharedBuffer);
    EXPECT_EQ(Items(list), "[亅][a]");
    list.Split("中文形x形", "形");
    EXPECT_EQ(Items(list), "[中文][x][]");
    // Overlapping multi-byte separators: the last occurrence before the end cuts first.
    list.Split("a,,,b", ",,");
    EXPECT_EQ(Items(list), "[a,][b]");
    // A separator after 0x80 or 0xFF (no lead bytes) cuts; after 0xFE it is a trail byte.
    list.Split("a\x80|b\xFF|c\xFE|d", "|");
    EXPECT_EQ(Items(list), "[a\x80][b\xFF][c\xFE|d]");
}

TEST(GbListTest, AtMost2049SeparatorsCutFromTheEnd) {
    std::string source = "0";
    for (int i = 1; i <= 2100; ++i) source += "," + std::to_string(i);
    GbList list;
    EXPECT_EQ(list.Split(source, ","), 2050);
    // Items 52..2100 are cut off; item 0 keeps the rest with its separators.
    std::string head = "0";
    for (int i = 1; i <= 51; ++i) head += "," + std::to_string(i);
    EXPECT_EQ(list[0], head);
    EXPECT_EQ(list[1], "52");
    EXPECT_EQ(list[2049], "2100");

    source.assign(2049, ',');
    EXPECT_EQ(list.Split(source, ","), 2050);
    EXPECT_TRUE(list[0].IsEmpty());
    source.assign(2050, ',');
    EXPECT_EQ(list.Split(source, ","), 2050);
    EXPECT_EQ(list[0], ",");
}

TEST(GbListTest, ReadingOutOfRange) {
    GbList list("a,b", ",");
    ASSERT_NE(list.Get(1), nullptr);
    EXPECT_EQ(*list.Get(1), "b");
    EXPECT_EQ(list.Get(2), nullptr);
    EXPECT_EQ(list.Get(-1), nullptr);
    EXPECT_TRUE(list[2].IsEmpty());
    EXPECT_TRUE(list[-1].IsEmpty());
    // A list may be split from one of its own items.
    list.Split("x;y,z", ",");
    list.Split(list[0], ";");
    EXPECT_EQ(Items(list), "[x][y]");
    list.Add("w");
    EXPECT_EQ(list.Count(), 3);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Get(0), nullptr);
}

}  // namespace
}  // namespace quillax
