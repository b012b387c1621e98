// The engine library as the system loads it. On Windows the library is the in-process COM server;
// on Linux it carries the same version information (embedded at build time) so that the build
// label and the about text can be read from the installed file without running it.
#include "engine/identity.h"

extern "C" __attribute__((visibility("default"))) const char* QuillaxEngineProgId() {
    return quillax::kEngineProgId.data();
}
