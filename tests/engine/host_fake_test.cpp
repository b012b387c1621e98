// The fake host that the engine tests rely on: what it records and how it answers when a
// browser object is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/testing/fake_host.h"

namespace quillax {
namespace {

using Lines = std::vector<std::string>;

TEST(FakeHost, RecordsEveryOperationOnOneLine) {
    FakeHost host;
    PopupSurface& popup = host.Popup();
    host.SetBodyInnerHtml(u"<p>第一行\r\n第二行</p>");
    host.ScrollTo(0, 40);
    popup.Create(true);
    popup.Move(PopupRect{1, 2, 3, 4}, false);
    std::u16string href;
    host.FirstStyleSheetHref(href);
    EXPECT_EQ(host.Log(), (Lines{
        "SetBodyInnerHtml <p>第一行\\r\\n第二行</p>",
        "ScrollTo 0 40",
        "popup.Create picture",
        "popup.Move 1 2 3 4 nopaint",
        "FirstStyleSheetHref",
    }));
    EXPECT_EQ(href, u"bible.css");
    // The record itself keeps numbers as numbers and texts whole, line breaks included.
    const std::vector<HostOperation>& operations = host.Operations();
    ASSERT_EQ(operations.size(), 5u);
    EXPECT_EQ(operations[0].args, (std::vector<HostOperation::Argument>{FakeHost::Gbk(u"<p>第一行\r\n第二行</p>")}));
    EXPECT_EQ(operations[1].name, "ScrollTo");
    EXPECT_EQ(operations[1].args, (std::vector<HostOperation::Argument>{0, 40}));
    EXPECT_EQ(operations[3].args, (std::vector<HostOperation::Argument>{1, 2, 3, 4, "nopaint"}));
    EXPECT_TRUE(operations[4].args.empty());
    const std::string text = host.LogText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
    EXPECT_EQ(text.substr(text.size() - 21), "\nFirstStyleSheetHref\n");
}

TEST(FakeHost, MissingObjectsAnswerEmptyAndKeepTheirState) {
    FakeHost host;
    host.body = u"old";
    host.bodyScrollTop = 9;
    host.hasBody = false;
    EXPECT_FALSE(host.SetBodyInnerHtml(u"new"));
    EXPECT_EQ(host.BodyInnerHtml(), u"");
    EXPECT_EQ(host.BodyScrollTop(), 0);
    EXPECT_TRUE(host.SetCharset(u"big5"));  // the document is still there
    host.hasDocument = false;
    EXPECT_FALSE(host.SetCharset(u"gb2312"));
    EXPECT_EQ(host.charset, u"big5");
    EXPECT_EQ(host.body, u"old");

    host.hasEvent = false;
    HostEvent event;
    HostElement element;
    EXPECT_FALSE(host.CurrentEvent(event));
    EXPECT_FALSE(host.SourceElement(element));
    EXPECT_FALSE(host.CancelEvent());
    EXPECT_FALSE(host.eventCancelled);

    std::vector<OffsetNode> chain{{u"A", 1}};
    host.hasDocument = true;
    EXPECT_FALSE(host.AnchorOffsets(u"missing", chain));
    EXPECT_TRUE(chain.empty());
    EXPECT_FALSE(host.SetWindowCaption(nullptr, u"x"));
    EXPECT_EQ(host.MaxCharWidth(nullptr), 0);
}

}  // namespace
}  // namespace quillax
