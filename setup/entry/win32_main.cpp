// The set-up tool on Windows: a program without a window. The command line arrives without the
// program name; the run ends with the closing message box unless it is quiet.
#include <windows.h>

#include "setup/driver.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR commandLine, int /*show*/) {
    quillax::InstallOutOfMemoryHandler();
    return quillax::RunEnvoke(commandLine != nullptr ? commandLine : "", quillax::SlashOptions::AllSlashes);
}
