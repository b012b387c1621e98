// Registry scripts: parsing and carrying out (see registry_script.h).
#include "engine/library/registry_script.h"

#include <cctype>
#include <cstdlib>

namespace quillax {
namespace {

using platform::RegistryRoot;

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits the script into white-space separated words and single-quoted texts ('' inside a
// text is one quote). Nothing for a text without its closing quote.
std::optional<std::vector<Token>> Tokenize(std::string_view script) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < script.size()) {
        const unsigned char c = static_cast<unsigned char>(script[i]);
        if (std::isspace(c) != 0) {
            ++i;
            continue;
        }
        Token token;
        if (c == '\'') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < script.size()) {
                if (script[i] == '\'') {
                    if (i + 1 < script.size() && script[i + 1] == '\'') {
                        token.text += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                token.text += script[i++];
            }
            if (!closed) return std::nullopt;
        } else {
            while (i < script.size() &&
                   std::isspace(static_cast<unsigned char>(script[i])) == 0) {
                token.text += script[i++];
            }
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

// Replaces every "%NAME%" by its replacement and "%%" by "%". Nothing for a name without a
// replacement or a "%" without its partner.
std::optional<std::string> Substitute(const std::string& text,
                                      const RegistryScriptReplacements& replacements) {
    std::string result;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '%') {
            result += text[i++];
            continue;
        }
        const std::size_t end = text.find('%', i + 1);
        if (end == std::string::npos) return std::nullopt;
        if (end == i + 1) {
            result += '%';
        } else {
            const auto found = replacements.find(text.substr(i + 1, end - i - 1));
            if (found == replacements.end()) return std::nullopt;
            result += found->second;
        }
        i = end + 1;
    }
    return result;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::optional<RegistryRoot> RootByName(std::string_view name) {
    if (EqualsNoCase(name, "HKCR") || EqualsNoCase(name, "HKEY_CLASSES_ROOT")) {
        return RegistryRoot::ClassesRoot;
    }
    if (EqualsNoCase(name, "HKCU") || EqualsNoCase(name, "HKEY_CURRENT_USER")) {
        return RegistryRoot::CurrentUser;
    }
    if (EqualsNoCase(name, "HKLM") || EqualsNoCase(name, "HKEY_LOCAL_MACHINE")) {
        return RegistryRoot::LocalMachine;
    }
    return std::nullopt;
}

// A recursive-descent reader over the tokens.
class Parser {
public:
    Parser(std::vector<Token> tokens, const RegistryScriptReplacements& replacements)
        : tokens_(std::move(tokens)), replacements_(replacements) {}

    std::optional<std::vector<RegistryScriptRoot>> Roots() {
        std::vector<RegistryScriptRoot> roots;
        while (pos_ < tokens_.size()) {
            const Token& name = tokens_[pos_++];
            const auto root = name.quoted ? std::nullopt : RootByName(name.text);
            if (!root || !Expect("{")) return std::nullopt;
            RegistryScriptRoot entry;
            entry.root = *root;
            while (!AtBrace("}")) {
                auto key = Key();
                if (!key) return std::nullopt;
                entry.keys.push_back(std::move(*key));
            }
            ++pos_;  // "}"
            roots.push_back(std::move(entry));
        }
        return roots;
    }

private:
    bool AtEnd() const { return pos_ >= tokens_.size(); }

    bool AtWord(std::string_view word) const {
        return !AtEnd() && !tokens_[pos_].quoted && EqualsNoCase(tokens_[pos_].text, word);
    }

    bool AtBrace(std::string_view brace) const {
        return !AtEnd() && !tokens_[pos_].quoted && tokens_[pos_].text == brace;
    }

    bool Expect(std::string_view word) {
        if (AtEnd() || tokens_[pos_].quoted || tokens_[pos_].text != word) return false;
        ++pos_;
        return true;
    }

    // A key or value name: a word (not a brace) or a quoted text, with replacements applied.
    std::optional<std::string> Name() {
        if (AtEnd()) return std::nullopt;
        const Token& token = tokens_[pos_];
        if (!token.quoted && (token.text == "{" || token.text == "}" || token.text == "=")) {
            return std::nullopt;
        }
        ++pos_;
        return Substitute(token.text, replacements_);
    }

    // "s 'text'" or "d 'number'" (the number may also stand without quotes).
    std::optional<RegistryScriptValue> Value() {
        if (AtEnd() || tokens_[pos_].quoted) return std::nullopt;
        const std::string type = tokens_[pos_++].text;
        if (AtEnd()) return std::nullopt;
        const Token& data = tokens_[pos_++];
        RegistryScriptValue value;
        if (EqualsNoCase(type, "s")) {
            if (!data.quoted) return std::nullopt;
            auto text = Substitute(data.text, replacements_);
            if (!text) return std::nullopt;
            value.text = std::move(*text);
            return value;
        }
        if (EqualsNoCase(type, "d")) {
            auto text = Substitute(data.text, replacements_);
            if (!text || text->empty()) return std::nullopt;
            char* end = nullptr;
            const unsigned long number = std::strtoul(text->c_str(), &end, 0);
            if (end == nullptr || *end != '\0' || number > 0xFFFFFFFFul) return std::nullopt;
            value.isNumber = true;
            value.number = static_cast<std::uint32_t>(number);
            return value;
        }
        return std::nullopt;
    }

    std::optional<RegistryScriptKey> Key() {
        RegistryScriptKey key;
        if (AtWord("NoRemove")) {
            key.removal = RegistryScriptKey::Removal::NoRemove;
            ++pos_;
        } else if (AtWord("ForceRemove")) {
            key.removal = RegistryScriptKey::Removal::ForceRemove;
            ++pos_;
        } else if (AtWord("Delete")) {
            return std::nullopt;  // not used by our scripts
        }
        auto name = Name();
        if (!name || name->empty()) return std::nullopt;
        key.name = std::move(*name);
        if (AtBrace("=")) {
            ++pos_;
            auto value = Value();
            if (!value) return std::nullopt;
            key.defaultValue = std::move(*value);
        }
        if (AtBrace("{")) {
            ++pos_;
            while (!AtBrace("}")) {
                if (AtEnd()) return std::nullopt;
                if (AtWord("val")) {
                    ++pos_;
                    auto valueName = Name();
                    if (!valueName || !Expect("=")) return std::nullopt;
                    auto value = Value();
                    if (!value) return std::nullopt;
                    key.values.emplace_back(std::move(*valueName), std::move(*value));
                } else {
                    auto subkey = Key();
                    if (!subkey) return std::nullopt;
                    key.subkeys.push_back(std::move(*subkey));
                }
            }
            ++pos_;  // "}"
        }
        return key;
    }

    std::vector<Token> tokens_;
    const RegistryScriptReplacements& replacements_;
    std::size_t pos_ = 0;
};

std::string Join(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "\\" + name;
}

bool WriteValue(RegistryRoot root, const std::string& path, const std::string& name,
                const RegistryScriptValue& value) {
    return value.isNumber ? platform::WriteRegistryDword(root, path, name, value.number)
                          : platform::WriteRegistryString(root, path, name, value.text);
}

bool RegisterKey(RegistryRoot root, const std::string& parent, const RegistryScriptKey& key) {
    const std::string path = Join(parent, key.name);
    if (key.removal == RegistryScriptKey::Removal::ForceRemove &&
        platform::RegistryKeyExists(root, path) && !platform::DeleteRegistryTree(root, path)) {
        return false;
    }
    if (!platform::CreateRegistryKey(root, path)) return false;
    if (key.defaultValue && !WriteValue(root, path, "", *key.defaultValue)) return false;
    for (const auto& [name, value] : key.values) {
        if (!WriteValue(root, path, name, value)) return false;
    }
    for (const RegistryScriptKey& subkey : key.subkeys) {
        if (!RegisterKey(root, path, subkey)) return false;
    }
    return true;
}

bool UnregisterKey(RegistryRoot root, const std::string& parent, const RegistryScriptKey& key) {
    const std::string path = Join(parent, key.name);
    if (!platform::RegistryKeyExists(root, path)) return true;
    if (key.removal == RegistryScriptKey::Removal::ForceRemove) {
        return platform::DeleteRegistryTree(root, path);
    }
    bool ok = true;
    for (const RegistryScriptKey& subkey : key.subkeys) {
        ok = UnregisterKey(root, path, subkey) && ok;
    }
    if (key.removal == RegistryScriptKey::Removal::NoRemove) return ok;
    for (const auto& entry : key.values) {
        platform::DeleteRegistryValue(root, path, entry.first);
    }
    // A key that still has subkeys belongs to someone else as well and stays.
    if (platform::ListRegistrySubkeys(root, path).empty()) {
        ok = platform::DeleteRegistryTree(root, path) && ok;
    }
    return ok;
}

}  // namespace

std::optional<std::vector<RegistryScriptRoot>> ParseRegistryScript(
    std::string_view script, const RegistryScriptReplacements& replacements) {
    auto tokens = Tokenize(script);
    if (!tokens) return std::nullopt;
    Parser parser(std::move(*tokens), replacements);
    return parser.Roots();
}

bool RegisterFromScript(const std::vector<RegistryScriptRoot>& roots) {
    for (const RegistryScriptRoot& root : roots) {
        for (const RegistryScriptKey& key : root.keys) {
            if (!RegisterKey(root.root, "", key)) {
                UnregisterFromScript(roots);
                return false;
            }
        }
    }
    return true;
}

bool UnregisterFromScript(const std::vector<RegistryScriptRoot>& roots) {
    bool ok = true;
    for (const RegistryScriptRoot& root : roots) {
        for (const RegistryScriptKey& key : root.keys) {
            ok = UnregisterKey(root.root, "", key) && ok;
        }
    }
    return ok;
}

}  // namespace quillax
