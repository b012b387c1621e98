// The registry on Linux: one file-backed store that stands in for the Windows registry.
//
// Location: the environment variable QUILLAX_REGISTRY when it is set and not empty, otherwise
// $XDG_CONFIG_HOME/quillax/registry, otherwise $HOME/.config/quillax/registry.
//
// The store is read again on every call, so several processes see each other's writes. A write
// reads the file, changes it in memory and replaces the file whole through a temporary file
// and a rename, under an exclusive lock of the file <store>.lock, so two writers never lose
// each other's changes and a reader always sees a complete file.
//
// File format (text, one record per line, fields separated by one blank):
//
//   quillax registry 1               first line; optional, any line starting with "#" or
//                                    "quillax" is ignored
//   key <path>                       a key: the root's name and the subkey path, for example
//                                    HKEY_CURRENT_USER\Software\quillax
//   value <name> <type> <data>       a value of the key on the nearest key line above it:
//                                    <name> is "@" for the default value; <type> is one of
//                                    string, binary, dword, other; <data> is the stored bytes
//                                    (empty when nothing follows the last blank)
//
// <path>, <name> and <data> are escaped: every byte outside "!" to "~", and every "%", is written
// as "%" followed by two upper-case hex digits (a blank is "%20", a GBK character "%B9%FA"); a
// value name that is exactly "@" is written "%40". A string value's data includes its
// terminating zero byte ("%00"), as the Windows registry stores it.
//
// Keys and value names compare without regard to ASCII case (bytes of double-byte characters
// are compared as they are). A key exists when it has a key line or when a key below it has
// one (its parents need no line of their own).
//
// A damaged file is read as far as it makes sense: a line that does not parse (unknown record,
// wrong field count, bad escape, unknown type, a value line before any key line) is skipped,
// and the rest of the file still counts. The next write drops the skipped lines.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/posix_io.h"
#include "platform/registry.h"

namespace quillax::platform {
namespace {

struct StoredValue {
    std::string name;
    RegistryType type = RegistryType::String;
    std::string bytes;
};

struct StoredKey {
    std::string path;  // root name + "\" + subkey path, as first written
    std::vector<StoredValue> values;
};

struct Store {
    std::vector<StoredKey> keys;
};

std::string StorePath() {
    const char* explicitPath = std::getenv("QUILLAX_REGISTRY");
    if (explicitPath != nullptr && *explicitPath != '\0') {
        return explicitPath;
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::string(config) + "/quillax/registry";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const passwd* user = getpwuid(getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || *home == '\0') {
        return {};
    }
    return std::string(home) + "/.config/quillax/registry";
}

bool IsLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

std::string Fold(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto b = static_cast<unsigned char>(out[i]);
        if (IsLead(b)) {
            ++i;  // the trail byte of a double-byte character is not a letter
        } else if (b >= 'A' && b <= 'Z') {
            out[i] = static_cast<char>(b - 'A' + 'a');
        }
    }
    return out;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && Fold(a) == Fold(b);
}

const char* RootName(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::CurrentUser:
            return "HKEY_CURRENT_USER";
        case RegistryRoot::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
        case RegistryRoot::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
    }
    return "HKEY_CURRENT_USER";
}

// root name + "\" + the subkey's parts without empty ones (so "\a\\b\" is "a\b"). A "\"
// that is the trail byte of a double-byte character belongs to its character.
std::string FullPath(RegistryRoot root, std::string_view subKey) {
    std::string path = RootName(root);
    std::string part;
    auto flush = [&]() {
        if (!part.empty()) {
            path += '\\';
            path += part;
            part.clear();
        }
    };
    for (std::size_t i = 0; i < subKey.size(); ++i) {
        const auto b = static_cast<unsigned char>(subKey[i]);
        if (IsLead(b) && i + 1 < subKey.size()) {
            part += subKey[i];
            part += subKey[++i];
        } else if (b == '\\') {
            flush();
        } else {
            part += subKey[i];
        }
    }
    flush();
    return path;
}

// ---- escaping ----------------------------------------------------------------------------------

std::string Escape(std::string_view bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x21 || b > 0x7E || b == '%') {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '%') {
            if (i + 2 >= text.size()) {
                return false;
            }
            const int high = HexDigit(text[i + 1]);
            const int low = HexDigit(text[i + 2]);
            if (high < 0 || low < 0) {
                return false;
            }
            out += static_cast<char>((high << 4) | low);
            i += 2;
        } else if (b < 0x21 || b > 0x7E) {
            return false;
        } else {
            out += text[i];
        }
    }
    return true;
}

const char* TypeName(RegistryType type) {
    switch (type) {
        case RegistryType::String:
            return "string";
        case RegistryType::Binary:
            return "binary";
        case RegistryType::Dword:
            return "dword";
        case RegistryType::Other:
            return "other";
    }
    return "other";
}

