// cvupdate.exe: the updater as a Windows dialog program.
//
//   cvupdate [product version manifest-url]
//   cvupdate -mergeini LOCAL SHIPPED      (the installer's upgrade: see RunInstallerMerge)
//
// Started without words (the updater shortcut), it finds the installation through the registry
// and its bible.ini; started from the installation's "update" directory it hands over to a copy
// of itself in the installation directory, which removes itself when it ends, so that the
// program in "update" can be replaced by an update. Otherwise it shows the update dialog.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/http.h"
#include "platform/program_location.h"
#include "platform/shell.h"
#include "updater/bible_ini_merge.h"
#include "updater/startup.h"
#include "updater/texts.h"
#include "updater/update_flow.h"
#include "updater/win32/resource_ids.h"
#include "updater/win32/update_dialog.h"

namespace {

using namespace quillax;

// The text of a string resource, in the ANSI code page; `fallback` when it is missing.
std::string ResourceText(HINSTANCE instance, UINT id, const char* fallback) {
    char buffer[512];
    const int length = LoadStringA(instance, id, buffer, static_cast<int>(sizeof buffer));
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string(fallback);
}

// The executable's base name: the program's name as the internet session's user agent.
GbString ProgramBaseName(const std::string& executable, const GbString& ownDir) {
    std::string name = executable.substr(ownDir.size());
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return GbString(name);
}

// The start-menu shortcut to the help file, written through the shell-link object. The folder
// is not created here; failures are not reported.
void WriteHelpShortcut(const HelpShortcut& shortcut) {
    const std::string programs = platform::SpecialFolderPath(platform::SpecialFolder::Programs);
    if (programs.empty()) {
        return;
    }
    platform::ShellLink link;
    link.target = shortcut.target.str();
    link.workingDirectory = shortcut.workingDirectory.str();
    link.description = shortcut.description.str();
    link.iconPath = shortcut.iconFile.str();
    link.iconIndex = shortcut.iconIndex;
    link.hotKey = shortcut.hotKey;
    platform::CreateShellLink(programs + "\\" + shortcut.linkPath.str(), link);
}

int Run(HINSTANCE instance, const char* commandLine) {
    if (RunInstallerMerge(commandLine != nullptr ? commandLine : "")) {
        return 0;
    }
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);

    if (!platform::StartNetwork()) {
        win32::ShowProgramMessage(
            nullptr, ResourceText(instance, IDS_SOCKETS_FAILED, updater_text::kMessageSocketsFailed),
            MessageIcon::None);
        return 0;
    }

    const StartupSettings settings =
        ReadStartupSettings(commandLine != nullptr ? commandLine : "", platform::CurrentDirectory());
    const std::string executable = platform::ProgramPath();
    const GbString ownDir = DirectoryWithSeparator(executable);
    if (!settings.installDir.IsEmpty() &&
        RunsFromUpdateDirectory(ownDir.view(), settings.installDir.view())) {
        // The copy runs without words; this program waits a moment and ends.
        std::uint32_t errorCode = 0;
        if (!RelaunchFromInstallation(executable, settings.installDir.view(), {}, false, &errorCode)) {
            std::printf(updater_text::kRelaunchErrorFormat, static_cast<int>(errorCode));
            std::fflush(stdout);
        }
        return 0;
    }

    FlowSetup setup = PrepareFlowSetup(settings);
    if (!setup.url.http) {
        win32::ShowProgramMessage(nullptr, updater_text::kMessageBadUrl, MessageIcon::Stop);
        return 0;
    }
    setup.ownDir = ownDir;
    setup.userAgent = ProgramBaseName(executable, ownDir);

    win32::UpdateDialog dialog(instance, [&setup](win32::DialogFront& front) {
        auto flow = std::make_unique<UpdateFlow>(front, setup);
        flow->Core().createHelpShortcut = &WriteHelpShortcut;
        return flow;
    });
    dialog.Run();
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    try {
        return Run(instance, commandLine);
    } catch (...) {
        return 1;
    }
}
