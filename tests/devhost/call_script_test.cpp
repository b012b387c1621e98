// Call scripts: JSON lines in, one JSON line per host operation and per call out.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "devhost/call_script.h"
#include "engine/config/configuration.h"
#include "engine/module_fixture.h"
#include "engine/testing/fake_host.h"
#include "platform/code_page.h"
#include "platform/environment.h"

namespace quillax::testing {
namespace {

using Json = nlohmann::json;

class CallScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(inst.SampleFound()) << "sample/cfg/bible.ini not found";
        // The popup placement reads the browser's font size from the registry: a store of the
        // test's own.
        savedStore_ = platform::GetEnvironmentValue("QUILLAX_REGISTRY");
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", inst.path() + "\\registry");
        for (const char* name : {"bible.ini", "bible.css", "quillets.js"}) {
            const auto bytes = platform::ReadWholeFile(std::string("sample\\cfg\\") + name);
            ASSERT_TRUE(bytes.has_value()) << name;
            ASSERT_TRUE(platform::WriteWholeFile(inst.path() + "\\" + name, *bytes));
        }
        RenderState& s = inst.state();
        LoadSettings(s);
        s.pageHeader = "<html><body>";
        s.linkControl.Empty();
        s.openDelay = 300;
        ASSERT_TRUE(inst.WriteChapters({
            {"01001", "$1起初，神创造天地。\r\n$2地是空虚混沌，渊面黑暗。\r\n"},
            {"43003", "$16神爱世人。\r\n"},
        }));
    }

    void TearDown() override { platform::SetEnvironmentValue("QUILLAX_REGISTRY", savedStore_); }

    // Runs the script and parses every output line (each must be one JSON object).
    int Run(const std::string& script) {
        out.clear();
        errors.clear();
        lines.clear();
        const int status = RunCallScript(inst.state(), script, out, errors);
        std::size_t start = 0;
        while (start < out.size()) {
            const std::size_t end = out.find('\n', start);
            EXPECT_NE(end, std::string::npos) << "output does not end in a line break";
            if (end == std::string::npos) break;
            lines.push_back(Json::parse(out.substr(start, end - start)));
            start = end + 1;
        }
        return status;
    }

    // The index of the first output line with this key and value, from `from` on; -1 if none.
    int Find(const char* key, const Json& value, int from = 0) const {
        for (int i = from; i < static_cast<int>(lines.size()); ++i) {
            if (lines[i].contains(key) && lines[i][key] == value) return i;
        }
        return -1;
    }

    ModuleInstallation inst;
    std::string out;
    std::string errors;
    std::vector<Json> lines;

private:
    std::optional<std::string> savedStore_;
};

TEST_F(CallScriptTest, PageOperationsComeInOrderBeforeTheResultOfTheirCall) {
    ASSERT_EQ(Run("# opens Genesis 1\n"
                  "\n"
                  "{\"call\":\"openchahtm\",\"args\":[\"01001\",0,\"2\"]}\n"
                  "{\"call\":\"openchahtm\",\"args\":[\"43003\"],\"host\":{\"bodyHeight\":900}}\n"
                  "{\"show\":\"body\"}\n"),
              0)
        << errors;
    const int body = Find("op", "SetBodyInnerHtml");
    const int result = Find("call", "openchahtm");
    ASSERT_GE(body, 0);
    ASSERT_GT(result, body);
    EXPECT_EQ(lines[result], (Json{{"line", 3}, {"call", "openchahtm"}, {"result", 0}}));
    // The page text arrives as UTF-8, in one argument.
    ASSERT_EQ(lines[body]["args"].size(), 1u);
    EXPECT_NE(lines[body]["args"][0].get<std::string>().find(u8"起初"), std::string::npos);
    // The second page sees the host's new body height: its spacer is 900 - 120 high.
    const int second = Find("op", "SetBodyInnerHtml", result + 1);
    ASSERT_GT(second, result);
    EXPECT_NE(lines[second]["args"][0].get<std::string>().find("height:780"), std::string::npos);
    EXPECT_EQ(Find("call", "openchahtm", result + 1), Find("line", 4, result + 1));
    const int shown = Find("line", 5);
    ASSERT_GE(shown, 0);
    EXPECT_NE(lines[shown]["body"].get<std::string>().find(u8"神爱世人"), std::string::npos);
}

