// Loading the configuration and reading or writing keys of bible.ini. Chinese literals are GBK
// bytes at run time.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "config_fixture.h"
#include "engine/config/configuration.h"
#include "textlib/config_text.h"

namespace quillax {
namespace {

using testing::ConfigTest;

// Every key the engine reads, each on its own line.
const std::string kFullIni =
    "[config]\r\n"
    "LANGUAGE=gb2312\r\n"
    "SCROLLFUNC=window.scrollBy(0,1)\r\n"
    "TXTSYSPTH=SYS\\Text\\\r\n"
    "SEARCH=\"神 爱\"\r\n"
    "EXCLUSIVE=甲,乙\r\n"
    "CNAME=\"创   出   \"\r\n"
    "SYSKEY=corpa,tessaly\r\n"
    "LINKCTRL=\"<a href=#top>顶 部</a>\"\r\n"
    "EQUATEFILE=kjv,,web\r\n"
    "MAXWINDOWWIDTH=0.45\r\n"
    "TUPER=1.5x\r\n"
    "READMODEL=12abc\r\n"
    "SONGWIDTH=abc\r\n"
    "SCROLLSPEED = 40\r\n"
    "USEGBK=1\r\n"
    "EXTENDNOTE=3\r\n"
    "MAXSEARCH=500\r\n"
    "OPENDELAYTIME=50\r\n"
    "CLOSEDELAYTIME=-5\r\n"
    "SUBSTITUTE=1yes\r\n"
    "CSSBGCOLOR=0#FFFFFF,1#E0E0E0,2#c0ffee\r\n"
    "CCNAME=创世记,出埃及记\r\n"
    "CMPSTR=\"'a',<b class='x'>,\r\n章\"\r\n"
    "TABLETDWIDTH=\"width=90%,\r\nwidth=80%\"\r\n"
    "WORD_GB2=头发\r\n"
    "WORD_GBK=頭髮\r\n"
    "TU1=pic1,pic2\r\n";

TEST_F(ConfigTest, LoadReadsEverySettingAndList) {
    WriteFile("bible.css", "body{color:red}");
    WriteFile("quillets.js", "var s='简体';");
    desktop_->caption = GbString("圣经 - 主窗口");
    RenderState& s = Load(kFullIni);

    EXPECT_EQ(s.installDir, installDir_);
    EXPECT_EQ(s.configText, ApplyBlankRule(kFullIni));
    EXPECT_EQ(s.mainWindow, desktop_->window);
    EXPECT_EQ(s.titlePrefix, "圣经 - 主窗口 - ");
    EXPECT_EQ(s.sixDayPlanBase.Format(), "2000-02-16");
    EXPECT_EQ(s.dailyPlanBase.Format(), "2004-02-01");

    EXPECT_EQ(s.charset, u"gb2312");
    EXPECT_EQ(s.scrollScript, u"window.scrollBy(0,1)");
    EXPECT_EQ(s.systemTextDir, "sys\\text\\");
    EXPECT_EQ(s.lastSearch, "神 爱");
    EXPECT_EQ(s.lastExclusions, "甲,乙");
    EXPECT_EQ(s.bookNameText, "创   出   ");
    EXPECT_EQ(s.systemModules, "corpa,tessaly");
    EXPECT_EQ(s.linkControl, "<a href=#top>顶 部</a>");
    EXPECT_EQ(Items(s.parallelModules), "[kjv][][web]");
    EXPECT_EQ(s.maxPopupWidth, 450);  // trunc(1000 px x 0.45)
    EXPECT_DOUBLE_EQ(s.pictureScale, 1.5);
    EXPECT_EQ(s.readModel, 12);  // decimal prefix
    EXPECT_EQ(s.songWidth, 0);   // not a number
    EXPECT_EQ(s.scrollSpeed, 40);
    EXPECT_EQ(s.useGbk, 1);
    EXPECT_EQ(s.extendNote, 3);
    EXPECT_EQ(s.maxSearch, 500);
    EXPECT_EQ(s.openDelay, 300);
    EXPECT_EQ(s.closeDelay, 200);
    EXPECT_EQ(s.substitute, 1);
    EXPECT_EQ(s.pageHeader, "<html><body><STYLE>body{color:red}</STYLE>");
    EXPECT_EQ(s.scriptText, u"var s='简体';");

    // The index digit in front of every "#" is gone.
    EXPECT_EQ(Items(s.cssBgColors), "[#FFFFFF][#E0E0E0][#c0ffee]");
    EXPECT_EQ(Items(s.bookNames), "[创世记][出埃及记]");
    // Apostrophes become double quotes.
    EXPECT_EQ(Items(s.cmpStr), "[\"a\"][<b class=\"x\">][章]");
    EXPECT_EQ(Items(s.tableWidths), "[width=90%][width=80%]");
    EXPECT_EQ(Items(s.simplifiedWords), "[头发]");
    EXPECT_EQ(Items(s.traditionalWords), "[頭髮]");
    const ConversionOptions conversions = s.Conversions();
    EXPECT_TRUE(conversions.useGbk);
    EXPECT_EQ(conversions.simplifiedWords, &s.simplifiedWords);
    EXPECT_EQ(conversions.traditionalWords, &s.traditionalWords);

    // Without the companion files the header is the bare tags and the script is empty.
    platform::RemoveFile(Path("bible.css"));
    platform::RemoveFile(Path("quillets.js"));
    LoadSettings(s);
    EXPECT_EQ(s.pageHeader, "<html><body><STYLE></STYLE>");
    EXPECT_TRUE(s.scriptText.empty());
}

TEST_F(ConfigTest, TitlePrefixKeepsAtMost63BytesOfTheCaption) {
    // 62 ASCII bytes and one Chinese character: the character does not fit and is not cut.
    const std::string ascii(62, 'a');
    desktop_->caption = GbString(ascii + "经");
    EXPECT_EQ(Load("USEGBK=0\r\n").titlePrefix, ascii + " - ");
    desktop_->caption = GbString(std::string(70, 'b'));
    EXPECT_EQ(Load("USEGBK=0\r\n").titlePrefix, std::string(63, 'b') + " - ");
    // 0x80 and 0xFF are no lead bytes: each is one character that fits as the 63rd byte.
    for (const char* single : {"\x80", "\xFF"}) {
        desktop_->caption = GbString(ascii + single + "b");
        EXPECT_EQ(Load("USEGBK=0\r\n").titlePrefix, ascii + single + " - ");
    }
}

TEST_F(ConfigTest, DelayRules) {
    struct Case {
        const char* open;
        const char* close;
        int openDelay;
        int closeDelay;
    };
    const Case cases[] = {
        {"50", "-5", 300, 200},      {"2000", "0", 2000, 0},  {"100", "2000", 100, 2000},
        {"99", "2001", 300, 200},    {"2001", "-1", 300, 200}, {"x", "x", 300, 0},
        {"350ms", "150ms", 350, 150},
    };
    RenderState& s = state();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.open) + " / " + c.close);
        s.configText = GbString(std::string("OPENDELAYTIME=") + c.open + "\r\nCLOSEDELAYTIME=" +
                                c.close + "\r\n");
        LoadSettings(s);
        EXPECT_EQ(s.openDelay, c.openDelay);
        EXPECT_EQ(s.closeDelay, c.closeDelay);
    }
    // Both keys missing: the open delay falls under 100, the close delay stays 0.
    s.configText.Empty();
    LoadSettings(s);
    EXPECT_EQ(s.openDelay, 300);
    EXPECT_EQ(s.closeDelay, 0);

    // The popup width factor is clamped to the int range.
    s.configText = GbString("MAXWINDOWWIDTH=1e300\r\n");
    LoadSettings(s);
    EXPECT_EQ(s.maxPopupWidth, 2147483647);
}

