// The profile-file reader and writer behind the manifest and the bible.ini merge.
#include <gtest/gtest.h>

#include "updater/profile_file.h"
#include "updater/updater_test_support.h"

namespace quillax {
namespace {

std::vector<std::string> Texts(const std::vector<GbString>& items) {
    std::vector<std::string> out;
    for (const GbString& item : items) {
        out.push_back(item.str());
    }
    return out;
}

TEST(ProfileText, SectionsKeysAndValuesFollowTheProfileRules) {
    const ProfileText profile(
        "stray=before any section\r\n"
        "[quillax.dll]\r\n"
        "UpdateFile=/a/b.zip\r\n"
        "  version = Build 2006.07.28 20:25  \r\n"
        "; a comment=not an entry\r\n"
        "no equals sign\r\n"
        "Url=http://h/x?a=b\r\n"
        "\r\n"
        "[ Second ] trailing words\n"
        "Quoted=\"in quotes\"\n"
        "Single='x'\n"
        "Half=\"open\n"
        "[]\n"
        "[QUILLAX.DLL]\n"
        "Extra=from the second section of the name\n");

    EXPECT_EQ(Texts(profile.SectionNames()),
              (std::vector<std::string>{"quillax.dll", "Second", "QUILLAX.DLL"}));
    // Lines of the first section of the name: blanks around key and value go, a line without
    // "=" stays as it is, comments and empty lines are no entries.
    EXPECT_EQ(Texts(profile.SectionLines("Quillax.DLL")),
              (std::vector<std::string>{"UpdateFile=/a/b.zip", "version=Build 2006.07.28 20:25",
                                        "no equals sign", "Url=http://h/x?a=b"}));
    EXPECT_EQ(profile.Value("QUILLAX.dll", "VERSION").value_or("?"), "Build 2006.07.28 20:25");
    EXPECT_EQ(profile.Value("quillax.dll", "url").value_or("?"), "http://h/x?a=b");
    // A key missing from the first section of a name is looked up in the next one.
    EXPECT_EQ(profile.Value("quillax.dll", "Extra").value_or("?"), "from the second section of the name");
    EXPECT_EQ(profile.Value("second", "Quoted").value_or("?"), "in quotes");
    EXPECT_EQ(profile.Value("second", "Single").value_or("?"), "x");
    EXPECT_EQ(profile.Value("second", "Half").value_or("?"), "\"open");
    EXPECT_FALSE(profile.Value("second", "missing"));
    EXPECT_FALSE(profile.Value("nowhere", "UpdateFile"));
    EXPECT_FALSE(profile.Value("quillax.dll", "no equals sign"));
    // Lines before the first section belong to none.
    EXPECT_FALSE(profile.Value("", "stray"));
}

TEST(ProfileText, NamesMatchWithoutCaseButGbkCharactersWhole) {
    const ProfileText profile(
        "[\xD6\xD0" "A]\r\nK\xB1\x5CX=chinese\r\n"
        "[\x80" "A]\r\nkey=after 0x80\r\n"
        "[\xFF" "A]\r\nkey=after 0xFF\r\n");
    // The byte after a lead byte is part of the character and never folded.
    EXPECT_EQ(profile.Value("\xD6\xD0" "A", "k\xB1\x5Cx").value_or("?"), "chinese");
    EXPECT_FALSE(profile.Value("\xD6\xF0" "A", "k\xB1\x5Cx"));
    EXPECT_FALSE(profile.Value("\xD6\xD0" "A", "k\xB1\x7Cx"));
    // 0x80 and 0xFF are characters of their own: the letter after them is folded.
    EXPECT_EQ(profile.Value("\x80" "a", "KEY").value_or("?"), "after 0x80");
    EXPECT_EQ(profile.Value("\xFF" "a", "KEY").value_or("?"), "after 0xFF");
    EXPECT_TRUE(EqualsIgnoringCase("\xFF" "a", "\xFF" "A"));
    EXPECT_FALSE(EqualsIgnoringCase("\xB1" "a", "\xB1" "A"));
}

TEST(ProfileText, AnErrorPageHasNoSections) {
    const ProfileText page("<html><body><h1>404 Not Found</h1>\n[not a section\n</body></html>");
    EXPECT_TRUE(page.SectionNames().empty());
}

TEST(ProfileText, ListingsStopAtTheBufferLimits) {
    // 2,048 bytes of section names: names of 99 bytes take 100 bytes each, and one last 0 byte
    // is kept, so 20 names fit and the 21st does not, not even in part.
    std::string text;
    for (int i = 0; i < 22; ++i) {
        const std::string number = std::to_string(100 + i);
        text += "[" + number + std::string(96, 'n') + "]\r\nUpdateFile=/x\r\n";
    }
    const std::vector<GbString> names = ProfileText(text).SectionNames();
    ASSERT_EQ(names.size(), 20u);
    EXPECT_EQ(names.front().Length(), 99);
    EXPECT_EQ(names.back().Slice(0, 3), "119");

    // 512 bytes of one section: lines of 99 bytes take 100 each, so five fit.
    std::string section = "[big]\r\n";
    for (int i = 0; i < 7; ++i) {
        section += "K" + std::to_string(i) + "=" + std::string(96, 'v') + "\r\n";
    }
    const std::vector<GbString> lines = ProfileText(section).SectionLines("big");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines.back().Slice(0, 3), "K4=");

