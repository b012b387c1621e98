#include "textlib/markup.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace quillax {
namespace {

std::string Rendered(std::string_view text) {
    GbString s(text);
    RenderMarkup(s);
    return s.str();
}

TEST(RenderMarkup, EachMark) {
    EXPECT_EQ(Rendered("a%abc^b"), "a<u>abc</u>b");
    EXPECT_EQ(Rendered("@bold#"), "<b>bold</b>");
    EXPECT_EQ(Rendered("\\it|"), "<i>it</i>");
    EXPECT_EQ(Rendered("{em}"), "<em>em</em>");
    EXPECT_EQ(Rendered("a_b__"), "a<br>b<br><br>");
    EXPECT_EQ(Rendered("<A HREF=x>y</A>"), "<a href=x>y</A>");
    EXPECT_EQ(Rendered("%u^ @b# \\i| {e}"), "<u>u</u> <b>b</b> <i>i</i> <em>e</em>");
    // Closing marks before their opening marks pair with nothing.
    EXPECT_EQ(Rendered("^a%b #c@ |d\\ }e{"), "^a%b #c@ |d\\ }e{");
    EXPECT_EQ(Rendered(""), "");
}

TEST(RenderMarkup, Distances) {
    // Counted from the opening mark: less than 30 (150 for emphasis).
    EXPECT_EQ(Rendered("%" + std::string(28, 'x') + "^"), "<u>" + std::string(28, 'x') + "</u>");
    EXPECT_EQ(Rendered("%" + std::string(29, 'x') + "^"), "%" + std::string(29, 'x') + "^");
    EXPECT_EQ(Rendered("%abc" + std::string(36, 'x') + "^"), "%abc" + std::string(36, 'x') + "^");
    EXPECT_EQ(Rendered("@" + std::string(29, 'x') + "#"), "@" + std::string(29, 'x') + "#");
    EXPECT_EQ(Rendered("\\" + std::string(28, 'x') + "|"), "<i>" + std::string(28, 'x') + "</i>");
    EXPECT_EQ(Rendered("{" + std::string(148, 'x') + "}"), "<em>" + std::string(148, 'x') + "</em>");
    EXPECT_EQ(Rendered("{" + std::string(149, 'x') + "}"), "{" + std::string(149, 'x') + "}");

    // A far "%" does not use up the "^" that a later "%" reaches.
    EXPECT_EQ(Rendered("%" + std::string(40, 'x') + "%ab^"), "%" + std::string(40, 'x') + "<u>ab</u>");
    // The first "^" at or after the "%" decides; a later one is not tried.
    EXPECT_EQ(Rendered("%" + std::string(35, 'x') + "^y^"), "%" + std::string(35, 'x') + "^y^");

    // The distance is measured in the text as converted so far: the first pair turns its "^"
    // into "</u>", three bytes longer, which puts the second "%" 30 bytes from its "^".
    const std::string x25(25, 'x');
    EXPECT_EQ(Rendered("%%^" + x25 + "^"), "<u>%</u>" + x25 + "^");
    const std::string x24(24, 'x');
    EXPECT_EQ(Rendered("%%^" + x24 + "^"), "<u><u></u>" + x24 + "</u>");
}

TEST(RenderMarkup, Protections) {
    // "%" before a blank or ">" is a percent sign.
    EXPECT_EQ(Rendered("%><font size=-2>"), "%><font size=-2>");
    EXPECT_EQ(Rendered("50% of^"), "50% of^");
    EXPECT_EQ(Rendered("%>a^ %b^"), "%>a^ <u>b</u>");

    // Both "@" of a mailto link stay; marks outside the link still convert.
    EXPECT_EQ(Rendered("<a href=mailto:me@host.org>me@host.org</a> @b#"),
              "<a href=mailto:me@host.org>me@host.org</a> <b>b</b>");
    // Only two: a third "@" before the same "</a>" is a mark again.
    EXPECT_EQ(Rendered("<a href=mailto:a@b>c@d @x#</a>"), "<a href=mailto:a@b>c@d <b>x</b></a>");
    // No "</a>" after the "mailto:": nothing is protected.
    EXPECT_EQ(Rendered("mailto:a@b#"), "mailto:a<b>b</b>");
    // An "@" beyond the link's "</a>" is not protected.
    EXPECT_EQ(Rendered("mailto:x</a>@b#"), "mailto:x</a><b>b</b>");
    // The uppercase form counts once it is lower-cased by the first step.
    EXPECT_EQ(Rendered("<A HREF=mailto:a@b>a@b</a>"), "<a href=mailto:a@b>a@b</a>");

    // "#" inside a link tag stays, and so does an "@" that had only that "#" to pair with.
    EXPECT_EQ(Rendered("@ <a href=p.htm#v2>go</a>"), "@ <a href=p.htm#v2>go</a>");
    EXPECT_EQ(Rendered("<A HREF=#top>up</a>"), "<a href=#top>up</a>");
    // A "#" after the tag's ">" is a mark.
    EXPECT_EQ(Rendered("<a href=x>@b#</a>"), "<a href=x><b>b</b></a>");
    // Only the first "#" of a tag is protected.
    EXPECT_EQ(Rendered("<a href=a#b#c>"), "<a href=a#b#c>");
    EXPECT_EQ(Rendered("@<a href=a#b#c>"), "<b><a href=a#b</b>c>");

    // The stand-in bytes of the protections come out as the characters they stand for.
    EXPECT_EQ(Rendered(std::string("\x01\x02\x03", 3)), "@#%");
}

TEST(RenderMarkup, GbkTrailBytesAreNotMarks) {
    // 0x81 0x5E, 0x81 0x40, 0x81 0x5F, 0x81 0x7C, 0x81 0x7B, 0x81 0x7D and 0x81 0x5C are GBK
    // characters whose second byte equals a mark.
    EXPECT_EQ(Rendered("%ab\x81^cd^"), "<u>ab\x81^cd</u>");
    EXPECT_EQ(Rendered("\x81@b#"), "\x81@b#");
    // 0x80 and 0xFF lead no character: the mark after them is one.
    EXPECT_EQ(Rendered("\x80@b#"), "\x80<b>b</b>");
    EXPECT_EQ(Rendered("\xFF@b#"), "\xFF<b>b</b>");
    EXPECT_EQ(Rendered("x\x81_y_"), "x\x81_y<br>");
    EXPECT_EQ(Rendered("\\a\x81|b|"), "<i>a\x81|b</i>");
    EXPECT_EQ(Rendered("\x81\\a|"), "\x81\\a|");
    EXPECT_EQ(Rendered("{\x81}\x81{}"), "<em>\x81}\x81{</em>");
    // Chinese text with marks around it (compiled to GBK bytes).
    EXPECT_EQ(Rendered("@神爱世人#_"), "<b>神爱世人</b><br>");
    // The "@" of a mailto link are found as characters too: the trail byte is passed over, and
    // the two protected "@" are the two real ones, so no bold pair is left.
    EXPECT_EQ(Rendered("<a href=mailto:\x81@a@b>c@d#</a>"), "<a href=mailto:\x81@a@b>c@d#</a>");
}

TEST(RenderMarkup, WholeTextStepsKeepTheReplaceLimit) {
    // The whole-text replacements stop after GbString::kDefaultReplaceLimit occurrences.
    const int n = GbString::kDefaultReplaceLimit + 3;
    std::string expected;
    for (int i = 0; i < GbString::kDefaultReplaceLimit; ++i) expected += "<br>";
    expected += "___";
    EXPECT_EQ(Rendered(std::string(static_cast<std::size_t>(n), '_')), expected);
}

// ---- the conversion done step by step, as a literal check of the one-pass steps ----------------

void LiteralPairs(GbString& t, char open, char close, int maxDistance, std::string_view openTag,
                  std::string_view closeTag) {
    const std::string o(1, open);
    const std::string c(1, close);
    for (int i = t.Find(o); i >= 0; i = t.Find(o, i + 1)) {
        const int j = t.Find(c, i);
        if (j >= 0 && j - i < maxDistance) {
            t.Delete(j, 1);
            t.Insert(j, closeTag);
            t.Delete(i, 1);
            t.Insert(i, openTag);
        }
    }
}

std::string LiteralRender(std::string_view input) {
    GbString t(input);
    t.Replace("% ", "\x03 ");
    t.Replace("%>", "\x03>");
    t.Replace("<A HREF=", "<a href=");
    for (int m = t.Find("mailto:"); m >= 0; m = t.Find("mailto:", m + 1)) {
        const int end = t.Find("</a>", m + 7);
        const int a1 = t.Find("@", m + 7);
        if (a1 >= 0 && end >= 0 && a1 < end) {
            t.data()[a1] = '\x01';
            const int a2 = t.Find("@", a1 + 1);
            if (a2 >= 0 && a2 < end) t.data()[a2] = '\x01';
        }
    }
    for (int h = t.Find("<a href="); h >= 0; h = t.Find("<a href=", h + 1)) {
        const int hash = t.Find("#", h + 8);
        const int gt = t.Find(">", h + 8);
        if (hash >= 0 && gt >= 0 && hash < gt) t.data()[hash] = '\x02';
    }
    LiteralPairs(t, '%', '^', 30, "<u>", "</u>");
    LiteralPairs(t, '@', '#', 30, "<b>", "</b>");
    LiteralPairs(t, '\\', '|', 30, "<i>", "</i>");
    LiteralPairs(t, '{', '}', 150, "<em>", "</em>");
    t.Replace("\x03", "%");
    t.Replace("\x02", "#");
    t.Replace("\x01", "@");
    t.Replace("_", "<br>");
    return t.str();
}

TEST(RenderMarkup, AgreesWithStepByStepConversion) {
    // Random texts dense in marks, link tags and GBK characters with mark-like trail bytes.
    const std::vector<std::string> pieces = {
        "%", "^", "@", "#", "\\", "|", "{", "}", "_", " ", ">", "x", "yz", "% ", "%>",
        "<a href=", "<A HREF=", "mailto:", "</a>", "\x81^", "\x81@", "\x81_", "\x81|", "\x81{",
        "\x81}", "\x81\\", "神", "\x81", "\x01", "\x02", "\x03", std::string(12, 'w'), std::string(40, 'v'),
    };
    std::mt19937 random(20240601u);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = 1 + static_cast<int>(random() % 60);
        for (int k = 0; k < count; ++k) text += pieces[random() % pieces.size()];
        ASSERT_EQ(Rendered(text), LiteralRender(text)) << "input: " << text;
    }
}

}  // namespace
}  // namespace quillax