TEST_F(ConfigTest, WithoutInstallationEverythingStaysEmpty) {
    // A configuration directory without bible.ini.
    RenderState& missingFile = NewState();
    LoadConfiguration(missingFile);
    EXPECT_EQ(missingFile.installDir, installDir_);
    EXPECT_TRUE(missingFile.configText.IsEmpty());
    EXPECT_TRUE(missingFile.titlePrefix.IsEmpty());
    EXPECT_EQ(missingFile.mainWindow, nullptr);
    EXPECT_EQ(missingFile.openDelay, 0);
    EXPECT_EQ(missingFile.closeDelay, 0);
    EXPECT_EQ(missingFile.cmpStr.Count(), 0);
    EXPECT_TRUE(missingFile.pageHeader.IsEmpty());
    EXPECT_EQ(missingFile.dailyPlanBase.Format(), "2004-02-01");
    GbString value;
    EXPECT_FALSE(SetConfigValue(missingFile, "USEGBK=", value));
    EXPECT_FALSE(missingFile.busy);
    EXPECT_EQ(PictureTable(missingFile, "1"), "");

    // No registered directory at all: a bible.ini elsewhere is never taken.
    WriteIni("USEGBK=1\r\n");
    UnregisterInstallation();
    RenderState& unregistered = NewState();
    LoadConfiguration(unregistered);
    EXPECT_TRUE(unregistered.installDir.IsEmpty());
    EXPECT_TRUE(unregistered.configText.IsEmpty());
    EXPECT_EQ(unregistered.useGbk, 0);
    EXPECT_FALSE(SetConfigValue(unregistered, "USEGBK=", value));
    EXPECT_EQ(Ini(), "USEGBK=1\r\n");
}

