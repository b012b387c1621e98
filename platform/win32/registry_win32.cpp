// The registry on Windows: the ANSI registry functions.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/registry.h"

namespace quillax::platform {
namespace {

HKEY RootKey(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::CurrentUser:
            return HKEY_CURRENT_USER;
        case RegistryRoot::ClassesRoot:
            return HKEY_CLASSES_ROOT;
        case RegistryRoot::LocalMachine:
            return HKEY_LOCAL_MACHINE;
    }
    return HKEY_CURRENT_USER;
}

// An open key, closed when it goes out of scope.
class Key {
public:
    Key() = default;
    ~Key() {
        if (handle_ != nullptr) {
            RegCloseKey(handle_);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool Open(HKEY parent, const std::string& name, REGSAM access) {
        return RegOpenKeyExA(parent, name.c_str(), 0, access, &handle_) == ERROR_SUCCESS;
    }
    bool Create(HKEY parent, const std::string& name) {
        return RegCreateKeyExA(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_WRITE | KEY_READ, nullptr, &handle_,
                               nullptr) == ERROR_SUCCESS;
    }
    HKEY get() const { return handle_; }

private:
    HKEY handle_ = nullptr;
};

RegistryType TypeOf(DWORD type) {
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            return RegistryType::String;
        case REG_BINARY:
            return RegistryType::Binary;
        case REG_DWORD:
            return RegistryType::Dword;
        default:
            return RegistryType::Other;
    }
}

bool SetValue(RegistryRoot root, std::string_view subKey, std::string_view valueName, DWORD type,
              const std::string& bytes) {
    Key key;
    if (!key.Create(RootKey(root), std::string(subKey))) {
        return false;
    }
    const std::string name(valueName);
    return RegSetValueExA(key.get(), name.c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

// The name of the first subkey of an open key, or nothing.
bool FirstSubkey(HKEY key, std::string& name) {
    DWORD longest = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    std::vector<char> buffer(longest + 2);
    DWORD length = static_cast<DWORD>(buffer.size());
    if (RegEnumKeyExA(key, 0, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    name.assign(buffer.data(), length);
    return true;
}

// Deletes parent\name after all its subkeys, depth first, stopping at the first failure.
bool DeleteTree(HKEY parent, const std::string& name) {
    {
        Key key;
        if (!key.Open(parent, name, KEY_READ | KEY_WRITE | DELETE)) {
            return false;
        }
        std::string child;
        while (FirstSubkey(key.get(), child)) {
            if (!DeleteTree(key.get(), child)) {
                return false;
            }
        }
    }
    return RegDeleteKeyA(parent, name.c_str()) == ERROR_SUCCESS;
}

bool IsRootPath(std::string_view subKey) {
    return subKey.find_first_not_of('\\') == std::string_view::npos;
}

}  // namespace

std::optional<RegistryValue> ReadRegistryValue(RegistryRoot root, std::string_view subKey,
                                               std::string_view valueName) {
    Key key;
    if (!key.Open(RootKey(root), std::string(subKey), KEY_READ)) {
        return std::nullopt;
    }
    const std::string name(valueName);
    // The value may change between the size query and the read: ask again until it fits.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::string bytes(size, '\0');
        DWORD read = size;
        const LONG result =
            RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(bytes.empty() ? nullptr : &bytes[0]), &read);
        if (result == ERROR_MORE_DATA) {
            continue;
        }
        if (result != ERROR_SUCCESS) {
            return std::nullopt;
        }
        bytes.resize(read);
        return RegistryValue{TypeOf(type), std::move(bytes)};
    }
    return std::nullopt;
}

bool WriteRegistryString(RegistryRoot root, std::string_view subKey, std::string_view valueName,
                         std::string_view text) {
    std::string bytes(text);
    bytes += '\0';
    return SetValue(root, subKey, valueName, REG_SZ, bytes);
}

bool WriteRegistryBinary(RegistryRoot root, std::string_view subKey, std::string_view valueName,
                         std::string_view bytes) {
    return SetValue(root, subKey, valueName, REG_BINARY, std::string(bytes));
}

bool WriteRegistryDword(RegistryRoot root, std::string_view subKey, std::string_view valueName,
                        std::uint32_t value) {
    std::string bytes(4, '\0');
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return SetValue(root, subKey, valueName, REG_DWORD, bytes);
}

bool CreateRegistryKey(RegistryRoot root, std::string_view subKey) {
    Key key;
    return key.Create(RootKey(root), std::string(subKey));
}

bool DeleteRegistryValue(RegistryRoot root, std::string_view subKey, std::string_view valueName) {
    Key key;
    if (!key.Open(RootKey(root), std::string(subKey), KEY_SET_VALUE)) {
        return false;
    }
    const std::string name(valueName);
    return RegDeleteValueA(key.get(), name.c_str()) == ERROR_SUCCESS;
}

bool DeleteRegistryTree(RegistryRoot root, std::string_view subKey) {
    if (IsRootPath(subKey)) {
        return false;
    }
    return DeleteTree(RootKey(root), std::string(subKey));
}

bool RegistryKeyExists(RegistryRoot root, std::string_view subKey) {
    Key key;
    return key.Open(RootKey(root), std::string(subKey), KEY_READ);
}

std::vector<std::string> ListRegistrySubkeys(RegistryRoot root, std::string_view subKey) {
    std::vector<std::string> names;
    Key key;
    if (!key.Open(RootKey(root), std::string(subKey), KEY_READ)) {
        return names;
    }
    DWORD longest = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, &longest, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return names;
    }
    std::vector<char> buffer(longest + 2);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const LONG result = RegEnumKeyExA(key.get(), index, buffer.data(), &length, nullptr,
                                          nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA && buffer.size() < 65536) {
            buffer.resize(buffer.size() * 2);
            --index;  // the same index again with a larger buffer
            continue;
        }
        if (result != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(buffer.data(), length);
    }
    return names;
}

}  // namespace quillax::platform
