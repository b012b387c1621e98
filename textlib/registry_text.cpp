#include "textlib/registry_text.h"

#include <cstring>

namespace quillax {

GbString ReadRegistryText(platform::RegistryRoot root, std::string_view subKey,
                          std::string_view valueName) {
    GbString text;
    const auto value = platform::ReadRegistryValue(root, subKey, valueName);
    if (!value || value->bytes.empty()) {
        return text;
    }
    if (value->type == platform::RegistryType::Binary) {
        text.SetNumber(static_cast<signed char>(value->bytes[0]));
        return text;
    }
    const std::string& bytes = value->bytes;
    const std::size_t end = bytes.find('\0');
    text.Assign(std::string_view(bytes).substr(0, end));
    return text;
}

}  // namespace quillax