TEST_F(ConfigTest, BadFilesLoadWithoutCrashing) {
    // Empty.
    RenderState& empty = Load("");
    EXPECT_TRUE(empty.configText.IsEmpty());
    EXPECT_TRUE(empty.charset.empty());
    EXPECT_EQ(Items(empty.cmpStr), "[]");
    EXPECT_EQ(empty.openDelay, 300);

    // Binary bytes, zero bytes included; a key after them is still found.
    std::mt19937 random(7);
    std::string binary;
    for (int i = 0; i < 65536; ++i) binary.push_back(static_cast<char>(random() & 0xFF));
    binary += std::string("\0READMODEL=4\r\n", 14) + binary;
    EXPECT_EQ(Load(binary).readModel, 4);

    // No CR LF: every value runs to the end of the text.
    RenderState& oneLine = Load("LANGUAGE=gb2312 USEGBK=1 READMODEL=3");
    EXPECT_EQ(oneLine.charset, u"gb2312USEGBK=1READMODEL=3");
    EXPECT_EQ(oneLine.useGbk, 1);
    EXPECT_EQ(oneLine.readModel, 3);

    // An unterminated quote swallows the rest of the file, but keys after it are still found.
    RenderState& open = Load("LANGUAGE=gb2312\r\nLINKCTRL=\"<b>\r\nREADMODEL=7\r\n");
    EXPECT_EQ(open.charset, u"gb2312");
    EXPECT_EQ(open.linkControl, "<b>READMODEL=7");
    EXPECT_EQ(open.readModel, 7);

    // 10 MB of filler before the keys; a write rewrites it whole.
    std::string big;
    const std::string filler = "PAD = 0123456789 abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRS\r\n";
    while (big.size() < 10 * 1024 * 1024) big += filler;
    big += "READMODEL=5\r\nCMPSTR=a,b\r\n";
    RenderState& large = Load(big);
    EXPECT_EQ(large.readModel, 5);
    EXPECT_EQ(Items(large.cmpStr), "[a][b]");
    GbString value("6");
    EXPECT_FALSE(SetConfigValue(large, "READMODEL=", value));
    EXPECT_EQ(large.readModel, 6);
    const std::string written = Ini();
    // The blank rule's one pass per side fixes the first 2,049 lines only.
    EXPECT_EQ(written.size(), big.size() - 2 * 2049);
    EXPECT_EQ(written.substr(written.size() - 25), "READMODEL=6\r\nCMPSTR=a,b\r\n");
}

TEST_F(ConfigTest, ReadingKeys) {
    RenderState& s = Load(kFullIni);
    GbString value;
    EXPECT_TRUE(SetConfigValue(s, "search=", value));
    EXPECT_EQ(value, "神 爱");

    // A key that is not in the file: false, value unchanged, busy cleared.
    value = GbString("keep");
    EXPECT_FALSE(SetConfigValue(s, "NOSUCHKEY=", value));
    EXPECT_EQ(value, "keep");
    EXPECT_FALSE(s.busy);
    value.Empty();
    EXPECT_FALSE(SetConfigValue(s, "", value));
    EXPECT_EQ(Ini(), kFullIni);  // reading writes nothing
}

