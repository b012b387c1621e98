// The set-up tests on Linux keep the user's desktop, start menu and fonts out of reach: the XDG
// folders (data home, desktop, cache) point into a temporary directory for the whole run, and
// the locale comes from LANG alone.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/files.h"
#include "setup/setup_test_support.h"

namespace quillax {
namespace {

class XdgTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        directory_ = ::testing::TempDir() + "quillax_setup_xdg_" + std::to_string(::getpid());
        platform::MakeDirectories(directory_ + "/desktop");
        ::setenv("XDG_DATA_HOME", (directory_ + "/data").c_str(), 1);
        ::setenv("XDG_DESKTOP_DIR", (directory_ + "/desktop").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (directory_ + "/cache").c_str(), 1);
        ::unsetenv("LC_ALL");
        ::setenv("LANG", "C", 1);
    }
    void TearDown() override { testsupport::RemoveTree(directory_); }

private:
    std::string directory_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new XdgTestEnvironment);

}  // namespace
}  // namespace quillax
