// The engine library as the system loads it. On Windows the library is the in-process COM server
// (engine/com/win32); on Linux it carries the same version information (embedded at build time)
// so that the build label and the about text can be read from the installed file without
// running it, and it exports the same four entry points, so that the set-up tool's `regsvr`
// stand-in registers it the way regsvr32 registers the Windows library:
//  - DllRegisterServer writes the keys of the registry script resources/quillax.rgs (the one the
//    Windows library carries as its REGISTRY resource) into the Linux registry store, with this
//    library's full path as InprocServer32;
//  - DllUnregisterServer removes them again;
//  - DllGetClassObject has no class to give (there is no COM here) and DllCanUnloadNow always
//    allows unloading.
// Results are HRESULT values as 32-bit integers.
#include <dlfcn.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "textlib/product_identity.h"
#include "engine/library/registry_script.h"
#include "platform/code_page.h"

namespace quillax {

// resources/quillax.rgs, embedded by the build (registry_script.cpp.in).
extern const std::string_view kEngineRegistryScript;

namespace {

constexpr std::int32_t kResultOk = 0;
constexpr std::int32_t kClassNotAvailable = static_cast<std::int32_t>(0x80040111u);
constexpr std::int32_t kSelfRegisterClassFailed = static_cast<std::int32_t>(0x80040201u);

// The full path of this library in the program's form: GBK text, "\" between the parts.
std::string LibraryPath() {
    // Any address inside the library names it; the embedded script is one.
    Dl_info info{};
    if (dladdr(&kEngineRegistryScript, &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::string path = info.dli_fname;
    if (char* resolved = realpath(info.dli_fname, nullptr)) {
        path = resolved;
        std::free(resolved);
    }
    std::string gbk = platform::Utf8ToGbk(path);
    if (gbk.empty()) gbk = path;
    for (char& c : gbk) {
        if (c == '/') c = '\\';
    }
    return gbk;
}

std::int32_t RunScript(bool install) {
    const std::string path = LibraryPath();
    if (path.empty()) return kSelfRegisterClassFailed;
    const auto script = ParseRegistryScript(kEngineRegistryScript, {{"MODULE", path}});
    if (!script || script->empty()) return kSelfRegisterClassFailed;
    const bool done = install ? RegisterFromScript(*script) : UnregisterFromScript(*script);
    return done ? kResultOk : kSelfRegisterClassFailed;
}

}  // namespace
}  // namespace quillax

#define QUILLAX_EXPORT extern "C" __attribute__((visibility("default")))

QUILLAX_EXPORT const char* QuillaxEngineProgId() { return quillax::kEngineProgId.data(); }

QUILLAX_EXPORT std::int32_t DllRegisterServer() {
    try {
        return quillax::RunScript(true);
    } catch (...) {
        return quillax::kSelfRegisterClassFailed;
    }
}

QUILLAX_EXPORT std::int32_t DllUnregisterServer() {
    try {
        return quillax::RunScript(false);
    } catch (...) {
        return quillax::kSelfRegisterClassFailed;
    }
}

QUILLAX_EXPORT std::int32_t DllGetClassObject(const void* /*clsid*/, const void* /*iid*/,
                                              void** object) {
    if (object != nullptr) *object = nullptr;
    return quillax::kClassNotAvailable;
}

QUILLAX_EXPORT std::int32_t DllCanUnloadNow() { return quillax::kResultOk; }