TEST_F(ConfigTest, OrdinaryWrites) {
    RenderState& s = Load("[config]\r\nSEARCH = old\r\nREADMODEL=1\r\nUSEGBK=0\r\n");
    GbString value("神 爱");
    EXPECT_FALSE(SetConfigValue(s, "SEARCH=", value));  // an ordinary write reports false
    EXPECT_FALSE(s.busy);
    // Quoted because of the blank; the whole file is written as read, blank rule applied.
    EXPECT_EQ(Ini(), "[config]\r\nSEARCH=\"神 爱\"\r\nREADMODEL=1\r\nUSEGBK=0\r\n");
    EXPECT_EQ(s.lastSearch, "神 爱");  // settings re-read

    value = GbString("9`");
    EXPECT_FALSE(SetConfigValue(s, "readmodel=", value));  // the key is upper-cased
    EXPECT_EQ(Ini(), "[config]\r\nSEARCH=\"神 爱\"\r\nREADMODEL=9\r\nUSEGBK=0\r\n");
    EXPECT_EQ(s.readModel, 9);

    // The file is read again before a write, so a change made by another program survives.
    WriteIni("[config]\r\nSEARCH=other\r\nREADMODEL=2\r\nUSEGBK=0\r\n");
    value = GbString("1");
    EXPECT_FALSE(SetConfigValue(s, "USEGBK=", value));
    EXPECT_EQ(Ini(), "[config]\r\nSEARCH=other\r\nREADMODEL=2\r\nUSEGBK=1\r\n");
    EXPECT_EQ(s.useGbk, 1);
    EXPECT_EQ(s.readModel, 2);

    // A missing key cannot be written: the file is never extended.
    value = GbString("1");
    EXPECT_FALSE(SetConfigValue(s, "EXTENDNOTE=", value));
    EXPECT_EQ(Ini(), "[config]\r\nSEARCH=other\r\nREADMODEL=2\r\nUSEGBK=1\r\n");
}

TEST_F(ConfigTest, SearchWordsGoIntoTheirOwnLineWhateverTheOrderOfTheKeys) {
    for (const char* file : {"MAXSEARCH=50\r\nSEARCH=abc\r\n", "SEARCH=abc\r\nMAXSEARCH=50\r\n"}) {
        RenderState& s = Load(file);
        EXPECT_EQ(s.maxSearch, 50) << file;
        EXPECT_EQ(s.lastSearch, "abc") << file;
        GbString value("word");
        SetConfigValue(s, "SEARCH=", value);
        std::string expected(file);
        expected.replace(expected.find("=abc"), 4, "=word");
        EXPECT_EQ(Ini(), expected);
        EXPECT_EQ(s.lastSearch, "word");
        EXPECT_EQ(s.maxSearch, 50);
    }
}

TEST_F(ConfigTest, BusyRefusesReadsAndWrites) {
    RenderState& s = Load("USEGBK=0\r\n");
    s.busy = true;
    GbString value;
    EXPECT_FALSE(SetConfigValue(s, "USEGBK=", value));
    EXPECT_TRUE(value.IsEmpty());
    value = GbString("1");
    EXPECT_FALSE(SetConfigValue(s, "USEGBK=", value));
    EXPECT_EQ(value, "1");
    EXPECT_TRUE(s.busy);  // the refused call leaves the flag to its owner
    EXPECT_EQ(Ini(), "USEGBK=0\r\n");
    EXPECT_EQ(s.useGbk, 0);
}

const std::string kColorIni = "A = 1\r\nCSSBGCOLOR=0#FFFFFF,1#E0E0E0\r\nREADMODEL=1\r\n";

TEST_F(ConfigTest, ColorReadWithOneDigit) {
    RenderState& s = Load(kColorIni);
    GbString value("1");
    EXPECT_TRUE(SetConfigValue(s, "CSSBGCOLOR=", value));
    EXPECT_EQ(value, "#E0E0E0");
    EXPECT_EQ(Ini(), kColorIni);  // nothing written (a write would also have removed blanks)
    value = GbString("7");
    EXPECT_TRUE(SetConfigValue(s, "CSSBGCOLOR=", value));
    EXPECT_EQ(value, "");
    // The empty value reads the stored list, as for every key.
    value.Empty();
    EXPECT_TRUE(SetConfigValue(s, "CSSBGCOLOR=", value));
    EXPECT_EQ(value, "0#FFFFFF,1#E0E0E0");
    EXPECT_EQ(Ini(), kColorIni);
    EXPECT_EQ(chooser_->calls, 0);
}

