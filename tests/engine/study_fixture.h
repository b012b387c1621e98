// A test installation for the study pages, the calendar and the word search: a copy of the
// sample bible.ini in a fresh directory, loaded into a RenderState of the test's own, with the
// system modules under sys\ and a FakeHost as the page window. The registry is a store file
// inside the test directory (Linux; on Windows the test's IEFontSize value is put back).
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/testing/fake_host.h"
#include "engine/state/render_state.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/temp_dir.h"
#include "module_fixture.h"
#include "textlib/config_text.h"
#include "textlib/gb_list.h"

namespace quillax::testing {

// One record of a test module: its key and its text (a line without its CR LF).
using Record = std::pair<std::string, std::string>;

class StudyTest : public ::testing::Test {
protected:
    static constexpr const char* kFontKey =
        "Software\\Microsoft\\Internet Explorer\\International\\Scripts\\26";

    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        savedStore_ = platform::GetEnvironmentValue("QUILLAX_REGISTRY");
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", dir / "registry");
        savedFont_ = platform::ReadRegistryValue(platform::RegistryRoot::CurrentUser, kFontKey,
                                                 "IEFontSize");
        platform::DeleteRegistryValue(platform::RegistryRoot::CurrentUser, kFontKey, "IEFontSize");

        const std::optional<std::string> ini = platform::ReadWholeFile("sample\\cfg\\bible.ini");
        ASSERT_TRUE(ini.has_value()) << "run from the repository root";
        ASSERT_TRUE(platform::WriteWholeFile(dir / "bible.ini", *ini));
        ASSERT_TRUE(platform::MakeDirectories(dir / "sys"));
        Load();
    }

    void TearDown() override {
        if (savedFont_) {
            platform::WriteRegistryString(platform::RegistryRoot::CurrentUser, kFontKey,
                                          "IEFontSize", savedFont_->bytes.substr(0, savedFont_->bytes.find('\0')));
        } else {
            platform::DeleteRegistryValue(platform::RegistryRoot::CurrentUser, kFontKey, "IEFontSize");
        }
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", savedStore_);
    }

    // Loads bible.ini of the test directory the way the library does at load.
    void Load() {
        state.installDir = dir.path() + "\\";
        state.configText = ReadConfigFile(dir / "bible.ini");
        state.bookNames = ReadConfigList(state.configText, "CCNAME=");
        GbString words = ReadConfigValue(state.configText, "CMPSTR=");
        words.Replace("'", "\"");
        state.cmpStr.Split(words, ",");
        state.tableWidths = ReadConfigList(state.configText, "TABLETDWIDTH=");
        state.sixDayPlanBase.Set(2000, 2, 16);
        state.dailyPlanBase.Set(2004, 2, 1);
        LoadSettings(state);
        state.host.pageWindow = &host;
    }

    // Rewrites one value of bible.ini and loads the file again.
    void SetIni(const std::string& key, const std::string& value) {
        GbString text(platform::ReadWholeFile(dir / "bible.ini").value_or(""));
        ASSERT_TRUE(ReplaceConfigValue(text, key, value)) << key;
        ASSERT_TRUE(platform::WriteWholeFile(dir / "bible.ini", text.str()));
        Load();
    }

    std::string Ini() const { return platform::ReadWholeFile(dir / "bible.ini").value_or(""); }

    // Writes sys\name.txt and .inx: every record is a key line (key "=" CR LF) followed by its
    // text and CR LF; the index points after the key lines.
    bool WriteModule(const std::string& name, const std::vector<Record>& records) {
        std::vector<ModuleRecord> lines;
        for (const Record& record : records) lines.push_back({record.first, record.second + "\r\n"});
        const ModuleFiles files = BuildModuleFiles(lines, "=");
        return platform::WriteWholeFile(dir / ("sys\\" + name + ".txt"), files.text) &&
               platform::WriteWholeFile(dir / ("sys\\" + name + ".inx"), files.index);
    }

    // Replaces one vocabulary item.
    void SetWord(int index, const std::string& word) {
        GbString* item = state.cmpStr.Get(index);
        ASSERT_NE(item, nullptr) << index;
        item->Assign(word);
    }

    // The body the fake page window holds, as GBK.
    std::string Body() const { return platform::Utf16ToGbk(host.body); }

    TempDir dir;
    RenderState state;
    FakeHost host;

private:
    std::optional<std::string> savedStore_;
    std::optional<platform::RegistryValue> savedFont_;
};

}  // namespace quillax::testing
