// The entry points of the Linux engine library, as the set-up tool's regsvr stand-in calls them:
// registration writes the class keys into the registry store with the library's own path, the
// engine then finds its build label through them, and unregistration removes them again.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "engine/config/configuration.h"
#include "engine/state/render_state.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/program_location.h"
#include "platform/registry.h"
#include "platform/temp_dir.h"

namespace quillax {
namespace {

using platform::RegistryRoot;
constexpr const char* kClsid = "{A9599F9D-1610-4092-99F3-B602427CC1C3}";

using EntryPoint = std::int32_t (*)();
using GetClassObject = std::int32_t (*)(const void*, const void*, void**);

std::string Text(RegistryRoot root, const std::string& key, const std::string& name) {
    const auto value = platform::ReadRegistryValue(root, key, name);
    if (!value) return "<none>";
    return value->bytes.substr(0, value->bytes.find('\0'));
}

class EngineLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        savedStore_ = platform::GetEnvironmentValue("QUILLAX_REGISTRY");
        // The library is built beside the tests: build/bin/engine_tests, build/lib/libquillax.so.
        std::string path = platform::ProgramDirectory() + "\\..\\lib\\libquillax.so";
        for (char& c : path) {
            if (c == '\\') c = '/';
        }
        if (!platform::FileExists(path)) GTEST_SKIP() << "libquillax.so is not built";
        ASSERT_FALSE(dir_.path().empty());
        ASSERT_TRUE(platform::SetEnvironmentValue("QUILLAX_REGISTRY", dir_.path() + "/registry"));
        library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
    }
    void TearDown() override {
        if (library_ != nullptr) dlclose(library_);
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", savedStore_);
    }

    template <typename Function>
    Function Entry(const char* name) {
        void* symbol = dlsym(library_, name);
        EXPECT_NE(symbol, nullptr) << name;
        return reinterpret_cast<Function>(symbol);
    }

    testing::TempDir dir_;
    std::optional<std::string> savedStore_;
    void* library_ = nullptr;
};

TEST_F(EngineLibrary, RegistersAndUnregistersTheClassWithItsOwnPath) {
    const auto registerServer = Entry<EntryPoint>("DllRegisterServer");
    const auto unregisterServer = Entry<EntryPoint>("DllUnregisterServer");
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);

    ASSERT_EQ(registerServer(), 0);
    const std::string classKey = std::string("CLSID\\") + kClsid;
    EXPECT_EQ(Text(RegistryRoot::ClassesRoot, "quillax.qlx", ""), "qlx Class");
    EXPECT_EQ(Text(RegistryRoot::ClassesRoot, "quillax.qlx\\CLSID", ""), kClsid);
    EXPECT_EQ(Text(RegistryRoot::ClassesRoot, "quillax.qlx\\CurVer", ""), "quillax.qlx");
    EXPECT_EQ(Text(RegistryRoot::ClassesRoot, classKey, ""), "qlx Class");
    EXPECT_EQ(Text(RegistryRoot::ClassesRoot, classKey + "\\ProgID", ""), "quillax.qlx");
    EXPECT_EQ(Text(RegistryRoot::ClassesRoot, classKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Text(RegistryRoot::ClassesRoot, classKey + "\\TypeLib", ""),
              "{D3BD7906-044A-402B-AD75-272F3C0A26C2}");
    EXPECT_EQ(Text(RegistryRoot::ClassesRoot, classKey + "\\Version", ""), "1.0");

    // The library's full path in the program's form, as the engine reads it back.
    const std::string server = Text(RegistryRoot::ClassesRoot, classKey + "\\InprocServer32", "");
    EXPECT_EQ(server.substr(0, 1), "\\");
    EXPECT_NE(server.find("libquillax.so"), std::string::npos) << server;
    EXPECT_EQ(server.find('/'), std::string::npos) << server;
    EXPECT_TRUE(platform::FileExists(server));
    RenderState state;
    LoadConfiguration(state);
    EXPECT_EQ(state.buildLabel.view().substr(0, 6), "Build ");

    ASSERT_EQ(unregisterServer(), 0);
    EXPECT_FALSE(platform::RegistryKeyExists(RegistryRoot::ClassesRoot, "quillax.qlx"));
    EXPECT_FALSE(platform::RegistryKeyExists(RegistryRoot::ClassesRoot, classKey));
    // Unregistering what is not registered is no failure.
    EXPECT_EQ(unregisterServer(), 0);
}

TEST_F(EngineLibrary, HasNoClassObjectAndMayAlwaysBeUnloaded) {
    const auto getClassObject = Entry<GetClassObject>("DllGetClassObject");
    const auto canUnload = Entry<EntryPoint>("DllCanUnloadNow");
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnload, nullptr);
    int marker = 0;
    void* object = &marker;
    EXPECT_EQ(static_cast<std::uint32_t>(getClassObject(nullptr, nullptr, &object)), 0x80040111u);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(canUnload(), 0);
}

}  // namespace
}  // namespace quillax
