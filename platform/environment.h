// The process environment: variables, the temporary directory, and what the program runs on.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillax::platform {

// The value of an environment variable, or nothing when it is not set.
std::optional<std::string> GetEnvironmentValue(std::string_view name);
// Sets (or, with nothing, removes) an environment variable of this process; the change is
// seen by GetEnvironmentValue, by the C library's getenv and by child processes.
bool SetEnvironmentValue(std::string_view name, std::optional<std::string_view> value);

// The user's directory for temporary files, ending in a separator ("\" on Windows, "/" on
// Linux).
std::string TemporaryDirectory();

// The code page of the program's narrow text as the system sees it in file names and other
// system calls: GetACP() on Windows (936 on a Chinese system); always 936 on Linux, whose file
// layer converts GBK names itself.
int AnsiCodePage();

// Wine's version text when this Windows program runs under Wine, otherwise nothing. Wine lacks
// a few Windows services (its LCMapString does not map simplified/traditional Chinese), which
// tests must know.
std::optional<std::string> WineVersion();

}  // namespace quillax::platform
