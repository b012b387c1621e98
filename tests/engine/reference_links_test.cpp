#include "engine/pages/reference_links.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/pages/chapter_page.h"
#include "engine/pages/passage_text.h"
#include "module_fixture.h"
#include "textlib/chapter_keys.h"

namespace quillax {
namespace {

using testing::ModuleInstallation;

class ReferenceLinksTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(install.SampleFound()); }
    RenderState& state() { return install.state(); }
    std::string Linked(const char* text, bool expand = false) {
        GbString result(text);
        LinkifyReferences(state(), result, expand);
        return std::string(result.view());
    }

    ModuleInstallation install;
};

TEST_F(ReferenceLinksTest, ReferencesInParentheses) {
    state().host.changedFlags = 2;
    EXPECT_EQ(Linked("(创3:16;4:5)"), "(<a href=01003>创3:16</a>;<a href=01004>4:5</a>)");
    EXPECT_EQ(state().host.changedFlags, 1);
    EXPECT_EQ(state().lastBook, 1);
    // Blanks separate references; words that are no abbreviation stay; lists and ranges after
    // ":" belong to the reference.
    EXPECT_EQ(Linked("见(参创1:1 约3:16-18,20)。"),
              "见(参<a href=01001>创1:1</a>;<a href=43003>约3:16-18,20</a>)。");
    // Unit words, two-character abbreviations, Psalm 119.
    EXPECT_EQ(Linked("(诗23篇;创3章)(撒上3:1)(约一1:9)(诗119:105)"),
              "(<a href=19023>诗23篇</a>;<a href=01003>创3章</a>)(<a href=09003>撒上3:1</a>)"
              "(<a href=62001>约一1:9</a>)(<a href=19119>诗119:105</a>)");
    // Full-width colon and semicolon.
    EXPECT_EQ(Linked("(创1：1；2：3)"), "(<a href=01001>创1:1</a>;<a href=01002>2:3</a>)");
    // A continuation takes the book of the reference before it, also in a later group.
    EXPECT_EQ(Linked("(约3:16) (;4:2)"), "(<a href=43003>约3:16</a>) (;<a href=43004>4:2</a>)");
    // A ";" after 0x80 or 0xFF (no lead bytes) starts a continuation; after a lead byte it is
    // part of the character.
    EXPECT_EQ(Linked("(约3:16\xFF;4:2)"), "(<a href=43003>约3:16</a>\xFF;<a href=43004>4:2</a>)");
    EXPECT_EQ(Linked("(约3:16\x80;4:2)"), "(<a href=43003>约3:16</a>\x80;<a href=43004>4:2</a>)");
    EXPECT_EQ(Linked("(约3:16\xFE;4:2)"), "(<a href=43003>约3:16</a>\xFE;4:2)");
}

TEST_F(ReferenceLinksTest, WhatStaysText) {
    // Numbers of more than 3 digits, numbers without a unit word, groups without references
    // (only their separators normalised), spans in square brackets, text outside parentheses.
    EXPECT_EQ(Linked("(创1234:5)(创1234章)(创12)"), "(创1234:5)(创1234章)(创12)");
    EXPECT_EQ(Linked("(创造 天地；万物)"), "(创造;天地;万物)");
    EXPECT_EQ(Linked("(创1:1 [约3:16])"), "(<a href=01001>创1:1</a>;[约3:16])");
    EXPECT_EQ(Linked("创1:1 约3:16"), "创1:1 约3:16");
    // Chapters that do not exist: past the end of the book, or a continuation without a book.
    EXPECT_EQ(Linked("(创51:1)"), "(创51:1)");
    state().lastBook = 0;
    EXPECT_EQ(Linked("(;3:16)"), "(;3:16)");
    // "乕" and "乚" end in the bytes of "[" and "]".
    EXPECT_EQ(Linked("(乕创1:1乚)"), "(乕<a href=01001>创1:1</a>乚)");
}

TEST_F(ReferenceLinksTest, ExistingLinksAndBrokenParentheses) {
    // Links already in a page read back from the browser are made afresh.
    EXPECT_EQ(Linked("(<A href=\"x/01001\">创1:1</A> 等)"), "(<a href=01001>创1:1</a>;等)");
    // Nested and unclosed parentheses.
    EXPECT_EQ(Linked("((创1:1))"), "((<a href=01001>创1:1</a>))");
    EXPECT_EQ(Linked("甲(乙)丙(创1:1 未完"), "甲(乙)丙(创1:1 未完");
    EXPECT_EQ(Linked("("), "(");
    EXPECT_EQ(Linked(")"), ")");
    EXPECT_EQ(Linked("(创"), "(创");
    EXPECT_EQ(Linked("(创)"), "(创)");
    EXPECT_EQ(Linked("(;)"), "(;)");
    EXPECT_EQ(Linked(""), "");
    EXPECT_EQ(Linked("(<A x)"), "(<A;x)");
}

