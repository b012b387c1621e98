// The library module and its four exports: DllGetClassObject, DllCanUnloadNow,
// DllRegisterServer and DllUnregisterServer (see module.h).
#include "engine/com/win32/module.h"

#include <windows.h>
#include <olectl.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/com/win32/class_factory.h"
#include "engine/com/win32/com_ptr.h"
#include "engine/com/win32/desktop_win32.h"
#include "engine/com/win32/identity_win32.h"
#include "engine/com/win32/info_view.h"
#include "engine/com/win32/thread_timers.h"
#include "engine/config/configuration.h"
#include "engine/library/registry_script.h"
#include "engine/popup/wheel_song.h"
#include "engine/state/render_state.h"
#include "platform/registry.h"

namespace quillax::win32 {
namespace {

HINSTANCE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;
bool g_engineStarted = false;
ITypeInfo* g_typeInfo = nullptr;
// The song of the wheel popup; made with the engine, destroyed once no object is left (its
// player's thread must be stopped outside the loader lock, so never at unload itself).
quillax::WheelSong* g_wheelSong = nullptr;

// Where the type library is registered (below HKEY_CLASSES_ROOT).
constexpr char kTypeLibKey[] = "TypeLib\\{D3BD7906-044A-402B-AD75-272F3C0A26C2}";
// The interface's key, which RegisterTypeLib writes.
constexpr char kInterfaceKey[] = "Interface\\{BFA77C09-FB0F-41FF-98DF-2490E7DA9652}";

// 64-bit Windows keeps the class registration once per registry view, 32-bit and 64-bit, but
// the type library's key once for both: the 32-bit and the 64-bit library each record their
// file under it, as "409\win32" and "409\win64". From Windows 7 on the ProgID's key is shared
// as well. While the other build's library is registered, unregistering this one must leave it
// whole: only what is this build's alone goes.
constexpr bool kIs64Bit = sizeof(void*) == 8;
constexpr SYSKIND kOwnKind = kIs64Bit ? SYS_WIN64 : SYS_WIN32;

// The key that records the library file of one build (win64 or win32) for the type library.
std::string TypeLibEntryKey(bool win64) {
    char locale[16];
    std::snprintf(locale, sizeof locale, "%lx", static_cast<unsigned long>(kTypeLibLocale));
    return std::string(kTypeLibKey) + "\\" + std::to_string(kTypeLibMajor) + "." +
           std::to_string(kTypeLibMinor) + "\\" + locale + (win64 ? "\\win64" : "\\win32");
}

// Whether the library of the other architecture is registered (its entry under the shared key).
// On 32-bit Windows there is no 64-bit one.
bool OtherBuildRegistered() {
    return quillax::platform::RegistryKeyExists(quillax::platform::RegistryRoot::ClassesRoot,
                                                TypeLibEntryKey(!kIs64Bit));
}

// The script's keys outside HKCR\CLSID (the ProgID's), which the views may share.
std::vector<RegistryScriptRoot> KeysOutsideClassIds(const std::vector<RegistryScriptRoot>& script) {
    std::vector<RegistryScriptRoot> part;
    for (const RegistryScriptRoot& root : script) {
        RegistryScriptRoot kept{root.root, {}};
        for (const RegistryScriptKey& key : root.keys) {
            if (_stricmp(key.name.c_str(), "CLSID") != 0) kept.keys.push_back(key);
        }
        if (!kept.keys.empty()) part.push_back(std::move(kept));
    }
    return part;
}

// Whether every top key of the script part can be opened in the other architecture's view.
bool VisibleInOtherView(const std::vector<RegistryScriptRoot>& part) {
    const REGSAM otherView = kIs64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    for (const RegistryScriptRoot& root : part) {
        if (root.root != quillax::platform::RegistryRoot::ClassesRoot) continue;
        for (const RegistryScriptKey& key : root.keys) {
            HKEY opened = nullptr;
            if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.name.c_str(), 0, KEY_READ | otherView,
                              &opened) != ERROR_SUCCESS) {
                return false;
            }
            RegCloseKey(opened);
        }
    }
    return true;
}

// Removes the class registration of the script. While the other build stays registered, a
// ProgID key that its view loses with it (a key both views share) is written again.
bool UnregisterClass(const std::vector<RegistryScriptRoot>& script, bool otherStays) {
    bool done = quillax::UnregisterFromScript(script);
    if (otherStays) {
        const auto shared = KeysOutsideClassIds(script);
        if (!VisibleInOtherView(shared)) done = quillax::RegisterFromScript(shared) && done;
    }
    return done;
}

// Removes this build's type library registration; one that is not there is no failure. While
// the other build stays registered only this build's entry and this view's interface key go
// (UnRegisterTypeLib would take the other view's interface key with it).
HRESULT UnregisterTypeLibrary(bool otherStays) {
    using quillax::platform::RegistryKeyExists;
    using quillax::platform::RegistryRoot;
    const std::string ownEntry = TypeLibEntryKey(kIs64Bit);
    if (!RegistryKeyExists(RegistryRoot::ClassesRoot, ownEntry)) return S_OK;
    if (!otherStays) {
        return SUCCEEDED(UnRegisterTypeLib(LIBID_QUILLAXLib, kTypeLibMajor, kTypeLibMinor,
                                           kTypeLibLocale, kOwnKind))
                   ? S_OK
                   : SELFREG_E_TYPELIB;
    }
    bool done = quillax::platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, ownEntry);
    if (RegistryKeyExists(RegistryRoot::ClassesRoot, kInterfaceKey)) {
        done = quillax::platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, kInterfaceKey) && done;
    }
    return done ? S_OK : SELFREG_E_TYPELIB;
}

