// Registry scripts: the class registration of the engine library, written as a script
// (resources/quillax.rgs) that registration and unregistration both follow, so that the keys
// written and the keys removed can never drift apart.
//
// The script language is the usual registrar format:
//
//   HKCR                                   a root: HKCR, HKCU, HKLM or their long names
//   {
//       quillax.qlx = s 'qlx Class'        a key with a default string value
//       {
//           CLSID = s '{...}'              a subkey
//       }
//       NoRemove CLSID                     kept on unregistration (its subkeys are processed)
//       {
//           ForceRemove {...} = s '...'    deleted whole before registration and on
//           {                              unregistration
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'     a named value (s text, d number)
//               }
//           }
//       }
//   }
//
// Tokens are separated by white space; texts stand in single quotes, a quote inside written
// twice. "%NAME%" in a key name or text is replaced by the value the caller gives for NAME
// ("%%" is one "%"). Unregistration deletes a plain key (after its subkeys and named values)
// only when no subkeys are left under it, so keys that others share survive.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace quillax {

struct RegistryScriptValue {
    bool isNumber = false;     // d: REG_DWORD; s: REG_SZ
    std::string text;
    std::uint32_t number = 0;
};

struct RegistryScriptKey {
    enum class Removal { Plain, ForceRemove, NoRemove };
    std::string name;
    Removal removal = Removal::Plain;
    std::optional<RegistryScriptValue> defaultValue;
    std::vector<std::pair<std::string, RegistryScriptValue>> values;  // "val" lines, in order
    std::vector<RegistryScriptKey> subkeys;
};

struct RegistryScriptRoot {
    platform::RegistryRoot root = platform::RegistryRoot::ClassesRoot;
    std::vector<RegistryScriptKey> keys;
};

using RegistryScriptReplacements = std::map<std::string, std::string>;

// Parses a script, replacing "%NAME%" by replacements[NAME]. Nothing when the script breaks
// the format (unbalanced braces, an unknown root or value type, an unterminated text, a
// "%NAME%" without a replacement).
std::optional<std::vector<RegistryScriptRoot>> ParseRegistryScript(
    std::string_view script, const RegistryScriptReplacements& replacements);

// Writes every key and value of the script (ForceRemove keys are deleted first). When a write
// fails, what the script names is removed again and the result is false.
bool RegisterFromScript(const std::vector<RegistryScriptRoot>& roots);

// Removes what the script registered (see the rules above). False when a key that should go
// could not be deleted; keys that are already missing count as removed.
bool UnregisterFromScript(const std::vector<RegistryScriptRoot>& roots);

}  // namespace quillax