    // A smaller buffer: what does not fit whole is not seen.
    EXPECT_EQ(ProfileText("[ab]\n[cd]\n").SectionNames(6).size(), 1u);
    EXPECT_EQ(ProfileText("[ab]\n[cd]\n").SectionNames(7).size(), 1u);
    EXPECT_EQ(ProfileText("[ab]\n[cd]\n").SectionNames(8).size(), 2u);
}

TEST(ProfileText, WritingChangesOnlyTheLineConcerned) {
    ProfileText profile(
        "CMPSTR=\"a b\"\r\n"
        "[config]\r\n"
        "UPDATEURL = old\r\n"
        "LANGUAGE=gb2312\r\n"
        "\r\n"
        "[FIXGB2312TOGBK]\r\n"
        "WORD_GB2=x\r\n");
    profile.SetValue("CONFIG", "updateurl", "http://new/update.ini");
    EXPECT_EQ(profile.Text(),
              "CMPSTR=\"a b\"\r\n"
              "[config]\r\n"
              "UPDATEURL=http://new/update.ini\r\n"
              "LANGUAGE=gb2312\r\n"
              "\r\n"
              "[FIXGB2312TOGBK]\r\n"
              "WORD_GB2=x\r\n");

    // A new key goes after the last entry of its section, before the blank line.
    profile.SetValue("config", "NEWKEY", "1");
    EXPECT_NE(profile.Text().find("LANGUAGE=gb2312\r\nNEWKEY=1\r\n\r\n[FIXGB2312TOGBK]"), std::string::npos);

    // A new section goes to the end; a file without a final line end gets one first.
    ProfileText bare("[a]\nk=v");
    bare.SetValue("b", "WORD_GBK", "y");
    EXPECT_EQ(bare.Text(), "[a]\nk=v\n[b]\nWORD_GBK=y\n");
    bare.SetValue("a", "k2", "w");
    EXPECT_EQ(bare.Text(), "[a]\nk=v\nk2=w\n[b]\nWORD_GBK=y\n");

    // A last line ending in a lone CR (no line end to a reader) gets a line end before the new
    // entry, which reads back.
    ProfileText lone("[a]\r\nk=v\r");
    lone.SetValue("a", "k2", "w");
    EXPECT_EQ(lone.Value("a", "k2").value_or("?"), "w");

    ProfileText empty;
    empty.SetValue("config", "UPDATEURL", "");
    EXPECT_EQ(empty.Text(), "[config]\r\nUPDATEURL=\r\n");
    EXPECT_EQ(empty.Value("config", "UPDATEURL").value_or("?"), "");
}

TEST(ProfileFile, WriteCreatesOrReplacesTheFileWhole) {
    testing::ScratchDir scratch;
    const std::string path = scratch / "bible.ini";
    EXPECT_FALSE(ReadProfileValue(path, "config", "UPDATEURL"));
    ASSERT_TRUE(WriteProfileValue(path, "config", "UPDATEURL", "http://a/update.ini"));
    EXPECT_EQ(ReadProfileValue(path, "config", "UPDATEURL").value_or("?"), "http://a/update.ini");
    ASSERT_TRUE(WriteProfileValue(path, "FIXGB2312TOGBK", "WORD_GBK", "頭髮,乾地"));
    EXPECT_EQ(testing::FileBytes(path),
              "[config]\r\nUPDATEURL=http://a/update.ini\r\n[FIXGB2312TOGBK]\r\nWORD_GBK=頭髮,乾地\r\n");

    // A file that cannot be replaced stays as it was.
    ASSERT_TRUE(platform::SetReadOnly(path, true));
    EXPECT_FALSE(WriteProfileValue(path, "config", "UPDATEURL", "http://b/"));
    platform::SetReadOnly(path, false);
    EXPECT_EQ(ReadProfileValue(path, "config", "UPDATEURL").value_or("?"), "http://a/update.ini");
    // A directory where the file should be is not taken for a missing file.
    EXPECT_FALSE(WriteProfileValue(scratch.dir().substr(0, scratch.dir().size() - 1), "a", "b", "c"));
}

}  // namespace
}  // namespace quillax