TEST_F(CallScriptTest, HoverPopupShowsOnlyWhenTheOpenDelayHasPassed) {
    ASSERT_EQ(Run(u8"{\"call\":\"MouseOver\",\"event\":{\"tag\":\"A\",\"href\":\"01001\",\"text\":\"创1:2\"},"
                  "\"wait\":200}\n"
                  "{\"advance\":110}\n"
                  "{\"show\":\"popup\"}\n"
                  "{\"call\":\"MouseOut\",\"wait\":1000}\n"),
              0)
        << errors;
    const int over = Find("call", "MouseOver");
    const int firstWait = Find("advance", 200);
    const int secondWait = Find("advance", 110);
    const int shown = Find("op", "popup.Show");
    ASSERT_TRUE(over >= 0 && firstWait > over && secondWait > firstWait) << out;
    EXPECT_EQ(lines[secondWait]["clock"], 310);
    // Nothing shows within the 300 ms of the open delay; the popup comes with the 110 ms after.
    EXPECT_GT(shown, firstWait);
    EXPECT_LT(shown, secondWait);
    const int move = Find("op", "popup.Move");
    ASSERT_GE(move, 0);
    ASSERT_EQ(lines[move]["args"].size(), 5u);
    EXPECT_TRUE(lines[move]["args"][0].is_number_integer());
    EXPECT_TRUE(lines[move]["args"][4].is_string());
    const int popup = Find("line", 3);
    ASSERT_GE(popup, 0);
    EXPECT_EQ(lines[popup]["popup"]["window"], "shown");
    EXPECT_TRUE(lines[popup]["popup"]["visible"].get<bool>());
    EXPECT_NE(lines[popup]["popup"]["body"].get<std::string>().find(u8"地是空虚混沌"), std::string::npos);
    EXPECT_GT(Find("op", "popup.Hide", Find("call", "MouseOut")), 0);
}

TEST_F(CallScriptTest, EventDescribesTheElementAsTheBrowserShowsIt) {
    CallSession session(inst.state());
    std::string output;
    std::string error;
    ASSERT_TRUE(session.Run("{\"call\":\"MouseClick\",\"event\":{\"tag\":\"A\",\"href\":\"01001\","
                            u8"\"id\":\"005\",\"title\":\"t\",\"text\":\"下一章\",\"ctrl\":true}}",
                            1, output, error))
        << error;
    FakeHost& host = session.Host();
    EXPECT_EQ(platform::Utf16ToUtf8(host.source.outerHtml),
              u8"<A href=\"about:blank01001\" id=\"005\" title=\"t\">下一章</A>");
    EXPECT_EQ(host.event.button, 1);  // a click is a left click unless said otherwise
    EXPECT_TRUE(host.event.ctrlKey);
    EXPECT_EQ(platform::Utf16ToUtf8(host.sourceInnerText), u8"下一章");

    ASSERT_TRUE(session.Run("{\"call\":\"pF10\",\"event\":{\"keyCode\":\"+\"}}", 2, output, error)) << error;
    EXPECT_EQ(host.event.keyCode, '+');
    EXPECT_EQ(host.event.button, 0);
    EXPECT_FALSE(host.event.ctrlKey);
    EXPECT_FALSE(host.hasSource);
    ASSERT_TRUE(session.Run("{\"call\":\"MouseOver\",\"event\":null}", 3, output, error)) << error;
    EXPECT_FALSE(host.hasEvent);
    // The host's settings of the line come first, and the event keeps its screen.
    ASSERT_TRUE(session.Run("{\"host\":{\"screen\":[800,600]},\"call\":\"MouseOver\",\"event\":{\"tag\":\"B\"}}",
                            4, output, error))
        << error;
    EXPECT_TRUE(host.hasEvent);
    EXPECT_EQ(host.event.screenWidth, 800);
    EXPECT_EQ(host.event.screenHeight, 600);
    EXPECT_EQ(platform::Utf16ToUtf8(host.source.outerHtml), "<B></B>");
}

