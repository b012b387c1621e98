// Reading a registry value as text.
#pragma once

#include <string_view>

#include "platform/registry.h"
#include "textlib/gb_string.h"

namespace quillax {

// The value `valueName` of root\subKey as text (the empty name reads the default value):
//  - empty when the key cannot be opened for reading, the value is missing or empty;
//  - a value of type REG_BINARY gives the decimal text of its first byte, taken as a signed
//    8-bit number (0xFF gives "-1");
//  - any other value gives its stored bytes up to the first 0 byte.
GbString ReadRegistryText(platform::RegistryRoot root, std::string_view subKey,
                          std::string_view valueName);

}  // namespace quillax
