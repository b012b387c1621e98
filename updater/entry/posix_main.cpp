// cvupdate on Linux: the updater with a console front.
//
//   cvupdate [--yes] [--check] [product version manifest-url]
//
// Without words the installation is found through the registry store (or the working
// directory), as the Windows program finds it. --yes answers every question with yes (for
// scripts); --check lists what needs updating and installs nothing. Without --yes a question
// that gets no input (a script) is answered no. The interrupt key (Ctrl+C, SIGINT) is the
// dialog's Cancel: the running pass stops at the next read of a download or before the next
// entry, and the program ends; a second interrupt ends it at once.
#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/http.h"
#include "platform/process.h"
#include "platform/program_location.h"
#include "updater/console_front.h"
#include "updater/startup.h"
#include "updater/texts.h"
#include "updater/update_flow.h"

namespace {

using namespace quillax;

std::string ToConsole(std::string_view gbk) { return platform::GbkToUtf8(gbk); }

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

// The first interrupt asks the pass to stop; the handler then gives way to the default one.
void CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // no restart: an interrupted question gets no answer
    sigaction(SIGINT, &action, nullptr);
}

void PrintUsage() {
    std::cout << ToConsole("用法: cvupdate [--yes] [--check] [产品名 版本 版本文件URL]\n"
                           "  --yes    所有提问均回答“是”\n"
                           "  --check  只列出需要更新的文件，不安装\n");
}

int Run(int argc, char** argv) {
    ConsoleOptions options;
    std::vector<std::string> passOn;  // front options, handed to a relaunched copy
    std::string commandLine;
    bool firstWord = true;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--yes" || argument == "-y") {
            options.assumeYes = true;
            passOn.push_back(argument);
        } else if (argument == "--check") {
            options.checkOnly = true;
            passOn.push_back(argument);
        } else if (argument == "--help" || argument == "-h") {
            PrintUsage();
            return 0;
        } else {
            // The words are rejoined into one command-line text and split the program's way.
            if (!firstWord) {
                commandLine += ' ';
            }
            commandLine += platform::Utf8ToGbk(argument);
            firstWord = false;
        }
    }
    options.progressBar = isatty(STDOUT_FILENO) != 0;
    ConsoleFront front(std::cout, std::cerr, std::cin, options, &ToConsole);

    std::string networkError;
    if (!platform::StartNetwork(&networkError)) {
        front.ShowMessage(updater_text::kMessageSocketsFailed, MessageIcon::Stop);
        return 0;
    }

    const StartupSettings settings = ReadStartupSettings(commandLine, platform::CurrentDirectory());
    const std::string executable = platform::ProgramPath();
    const GbString ownDir = DirectoryWithSeparator(executable);
    if (!settings.installDir.IsEmpty() &&
        RunsFromUpdateDirectory(ownDir.view(), settings.installDir.view())) {
        std::uint32_t errorCode = 0;
        // The console program waits for its copy, so that the shell gets its prompt back only
        // when the update is over.
        if (!RelaunchFromInstallation(executable, settings.installDir.view(), passOn, true, &errorCode)) {
            char line[64];
            std::snprintf(line, sizeof line, updater_text::kRelaunchErrorFormat, static_cast<int>(errorCode));
            std::cout << ToConsole(line) << std::endl;
        }
        return 0;
    }

    FlowSetup setup = PrepareFlowSetup(settings);
    if (!setup.url.http) {
        front.ShowMessage(updater_text::kMessageBadUrl, MessageIcon::Stop);
        return 0;
    }
    // Downloads go to the "update" directory just made in the working directory. The Windows
    // program keeps them beside itself; a Linux program usually lies in a directory it may not
    // write to, and after the relaunch both are the installation directory anyway.
    GbString workingDir(platform::CurrentDirectory());
    workingDir.Append("/");
    setup.ownDir = workingDir;
    setup.userAgent = GbString(std::string_view(executable).substr(ownDir.size()));
    UpdateFlow flow(front, setup);
    front.cancelSource = [] { return interrupted != 0; };
    CatchInterrupt();
    RunConsoleSession(flow, front, options);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "cvupdate: " << error.what() << std::endl;
    } catch (...) {
        std::cerr << "cvupdate: unexpected failure" << std::endl;
    }
    return 1;
}