TEST_F(ReferenceLinksTest, Expansion) {
    ASSERT_TRUE(install.WriteChapters({{"01001", "$1起初神创造天地。'2\r\n　$2地是空虚混沌。'2\r\n　$3神说要有光。\r\n"}}));
    EXPECT_EQ(Linked("(创1:3)", true), "(【<tt>创1:3</tt>】<s>3</s>神说要有光。)");
    EXPECT_EQ(Linked("(创1:1-2 出1:1)", true),
              "(【<tt>创1:1-2</tt>】<s>1</s>起初神创造天地。<br><s>2</s>地是空虚混沌。;（此处经文暂缺）)");
    // Without expansion the links stay.
    EXPECT_EQ(Linked("(创1:3)", false), "(<a href=01001>创1:3</a>)");
}

TEST_F(ReferenceLinksTest, ModuleRecordsWithReferencePasses) {
    // A study note: references in parentheses, and a bracket that names the record's own key.
    ASSERT_TRUE(install.WriteModule("sys\\zendri", {{"abc", "参(创1:1)与[本章3节]_\r\n"}}));
    state().host.changedFlags = 0;
    EXPECT_EQ(ReadModuleEntry(state(), "Zendri", "abc", false), "参(创1:1)与[本章3节]");
    EXPECT_EQ(state().host.changedFlags, 0);
    EXPECT_EQ(ReadModuleEntry(state(), "Zendri", "abc", true),
              "参(<a href=01001>创1:1</a>)与 <a href=abc>本章3节</a>");
    EXPECT_EQ(state().host.changedFlags, 1);
    EXPECT_EQ(ReadModuleEntry(state(), "zendri", "abd", true), "");
    EXPECT_EQ(ReadModuleEntry(state(), "nothing", "abc", true), "");

    // The bracket pass alone, as the page body operations run it.
    GbString text("[创3:1]");
    state().host.changedFlags = 2;
    LinkBracketReferences(state(), text, "");
    EXPECT_EQ(text, " <a href=01003>创3:1</a>");
    EXPECT_EQ(state().host.changedFlags, 1);
}

}  // namespace
}  // namespace quillax

namespace quillax {
namespace {

// Texts put together at random from the pieces that the passes react to, as a hostile record
// or a page read back from the browser might hold them.
TEST(ReferenceSoup, NoPassBreaksOnHostileText) {
    ModuleInstallation install;
    ASSERT_TRUE(install.SampleFound());
    RenderState& state = install.state();
    const char* const pieces[] = {"(", ")", "[", "]", ":", "：", ";", "；", " ", "-", ",", "创", "撒上",
                                  "约一", "诗", "篇", "章", "本章", "1", "23", "999", "1234", "$", "#",
                                  "<A href=1>", "</A>", "<a href=", "</a>", "'0", "'1", "`1", "~1",
                                  "<s>", "乕", "亇", "{", "}", "\r\n", "　"};
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    std::vector<testing::ModuleRecord> chapters;
    std::vector<std::string> texts;
    for (int i = 0; i < 300; ++i) {
        std::string text;
        const std::uint32_t count = next(40);
        for (std::uint32_t k = 0; k < count; ++k) {
            text += pieces[next(sizeof pieces / sizeof pieces[0])];
        }
        texts.push_back(text);
        if (i < 50) {
            chapters.push_back({MakeChapterKey(1001 + i).str(), text + "\r\n"});
        }
    }
    ASSERT_TRUE(install.WriteChapters(chapters));
    state.readModel = 2;

    const auto count = [](const GbString& text, const char* what) {
        return text.CountOccurrences(what, 0, GbString::kOccurrenceLimit);
    };
    for (const std::string& text : texts) {
        GbString linked(text);
        LinkifyReferences(state, linked, false);
        EXPECT_EQ(count(linked, "("), count(GbString(text), "(")) << text;

        GbString expanded(text);
        LinkifyReferences(state, expanded, true);

        const GbString passage = PassageText(state, "01001", text);
        EXPECT_TRUE(passage == state.cmpStr[5] || passage.Slice(0, 6) == "【<tt>") << text;
    }
    for (int i = 0; i < 50; ++i) {
        const GbString key = MakeChapterKey(1001 + i);
        const GbString page = ChapterPage(state, key, false);
        const GbString bar = NavigationBar(state, 1001 + i);
        EXPECT_EQ(page.Slice(0, bar.Length()), bar.view()) << texts[static_cast<std::size_t>(i)];
        ChapterPage(state, key, true);
    }
}

}  // namespace
}  // namespace quillax
