// Profile (INI) files as the updater reads and writes them: the update manifest and the
// sections "config" and "FIXGB2312TOGBK" of bible.ini.
//
// The semantics are those of the Windows profile functions:
//  - a section starts at a line "[name]" (blanks around the name are dropped, text after the
//    last "]" is ignored) and runs to the next section line; lines before the first section
//    belong to none;
//  - a key line is "key=value", split at its first "="; blanks and tabs around key and value
//    are dropped; a value enclosed in matching double or single quotes is read without them;
//  - section and key names compare without regard to the case of ASCII letters (GBK
//    characters compare as they are); the first section of a name, and in it the first line of
//    a key, is the one read or written;
//  - empty lines and comment lines (starting with ";") are no entries.
//
// Listing is bounded as by the profile functions' buffers: the names of all sections, each
// followed by a 0 byte, and the lines of one section, each followed by a 0 byte, are read into
// buffers of a given size that must also keep one last 0 byte. A name or line that does not fit
// whole is not seen, and neither is anything after it.
//
// Writing changes only the line concerned and keeps every other byte of the file; a new key
// goes after the last entry of its section, a new section to the end of the file. Files are
// replaced through a temporary file and a rename (platform WriteWholeFile).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "textlib/gb_string.h"

namespace quillax {

// Buffer sizes of the manifest reader: the list of section names and the text of one section.
constexpr std::size_t kSectionNamesBufferSize = 2048;
constexpr std::size_t kSectionBufferSize = 512;

// True when the texts are equal apart from the case of ASCII letters (the byte after a GBK
// lead byte is never folded).
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

class ProfileText {
public:
    ProfileText() = default;
    explicit ProfileText(std::string text);
    // The profile text of a file; a missing or unreadable file gives an empty profile.
    static ProfileText Load(std::string_view path);

    const std::string& Text() const { return text_; }

    // Section names in file order, as a buffer of bufferSize bytes receives them.
    std::vector<GbString> SectionNames(std::size_t bufferSize = kSectionNamesBufferSize) const;
    // The entries of the first section of that name, each "key=value" (or the bare text of a
    // line without "="), as a buffer of bufferSize bytes receives them.
    std::vector<GbString> SectionLines(std::string_view section,
                                       std::size_t bufferSize = kSectionBufferSize) const;
    // The value of key in section, or nothing when the key is not there.
    std::optional<GbString> Value(std::string_view section, std::string_view key) const;
    // Sets key=value in section, adding the key or the section when missing.
    void SetValue(std::string_view section, std::string_view key, std::string_view value);

private:
    enum class LineKind { Blank, Comment, Section, Entry };
    struct Line {
        std::size_t begin = 0;    // first byte of the line
        std::size_t end = 0;      // end of its content (before CR LF / LF)
        std::size_t next = 0;     // first byte of the next line
        LineKind kind = LineKind::Blank;
        std::string name;         // section name, or key of an entry
        std::string value;        // value of an entry (as written, blanks dropped)
        bool hasEquals = false;   // entry with "="
    };

    void Parse();
    // Index of the first line of the first section named `section`'s header, or npos.
    std::size_t FindSection(std::string_view section, std::size_t from = 0) const;
    std::string LineEnd() const;

    std::string text_;
    std::vector<Line> lines_;
};

// Reads one value of a profile file (nothing when the file, the section or the key is missing).
std::optional<GbString> ReadProfileValue(std::string_view path, std::string_view section,
                                         std::string_view key);
// Writes one value of a profile file, creating the file when it does not exist. False when the
// file exists but cannot be read, or cannot be written (it then stays as it was).
bool WriteProfileValue(std::string_view path, std::string_view section, std::string_view key,
                       std::string_view value);

}  // namespace quillax
