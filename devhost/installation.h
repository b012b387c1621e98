// Setting up an installation for the development tools (quillax-cli and quillax-devhost): the
// registry value through which the engine finds its configuration, the class registration of
// the engine library built beside the tool, and the module indexes that a copied installation
// may still lack.
//
// The engine finds its configuration directory in the registry value
// HKEY_CURRENT_USER\Software\quillax (default). Unless QUILLAX_REGISTRY names a store, the Linux
// registry stand-in of a run is a private file in /dev/shm (or, without it, the temporary
// directory), removed at the end, so the user's own store is never touched.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/state/render_state.h"
#include "platform/registry.h"
#include "textlib/gb_list.h"
#include "textlib/gb_string.h"

namespace quillax {

// Writes the configuration directory into the registry for the lifetime of the object and puts
// back what was there before.
class RunRegistry {
public:
    // Whether the engine library's class is registered in a store the user named, too (a
    // private store always gets it).
    enum class EngineClass { PrivateStoreOnly, AnyStore };

    // program names the private store ("quillax-cli-..."); configDir ends in "\".
    RunRegistry(std::string_view program, std::string_view configDir, EngineClass engineClass);
    ~RunRegistry();
    RunRegistry(const RunRegistry&) = delete;
    RunRegistry& operator=(const RunRegistry&) = delete;

    bool Written() const { return written_; }

private:
    std::string privateStore_;
    std::optional<platform::RegistryValue> previous_;
    bool written_ = false;
};

// The configuration directory of an installation, ending in "\": INSTALL_DIR\cfg\, or
// INSTALL_DIR\ itself when it holds bible.ini and has no cfg\bible.ini.
GbString ConfigDirectory(const GbString& installDir);

// Builds the index of each parallel version (EQUATEFILE) of the configuration directory that
// has none yet, as the import does in a real installation. True when it built any.
bool IndexParallelModules(const GbString& configDir, const GbList& parallelModules);

// Builds the module indexes of an installation that has none yet, as the set-up tool does when
// it installs: the main text and the modules of its table, then the parallel versions. True
// when it built any.
bool PrepareIndexes(const GbString& configDir, const GbList& parallelModules);

// Loads the installation into state as the engine library does when it is loaded, with the
// registry value pointing at it for the length of the load. False (with a message on standard
// error) when it has no bible.ini.
bool LoadInstallation(const GbString& installDir, RenderState& state);

// The same after building its missing indexes, so that the engine's state never sees the
// installation without them. The parallel versions are read from bible.ini directly.
bool LoadInstallationWithIndexes(const GbString& installDir, RenderState& state);

}  // namespace quillax