TEST_F(ConfigTest, ColorWriteWithItsIndexStoresOnlyTheColour) {
    RenderState& s = Load(kColorIni);
    GbString value("1#00FF80");
    EXPECT_TRUE(SetConfigValue(s, "CSSBGCOLOR=", value));
    EXPECT_EQ(value, "#00FF80");
    EXPECT_EQ(Items(s.cssBgColors), "[#FFFFFF][#00FF80]");
    EXPECT_EQ(Ini(), "A=1\r\nCSSBGCOLOR=0#FFFFFF,1#00FF80\r\nREADMODEL=1\r\n");
    // Read back through a fresh load: the entry is a colour again.
    RenderState& reloaded = Load(Ini());
    EXPECT_EQ(Items(reloaded.cssBgColors), "[#FFFFFF][#00FF80]");
}

TEST_F(ConfigTest, ColorWriteRebuildsTheList) {
    RenderState& s = Load(kColorIni);
    // Changed meanwhile by another program; a colour write does not reload the settings.
    WriteIni("A = 1\r\nCSSBGCOLOR=0#FFFFFF,1#E0E0E0\r\nREADMODEL=5\r\n");
    GbString value("#123456");  // the number at its start is 0
    EXPECT_TRUE(SetConfigValue(s, "CSSBGCOLOR=", value));
    EXPECT_EQ(value, "#123456");
    EXPECT_EQ(Items(s.cssBgColors), "[#123456][#E0E0E0]");
    EXPECT_EQ(Ini(), "A=1\r\nCSSBGCOLOR=0#123456,1#E0E0E0\r\nREADMODEL=5\r\n");
    EXPECT_EQ(s.readModel, 1);
    EXPECT_FALSE(s.busy);
    EXPECT_EQ(chooser_->calls, 0);

    // What a fresh load makes of the rewritten list.
    EXPECT_EQ(Items(Load(Ini()).cssBgColors), "[#123456][#E0E0E0]");
}

TEST_F(ConfigTest, ColorDialogChoosesTheNewColor) {
    RenderState& s = Load(kColorIni);
    chooser_->chosen = 0x12abef;
    GbString value("1x");
    EXPECT_TRUE(SetConfigValue(s, "CSSBGCOLOR=", value));
    EXPECT_EQ(chooser_->calls, 1);
    EXPECT_EQ(chooser_->initial, 0xE0E0E0);
    EXPECT_EQ(chooser_->owner, desktop_->window);
    EXPECT_EQ(value, "#12ABEF");
    EXPECT_EQ(Items(s.cssBgColors), "[#FFFFFF][#12ABEF]");
    EXPECT_EQ(Ini(), "A=1\r\nCSSBGCOLOR=0#FFFFFF,1#12ABEF\r\nREADMODEL=1\r\n");

    // Cancelled: the colour stays, and the list is still written back.
    chooser_->confirm = false;
    chooser_->chosen = 0;
    value = GbString("0?");
    EXPECT_TRUE(SetConfigValue(s, "CSSBGCOLOR=", value));
    EXPECT_EQ(chooser_->initial, 0xFFFFFF);
    EXPECT_EQ(value, "#FFFFFF");
    EXPECT_EQ(Ini(), "A=1\r\nCSSBGCOLOR=0#FFFFFF,1#12ABEF\r\nREADMODEL=1\r\n");

    // An index beyond the list: the dialog starts at blue (no colour), the list is unchanged.
    chooser_->confirm = true;
    chooser_->chosen = 0x00ff00;
    value = GbString("5x");
    EXPECT_TRUE(SetConfigValue(s, "CSSBGCOLOR=", value));
    EXPECT_EQ(chooser_->initial, 0x0000FF);
    EXPECT_EQ(value, "#00FF00");
    EXPECT_EQ(Items(s.cssBgColors), "[#FFFFFF][#12ABEF]");
}

