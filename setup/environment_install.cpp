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

platform::ProcessStart RunRegistrationTool(const SetupSession& session, std::vector<std::string> arguments) {
    return platform::StartProgram(
        platform::RegistrationToolPath(session.systemDirectory, session.configDirectory), arguments, true);
}

}  // namespace

void RegisterComponent(const SetupSession& session) {
    RunRegistrationTool(session, {"/s", (session.configDirectory + "quillax.dll").str()});
}

Unregistration UnregisterComponent(const SetupSession& session) {
    using platform::RegistryRoot;
    Unregistration result;
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
