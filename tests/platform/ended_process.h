// The id of a process that has run and ended, for tests of what happens when a process named
// somewhere (a lock's holder) is gone: the running test program is started again with a filter
// that matches no test, and waited for.
#pragma once

#include <cstdint>

#include "platform/process.h"
#include "platform/program_location.h"

namespace quillax::testing {

// 0 when the program could not be started.
inline std::uint32_t EndedProcessId() {
    // "--gtest_output=" keeps the run from leaving a report where the test run collects them.
    const platform::ProcessStart run = platform::StartProgram(
        platform::ProgramPath(), {"--gtest_filter=NoSuchSuite.NoSuchCase", "--gtest_output="}, true);
    return run.started && run.exitCode == 0 ? run.processId : 0;
}

}  // namespace quillax::testing
