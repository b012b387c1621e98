#include "textlib/config_lock.h"

#include <atomic>
#include <charconv>
#include <optional>
#include <thread>
#include <utility>

#include "platform/process.h"

namespace quillax {
namespace {

constexpr std::int64_t kTicksPerMs = 10000;  // FileTime counts 100-nanosecond intervals

std::atomic<unsigned> lockCounter{0};

platform::FileTime SystemNow() {
    using namespace std::chrono;
    const auto micros = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return platform::FileTimeFromUnixSeconds(micros / 1000000) +
           static_cast<platform::FileTime>(micros % 1000000) * 10;
}

// The process id on the first line of a lock, or nothing (an empty lock: its holder has just
// created it and not yet written, or wrote something else).
std::optional<std::uint32_t> HolderOf(std::string_view content) {
    std::uint32_t id = 0;
    const char* end = content.data() + content.size();
    const auto parsed = std::from_chars(content.data(), end, id);
    if (parsed.ec != std::errc() || parsed.ptr == content.data() || id == 0) {
        return std::nullopt;
    }
    return id;
}

// Removes the lock when it is stale. True when the lock is gone (removed here, or by its
// holder in the meantime), so that the next attempt may take it at once.
bool RemoveIfStale(const std::string& lockPath, platform::FileTime now,
                   std::chrono::milliseconds staleAge) {
    const auto content = platform::ReadWholeFile(lockPath);
    const auto times = platform::GetFileTimes(lockPath);
    if (!content || !times) {
        return !platform::PathExists(lockPath);
    }
    const auto limit = static_cast<platform::FileTime>(staleAge.count() * kTicksPerMs);
    const bool old = now > times->lastWrite && now - times->lastWrite > limit;
    const auto holder = HolderOf(*content);
    const bool holderEnded = holder && !platform::IsProcessRunning(*holder);
    if (!old && !holderEnded) {
        return false;
    }
    // Another waiter may have removed the same stale lock and taken a new one since: only the
    // lock that was judged is removed.
    if (platform::ReadWholeFile(lockPath) != content) {
        return false;
    }
    return platform::RemoveFile(lockPath);
}

}  // namespace

std::string ConfigLockPath(std::string_view configFile) {
    return std::string(configFile) + ".lock";
}

ConfigFileLock::ConfigFileLock(std::string_view configFile, ConfigLockTiming timing)
    : lockPath_(ConfigLockPath(configFile)) {
    const auto now = timing.now ? std::move(timing.now) : SystemNow;
    const auto pause = timing.pause ? std::move(timing.pause) : [](std::chrono::milliseconds ms) {
        std::this_thread::sleep_for(ms);
    };
    // The process id, then a number of this process's own, so that two holders of one process
    // (threads) never take each other's lock for theirs.
    content_ = std::to_string(platform::CurrentProcessId()) + "\r\n" +
               std::to_string(lockCounter.fetch_add(1)) + "\r\n";

    const platform::FileTime deadline =
        now() + static_cast<platform::FileTime>(timing.waitLimit.count() * kTicksPerMs);
    for (;;) {
        const platform::NewFileResult created = platform::CreateNewFile(lockPath_, content_);
        if (created == platform::NewFileResult::Created) {
            held_ = true;
            return;
        }
        if (created == platform::NewFileResult::Failed && !platform::PathExists(lockPath_)) {
            return;  // no lock can be made here: the write goes on without it
        }
        const bool gone = RemoveIfStale(lockPath_, now(), timing.staleAge);
        if (now() >= deadline) {
            return;  // waited long enough: the write goes on without the lock
        }
        if (!gone) {
            pause(timing.pollInterval);
        }
    }
}

ConfigFileLock::~ConfigFileLock() {
    if (held_ && platform::ReadWholeFile(lockPath_) == content_) {
        platform::RemoveFile(lockPath_);
    }
}

}  // namespace quillax