TEST_F(ConfigTest, TableWidthWrite) {
    RenderState& s = Load("TABLETDWIDTH=a,b\r\nREADMODEL=1\r\n");
    EXPECT_EQ(Items(s.tableWidths), "[a][b]");
    WriteIni("TABLETDWIDTH=a,b\r\nREADMODEL=2\r\n");
    GbString value("\"90%,80%\",70%");
    EXPECT_FALSE(SetConfigValue(s, "TABLETDWIDTH=", value));
    EXPECT_EQ(Items(s.tableWidths), "[90%][80%][70%]");
    EXPECT_EQ(Ini(), "TABLETDWIDTH=\"90%,80%\",70%\r\nREADMODEL=2\r\n");
    EXPECT_EQ(s.readModel, 1);  // written without reloading the settings
    // The empty value reads it.
    value.Empty();
    EXPECT_TRUE(SetConfigValue(s, "TABLETDWIDTH=", value));
    EXPECT_EQ(value, "90%,80%");
}

TEST_F(ConfigTest, FailedWriteLeavesTheOldFile) {
    const std::string ini = "USEGBK=0\r\nCSSBGCOLOR=0#FFFFFF\r\n";
    RenderState& s = Load(ini);
    const auto namesBefore = FileNames();
    for (const auto fault : {platform::WriteFault::DuringWrite, platform::WriteFault::BeforeRename}) {
        platform::SetWriteFault(fault);
        GbString value("1");
        EXPECT_FALSE(SetConfigValue(s, "USEGBK=", value));
        value = GbString("#000000");
        EXPECT_TRUE(SetConfigValue(s, "CSSBGCOLOR=", value));  // no error is reported
        EXPECT_FALSE(s.busy);
        EXPECT_EQ(Ini(), ini);
        EXPECT_EQ(FileNames(), namesBefore);  // no temporary file left behind
    }
    platform::SetWriteFault(platform::WriteFault::None);
    GbString value("1");
    SetConfigValue(s, "USEGBK=", value);
    EXPECT_EQ(Ini(), "USEGBK=1\r\nCSSBGCOLOR=0#FFFFFF\r\n");
}

TEST_F(ConfigTest, AWriteThatChangesNothingLeavesTheFileAlone) {
    RenderState& s = Load("[config]\r\nSEARCH=old\r\nEXCLUSIVE=\r\n");
    const std::string path = Path("bible.ini");
    platform::FileTimes old;
    old.lastWrite = platform::FileTimeFromUnixSeconds(1000000000);  // 2001
    ASSERT_TRUE(platform::SetFileTimes(path, old));
    GbString value("old");
    SetConfigValue(s, "SEARCH=", value);
    value = GbString(" ");
    SetConfigValue(s, "EXCLUSIVE=", value);
    EXPECT_EQ(platform::GetFileTimes(path)->lastWrite, old.lastWrite);
    EXPECT_EQ(s.lastSearch, "old");
    // A new value is written as always.
    value = GbString("new");
    SetConfigValue(s, "SEARCH=", value);
    EXPECT_NE(platform::GetFileTimes(path)->lastWrite, old.lastWrite);
    EXPECT_EQ(Ini(), "[config]\r\nSEARCH=new\r\nEXCLUSIVE=\r\n");
}

TEST_F(ConfigTest, PictureTableReadsTheFileAfresh) {
    RenderState& s = Load("TU1=a,b\r\nTU12=c\r\n");
    EXPECT_EQ(PictureTable(s, "1"), "a,b");
    EXPECT_EQ(PictureTable(s, "12"), "c");
    EXPECT_EQ(PictureTable(s, "3"), "");
    WriteIni("TU1 = \"x,\r\ny\"\r\n");
    EXPECT_EQ(PictureTable(s, "1"), "x,y");
    EXPECT_EQ(s.configText, "TU1=\"x,\r\ny\"\r\n");
}

TEST(BuildLabel, FromTheFileVersion) {
    EXPECT_EQ(MakeBuildLabel("2006,07,28,2025"), "Build 2006.07.28 20:25");
    EXPECT_EQ(MakeBuildLabel("2006,07,28,2025,9"), "Build 2006.07.28 2025: 9");

    const GbString label("Build 2006.07.28 20:25");
    EXPECT_EQ(MakeAboutText("版权所有 () 主恩堂", label), "版权所有 2006(Build 2006.07.28 20:25) 主恩堂");
    // Only the first "()" receives the label; a notice without one stays as it is.
    EXPECT_EQ(MakeAboutText("a()b()", label), "a2006(Build 2006.07.28 20:25)b()");
    EXPECT_EQ(MakeAboutText("(c) 主恩堂", label), "(c) 主恩堂");
    EXPECT_EQ(MakeAboutText("", label), "");
}

}  // namespace
}  // namespace quillax
