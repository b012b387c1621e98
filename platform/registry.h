// Registry access: the values the three programs share (the configuration directory, the
// component's class registration, the browser's text size).
//
// Key paths are written with "\" between the parts ("Software\quillax"); the empty path names
// the root itself. Key and value names compare without regard to the case of ASCII letters.
// The empty value name is the key's default (unnamed) value. Values are raw bytes with a type,
// exactly as stored: a string written by WriteRegistryString carries its terminating 0 byte.
//
// On Windows these are the real registry functions of the ANSI interface, so texts are bytes of
// the system code page (GBK). On Linux one file-backed store stands in for the registry: its
// path is the environment variable QUILLAX_REGISTRY when set, otherwise
// $XDG_CONFIG_HOME/quillax/registry (or ~/.config/quillax/registry); it is read again on every
// call, so several processes see each other's writes (see platform/posix/registry_store.cpp).
//
// No function throws; failures are results (nothing, false, an empty list).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillax::platform {

enum class RegistryRoot { CurrentUser, ClassesRoot, LocalMachine };

// String covers REG_SZ and REG_EXPAND_SZ; Other is any further type (its bytes are kept).
enum class RegistryType { String, Binary, Dword, Other };

struct RegistryValue {
    RegistryType type = RegistryType::String;
    std::string bytes;  // as stored, including a string's terminating 0 byte when it has one
};

// The value `valueName` of root\subKey, or nothing when the key cannot be opened for reading
// or has no such value.
std::optional<RegistryValue> ReadRegistryValue(RegistryRoot root, std::string_view subKey,
                                               std::string_view valueName);

// Writes a string value (REG_SZ; the text and one terminating 0 byte), creating the key and
// its missing parents. False when the key cannot be created or the value not written.
bool WriteRegistryString(RegistryRoot root, std::string_view subKey, std::string_view valueName,
                         std::string_view text);

// Writes a binary value (REG_BINARY) of exactly these bytes, creating the key when needed.
bool WriteRegistryBinary(RegistryRoot root, std::string_view subKey, std::string_view valueName,
                         std::string_view bytes);

// Writes a 32-bit number (REG_DWORD, little-endian), creating the key when needed.
bool WriteRegistryDword(RegistryRoot root, std::string_view subKey, std::string_view valueName,
                        std::uint32_t value);

// Creates the key and its missing parents; true when it exists afterwards.
bool CreateRegistryKey(RegistryRoot root, std::string_view subKey);

// Deletes one value; false when the key or the value does not exist.
bool DeleteRegistryValue(RegistryRoot root, std::string_view subKey, std::string_view valueName);

// Deletes root\subKey with all its subkeys and values: every subkey is deleted first (depth
// first), then the key itself. False when the key cannot be opened or a deletion fails. The
// root itself (empty subKey) is never deleted.
bool DeleteRegistryTree(RegistryRoot root, std::string_view subKey);

// True when root\subKey exists (the root itself always does).
bool RegistryKeyExists(RegistryRoot root, std::string_view subKey);

// Names of the direct subkeys of root\subKey (in the store's order); empty when the key is
// missing or has none.
std::vector<std::string> ListRegistrySubkeys(RegistryRoot root, std::string_view subKey);

}  // namespace quillax::platform
