// The COM identity of the engine as the type library declares it: Iqlx, the class qlx and
// the library QUILLAXLib (from the header widl makes of resources/quillax.idl), and the
// library's version and locale.
#pragma once

#include <windows.h>

#include "quillax_idl.h"

namespace quillax::win32 {

constexpr WORD kTypeLibMajor = 1;
constexpr WORD kTypeLibMinor = 0;
constexpr LCID kTypeLibLocale = 0x409;

}  // namespace quillax::win32
