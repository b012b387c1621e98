// Processes on Windows: CreateProcess, the Tool Help snapshot, process handles and a
// delete-on-close handle.
#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "platform/process.h"

namespace quillax::platform {
namespace {

// One argument as the C runtime's command-line parser reads it back: quoted when it holds a
// blank, a tab or a quote, with backslashes doubled in front of quotes.
std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        return argument;
    }
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
        } else if (c == '"') {
            // The backslashes in front of a quote are doubled and the quote escaped.
            out.append(backslashes + 1, '\\');
            backslashes = 0;
        } else {
            backslashes = 0;
        }
        out += c;
    }
    // Backslashes in front of the closing quote are doubled too.
    out.append(backslashes, '\\');
    out += '"';
    return out;
}

bool EqualsNoCase(const char* a, const std::string& b) {
    return lstrcmpiA(a, b.c_str()) == 0;
}

}  // namespace

ProcessStart StartProgram(std::string_view program, const std::vector<std::string>& arguments,
                          bool waitForExit) {
    ProcessStart result;
    const std::string path(program);
    std::string commandLine = "\"" + path + "\"";
    for (const std::string& argument : arguments) {
        commandLine += ' ';
        commandLine += QuoteArgument(argument);
    }
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(path.c_str(), writable.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
        result.errorCode = GetLastError();
        return result;
    }
    result.started = true;
    result.processId = info.dwProcessId;
    if (waitForExit) {
        WaitForSingleObject(info.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        result.exitCode = static_cast<int>(code);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return result;
}

std::optional<std::uint32_t> FindProcessByName(std::string_view name) {
    const std::string wanted(name);
    if (wanted.empty()) {
        return std::nullopt;
    }
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::optional<std::uint32_t> found;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID != self && EqualsNoCase(entry.szExeFile, wanted)) {
            found = entry.th32ProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    return found;
}

std::uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

bool IsProcessRunning(std::uint32_t processId) {
    if (processId == 0) {
        return false;
    }
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) {
        // A process of another user or of the system exists but may not be opened.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    // The handle of an ended process stays valid while anyone holds one; it is signalled.
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

bool TerminateProcessById(std::uint32_t processId, int exitCode) {
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
    if (process == nullptr) {
        return false;
    }
    const bool ended = TerminateProcess(process, static_cast<UINT>(exitCode)) != 0;
    CloseHandle(process);
    return ended;
}

bool CopyProgramFile(std::string_view from, std::string_view to) {
    const std::string source(from);
    const std::string target(to);
    return CopyFileA(source.c_str(), target.c_str(), TRUE) != 0;
}

bool DeleteFileWhenProcessEnds(std::string_view path) {
    const std::string name(path);
    // The handle is left open on purpose: the system closes it when the process ends, and the
    // file goes once the last user of it (a program started from it) has closed it too.
    HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    return handle != INVALID_HANDLE_VALUE;
}

}  // namespace quillax::platform
