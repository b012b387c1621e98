#include "platform/process.h"

#include <gtest/gtest.h>

#include "ended_process.h"

namespace quillax::platform {
namespace {

TEST(Process, ARunningProcessIsToldFromAnEndedOne) {
    const std::uint32_t self = CurrentProcessId();
    ASSERT_NE(self, 0u);
    EXPECT_TRUE(IsProcessRunning(self));

    // A program started and waited for has its own id, and once it has ended that id no
    // longer names a running process.
    const std::uint32_t ended = testing::EndedProcessId();
    ASSERT_NE(ended, 0u) << "the test program could not be started again";
    EXPECT_NE(ended, self);
    EXPECT_FALSE(IsProcessRunning(ended));

    // Ids no process can have: 0, and one beyond any id the systems give (on Linux it would
    // name a process group if it were taken as a signed number).
    EXPECT_FALSE(IsProcessRunning(0));
    EXPECT_FALSE(IsProcessRunning(0x7FFFFFFCu));
    EXPECT_FALSE(IsProcessRunning(0xFFFFFFFCu));
}

}  // namespace
}  // namespace quillax::platform
