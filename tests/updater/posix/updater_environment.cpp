// The updater tests on Linux use a registry store of their own, so they never touch the user's
// real store (the programs they start inherit it).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/files.h"
#include "updater/updater_test_support.h"

namespace quillax {
namespace {

class UpdaterTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        directory_ = ::testing::TempDir() + "quillax_updater_registry_" + std::to_string(::getpid());
        platform::MakeDirectories(directory_);
        ::setenv("QUILLAX_REGISTRY", (directory_ + "/registry").c_str(), 1);
    }
    void TearDown() override { testing::RemoveTree(directory_); }

private:
    std::string directory_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new UpdaterTestEnvironment);

}  // namespace
}  // namespace quillax
