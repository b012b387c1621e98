// A stand-in for the engine library in the set-up tool's tests: a shared library with the two
// registration entry points, which write and delete a class registration of the same shape as
// the engine's (HKEY_CLASSES_ROOT\quillax.qlx\CLSID and CLSID\{...}\InprocServer32 naming this
// library's file) in the registry store the test points QUILLAX_REGISTRY at. Each call is also
// logged as a line "register PATH" or "unregister PATH" to the file named by
// QUILLAX_FAKE_COMPONENT_LOG, when it is set.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/registry.h"

namespace {

constexpr char kClassId[] = "{0F0E0D0C-0B0A-4909-8807-060504030201}";

std::string OwnPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnPath), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    return info.dli_fname;
}

void Log(const char* what) {
    const char* log = std::getenv("QUILLAX_FAKE_COMPONENT_LOG");
    if (log == nullptr) {
        return;
    }
    if (std::FILE* file = std::fopen(log, "a")) {
        std::fprintf(file, "%s %s\n", what, OwnPath().c_str());
        std::fclose(file);
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t DllRegisterServer() {
    using quillax::platform::RegistryRoot;
    Log("register");
    const std::string server = std::string("CLSID\\") + kClassId + "\\InprocServer32";
    const bool ok = quillax::platform::WriteRegistryString(RegistryRoot::ClassesRoot, "quillax.qlx\\CLSID", "", kClassId) &&
                    quillax::platform::WriteRegistryString(RegistryRoot::ClassesRoot, server, "", OwnPath());
    return ok ? 0 : static_cast<std::int32_t>(0x80004005u);
}

extern "C" __attribute__((visibility("default"))) std::int32_t DllUnregisterServer() {
    using quillax::platform::RegistryRoot;
    Log("unregister");
    quillax::platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, "quillax.qlx");
    quillax::platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, std::string("CLSID\\") + kClassId);
    return 0;
}
