// A control on the fake host for the event tests: a test installation with the sample
// vocabulary and settings, a small chapter module, a manual clock for the timers and a
// counted sleep for the waits. Elements under the mouse are described the way a browser shows
// them (tag in capitals, href quoted after "about:blank").
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/com/control.h"
#include "engine/config/configuration.h"
#include "engine/testing/manual_timer_service.h"
#include "engine/testing/fake_host.h"
#include "engine/testing/fake_popup_window.h"
#include "module_fixture.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "textlib/conversions.h"

namespace quillax::testing {

using Lines = std::vector<std::string>;

inline std::u16string W(std::string_view gbk) {
    GbString copy(gbk);
    return ToWide(copy, ConversionOptions{});
}

inline std::string N(const std::u16string& wide) { return FakeHost::Gbk(wide); }

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(inst.SampleFound()) << "sample/cfg/bible.ini not found";
        // The popup placement reads the browser's font size from the registry: a store of the
        // test's own on Linux.
        savedStore_ = platform::GetEnvironmentValue("QUILLAX_REGISTRY");
        platform::SetEnvironmentValue("QUILLAX_REGISTRY",
                                      inst.path() + platform::TemporaryDirectory().back() + "registry");
        for (const char* name : {"bible.ini", "bible.css", "quillets.js"}) {
            const auto bytes = platform::ReadWholeFile(std::string("sample\\cfg\\") + name);
            ASSERT_TRUE(bytes.has_value()) << name;
            ASSERT_TRUE(platform::WriteWholeFile(inst.path() + "\\" + name, *bytes));
        }
        RenderState& s = state();
        LoadSettings(s);
        s.pageHeader = "<html><body>";  // the style sheet would only lengthen the expectations
        s.scriptText = u"init()";
        s.linkControl.Empty();
        s.mainWindow = reinterpret_cast<WindowHandle>(static_cast<std::uintptr_t>(0x40));
        s.titlePrefix = "圣经 - ";
        s.cssBgColors = GbList("#F00000,#F11111,#F22222,#F33333,#F44444,#FFFFEE", ",");
        s.tableWidths = GbList("width=64,width=76,width=88,width=104,width=124,width=tdw", ",");
        s.maxPopupWidth = 600;
        s.events.timers = &timers;
        s.events.sleep = [this](int ms) { sleeps.push_back(ms); };

        host.event.screenWidth = 1000;
        host.event.screenHeight = 800;
        host.cursorX = 100;
        host.cursorY = 100;
        host.maxCharWidth = 16;
        host.hasStyleSheet = false;
        host.bodyOffsetHeight = 500;
        host.Popup().contentHeight = 100;

        ASSERT_TRUE(inst.WriteChapters({
            {"01001", "$1起初，神创造天地。\r\n$2地是空虚混沌，渊面黑暗。\r\n"},
            {"01002", "$1天地万物都造齐了。\r\n"},
            {"43003", "$1有一个法利赛人。\r\n$16神爱世人。\r\n"},
        }));
        control = MakeControl();
        control->init(&host, u"");
        host.ClearLog();
    }

    void TearDown() override {
        control.reset();
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", savedStore_);
    }

    std::unique_ptr<Cqlx> MakeControl() {
        return std::make_unique<Cqlx>(state(), [this](RenderState& s) {
            auto window = std::make_unique<FakePopupWindow>(s, host);
            frame = &window->frame;
            return std::unique_ptr<PopupWindow>(std::move(window));
        });
    }

    RenderState& state() { return inst.state(); }

    // The element the next event comes from. innerHtml defaults to the text.
    void Element(const char* tag, const char* id, const char* href, const char* text,
                 const char* title = "", const char* innerHtml = nullptr) {
        host.hasSource = true;
        host.source.tagName = W(tag);
        host.source.id = W(id);
        host.source.title = W(title);
        std::string outer = "<" + std::string(tag);
        if (*href != '\0') outer += " href=\"about:blank" + std::string(href) + "\"";
        if (*id != '\0') outer += " id=" + std::string(id);
        outer += ">" + std::string(innerHtml ? innerHtml : text) + "</" + tag + ">";
        host.source.outerHtml = W(outer);
        host.sourceInnerText = W(text);
        host.sourceInnerHtml = W(innerHtml ? innerHtml : text);
    }

    // A chapter link with the verse reference as its text.
    void VerseLink(const char* key = "01001", const char* text = "创1:1") {
        Element("A", "", key, text);
    }

    void Over() {
        host.event.button = 0;
        control->MouseOver();
    }
    HResult Click(int button = 1) {
        host.event.button = button;
        return control->MouseClick();
    }
    HResult Key(int code, bool ctrl = false) {
        host.event.keyCode = code;
        host.event.ctrlKey = ctrl;
        return control->pF10();
    }

    std::string Body() { return N(host.body); }
    std::string PopupBody() { return N(host.Popup().body); }
    bool PopupVisible() { return host.Popup().visible; }

    // Whether the log holds a line that starts with prefix.
    bool Logged(const std::string& prefix) const {
        for (const std::string& line : host.Log()) {
            if (line.rfind(prefix, 0) == 0) return true;
        }
        return false;
    }
    int CountLogged(const std::string& prefix) const {
        int count = 0;
        for (const std::string& line : host.Log()) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
        return count;
    }

    ModuleInstallation inst;
    FakeHost host;
    ManualTimerService timers;
    std::vector<int> sleeps;
    std::unique_ptr<Cqlx> control;
    FakePopupFrame* frame = nullptr;  // the frame of the control's popup, once made

private:
    std::optional<std::string> savedStore_;
};

}  // namespace quillax::testing
