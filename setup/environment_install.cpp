#include "setup/environment_install.h"

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "setup/fonts.h"
#include "setup/locale_table.h"
#include "setup/module_index.h"
#include "setup/shortcuts.h"
#include "textlib/registry_text.h"

namespace quillax {

const char kCompletionText[] = "《Tessaly》工具组件安装完成!";

namespace {

// The 64-bit engine that a 32-bit installation keeps for 64-bit hosts, below the configuration
// directory.
constexpr const char kLibrary64[] = "x64\\quillax.dll";

platform::ProcessStart RunRegistrationTool(const SetupSession& session, std::vector<std::string> arguments) {
    return platform::StartProgram(
        platform::RegistrationToolPath(session.systemDirectory, session.configDirectory), arguments, true);
}

// Registers (or with "/u" unregisters) the 64-bit engine in the system's 64-bit view, when the
// installation has one and the system has that view.
void RunRegistrationTool64(const SetupSession& session, std::vector<std::string> options) {
    const GbString library = session.configDirectory + kLibrary64;
    const std::string tool = platform::RegistrationTool64Path(session.systemDirectory.view());
    if (tool.empty() || !platform::FileExists(library)) {
        return;
    }
    options.push_back(library.str());
    platform::StartProgram(tool, options, true);
}

}  // namespace

void RegisterComponent(const SetupSession& session) {
    RunRegistrationTool(session, {"/s", (session.configDirectory + "quillax.dll").str()});
    RunRegistrationTool64(session, {"/s"});
}

Unregistration UnregisterComponent(const SetupSession& session) {
    using platform::RegistryRoot;
    Unregistration result;
    RunRegistrationTool64(session, {"/u", "/s"});
    const GbString classId = ReadRegistryText(RegistryRoot::ClassesRoot, "quillax.qlx\\Clsid", "");
    if (classId.IsEmpty()) {
        return result;
    }
    const GbString library =
        ReadRegistryText(RegistryRoot::ClassesRoot, GbString("CLSID\\") + classId + "\\InprocServer32", "");
    if (library.IsEmpty()) {
        return result;
    }
    result.registered = true;
    const platform::ProcessStart run = RunRegistrationTool(session, {"/u", "/s", library.str()});
    result.started = run.started;
    result.exitCode = run.started ? run.exitCode : static_cast<int>(run.errorCode);
    return result;
}

void InstallEnvironment(SetupSession& session, bool withReregistration) {
    const GbString& config = session.configDirectory;
    if (withReregistration && platform::FileExists(config + "quillax.dll")) {
        // A library of an old version in the system directory would be found before ours.
        if (!session.systemComponentPath.IsEmpty() && platform::FileExists(session.systemComponentPath)) {
            platform::RemoveFile(session.systemComponentPath);
        }
        UnregisterComponent(session);
    }
    RegisterComponent(session);
    PrepareModules(config);

    const int locale = DetectLocale();
    CreateProductShortcuts(session, locale, ShortcutFolders::OfPlatform());

    GbString completion(kCompletionText);
    const std::string fontsFolder = platform::SpecialFolderPath(platform::SpecialFolder::Fonts);
    const GbString fontDirectory = session.fontDirectory.IsEmpty() ? GbString(fontsFolder) : session.fontDirectory;
    InstallFonts(session, fontDirectory, fontsFolder, completion);

    session.messageText = ClosingNotice(locale);
}

}  // namespace quillax
