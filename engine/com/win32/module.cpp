// The library module and its four exports: DllGetClassObject, DllCanUnloadNow,
// DllRegisterServer and DllUnregisterServer (see module.h).
#include "engine/com/win32/module.h"

#include <windows.h>
#include <olectl.h>
#include <oleauto.h>

#include <string>

#include "engine/com/win32/class_factory.h"
#include "engine/com/win32/com_ptr.h"
#include "engine/com/win32/desktop_win32.h"
#include "engine/com/win32/identity_win32.h"
#include "engine/com/win32/info_view.h"
#include "engine/com/win32/thread_timers.h"
#include "engine/config/configuration.h"
#include "engine/library/registry_script.h"
#include "engine/popup/wheel_song.h"
#include "engine/render_state.h"
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
            quillax::UnregisterFromScript(*script);
            return SELFREG_E_TYPELIB;
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    try {
        HRESULT result = S_OK;
        // A type library that is not registered is no failure of unregistration.
        if (quillax::platform::RegistryKeyExists(quillax::platform::RegistryRoot::ClassesRoot,
                                                 kTypeLibKey) &&
            FAILED(UnRegisterTypeLib(LIBID_QUILLAXLib, kTypeLibMajor, kTypeLibMinor, kTypeLibLocale,
                                     SYS_WIN32))) {
            result = SELFREG_E_TYPELIB;
        }
        const auto script = EngineRegistryScript();
        if (!script || !quillax::UnregisterFromScript(*script)) result = SELFREG_E_CLASS;
        return result;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
