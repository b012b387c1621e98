// What the development host's tests share: a page that records what the engine sends it, a
// temporary folder, and a copy of the sample installation with its indexes, loaded as the
// engine loads it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "devhost/server/page_channel.h"
#include "engine/config/configuration.h"
#include "engine/state/render_state.h"
#include "platform/environment.h"
#include "platform/registry.h"
#include "setup/module_index.h"
#include "textlib/product_identity.h"

namespace quillax::devhost::testing {

// A page that records what it is sent and answers requests with a function. For the engine
// thread only.
class RecordingChannel : public PageChannel {
public:
    void Send(const Json& message) override {
        if (open) sent.push_back(message);
    }
    void SendBinary(std::string bytes) override {
        if (open) binary.push_back(std::move(bytes));
    }
    std::optional<Json> Ask(Json request, std::chrono::milliseconds) override {
        asked.push_back(request);
        if (!open || !answer) return std::nullopt;
        return answer(request);
    }
    bool Open() const override { return open; }

    // The operations sent with this "op" (and, when given, for this window).
    std::vector<Json> Ops(const std::string& op, const std::string& window = "") const {
        const auto text = [](const Json& message, const char* name) {
            const auto it = message.find(name);
            return it != message.end() && it->is_string() ? it->get_ref<const std::string&>() : std::string();
        };
        std::vector<Json> found;
        for (const Json& message : sent) {
            if (text(message, "op") == op && (window.empty() || text(message, "win") == window)) {
                found.push_back(message);
            }
        }
        return found;
    }

    bool open = true;
    std::vector<Json> sent;
    std::vector<std::string> binary;
    std::vector<Json> asked;
    std::function<std::optional<Json>(const Json&)> answer;
};

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "devhost-test-XXXXXX").string();
        path = mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path path;
};

// A copy of sample/cfg in a temporary folder, its indexes built as the set-up tool builds
// them, registered in a registry file of the folder and loaded into `state`. Run the tests
// from the repository root.
class SampleInstallation {
public:
    SampleInstallation() {
        savedRegistry_ = platform::GetEnvironmentValue("QUILLAX_REGISTRY");
        if (temp.path.empty()) return;
        std::error_code error;
        std::filesystem::copy("sample/cfg", temp.path / "cfg", std::filesystem::copy_options::recursive, error);
        if (error) return;
        configDir = (temp.path / "cfg").string() + "\\";
        PrepareModules(configDir);
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", (temp.path / "registry").string());
        platform::WriteRegistryString(platform::RegistryRoot::CurrentUser, kInstallationKey, "", configDir);
        LoadConfiguration(state);
        ready = state.cmpStr.Count() > 0;
    }
    ~SampleInstallation() { platform::SetEnvironmentValue("QUILLAX_REGISTRY", savedRegistry_); }
    SampleInstallation(const SampleInstallation&) = delete;
    SampleInstallation& operator=(const SampleInstallation&) = delete;

    std::u16string WideConfigDir() const {
        return std::u16string(configDir.begin(), configDir.end());
    }

    TempDir temp;
    std::string configDir;  // ends in "\", as the engine writes it
    RenderState state;
    bool ready = false;

private:
    std::optional<std::string> savedRegistry_;
};

}  // namespace quillax::devhost::testing
