#include "setup/shortcuts.h"

#include "platform/files.h"
#include "platform/program_location.h"
#include "platform/shell.h"
#include "setup/locale_table.h"
#include "setup/path_text.h"

namespace quillax {

void CreateShortcut(std::string_view target, std::string_view link, std::string_view icon,
                    int iconIndex, std::string_view description, std::uint16_t hotKey,
                    std::string_view arguments) {
    platform::ShellLink shellLink;
    shellLink.target.assign(target);
    shellLink.description.assign(description);
    shellLink.hotKey = hotKey;
    shellLink.arguments.assign(arguments);
    if (!icon.empty()) {
        shellLink.iconPath.assign(icon);
        shellLink.iconIndex = iconIndex;
    }
    // Only the link's own directory is made, not the folders above it.
    const GbString linkDirectory = DirectoryPart(link);
    if (!linkDirectory.IsEmpty() && !platform::DirectoryExists(linkDirectory)) {
        const GbString above = DirectoryPart(linkDirectory);
        if (above.IsEmpty() || platform::DirectoryExists(above)) {
            platform::MakeDirectories(linkDirectory);
        }
    }
    shellLink.workingDirectory = DirectoryPart(target).str();
    platform::CreateShellLink(link, shellLink);
}

ShortcutFolders ShortcutFolders::OfPlatform(platform::MissingFolder missing) {
    ShortcutFolders folders;
    folders.programs = platform::SpecialFolderPath(platform::SpecialFolder::Programs, missing);
    folders.desktop = platform::SpecialFolderPath(platform::SpecialFolder::Desktop);
    return folders;
}

GbString UninstallProgram(const SetupSession& session) {
    const GbString installed = session.configDirectory + platform::ProgramFileName("Envoke.exe");
    if (platform::FileExists(installed)) {
        return installed;
    }
    const std::string running = platform::ProgramPath();
    return running.empty() ? installed : GbString(running);
}

void CreateProductShortcuts(const SetupSession& session, int locale, const ShortcutFolders& folders) {
    const LocaleTexts& texts = LocaleTable(locale);
    // Without a start menu (a Linux account without a home) there is nowhere to put them.
    const bool chinese = (locale == kLocaleSimplified || locale == kLocaleTraditional) &&
                         !folders.programs.IsEmpty();
    const GbString& config = session.configDirectory;
    const GbString root = InstallationRoot(session);
    const GbString folder = folders.programs + "\\" + texts.productName + "\\";
    const GbString mainLink = folder + texts.productName + ".lnk";

    if (chinese) {
        CreateShortcut(root + texts.helpBaseName + ".chm", mainLink, config + "envoke.exe", 0,
                       texts.productName, kMainHotKey, "");
    }
    // The desktop gets a copy of the main shortcut; one that is there already stays.
    if (!folders.desktop.IsEmpty() && !folders.programs.IsEmpty()) {
        const GbString desktopLink = folders.desktop + "\\" + texts.productName + ".lnk";
        platform::CopyFileTo(platform::ShellLinkFile(mainLink), platform::ShellLinkFile(desktopLink), true);
    }
    if (chinese) {
        CreateShortcut(root + "update\\" + platform::ProgramFileName("cvupdate.exe"),
                       folder + texts.updateShortcutName + ".lnk", "", 0, texts.updateShortcutName, 0, "");
        const GbString uninstaller = UninstallProgram(session);
        CreateShortcut(uninstaller,
                       folders.programs + "\\" + texts.productName + "\\" + texts.uninstallShortcutName + ".lnk",
                       uninstaller, 1, texts.uninstallShortcutName, 0, "-uninstall");
    }
}

}  // namespace quillax
