// regsvr: the Linux stand-in for the system's regsvr32. It loads an in-process component
// library and calls its registration entry point:
//
//     regsvr [/s] [/u] LIBRARY        ("-s", "-u" too; options in any order and case)
//
// /u calls DllUnregisterServer instead of DllRegisterServer; /s keeps it silent, otherwise the
// outcome is printed (success on standard output, failure on standard error). The library path
// may be written in the program's form ("\" separators, GBK names, as the set-up tool passes
// it) or as a Linux path. The entry points take nothing and return an HRESULT, read as a 32-bit
// number: 0 or above is success.
//
// Exit codes follow regsvr32: 0 success, 1 bad arguments, 3 the library cannot be loaded,
// 4 it has no such entry point, 5 the entry point reported a failure.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/posix/posix_io.h"

namespace {

using RegistrationEntry = std::int32_t (*)();

bool IsOption(const std::string& word, char letter) {
    return word.size() == 2 && (word[0] == '/' || word[0] == '-') && (word[1] | 0x20) == letter;
}

int Usage() {
    std::fprintf(stderr, "usage: regsvr [/s] [/u] LIBRARY\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    bool silent = false;
    bool unregister = false;
    std::string library;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (IsOption(word, 's')) {
            silent = true;
        } else if (IsOption(word, 'u')) {
            unregister = true;
        } else if (library.empty() && !word.empty()) {
            library = word;
        } else {
            return Usage();
        }
    }
    if (library.empty()) {
        return Usage();
    }
    std::string path = quillax::platform::posix::SystemPath(library);
    if (path.empty()) {
        path = library;
    }
    // A name without "/" would be looked for in the library search path, not here.
    if (path.find('/') == std::string::npos) {
        path = "./" + path;
    }
    const char* entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";

    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        if (!silent) {
            std::fprintf(stderr, "regsvr: cannot load %s: %s\n", library.c_str(), dlerror());
        }
        return 3;
    }
    void* symbol = dlsym(handle, entryName);
    if (symbol == nullptr) {
        if (!silent) {
            std::fprintf(stderr, "regsvr: %s has no entry point %s\n", library.c_str(), entryName);
        }
        dlclose(handle);
        return 4;
    }
    RegistrationEntry entry = nullptr;
    static_assert(sizeof entry == sizeof symbol, "function and data pointers differ in size");
    std::memcpy(&entry, &symbol, sizeof entry);
    const std::int32_t result = entry();
    dlclose(handle);
    if (result < 0) {
        if (!silent) {
            std::fprintf(stderr, "regsvr: %s in %s failed (0x%08X)\n", entryName, library.c_str(),
                         static_cast<unsigned>(result));
        }
        return 5;
    }
    if (!silent) {
        std::printf("%s in %s succeeded.\n", entryName, library.c_str());
    }
    return 0;
}
