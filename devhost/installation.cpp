#include "devhost/installation.h"

#include <chrono>
#include <cstdio>
#include <random>

#include "engine/config/configuration.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/program_location.h"
#include "setup/module_index.h"
#include "textlib/config_text.h"
#include "textlib/product_identity.h"

namespace quillax {

namespace {

// The class registration of the engine library built beside the tool, so that the build label
// and about text show.
void RegisterEngineLibrary() {
    using platform::RegistryRoot;
    const std::string library = platform::ProgramDirectory() + "/../lib/libquillax.so";
    if (!platform::FileExists(library)) return;
    platform::WriteRegistryString(RegistryRoot::ClassesRoot, kEngineProgIdClassKey, "",
                                  kEngineClassId);
    platform::WriteRegistryString(RegistryRoot::ClassesRoot,
                                  "CLSID\\" + std::string(kEngineClassId) + "\\InprocServer32",
                                  "", library);
}

// The index of a module below the configuration directory exists when its text does.
bool IndexMissing(const GbString& configDir, std::string_view name) {
    const GbString base = configDir + name;
    return platform::FileExists(base + ".txt") && !platform::FileExists(base + ".inx");
}

}  // namespace

RunRegistry::RunRegistry(std::string_view program, std::string_view configDir,
                         EngineClass engineClass) {
    using platform::RegistryRoot;
    if (!platform::GetEnvironmentValue("QUILLAX_REGISTRY")) {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        std::random_device entropy;
        // In memory where the system has such a folder: the store lives for one run only,
        // and a store on a disk would be flushed to it on every write.
        const std::string folder = platform::DirectoryExists("/dev/shm")
                                       ? std::string("/dev/shm/")
                                       : platform::TemporaryDirectory();
        privateStore_ = folder + std::string(program) + "-" + std::to_string(entropy()) + "-" +
                        std::to_string(stamp) + ".registry";
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", privateStore_);
    }
    if (!privateStore_.empty() || engineClass == EngineClass::AnyStore) RegisterEngineLibrary();
    previous_ = platform::ReadRegistryValue(RegistryRoot::CurrentUser, kInstallationKey, "");
    written_ = platform::WriteRegistryString(RegistryRoot::CurrentUser, kInstallationKey, "",
                                             configDir);
}

RunRegistry::~RunRegistry() {
    using platform::RegistryRoot;
    if (previous_) {
        std::string bytes = previous_->bytes;
        if (previous_->type == platform::RegistryType::String) {
            bytes = bytes.substr(0, bytes.find('\0'));
            platform::WriteRegistryString(RegistryRoot::CurrentUser, kInstallationKey, "", bytes);
        } else {
            platform::WriteRegistryBinary(RegistryRoot::CurrentUser, kInstallationKey, "", bytes);
        }
    } else if (written_) {
        platform::DeleteRegistryValue(RegistryRoot::CurrentUser, kInstallationKey, "");
    }
    if (!privateStore_.empty()) {
        platform::RemoveFile(privateStore_);
        platform::RemoveFile(privateStore_ + ".lock");
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", std::nullopt);
    }
}

GbString ConfigDirectory(const GbString& installDir) {
    GbString base = installDir;
    while (base.Length() > 1 && (base.view().back() == '/' || base.view().back() == '\\')) {
        base.SetLength(base.Length() - 1);
    }
    if (base.IsEmpty()) base = GbString(".");
    const GbString cfg = base + "\\cfg\\";
    const GbString self = base + "\\";
    if (!platform::FileExists(cfg + "bible.ini") && platform::FileExists(self + "bible.ini")) {
        return self;
    }
    return cfg;
}

bool IndexParallelModules(const GbString& configDir, const GbList& parallelModules) {
    bool built = false;
    for (int i = 0; i < parallelModules.Count(); ++i) {
        const GbString& name = parallelModules[i];
        if (!name.IsEmpty() && IndexMissing(configDir, name.view())) {
            built = BuildModuleIndex(configDir.view(), name.view(), false, ":=") || built;
        }
    }
    return built;
}

bool PrepareIndexes(const GbString& configDir, const GbList& parallelModules) {
    bool missing = !platform::FileExists(configDir + "sys\\corpa.txt");
    for (const ModuleTableRow& row : ModuleTable) missing = missing || IndexMissing(configDir, row.name);
    bool built = false;
    if (missing) {
        std::fputs("quillax-cli: building the module indexes\n", stderr);
        PrepareModules(configDir.view());
        built = true;
    }
    return IndexParallelModules(configDir, parallelModules) || built;
}

bool LoadInstallation(const GbString& installDir, RenderState& state) {
    const GbString configDir = ConfigDirectory(installDir);
    {
        RunRegistry registry("quillax-cli", configDir.view(), RunRegistry::EngineClass::PrivateStoreOnly);
        if (!registry.Written()) {
            std::fputs("quillax-cli: could not write the registry value HKEY_CURRENT_USER\\"
                       "Software\\quillax\n", stderr);
        }
        LoadConfiguration(state);
    }
    if (state.configText.IsEmpty() && !platform::FileExists(configDir + "bible.ini")) {
        const std::string where = platform::GbkToUtf8(configDir);
        std::fprintf(stderr, "quillax-cli: no bible.ini in %s\n", where.c_str());
        return false;
    }
    return true;
}

bool LoadInstallationWithIndexes(const GbString& installDir, RenderState& state) {
    const GbString configDir = ConfigDirectory(installDir);
    const GbString configText = ReadConfigFile((configDir + "bible.ini").view());
    if (!configText.IsEmpty()) PrepareIndexes(configDir, ReadConfigList(configText, "EQUATEFILE="));
    return LoadInstallation(installDir, state);
}

}  // namespace quillax
