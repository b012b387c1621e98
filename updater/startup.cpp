#include "updater/startup.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "textlib/registry_text.h"
#include "updater/labels.h"
#include "updater/profile_file.h"
#include "textlib/product_identity.h"

namespace quillax {
namespace {

char FoldForPath(char c) {
    if (c >= 'A' && c <= 'Z') {
        return static_cast<char>(c - 'A' + 'a');
    }
    return c == '/' ? '\\' : c;
}

}  // namespace

std::vector<GbString> SplitCommandLine(std::string_view text) {
    std::vector<GbString> words;
    const std::size_t scan = std::min(text.size(), kCommandLineScanLimit);
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < scan) {
        if (text[i] == ' ') {
            words.emplace_back(text.substr(start, i - start));
            start = i + 1;
            i += 2;  // the character after a blank belongs to the next word, whatever it is
        } else {
            ++i;
        }
    }
    if (text.size() <= kCommandLineScanLimit) {
        words.emplace_back(start < text.size() ? text.substr(start) : std::string_view());
    }
    return words;
}

ManifestUrl ParseManifestUrl(std::string_view url) {
    ManifestUrl result;
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos || !EqualsIgnoringCase(url.substr(0, schemeEnd), "http")) {
        return result;
    }
    std::string_view rest = url.substr(schemeEnd + 3);
    const std::size_t slash = rest.find('/');
    std::string_view host = rest.substr(0, slash);
    result.objectPath = GbString(slash == std::string_view::npos ? std::string_view("/") : rest.substr(slash));
    const std::size_t at = host.rfind('@');
    if (at != std::string_view::npos) {
        host = host.substr(at + 1);
    }
    std::string_view portText;
    if (!host.empty() && host.front() == '[') {
        // [IPv6 address]:port
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos) {
            return result;
        }
        const std::string_view after = host.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                return result;
            }
            portText = after.substr(1);
        }
        host = host.substr(1, close - 1);
    } else {
        const std::size_t colon = host.find(':');
        if (colon != std::string_view::npos) {
            portText = host.substr(colon + 1);
            host = host.substr(0, colon);
        }
    }
    if (host.empty()) {
        return result;
    }
    if (!portText.empty()) {
        unsigned port = 0;
        for (const char c : portText) {
            if (c < '0' || c > '9' || port > 65535) {
                return result;
            }
            port = port * 10 + static_cast<unsigned>(c - '0');
        }
        if (port == 0 || port > 65535) {
            return result;
        }
        result.port = port;
    }
    result.server = GbString(host);
    result.http = true;
    return result;
}

StartupSettings ReadStartupSettings(std::string_view commandLine, std::string_view workingDir) {
    StartupSettings settings;
    std::vector<GbString> words = SplitCommandLine(commandLine);
    if (words.size() >= 3) {
        settings.productName = words[0];
        settings.versionText = words[1];
        settings.manifestUrl = words[2];
        settings.fromCommandLine = true;
        return settings;
    }
    settings.productName = words.empty() ? GbString() : words[0];

    const GbString configDir =
        ReadRegistryText(platform::RegistryRoot::CurrentUser, kInstallationKey, "");
    if (!configDir.IsEmpty()) {
        // The value ends in "cfg\": the installation directory is the value without it.
        settings.installDir = GbString(configDir.Slice(0, std::max(0, configDir.Length() - 4)));
        settings.configFile = configDir + "bible.ini";
    } else {
        GbString dir(workingDir);
        dir.MakeLower();
        const int cut = dir.Find("update");
        if (cut >= 0) {
            dir.SetLength(cut);
        }
        if (!EndsWithPathSeparator(dir.view())) {
            dir.Append("\\");
        }
        settings.installDir = dir;
        settings.configFile = dir + "cfg\\bible.ini";
    }

    GbString url = ReadProfileValue(settings.configFile.view(), "config", "UPDATEURL").value_or(GbString());
    if (url.Length() > kManifestUrlLimit) {
        url.SetLength(kManifestUrlLimit);
    }
    settings.manifestUrl = url.IsEmpty() ? GbString(kDefaultManifestUrl) : url;

    const GbString classId =
        ReadRegistryText(platform::RegistryRoot::ClassesRoot, kEngineProgIdClassKey, "");
    const GbString library = ReadRegistryText(
        platform::RegistryRoot::ClassesRoot, ("CLSID\\" + classId + "\\InprocServer32").view(), "");
    settings.installedEngineLabel = library.IsEmpty() ? GbString() : ReadVersionLabel(library.view());
    settings.versionText = settings.installedEngineLabel;
    return settings;
}

bool RunsFromUpdateDirectory(std::string_view ownDir, std::string_view installDir) {
    const std::string prefix = std::string(installDir) + "update\\";
    if (ownDir.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (FoldForPath(ownDir[i]) != FoldForPath(prefix[i])) {
            return false;
        }
    }
    return true;
}

bool RelaunchFromInstallation(std::string_view executablePath, std::string_view installDir,
                              const std::vector<std::string>& arguments, bool waitForCopy,
                              std::uint32_t* errorCode) {
    platform::ChangeDirectory(installDir);
    const std::string_view programName =
        executablePath.substr(DirectoryWithSeparator(executablePath).size());
    const std::string copy = std::string(installDir) + std::string(programName);
    if (!platform::PathExists(copy)) {
        platform::CopyProgramFile(executablePath, copy);
    }
    platform::DeleteFileWhenProcessEnds(copy);
    const platform::ProcessStart start = platform::StartProgram(copy, arguments, waitForCopy);
    if (!start.started && errorCode != nullptr) {
        *errorCode = start.errorCode;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    return start.started;
}

}  // namespace quillax