TEST_F(CallScriptTest, MembersReturnTheirValues) {
    ASSERT_EQ(Run("{\"call\":\"getcfg\",\"args\":[\"OPENDELAYTIME=\"]}\n"
                  "{\"call\":\"getcfg\",\"args\":[\"NOSUCHKEY=\",\"kept\"]}\n"
                  "{\"call\":\"Changed\",\"args\":[7]}\n"
                  "{\"call\":\"get_Changed\"}\n"
                  "{\"call\":\"FixResult\",\"args\":[\"abc\"]}\n"
                  u8"{\"call\":\"SearchWord\",\"args\":[\"神\",\"\",1,null]}\n"),
              0)
        << errors;
    const std::string delay = platform::GbkToUtf8(ReadConfigValue(inst.state(), "OPENDELAYTIME=").view());
    ASSERT_FALSE(delay.empty());
    EXPECT_EQ(lines[Find("line", 1)], (Json{{"line", 1}, {"call", "getcfg"}, {"result", 0}, {"value", delay}}));
    EXPECT_EQ(lines[Find("line", 2)]["value"], "kept");
    EXPECT_EQ(lines[Find("line", 4)]["value"], 7);
    EXPECT_EQ(lines[Find("line", 5)]["value"], "abc");
    // A search without a window writes no page.
    EXPECT_EQ(Find("op", "SetBodyInnerHtml"), -1);
}

TEST_F(CallScriptTest, BadLinesAreReportedWithTheirNumberAndSkipped) {
    EXPECT_EQ(Run("{\"call\":\"Changed\",\"args\":[3]}\n"
                  "{\"call\":\"Changed\",\"args\":[5],\"colour\":1}\n"
                  "{\"call\":\"Changed\",\"args\":[\"5\"]}\n"
                  "{\"call\":\"openchahtm\" \n"
                  "[1]\n"
                  "{\"call\":\"Nope\"}\n"
                  "{\"call\":\"MouseOver\",\"args\":[1]}\n"
                  "{\"advance\":-5}\n"
                  "{\"wait\":5}\n"
                  "{\"call\":\"MouseOver\",\"event\":{\"tag\":\"A\",\"hrf\":\"01001\"}}\n"
                  "{}\n"
                  "{\"call\":\"Changed\"}\n"),
              1);
    for (int line = 2; line <= 11; ++line) {
        const int at = Find("line", line);
        ASSERT_GE(at, 0) << line;
        EXPECT_TRUE(lines[at].contains("error")) << line;
        EXPECT_NE(errors.find("line " + std::to_string(line) + ": "), std::string::npos) << line;
    }
    EXPECT_NE(errors.find("unknown key \"colour\""), std::string::npos) << errors;
    EXPECT_NE(errors.find("unknown event field \"hrf\""), std::string::npos) << errors;
    // Nothing of a bad line was carried out: the last line still reads what line 1 wrote.
    EXPECT_EQ(lines[Find("line", 12)]["value"], 3);
    EXPECT_EQ(Find("op", "CurrentEvent"), -1);
}

TEST_F(CallScriptTest, LogTextComesBackWhole) {
    // A GBK character whose second byte is a backslash, followed by "n", must not turn into a
    // line break; a real line break must.
    inst.state().scriptText = platform::Utf8ToUtf16(u8"a='乗n';\nb=1;");
    ASSERT_EQ(Run(u8"{\"call\":\"MouseOver\",\"event\":{\"tag\":\"A\",\"href\":\"01001\",\"text\":\"创1:1\"},"
                  "\"wait\":400}\n"),
              0)
        << errors;
    bool found = false;
    for (const Json& line : lines) {
        if (line.contains("op") && line["op"] == "popup.RunScript" && line["args"][0] == u8"a='乗n';\nb=1;") {
            found = true;
        }
    }
    EXPECT_TRUE(found) << out;
}

}  // namespace
}  // namespace quillax::testing