bool ParseType(std::string_view name, RegistryType& type) {
    for (const RegistryType candidate : {RegistryType::String, RegistryType::Binary,
                                         RegistryType::Dword, RegistryType::Other}) {
        if (name == TypeName(candidate)) {
            type = candidate;
            return true;
        }
    }
    return false;
}

// ---- reading and writing the file ----------------------------------------------------------

StoredKey* FindKey(Store& store, std::string_view path) {
    for (StoredKey& key : store.keys) {
        if (SameName(key.path, path)) {
            return &key;
        }
    }
    return nullptr;
}

StoredValue* FindValue(StoredKey& key, std::string_view name) {
    for (StoredValue& value : key.values) {
        if (SameName(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

// Splits off the text up to the next blank; false when there is no blank.
bool NextField(std::string_view& rest, std::string_view& field) {
    const std::size_t blank = rest.find(' ');
    if (blank == std::string_view::npos) {
        return false;
    }
    field = rest.substr(0, blank);
    rest.remove_prefix(blank + 1);
    return true;
}

constexpr std::size_t kNoKey = static_cast<std::size_t>(-1);

std::size_t FindKeyIndex(const Store& store, std::string_view path) {
    for (std::size_t i = 0; i < store.keys.size(); ++i) {
        if (SameName(store.keys[i].path, path)) {
            return i;
        }
    }
    return kNoKey;
}

// `current` is the index of the key that value lines belong to, kNoKey before the first key.
void ParseLine(std::string_view line, Store& store, std::size_t& current) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    std::string_view rest = line;
    std::string_view record;
    if (!NextField(rest, record)) {
        return;
    }
    if (record == "key") {
        std::string path;
        current = kNoKey;  // values after a broken key line must not land on another key
        if (rest.empty() || !Unescape(rest, path)) {
            return;
        }
        current = FindKeyIndex(store, path);
        if (current == kNoKey) {
            store.keys.push_back({path, {}});
            current = store.keys.size() - 1;
        }
        return;
    }
    if (record != "value" || current == kNoKey) {
        return;
    }
    std::string_view name;
    std::string_view type;
    if (!NextField(rest, name) || !NextField(rest, type)) {
        return;
    }
    StoredValue value;
    if (!ParseType(type, value.type) || !Unescape(rest, value.bytes)) {
        return;
    }
    if (name != "@" && (!Unescape(name, value.name) || value.name.empty())) {
        return;
    }
    StoredKey& key = store.keys[current];
    if (StoredValue* existing = FindValue(key, value.name)) {
        *existing = std::move(value);
    } else {
        key.values.push_back(std::move(value));
    }
}

Store Parse(std::string_view text) {
    Store store;
    std::size_t current = kNoKey;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        ParseLine(text.substr(start, end - start), store, current);
        start = end + 1;
    }
    return store;
}

std::string Serialize(const Store& store) {
    std::string text = "quillax registry 1\n";
    for (const StoredKey& key : store.keys) {
        text += "key " + Escape(key.path) + "\n";
        for (const StoredValue& value : key.values) {
            const std::string name = value.name.empty()  ? std::string("@")
                                     : value.name == "@" ? std::string("%40")
                                                         : Escape(value.name);
            text += "value " + name + " " + TypeName(value.type) + " " + Escape(value.bytes) +
                    "\n";
        }
    }
    return text;
}

Store Load(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    const auto text = posix::ReadSystemFile(path);
    return text ? Parse(*text) : Store{};
}

// Holds the store's write lock for one read-change-write cycle.
class WriteLock {
public:
    explicit WriteLock(const std::string& storePath) {
        if (storePath.empty()) {
            return;
        }
        const std::size_t slash = storePath.rfind('/');
        if (slash != std::string::npos && slash > 0) {
            MakeParents(storePath.substr(0, slash));
        }
        fd_ = open((storePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~WriteLock() {
        if (fd_ >= 0) {
            flock(fd_, LOCK_UN);
            close(fd_);
        }
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    bool held() const { return fd_ >= 0; }

private:
    static void MakeParents(const std::string& directory) {
        for (std::size_t slash = directory.find('/', 1); slash != std::string::npos;
             slash = directory.find('/', slash + 1)) {
            mkdir(directory.substr(0, slash).c_str(), 0777);
        }
        mkdir(directory.c_str(), 0777);
    }

    int fd_ = -1;
};

// Runs change(store) under the write lock and writes the store back when it returns true.
template <class Change>
bool Modify(Change change) {
    const std::string path = StorePath();
    WriteLock lock(path);
    if (!lock.held()) {
        return false;
    }
    Store store = Load(path);
    if (!change(store)) {
        return false;
    }
    return posix::WriteSystemFileAtomically(path, Serialize(store));
}

bool IsBelow(std::string_view path, std::string_view ancestor) {
    return path.size() > ancestor.size() && path[ancestor.size()] == '\\' &&
           SameName(path.substr(0, ancestor.size()), ancestor);
}

bool KeyExistsIn(const Store& store, std::string_view path) {
    for (const StoredKey& key : store.keys) {
        if (SameName(key.path, path) || IsBelow(key.path, path)) {
            return true;
        }
    }
    return false;
}

bool WriteValue(RegistryRoot root, std::string_view subKey, std::string_view valueName,
                RegistryType type, std::string bytes) {
    const std::string path = FullPath(root, subKey);
    return Modify([&](Store& store) {
        StoredKey* key = FindKey(store, path);
        if (key == nullptr) {
            store.keys.push_back({path, {}});
            key = &store.keys.back();
        }
        if (StoredValue* value = FindValue(*key, valueName)) {
            value->type = type;
            value->bytes = std::move(bytes);
        } else {
            key->values.push_back({std::string(valueName), type, std::move(bytes)});
        }
        return true;
    });
}

}  // namespace

std::optional<RegistryValue> ReadRegistryValue(RegistryRoot root, std::string_view subKey,
                                               std::string_view valueName) {
    Store store = Load(StorePath());
    StoredKey* key = FindKey(store, FullPath(root, subKey));
    if (key == nullptr) {
        return std::nullopt;
    }
    const StoredValue* value = FindValue(*key, valueName);
    if (value == nullptr) {
        return std::nullopt;
    }
    return RegistryValue{value->type, value->bytes};
}

bool WriteRegistryString(RegistryRoot root, std::string_view subKey, std::string_view valueName,
                         std::string_view text) {
    std::string bytes(text);
    bytes += '\0';
    return WriteValue(root, subKey, valueName, RegistryType::String, std::move(bytes));
}

bool WriteRegistryBinary(RegistryRoot root, std::string_view subKey, std::string_view valueName,
                         std::string_view bytes) {
    return WriteValue(root, subKey, valueName, RegistryType::Binary, std::string(bytes));
}

bool WriteRegistryDword(RegistryRoot root, std::string_view subKey, std::string_view valueName,
                        std::uint32_t value) {
    std::string bytes(4, '\0');
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return WriteValue(root, subKey, valueName, RegistryType::Dword, std::move(bytes));
}

bool CreateRegistryKey(RegistryRoot root, std::string_view subKey) {
    const std::string path = FullPath(root, subKey);
    if (path == RootName(root)) {
        return true;
    }
    if (KeyExistsIn(Load(StorePath()), path)) {
        return true;
    }
    return Modify([&](Store& store) {
        if (FindKey(store, path) == nullptr) {
            store.keys.push_back({path, {}});
        }
        return true;
    });
}

bool DeleteRegistryValue(RegistryRoot root, std::string_view subKey, std::string_view valueName) {
    const std::string path = FullPath(root, subKey);
    return Modify([&](Store& store) {
        StoredKey* key = FindKey(store, path);
        if (key == nullptr) {
            return false;
        }
        for (auto it = key->values.begin(); it != key->values.end(); ++it) {
            if (SameName(it->name, valueName)) {
                key->values.erase(it);
                return true;
            }
        }
        return false;
    });
}

bool DeleteRegistryTree(RegistryRoot root, std::string_view subKey) {
    const std::string path = FullPath(root, subKey);
    if (path == RootName(root)) {
        return false;
    }
    return Modify([&](Store& store) {
        if (!KeyExistsIn(store, path)) {
            return false;
        }
        std::vector<StoredKey> kept;
        for (StoredKey& key : store.keys) {
            if (!SameName(key.path, path) && !IsBelow(key.path, path)) {
                kept.push_back(std::move(key));
            }
        }
        store.keys = std::move(kept);
        return true;
    });
}

bool RegistryKeyExists(RegistryRoot root, std::string_view subKey) {
    const std::string path = FullPath(root, subKey);
    return path == RootName(root) || KeyExistsIn(Load(StorePath()), path);
}

std::vector<std::string> ListRegistrySubkeys(RegistryRoot root, std::string_view subKey) {
    const std::string path = FullPath(root, subKey);
    const Store store = Load(StorePath());
    std::vector<std::string> names;
    for (const StoredKey& key : store.keys) {
        if (!IsBelow(key.path, path)) {
            continue;
        }
        // The next part of the key's path below `path` (stored paths hold no empty parts).
        std::string name;
        const std::string_view rest = std::string_view(key.path).substr(path.size() + 1);
        for (std::size_t i = 0; i < rest.size(); ++i) {
            const auto b = static_cast<unsigned char>(rest[i]);
            if (IsLead(b) && i + 1 < rest.size()) {
                name += rest[i];
                name += rest[++i];
            } else if (b == '\\') {
                break;
            } else {
                name += rest[i];
            }
        }
        bool seen = false;
        for (const std::string& existing : names) {
            seen = seen || SameName(existing, name);
        }
        if (!seen && !name.empty()) {
            names.push_back(name);
        }
    }
    return names;
}

}  // namespace quillax::platform
