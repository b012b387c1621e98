// The lock that every program writing bible.ini holds around its read-modify-write of the file:
// the engine writing a setting, the set-up tool adding an imported module, the updater merging
// a downloaded bible.ini. Each of them reads the whole file, changes it and renames a new file
// over it; two of them at the same moment would otherwise each write its own change over the
// other's.
//
// The lock is a file beside the configuration file, with ".lock" appended to its name
// ("cfg\bible.ini.lock"). Taking it creates that file exclusively (only one of several
// programs trying at once succeeds), with the holder's process id on its first line; releasing
// it deletes the file once the new configuration file has been renamed into place. A lock is
// stale, and is removed by the next program that wants it, when its last-write time lies more
// than kConfigLockStaleMs in the past or when the process it names has ended (a holder that
// crashed or was killed).
//
// The lock is advisory and never stops a write: a program waits for it at most
// kConfigLockWaitMs and then writes without it, as a program that does not know the lock
// always does; so does a program that cannot create the lock file at all (a read-only
// directory), at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace quillax {

inline constexpr int kConfigLockWaitMs = 5000;    // the longest wait for another holder
inline constexpr int kConfigLockStaleMs = 10000;  // a lock older than this is stale
inline constexpr int kConfigLockPollMs = 20;      // pause between two attempts

// The name of the lock file of a configuration file.
std::string ConfigLockPath(std::string_view configFile);

// How the lock is waited for. Tests give short limits, or a clock of their own whose pause
// moves it on, so that no test sleeps for seconds.
struct ConfigLockTiming {
    std::chrono::milliseconds waitLimit{kConfigLockWaitMs};
    std::chrono::milliseconds staleAge{kConfigLockStaleMs};
    std::chrono::milliseconds pollInterval{kConfigLockPollMs};
    // The wall clock, compared with the lock file's last-write time; empty: the system clock.
    std::function<platform::FileTime()> now;
    // Waits between two attempts; empty: the calling thread sleeps.
    std::function<void(std::chrono::milliseconds)> pause;
};

// Takes the lock of a configuration file for the lifetime of the object (see above). held()
// tells whether it was taken; either way the caller goes on with its write.
class ConfigFileLock {
public:
    explicit ConfigFileLock(std::string_view configFile, ConfigLockTiming timing = {});
    ~ConfigFileLock();
    ConfigFileLock(const ConfigFileLock&) = delete;
    ConfigFileLock& operator=(const ConfigFileLock&) = delete;

    bool held() const { return held_; }

private:
    std::string lockPath_;
    std::string content_;  // what this holder wrote, so that it never deletes another's lock
    bool held_ = false;
};

}  // namespace quillax
