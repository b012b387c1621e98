// Writing and reading the host page's body through the fake host, and the clean-up of copied
// page text. Chinese narrow literals are GBK bytes at run time, u"" literals UTF-16.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/pages/page_body.h"
#include "engine/pages/pipeline.h"
#include "engine/state/render_state.h"
#include "engine/testing/fake_host.h"
#include "module_fixture.h"
#include "platform/code_page.h"

namespace quillax {
namespace {

using Lines = std::vector<std::string>;

bool ChineseMappingWorks() {
    std::string text = GbString("头").str();
    return platform::GbkToTraditional(text) && text == GbString("頭").str();
}

class PageBodyTest : public ::testing::Test {
protected:
    void SetUp() override {
        state.host.pageWindow = &host;
        state.charset = u"gb2312";
        state.linkControl = "<object id=ql></object>";
        state.installDir = "C:\\Corvex\\cfg\\";
    }

    RenderState state;
    FakeHost host;
};

TEST_F(PageBodyTest, SetPageBodyWritesInOrderAndRewritesTheStyleSheet) {
    host.styleSheetHref = u"bible.css?v=2";
    EXPECT_TRUE(SetPageBody(state, "<html><body>起初</body></html>"));
    EXPECT_EQ(host.Log(), (Lines{
        "SetCharset gb2312",
        "FirstStyleSheetHref",
        "SetFirstStyleSheetHref C:\\Corvex\\cfg\\bible.css?v=2",
        "SetBodyInnerHtml <html><body><object id=ql></object>起初</body></html>",
        "Focus",
    }));
    EXPECT_EQ(host.charset, u"gb2312");
    EXPECT_EQ(host.defaultCharset, u"gb2312");
    EXPECT_EQ(host.body, u"<html><body><object id=ql></object>起初</body></html>");
    EXPECT_EQ(state.host.lastBody, host.body);
    EXPECT_EQ(state.host.changedFlags, kChangedBodyWritten);

    // The href is now absolute: the next write leaves it alone.
    host.ClearLog();
    state.host.changedFlags = kChangedLinksAdded;
    EXPECT_TRUE(SetPageBody(state, "<p>x</p>"));
    EXPECT_EQ(host.Log(), (Lines{
        "SetCharset gb2312",
        "FirstStyleSheetHref",
        "SetBodyInnerHtml <object id=ql></object><p>x</p>",  // no "<body>": at the start
        "Focus",
    }));
    EXPECT_EQ(state.host.changedFlags, kChangedLinksAdded | kChangedBodyWritten);
}

TEST_F(PageBodyTest, LinkControlIsSkippedForOneWriteOnly) {
    host.hasStyleSheet = false;
    state.host.skipLinkControlOnce = true;
    SetPageBody(state, "<body>a");
    EXPECT_FALSE(state.host.skipLinkControlOnce);
    EXPECT_EQ(host.body, u"<body>a");
    SetPageBody(state, "<body>a<body>b");
    EXPECT_EQ(host.body, u"<body><object id=ql></object>a<body>b");  // after the first only
    for (const std::string& line : host.Log()) {
        EXPECT_EQ(line.find("SetFirstStyleSheetHref"), std::string::npos) << line;
    }
}

TEST_F(PageBodyTest, MissingBrowserObjectsMakeEveryOperationANoOp) {
    // A document without a body: the charset is set, nothing else happens, and the skip flag
    // waits for the next real write.
    host.hasBody = false;
    state.host.skipLinkControlOnce = true;
    EXPECT_FALSE(SetPageBody(state, "<body>x"));
    EXPECT_EQ(host.Log(), (Lines{"SetCharset gb2312"}));
    EXPECT_TRUE(state.host.skipLinkControlOnce);
    EXPECT_EQ(state.host.changedFlags, 0);
    EXPECT_EQ(GetPageBody(state), "");
    EXPECT_EQ(BodyScrollTop(state, 0), 0);
    BodyScrollTop(state, 50);
    AddReferenceLinks(state);
    EXPECT_EQ(host.Log(), (Lines{"SetCharset gb2312"}));
    EXPECT_EQ(state.host.changedFlags, 0);

    host.hasDocument = false;
    host.ClearLog();
    EXPECT_FALSE(SetPageBody(state, "x"));
    EXPECT_TRUE(host.Log().empty());

    state.host.pageWindow = nullptr;
    EXPECT_FALSE(SetPageBody(state, "x"));
    EXPECT_EQ(GetPageBody(state), "");
    EXPECT_EQ(BodyScrollTop(state, 7), 0);
}

TEST_F(PageBodyTest, ScrollTopIsSetWithAValueAndReadWithZero) {
    EXPECT_EQ(BodyScrollTop(state, 120), 0);
    EXPECT_EQ(host.bodyScrollTop, 120);
    host.bodyScrollTop = 345;
    EXPECT_EQ(BodyScrollTop(state, 0), 345);
    EXPECT_EQ(host.Log(), (Lines{"SetBodyScrollTop 120", "BodyScrollTop"}));
}

TEST_F(PageBodyTest, TraditionalDisplayConvertsOnTheWayOutAndBack) {
    if (!ChineseMappingWorks()) {
        GTEST_SKIP() << "no simplified/traditional mapping on this system";
    }
    host.hasStyleSheet = false;
    state.linkControl = "";
    state.useGbk = 1;
    SetPageBody(state, "<p>这是中国的书</p>");
    EXPECT_EQ(host.body, u"<p>這是中國的書</p>");
    EXPECT_EQ(GetPageBody(state), "<p>这是中国的书</p>");
    state.useGbk = 0;
    EXPECT_EQ(GetPageBody(state), "<p>這是中國的書</p>");

    // The installation path in the style-sheet href is never converted.
    host.hasStyleSheet = true;
    host.styleSheetHref = u"bible.css";
    state.installDir = "C:\\书\\cfg\\";
    state.useGbk = 1;
    SetPageBody(state, "x");
    EXPECT_EQ(host.styleSheetHref, u"C:\\书\\cfg\\bible.css");
}

TEST_F(PageBodyTest, ReferenceLinksAreAddedOncePerBody) {
    testing::ModuleInstallation inst;
    ASSERT_TRUE(inst.SampleFound()) << "sample/cfg/bible.ini not found";
    RenderState& s = inst.state();
    s.host.pageWindow = &host;
    s.charset = u"gb2312";
    host.hasStyleSheet = false;
    host.body = u"<p>见(创1:3)与[诗23:1]</p>";

    AddReferenceLinks(s);
    const std::string body = FakeHost::Gbk(host.body);
    EXPECT_NE(body.find("<a href=01001>"), std::string::npos) << body;
    EXPECT_NE(body.find("<a href=19023>"), std::string::npos) << body;
    EXPECT_EQ(s.host.changedFlags, kChangedLinksAdded | kChangedBodyWritten);
    ASSERT_EQ(host.Log().size(), 5u) << host.LogText();
    EXPECT_EQ(host.Log()[0], "BodyInnerHtml");
    EXPECT_EQ(host.Log()[1], "SetCharset gb2312");

    // Until the host resets Changed, the page counts as linked.
    host.ClearLog();
    AddReferenceLinks(s);
    EXPECT_TRUE(host.Log().empty());
    s.host.changedFlags = 0;
    AddReferenceLinks(s);
    EXPECT_EQ(host.Log().size(), 5u);
}

TEST(FixCopiedText, ChapterLinksBecomeBracketsAndTheirFolderDisappears) {
    const GbString copied =
        "<A TagName=\"A\" href=\"file:///C:/Corvex/cfg/01001\">创1:1</A>和"
        "<A href=\"file:///C:/Corvex/cfg/43003\">约3:16</A>，"
        "<A href=\"file:///C:/Corvex/cfg/zendri\">注</A> 见 file:///C:/Corvex/cfg/x";
    EXPECT_EQ(FixCopiedText(copied),
              "[创1:1]和[约3:16]，<A href=\"zendri\">注</A> 见 x");

    // A link that does not end in a chapter key keeps its folder when no chapter link came.
    EXPECT_EQ(FixCopiedText("<A href=\"http://a/b/66023\">x</A> <A href=\"http://a/b/67001\">y</A>"),
              "<A href=\"http://a/b/66023\">x</A> <A href=\"http://a/b/67001\">y</A>");
    // Unquoted href (the "/" is found before the ">"), and a link without its closing tag.
    EXPECT_EQ(FixCopiedText("<A href=http://a/19023>诗23"), "[诗23");
}

TEST(FixCopiedText, NestedEmphasisCollapses) {
    EXPECT_EQ(FixCopiedText("<B><B><B>神</B></B></B>"), "<B>神</B>");
    EXPECT_EQ(FixCopiedText("<I><B>x</B></I> <B><I>y</I></B>"), "<B>x</B> <I>y</I>");
    EXPECT_EQ(FixCopiedText("<I><I><I>z</I></I>"), "<I>z</I>");
}

TEST(FixCopiedText, MalformedInputStaysSane) {
    EXPECT_EQ(FixCopiedText(""), "");
    EXPECT_EQ(FixCopiedText("<A href="), "<A href=");
    EXPECT_EQ(FixCopiedText("<A href=\"/01001\""), "<A href=\"/01001\"");  // no ">"
    // A "/" before the link is not its folder.
    EXPECT_EQ(FixCopiedText("a/b <A href=\"01001\">x</A>"), "a/b <A href=\"01001\">x</A>");
}

}  // namespace
}  // namespace quillax
