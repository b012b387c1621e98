// Defines, once for the whole library, the GUIDs that the type library's header declares
// (IID_Iqlx, CLSID_qlx, LIBID_QUILLAXLib) and the ones the system's import library lacks
// (IID_IDispatchEx).
#include <initguid.h>

#include <dispex.h>

#include "engine/com/win32/identity_win32.h"
