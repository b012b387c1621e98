// The navigation history: the scroll rule, recording with reuse of the blank entry and
// insertion after the current one, lists per window and the shared texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/com/history.h"
#include "engine/testing/fake_host.h"
#include "module_fixture.h"

namespace quillax {
namespace {

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(inst.SampleFound()) << "sample/cfg/bible.ini not found";
        state().host.pageWindow = &host;
    }

    RenderState& state() { return inst.state(); }

    // "key|position|scroll" of every entry, the current one marked with "*".
    std::string Dump(const HistoryList& list) {
        std::string text;
        const std::vector<HistoryEntry> entries = list.Entries();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (!text.empty()) text += " ";
            if (static_cast<int>(i) == list.CurrentIndex()) text += "*";
            text += std::string(entries[i].key) + "|" + std::string(entries[i].position) + "|" +
                    std::to_string(entries[i].scroll);
        }
        return text;
    }

    testing::ModuleInstallation inst;
    FakeHost host;
};

TEST_F(HistoryTest, ScrollRuleByPosition) {
    const RenderState& s = state();
    // No position: the real scroll position.
    EXPECT_EQ(HistoryScrollRule(s, "", true), 1);
    EXPECT_EQ(HistoryScrollRule(s, "", false), 1);
    // A whole chapter (章, 篇 or 卷 after the first byte): the real position when leaving the
    // page, the top for a page just recorded.
    EXPECT_EQ(HistoryScrollRule(s, "创1章", true), 1);
    EXPECT_EQ(HistoryScrollRule(s, "创1章", false), 0);
    EXPECT_EQ(HistoryScrollRule(s, "诗23篇", false), 0);
    EXPECT_EQ(HistoryScrollRule(s, "犹1卷", false), 0);
    // At the very start the unit word does not count; then the colon rule decides.
    EXPECT_EQ(HistoryScrollRule(s, "章", false), 1);
    EXPECT_EQ(HistoryScrollRule(s, "章章", false), 0);
    // A verse ("3:16") is scrolled to by opening it; a colon only at the start is not a verse.
    EXPECT_EQ(HistoryScrollRule(s, "约3:16", true), -1);
    EXPECT_EQ(HistoryScrollRule(s, "3:16", false), -1);
    EXPECT_EQ(HistoryScrollRule(s, ":16", true), 1);
    EXPECT_EQ(HistoryScrollRule(s, ":16:2", true), -1);
    EXPECT_EQ(HistoryScrollRule(s, "16", true), 1);
    // "This chapter" and "this psalm" never scroll back.
    EXPECT_EQ(HistoryScrollRule(s, "本章16", true), -1);
    EXPECT_EQ(HistoryScrollRule(s, "本篇", false), -1);
    EXPECT_EQ(HistoryScrollRule(s, "本章1章", true), -1);
    // The unit word counts only where a character starts, not across two characters.
    EXPECT_EQ(HistoryScrollRule(s, "\xB0\xA1\xD5\xC2", false), 0);  // 啊章
    EXPECT_EQ(HistoryScrollRule(s, "\xB0\xD5\xC2\xA1", false), 1);  // 罢隆: no 章 on a boundary

    // Without a vocabulary nothing matches the unit words.
    RenderState bare;
    EXPECT_EQ(HistoryScrollRule(bare, "创1章", false), 1);
}

TEST_F(HistoryTest, RecordReusesTheBlankEntryAndInsertsAfterTheCurrentOne) {
    RenderState& s = state();
    HistoryList& list = SelectHistory(s, &host);
    EXPECT_EQ(Dump(list), "*||0");  // one blank entry; its scroll saved as the body's (0)

    // The blank entry takes the first page; keys are lower-cased without their path.
    host.bodyScrollTop = 70;
    RecordHistory(s, list, "file:///C:/X/01001", "创1章");
    EXPECT_EQ(Dump(list), "*01001|创1章|0");
    RecordHistory(s, list, "ZENDRI#007", "");
    RecordHistory(s, list, "43003", "3:16");
    EXPECT_EQ(Dump(list), "01001|创1章|0 zendri#007||70 *43003|3:16|-1");

    // Back twice, then a new page: it goes right after the current entry, the rest stays.
    ASSERT_TRUE(list.StepBack());
    ASSERT_TRUE(list.StepBack());
    EXPECT_FALSE(list.StepBack());
    RecordHistory(s, list, "19023", "");
    EXPECT_EQ(Dump(list), "01001|创1章|0 *19023||70 zendri#007||70 43003|3:16|-1");

    // The same key and position again: that entry becomes current, nothing is added.
    RecordHistory(s, list, "43003", "3:16");
    EXPECT_EQ(Dump(list), "01001|创1章|0 19023||70 zendri#007||70 *43003|3:16|-1");
    RecordHistory(s, list, "a/b/43003", "3:16");
    EXPECT_EQ(list.Entries().size(), 4u);
    // The same key with another position is another entry.
    RecordHistory(s, list, "43003", "3:17");
    EXPECT_EQ(list.Entries().size(), 5u);
    EXPECT_FALSE(list.StepForward());

    // Nothing at all is not recorded.
    RecordHistory(s, list, "", "");
    RecordHistory(s, list, "x/", "");
    EXPECT_EQ(list.Entries().size(), 5u);
}

TEST_F(HistoryTest, SelectingSavesTheScrollOfTheCurrentEntry) {
    RenderState& s = state();
    HistoryList& list = SelectHistory(s, &host);
    RecordHistory(s, list, "01001", "创1章");
    host.bodyScrollTop = 480;
    SelectHistory(s, &host);
    EXPECT_EQ(list.Current().scroll, 480);  // leaving a whole-chapter page keeps where it was

    RecordHistory(s, list, "01002", "创2:3");
    SelectHistory(s, &host);
    EXPECT_EQ(list.Current().scroll, -1);

    // Without a body the position reads as 0.
    RecordHistory(s, list, "01003", "");
    host.hasBody = false;
    SelectHistory(s, &host);
    EXPECT_EQ(list.Current().scroll, 0);
}

TEST_F(HistoryTest, EveryWindowHasItsOwnListAndTheTextsAreShared) {
    RenderState& s = state();
    FakeHost other;
    HistoryList& first = SelectHistory(s, &host);
    HistoryList& second = SelectHistory(s, &other);
    EXPECT_NE(&first, &second);
    EXPECT_EQ(&SelectHistory(s, &host), &first);
    EXPECT_EQ(s.events.history.ListCount(), 2);
    EXPECT_EQ(s.events.history.Find(nullptr), nullptr);

    RecordHistory(s, first, "01001", "1");
    RecordHistory(s, second, "01001", "1");
    RecordHistory(s, second, "01002", "1");
    EXPECT_EQ(first.Entries().size(), 1u);
    EXPECT_EQ(second.Entries().size(), 2u);
    // Each text is kept once, whoever recorded it.
    EXPECT_EQ(s.events.history.Texts().Size(), 3);
    EXPECT_EQ(first.Current().key.data(), second.Entries()[0].key.data());
}

}  // namespace
}  // namespace quillax
