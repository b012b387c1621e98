// The library module: its handle, the count of live objects and server locks that decides
// when it may be unloaded, the type library it serves dispatch from, and the engine's start
// and stop within the process.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>


namespace quillax::win32 {

// The module of this code: the library, or the program it is linked into.
HINSTANCE ModuleInstance();
// Full path of this library file, wide (for the OLE functions) and in the system code page
// (for the registry script's %MODULE%).
std::wstring ModulePathWide();
std::string ModulePathAnsi();

// Live objects (control instances and class factories handed out) and LockServer locks.
void ObjectCreated();
void ObjectDestroyed();
void LockModule(bool lock);
bool ModuleInUse();

// The type information of Iqlx (the interface kind that ITypeInfo::Invoke calls through),
// read once from this file's TYPELIB resource; null when it cannot be read. No reference is
// added: the module holds it until it is unloaded.
ITypeInfo* IqlxTypeInfo();

// Starts the engine: on the first call after the library is loaded, the desktop services of
// Windows go into the process-wide RenderState and the configuration is read; on every call,
// the timers and the wheel song are hung into the state again if ReleaseProcessResources took
// them out.
void StartEngine();

// Releases what the library holds for the whole process (timers, the wheel song, the popup
// window class, atl.dll, the type information) once no object is left. The configuration
// stays loaded.
void ReleaseProcessResources();

}  // namespace quillax::win32
