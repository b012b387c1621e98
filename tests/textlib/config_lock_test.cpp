// The lock of bible.ini: one holder at a time, stale locks taken over, a bounded wait.
#include "textlib/config_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/ended_process.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/temp_dir.h"

namespace quillax {
namespace {

using std::chrono::milliseconds;

constexpr platform::FileTime kTicksPerMs = 10000;

// A clock of the test's own: it starts at a given time and moves on only when the lock pauses,
// so the waits of seconds cost no time and their length is known exactly.
class FakeClock {
public:
    explicit FakeClock(platform::FileTime start) : time_(start) {}

    ConfigLockTiming Timing() {
        ConfigLockTiming timing;
        timing.now = [this] { return time_; };
        timing.pause = [this](milliseconds ms) {
            time_ += static_cast<platform::FileTime>(ms.count()) * kTicksPerMs;
            paused_ += ms;
        };
        return timing;
    }
    milliseconds paused() const { return paused_; }

private:
    platform::FileTime time_;
    milliseconds paused_{0};
};

// The last-write time of a file: lock files judged by a fake clock are compared with it.
platform::FileTime WrittenAt(const std::string& path) {
    const auto times = platform::GetFileTimes(path);
    return times ? times->lastWrite : 0;
}

std::string OwnHolder() { return std::to_string(platform::CurrentProcessId()) + "\r\n"; }

class ConfigLockTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }

    testing::TempDir dir_;
    std::string ini_ = dir_ / "bible.ini";
    std::string lock_ = dir_ / "bible.ini.lock";
};

TEST_F(ConfigLockTest, OneHolderAtATimeAndTheLockGoesWithIt) {
    EXPECT_EQ(ConfigLockPath(ini_), lock_);
    {
        const ConfigFileLock first(ini_);
        ASSERT_TRUE(first.held());
        const auto content = platform::ReadWholeFile(lock_);
        ASSERT_TRUE(content.has_value());
        EXPECT_EQ(content->rfind(OwnHolder(), 0), 0u) << *content;  // the holder's id first

        // A second writer waits five seconds by its clock, then goes on without the lock and
        // leaves the holder's lock as it was.
        FakeClock clock(WrittenAt(lock_));
        {
            const ConfigFileLock second(ini_, clock.Timing());
            EXPECT_FALSE(second.held());
        }
        EXPECT_GE(clock.paused(), milliseconds(kConfigLockWaitMs));
        EXPECT_LT(clock.paused(), milliseconds(kConfigLockWaitMs + kConfigLockPollMs));
        EXPECT_EQ(platform::ReadWholeFile(lock_), content);
    }
    EXPECT_FALSE(platform::PathExists(lock_));

    // Free again: taken at once.
    FakeClock clock(0);
    {
        const ConfigFileLock third(ini_, clock.Timing());
        EXPECT_TRUE(third.held());
    }
    EXPECT_EQ(clock.paused(), milliseconds(0));
    EXPECT_FALSE(platform::PathExists(lock_));
}

TEST_F(ConfigLockTest, AWaiterTakesTheLockOnceItsHolderLetsGo) {
    std::atomic<bool> ready{false};
    std::atomic<bool> taken{false};
    std::thread holder([this, &ready, &taken] {
        const ConfigFileLock lock(ini_);
        taken = lock.held();
        ready = true;
        std::this_thread::sleep_for(milliseconds(150));
    });
    while (!ready) {
        std::this_thread::yield();
    }
    const auto start = std::chrono::steady_clock::now();
    {
        const ConfigFileLock waiter(ini_);
        EXPECT_TRUE(waiter.held());
        EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(kConfigLockWaitMs));
    }
    holder.join();
    EXPECT_TRUE(taken);
    EXPECT_FALSE(platform::PathExists(lock_));
}

TEST_F(ConfigLockTest, StaleLocksAreTakenOver) {
    // A live holder's lock becomes stale ten seconds after it was written: a writer that comes
    // nine seconds after waits one second and takes it.
    ASSERT_TRUE(platform::WriteWholeFile(lock_, OwnHolder()));
    {
        FakeClock clock(WrittenAt(lock_) + 9000 * kTicksPerMs);
        const ConfigFileLock late(ini_, clock.Timing());
        EXPECT_TRUE(late.held());
        EXPECT_GE(clock.paused(), milliseconds(kConfigLockStaleMs - 9000));
        EXPECT_LE(clock.paused(), milliseconds(kConfigLockStaleMs - 9000 + 2 * kConfigLockPollMs));
        EXPECT_NE(platform::ReadWholeFile(lock_), OwnHolder());  // its own lock now
    }
    EXPECT_FALSE(platform::PathExists(lock_));

    // The lock of a holder that has ended is stale at once, however young.
    const std::uint32_t ended = testing::EndedProcessId();
    ASSERT_NE(ended, 0u);
    ASSERT_TRUE(platform::WriteWholeFile(lock_, std::to_string(ended) + "\r\n"));
    {
        FakeClock clock(WrittenAt(lock_));
        const ConfigFileLock next(ini_, clock.Timing());
        EXPECT_TRUE(next.held());
        EXPECT_EQ(clock.paused(), milliseconds(0));
    }
    EXPECT_FALSE(platform::PathExists(lock_));

    // An empty lock (its holder has created it and not yet written its id) is only stale by
    // age: a young one is waited for and left alone.
    ASSERT_TRUE(platform::WriteWholeFile(lock_, ""));
    {
        FakeClock clock(WrittenAt(lock_));
        const ConfigFileLock waiting(ini_, clock.Timing());
        EXPECT_FALSE(waiting.held());
        EXPECT_GE(clock.paused(), milliseconds(kConfigLockWaitMs));
    }
    EXPECT_EQ(platform::ReadWholeFile(lock_), std::string());
}

TEST_F(ConfigLockTest, AHolderNeverRemovesALockThatIsNoLongerItsOwn) {
    {
        const ConfigFileLock slow(ini_);
        ASSERT_TRUE(slow.held());
        // It held the lock so long that another writer took it over as stale.
        ASSERT_TRUE(platform::RemoveFile(lock_));
        ASSERT_EQ(platform::CreateNewFile(lock_, "4242\r\n7\r\n"), platform::NewFileResult::Created);
    }
    EXPECT_EQ(platform::ReadWholeFile(lock_), std::string("4242\r\n7\r\n"));
}

TEST_F(ConfigLockTest, WhereNoLockCanBeMadeTheWriteGoesOnAtOnce) {
    FakeClock clock(0);
    const ConfigFileLock lock(dir_ / "missing\\bible.ini", clock.Timing());
    EXPECT_FALSE(lock.held());
    EXPECT_EQ(clock.paused(), milliseconds(0));
    EXPECT_FALSE(platform::PathExists(dir_ / "missing"));
}

}  // namespace
}  // namespace quillax