// The registry script's resource: type "REGISTRY", id 803.
constexpr WORD kRegistryScriptId = 803;

std::string RegistryScriptText() {
    HMODULE module = ModuleInstance();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(kRegistryScriptId), L"REGISTRY");
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const DWORD size = SizeofResource(module, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return {};
    return std::string(static_cast<const char*>(bytes), size);
}

std::optional<std::vector<RegistryScriptRoot>> EngineRegistryScript() {
    return ParseRegistryScript(RegistryScriptText(), {{"MODULE", ModulePathAnsi()}});
}

ComPtr<ITypeLib> LoadOwnTypeLib() {
    ComPtr<ITypeLib> library;
    const std::wstring path = ModulePathWide();
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put()))) library.Reset();
    return library;
}

}  // namespace

HINSTANCE ModuleInstance() {
    // Linked into a program (the binding's tests) there is no DllMain: the program is the module.
    return g_module != nullptr ? g_module : GetModuleHandleW(nullptr);
}

std::wstring ModulePathWide() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(ModuleInstance(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string ModulePathAnsi() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(ModuleInstance(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void ObjectCreated() { InterlockedIncrement(&g_objects); }
void ObjectDestroyed() { InterlockedDecrement(&g_objects); }

void LockModule(bool lock) {
    if (lock) {
        InterlockedIncrement(&g_locks);
    } else {
        InterlockedDecrement(&g_locks);
    }
}

bool ModuleInUse() { return g_objects > 0 || g_locks > 0; }

ITypeInfo* IqlxTypeInfo() {
    if (g_typeInfo != nullptr) return g_typeInfo;
    const ComPtr<ITypeLib> library = LoadOwnTypeLib();
    if (!library) return nullptr;
    ComPtr<ITypeInfo> info;
    if (FAILED(library->GetTypeInfoOfGuid(IID_Iqlx, info.Put()))) return nullptr;
    // A dual interface is listed as its dispatch view; Invoke needs the vtable view.
    TYPEATTR* attributes = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attributes))) {
        const bool dispatchView = attributes->typekind == TKIND_DISPATCH;
        info->ReleaseTypeAttr(attributes);
        HREFTYPE interfaceView = 0;
        ComPtr<ITypeInfo> vtableInfo;
        if (dispatchView && SUCCEEDED(info->GetRefTypeOfImplType(-1, &interfaceView)) &&
            SUCCEEDED(info->GetRefTypeInfo(interfaceView, vtableInfo.Put()))) {
            info = vtableInfo;
        }
    }
    g_typeInfo = info.Detach();
    return g_typeInfo;
}

void StartEngine() {
    RenderState& state = GlobalRenderState();
    if (!g_engineStarted) {
        g_engineStarted = true;
        state.desktop = MakeWindowsDesktopInfo();
        state.colorChooser = MakeWindowsColorChooser();
        LoadConfiguration(state);
    }
    state.events.timers = &ThreadTimers::Instance();
    if (g_wheelSong == nullptr) {
        g_wheelSong = new WheelSong();
        g_wheelSong->Attach(state);
    }
}

void ReleaseProcessResources() {
    RenderState& state = GlobalRenderState();
    ThreadTimers::Instance().KillAll();
    state.events.timers = nullptr;
    if (g_wheelSong != nullptr) {
        state.host.playWheelSong = nullptr;
        state.events.stopWheelSong = nullptr;
        delete g_wheelSong;
        g_wheelSong = nullptr;
    }
    ReleasePopupWindowClass();
    if (g_typeInfo != nullptr) {
        g_typeInfo->Release();
        g_typeInfo = nullptr;
    }
}

}  // namespace quillax::win32

using namespace quillax::win32;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by FreeLibrary while the process goes on: nothing of ours may stay behind
        // that could call into the unloaded code (timers, the window class).
        if (g_engineStarted) ThreadTimers::Instance().KillAll();
        UnregisterPopupWindowClass();
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_qlx)) return CLASS_E_CLASSNOTAVAILABLE;
    try {
        StartEngine();
        return QueryClassFactory(iid, object);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    if (ModuleInUse()) return S_FALSE;
    ReleaseProcessResources();
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    try {
        const auto script = EngineRegistryScript();
        if (!script || script->empty() || !quillax::RegisterFromScript(*script)) {
            return SELFREG_E_CLASS;
        }
        const ComPtr<ITypeLib> library = LoadOwnTypeLib();
        std::wstring path = ModulePathWide();
        if (!library || FAILED(RegisterTypeLib(library.Get(), path.data(), nullptr))) {
            UnregisterClass(*script, OtherBuildRegistered());
            return SELFREG_E_TYPELIB;
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    try {
        const bool otherStays = OtherBuildRegistered();
        HRESULT result = UnregisterTypeLibrary(otherStays);
        const auto script = EngineRegistryScript();
        if (!script || !UnregisterClass(*script, otherStays)) result = SELFREG_E_CLASS;
        return result;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
