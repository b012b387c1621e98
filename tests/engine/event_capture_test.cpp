// Event capture: the href of a link from its outer HTML, the "active" rule with its id range,
// the modifier bits, and what a missing window, event or source element leaves.
#include <gtest/gtest.h>

#include <string>

#include "engine/com/event_capture.h"
#include "engine/testing/fake_host.h"
#include "textlib/conversions.h"

namespace quillax {
namespace {

std::u16string W(std::string_view gbk) {
    GbString copy(gbk);
    return ToWide(copy, ConversionOptions{});
}

TEST(EventCaptureTest, HrefComesFromTheOuterHtml) {
    EXPECT_EQ(HrefFromOuterHtml("<A href=\"about:blank01001\">x</A>"), "01001");
    EXPECT_EQ(HrefFromOuterHtml("<A href=\"about:zendri\" id=007>x</A>"), "zendri");
    // "about:blank" goes first, then "about:" once more.
    EXPECT_EQ(HrefFromOuterHtml("<A href=\"about:blankabout:x\">"), "x");
    EXPECT_EQ(HrefFromOuterHtml("<A href=\"about:about:x\">"), "about:x");
    EXPECT_EQ(HrefFromOuterHtml("<A href=\"file:///C:/a/01001\">"), "file:///C:/a/01001");
    // Only the first href=" counts, and only with its double quote.
    EXPECT_EQ(HrefFromOuterHtml("<A title=x href='a' href=\"b\" href=\"c\">"), "b");
    EXPECT_EQ(HrefFromOuterHtml("<A href=01001>"), "");
    EXPECT_EQ(HrefFromOuterHtml("<A href=\"01001>x</A>"), "");  // no closing quote
    EXPECT_EQ(HrefFromOuterHtml("<A href=\""), "");
    EXPECT_EQ(HrefFromOuterHtml("<A href=\"\">"), "");
    EXPECT_EQ(HrefFromOuterHtml(""), "");
}

TEST(EventCaptureTest, IdRangeIsStrictAndByteWise) {
    EXPECT_TRUE(IdInLinkRange("001"));
    EXPECT_TRUE(IdInLinkRange("478"));
    EXPECT_TRUE(IdInLinkRange("1"));      // "1" > "000" and < "479"
    EXPECT_TRUE(IdInLinkRange("0001"));
    EXPECT_TRUE(IdInLinkRange("47899"));
    EXPECT_FALSE(IdInLinkRange("000"));
    EXPECT_FALSE(IdInLinkRange("479"));
    EXPECT_FALSE(IdInLinkRange("5"));
    EXPECT_FALSE(IdInLinkRange(""));
    EXPECT_FALSE(IdInLinkRange("bar"));
    EXPECT_FALSE(IdInLinkRange("fd"));
}

TEST(EventCaptureTest, CaptureFillsTheElement) {
    RenderState state;
    FakeHost host;
    host.event.keyCode = '+';
    host.event.ctrlKey = true;
    host.event.shiftKey = true;
    host.event.button = 2;
    host.event.screenWidth = 1280;
    host.event.screenHeight = 1024;
    host.source.tagName = u"A";
    host.source.id = u"007";
    host.source.title = W("标题");
    host.source.outerHtml = W("<A href=\"about:blankzendri\" id=007>注</A>");
    host.sourceInnerText = W("注");
    host.sourceInnerHtml = W("<b>注</b>");
    state.host.titleNotTip = false;

    ASSERT_TRUE(CaptureEvent(state, &host));
    const EventElement& e = state.host.element;
    EXPECT_TRUE(e.found);
    EXPECT_TRUE(e.active);
    EXPECT_EQ(e.tagName, "A");
    EXPECT_EQ(e.id, "007");
    EXPECT_EQ(e.href, "zendri");
    EXPECT_EQ(e.title, "标题");
    EXPECT_EQ(e.innerText, "注");
    EXPECT_EQ(e.innerHTML, "<b>注</b>");
    EXPECT_EQ(e.keyCode, '+');
    EXPECT_EQ(e.modifiers, kModifierCtrl | kModifierShift);
    EXPECT_EQ(e.button, 2);
    EXPECT_EQ(e.screenWidth, 1280);
    EXPECT_EQ(e.screenHeight, 1024);
    EXPECT_TRUE(state.host.titleNotTip);

    // Links that get no popup: ids outside the range, mail links. Their texts are not read.
    host.source.id = u"bar";
    host.ClearLog();
    CaptureEvent(state, &host);
    EXPECT_FALSE(e.active);
    EXPECT_TRUE(e.innerText.IsEmpty());
    EXPECT_EQ(e.href, "zendri");
    EXPECT_EQ(host.LogText(), "CurrentEvent\nSourceElement\n");
    host.source.id = u"";
    host.source.outerHtml = u"<A href=\"mailto:me@example.org\">me</A>";
    CaptureEvent(state, &host);
    EXPECT_FALSE(e.active);

    // Marked phrases and footnote marks are active; their title and href are not read.
    for (const char16_t* tag : {u"U", u"B", u"S", u"SUP"}) {
        host.source.tagName = tag;
        CaptureEvent(state, &host);
        EXPECT_TRUE(e.active);
        EXPECT_TRUE(e.title.IsEmpty());
        EXPECT_TRUE(e.href.IsEmpty());
        EXPECT_EQ(e.innerText, "注");
    }
    host.source.tagName = u"SPAN";
    CaptureEvent(state, &host);
    EXPECT_FALSE(e.active);
    EXPECT_TRUE(e.found);
}

TEST(EventCaptureTest, MissingPartsLeaveAnEmptyCapture) {
    RenderState state;
    FakeHost host;
    host.source.tagName = u"A";
    host.source.outerHtml = u"<A href=\"about:blank01001\">x</A>";
    host.event.keyCode = 32;
    ASSERT_TRUE(CaptureEvent(state, &host));
    ASSERT_TRUE(state.host.element.active);

    // No source element: the event's own values only.
    host.hasSource = false;
    EXPECT_TRUE(CaptureEvent(state, &host));
    EXPECT_FALSE(state.host.element.found);
    EXPECT_FALSE(state.host.element.active);
    EXPECT_TRUE(state.host.element.href.IsEmpty());
    EXPECT_EQ(state.host.element.keyCode, 32);

    // No event, no window: nothing is read.
    host.hasEvent = false;
    host.hasSource = true;
    EXPECT_FALSE(CaptureEvent(state, &host));
    EXPECT_FALSE(state.host.element.found);
    EXPECT_TRUE(state.host.element.tagName.IsEmpty());
    EXPECT_FALSE(CaptureEvent(state, nullptr));
}

TEST(EventCaptureTest, HugeElementsAreCapturedWhole) {
    RenderState state;
    FakeHost host;
    const std::u16string huge(1024 * 1024, u'x');
    host.source.tagName = u"A";
    host.source.outerHtml = u"<A href=\"about:blank01001\">" + huge + u"</A>";
    host.sourceInnerHtml = huge;
    host.sourceInnerText = huge;
    ASSERT_TRUE(CaptureEvent(state, &host));
    EXPECT_EQ(state.host.element.href, "01001");
    EXPECT_EQ(state.host.element.innerHTML.Length(), static_cast<int>(huge.size()));
    // An href whose closing quote never comes reads as none.
    host.source.outerHtml = u"<A href=\"" + huge;
    CaptureEvent(state, &host);
    EXPECT_TRUE(state.host.element.href.IsEmpty());
}

}  // namespace
}  // namespace quillax
