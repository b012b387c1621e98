// The set-up tests on Linux use a registry store of their own and no system directory, so they
// never touch the user's real store.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/files.h"
#include "setup/setup_test_support.h"

namespace quillax {
namespace {

class SetupTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        directory_ = ::testing::TempDir() + "quillax_setup_registry_" + std::to_string(::getpid());
        platform::MakeDirectories(directory_);
        ::setenv("QUILLAX_REGISTRY", (directory_ + "/registry").c_str(), 1);
        ::unsetenv("QUILLAX_SYSTEM_DIR");
        ::unsetenv("QUILLAX_MESSAGE_ANSWER");
    }
    void TearDown() override {
        testsupport::RemoveTree(directory_);
    }

private:
    std::string directory_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new SetupTestEnvironment);

}  // namespace
}  // namespace quillax
