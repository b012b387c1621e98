// The class factory of qlx: creates control instances, alone or aggregated.
#pragma once

#include <objbase.h>

namespace quillax::win32 {

// A new class factory, queried for iid (what DllGetClassObject hands out).
HRESULT QueryClassFactory(REFIID iid, void** object);

}  // namespace quillax::win32
