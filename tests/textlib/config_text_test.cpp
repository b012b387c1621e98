// The configuration file rules of bible.ini. Chinese literals are GBK bytes at run time.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "platform/environment.h"
#include "platform/files.h"
#include "textlib/config_text.h"

namespace quillax {
namespace {

std::string Items(const GbList& list) {
    std::string joined;
    for (const GbString& item : list) joined += "[" + item.str() + "]";
    return joined;
}

// A file path under the temporary directory that no other test uses; removed at the end.
class TempFile {
public:
    TempFile() {
        std::mt19937_64 random(static_cast<std::uint64_t>(
            std::chrono::steady_clock::now().time_since_epoch().count()));
        path_ = platform::TemporaryDirectory() + "qx-config-text-" +
                std::to_string(random() % 1000000000u) + ".ini";
    }
    ~TempFile() { platform::RemoveFile(path_); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST(ConfigText, BlankRuleRemovesOneBlankEachSideOfEquals) {
    TempFile file;
    ASSERT_TRUE(platform::WriteWholeFile(
        file.path(), "[config]\r\nA = 1\r\nB =2\r\nC= 3\r\nD  =  4\r\nE=5 \r\nF= \"x y\"\r\n"));
    const GbString text = ReadConfigFile(file.path());
    EXPECT_EQ(text, "[config]\r\nA=1\r\nB=2\r\nC=3\r\nD = 4\r\nE=5 \r\nF=\"x y\"\r\n");
    EXPECT_EQ(ReadConfigValue(text, "A="), "1");
    EXPECT_EQ(ReadConfigValue(text, "B="), "2");
    EXPECT_EQ(ReadConfigValue(text, "C="), "3");
    // Only one blank goes on each side, so "D  =  4" no longer has the key "D=".
    EXPECT_EQ(ReadConfigValue(text, "D="), "");
    EXPECT_EQ(ReadConfigValue(text, "D ="), "4");
    // The blank after "=" that the rule removed was the one before a quoted value.
    EXPECT_EQ(ReadConfigValue(text, "F="), "x y");

    // An unreadable file reads as the empty text.
    EXPECT_EQ(ReadConfigFile(file.path() + ".missing"), "");
    EXPECT_EQ(ReadConfigFile(platform::TemporaryDirectory()), "");
}

TEST(ConfigText, PlainValues) {
    const GbString text("LANGUAGE=gb 2312\r\nSEARCH= 神 爱\t世人 \r\nLAST=end");
    // Every blank goes (tabs are not blanks); the value ends at CR LF or the end of the text.
    EXPECT_EQ(ReadConfigValue(text, "LANGUAGE="), "gb2312");
    EXPECT_EQ(ReadConfigValue(text, "SEARCH="), "神爱\t世人");
    EXPECT_EQ(ReadConfigValue(text, "LAST="), "end");
    EXPECT_EQ(ReadConfigValue(text, "MISSING="), "");
    EXPECT_EQ(ReadConfigValue(text, ""), "");
    // An empty value at the end of the text.
    EXPECT_EQ(ReadConfigValue(GbString("A=1\r\nB="), "B="), "");
    // Only CR LF ends a line: a lone LF or CR is part of the value.
    EXPECT_EQ(ReadConfigValue(GbString("A=1\nB=2\rC\r\nD=4"), "A="), "1\nB=2\rC");
    // Sections do not matter; the key that starts a line wins over one inside another key.
    EXPECT_EQ(ReadConfigValue(GbString("[x]\r\nXKEY=1\r\nKEY=2\r\n"), "KEY="), "2");
    EXPECT_EQ(ReadConfigValue(GbString("[y]\r\nKEY=3\r\n[x]\r\nKEY=2\r\n"), "KEY="), "3");
}

TEST(ConfigText, QuotedValues) {
    // A quoted value runs to the closing quote over lines, keeping blanks, dropping CR LF.
    const GbString text("LINKCTRL=\"<a href=x>首 页</a>\r\n<b>\r\n</b>\"\r\nNEXT=1\r\n");
    EXPECT_EQ(ReadConfigValue(text, "LINKCTRL="), "<a href=x>首 页</a><b></b>");
    EXPECT_EQ(ReadConfigValue(text, "NEXT="), "1");
    // Unterminated: to the end of the text.
    EXPECT_EQ(ReadConfigValue(GbString("A=\"x y\r\nB=2\r\n"), "A="), "x yB=2");
    EXPECT_EQ(ReadConfigValue(GbString("A=\""), "A="), "");
    EXPECT_EQ(ReadConfigValue(GbString("A=\"\""), "A="), "");
    // A quote later in a plain value does not make it quoted.
    EXPECT_EQ(ReadConfigValue(GbString("A=x \"y z\"\r\n"), "A="), "x\"yz\"");
}

TEST(ConfigText, AKeyIsFoundWhereItStartsALineBeforeAnywhereElse) {
    // Either order of the two keys reads both, and a write changes the right line.
    for (const char* file : {"MAXSEARCH=50\r\nSEARCH=abc\r\n", "SEARCH=abc\r\nMAXSEARCH=50\r\n"}) {
        GbString text(file);
        EXPECT_EQ(ReadConfigValue(text, "SEARCH="), "abc") << file;
        EXPECT_EQ(ReadConfigValue(text, "MAXSEARCH="), "50") << file;
        ASSERT_TRUE(ReplaceConfigValue(text, "SEARCH=", "word"));
        EXPECT_EQ(ReadConfigValue(text, "SEARCH="), "word") << file;
        EXPECT_EQ(ReadConfigValue(text, "MAXSEARCH="), "50") << file;
    }
    // Blanks and tabs may stand before the key on its line; a LF alone ends a line too.
    EXPECT_EQ(FindConfigKey("MAXSEARCH=1\r\n \tSEARCH=2", "SEARCH="), 15);
    EXPECT_EQ(FindConfigKey("CCNAME=a\nCNAME=b", "CNAME="), 9);
    EXPECT_EQ(FindConfigKey("SEARCH=1\r\nSEARCH=2", "SEARCH="), 0);
    // No line starts with the key: its first occurrence, as files were always read (two keys
    // on one line, a key after a section name).
    EXPECT_EQ(FindConfigKey("A=1 MAXSEARCH=5 SEARCH=6", "SEARCH="), 7);
    EXPECT_EQ(ReadConfigValue(GbString("[config]SEARCH=abc\r\n"), "SEARCH="), "abc");
    EXPECT_EQ(FindConfigKey("x;SEARCH=1", "SEARCH="), 2);
    // Never on the second byte of a character: "誗" is C5 53, whose second byte is "S".
    EXPECT_EQ(FindConfigKey("\xC5SEARCH=1\r\nSEARCH=2", "SEARCH="), 11);
    EXPECT_EQ(FindConfigKey("SEARCH=1", ""), -1);
    EXPECT_EQ(FindConfigKey("SEARCH=1", "MISSING="), -1);
    EXPECT_EQ(FindConfigKey("", "A="), -1);
}

TEST(ConfigText, Lists) {
    EXPECT_EQ(Items(ReadConfigList(GbString("L=a,,b,\r\n"), "L=")), "[a][][b][]");
    EXPECT_EQ(Items(ReadConfigList(GbString("L=\"创世记, 出埃及记,\r\n利未记\"\r\n"), "L=")),
              "[创世记][ 出埃及记][利未记]");
    // A missing key gives one empty item, as cutting an empty text does.
    EXPECT_EQ(Items(ReadConfigList(GbString("X=1"), "L=")), "[]");
}

TEST(ConfigText, StoredValueRules) {
    EXPECT_EQ(StoredConfigValue("abc`"), "abc");
    EXPECT_EQ(StoredConfigValue("`"), "");
    EXPECT_EQ(StoredConfigValue(" "), "");
    EXPECT_EQ(StoredConfigValue("x y"), "\"x y\"");
    EXPECT_EQ(StoredConfigValue("x y`"), "\"x y\"");
    EXPECT_EQ(StoredConfigValue("  "), "\"  \"");
    EXPECT_EQ(StoredConfigValue("a`b"), "a`b");
}

TEST(ConfigText, ReplaceValue) {
    GbString text("[config]\r\nSEARCH=old words\r\nUSEGBK=0\r\n");
    ASSERT_TRUE(ReplaceConfigValue(text, "SEARCH=", "神 爱"));
    EXPECT_EQ(text, "[config]\r\nSEARCH=\"神 爱\"\r\nUSEGBK=0\r\n");
    EXPECT_EQ(ReadConfigValue(text, "SEARCH="), "神 爱");
    ASSERT_TRUE(ReplaceConfigValue(text, "USEGBK=", "1`"));
    EXPECT_EQ(text, "[config]\r\nSEARCH=\"神 爱\"\r\nUSEGBK=1\r\n");
    ASSERT_TRUE(ReplaceConfigValue(text, "SEARCH=", " "));
    EXPECT_EQ(text, "[config]\r\nSEARCH=\r\nUSEGBK=1\r\n");

    // The last key of a text without a final line end.
    GbString last("A=1\r\nB=22");
    ASSERT_TRUE(ReplaceConfigValue(last, "B=", "3"));
    EXPECT_EQ(last, "A=1\r\nB=3");

    // A missing key is never added, and an empty key is never found.
    GbString unchanged("A=1\r\n");
    EXPECT_FALSE(ReplaceConfigValue(unchanged, "B=", "2"));
    EXPECT_FALSE(ReplaceConfigValue(unchanged, "", "2"));
    EXPECT_EQ(unchanged, "A=1\r\n");
}

TEST(ConfigText, ReplaceQuotedValueSpanningLines) {
    // The whole old value goes, not only its first line.
    GbString text("A=\"x,\r\ny,\r\nz\" tail\r\nB=1\r\n");
    ASSERT_TRUE(ReplaceConfigValue(text, "A=", "new"));
    EXPECT_EQ(text, "A=new\r\nB=1\r\n");
    // A quoted value on one line.
    GbString oneLine("A=\"x y\"\r\nB=1\r\n");
    ASSERT_TRUE(ReplaceConfigValue(oneLine, "A=", "z"));
    EXPECT_EQ(oneLine, "A=z\r\nB=1\r\n");
    // Without a closing quote only the rest of the line goes, so the keys after it survive.
    GbString open("A=\"x\r\nB=1\r\n");
    ASSERT_TRUE(ReplaceConfigValue(open, "A=", "z"));
    EXPECT_EQ(open, "A=z\r\nB=1\r\n");
}

}  // namespace
}  // namespace quillax
