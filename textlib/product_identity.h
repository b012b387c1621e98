// The engine's identity as the system registers it: the class that host pages create and the
// keys through which the updater and the set-up tool find the installed library.
#pragma once

#include <string_view>

namespace quillax {

inline constexpr std::string_view kEngineProgId = "quillax.qlx";
inline constexpr std::string_view kEngineClassId = "{A9599F9D-1610-4092-99F3-B602427CC1C3}";
inline constexpr std::string_view kEngineClassName = "qlx Class";

// HKEY_CLASSES_ROOT\quillax.qlx\CLSID: default value = kEngineClassId.
inline constexpr std::string_view kEngineProgIdClassKey = "quillax.qlx\\CLSID";
// HKEY_CURRENT_USER\Software\quillax: default value = the configuration directory.
inline constexpr std::string_view kInstallationKey = "Software\\quillax";

}  // namespace quillax
