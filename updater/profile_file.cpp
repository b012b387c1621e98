#include "updater/profile_file.h"

#include "platform/files.h"

namespace quillax {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A value in matching quotes is read without them, as the profile functions read it.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Appends the texts to a listing of `bufferSize` bytes in which each text takes its length
// and a 0 byte and one last 0 byte ends the list; stops at the first text that does not fit.
class BoundedListing {
public:
    explicit BoundedListing(std::size_t bufferSize) : room_(bufferSize > 0 ? bufferSize - 1 : 0) {}
    bool Add(std::string_view text, std::vector<GbString>& out) {
        if (full_ || text.size() + 1 >= room_) {
            full_ = true;
            return false;
        }
        room_ -= text.size() + 1;
        out.emplace_back(text);
        return true;
    }

private:
    std::size_t room_;
    bool full_ = false;
};

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (IsGbkLeadByte(x) || IsGbkLeadByte(y)) {
            // A double-byte character: both bytes must be the same.
            if (x != y || i + 1 >= a.size() || a[i + 1] != b[i + 1]) {
                return false;
            }
            ++i;
            continue;
        }
        const int fx = (x >= 'A' && x <= 'Z') ? x - 'A' + 'a' : x;
        const int fy = (y >= 'A' && y <= 'Z') ? y - 'A' + 'a' : y;
        if (fx != fy) {
            return false;
        }
    }
    return true;
}

ProfileText::ProfileText(std::string text) : text_(std::move(text)) { Parse(); }

ProfileText ProfileText::Load(std::string_view path) {
    auto bytes = platform::ReadWholeFile(path);
    return ProfileText(bytes ? std::move(*bytes) : std::string());
}

void ProfileText::Parse() {
    lines_.clear();
    std::size_t pos = 0;
    while (pos < text_.size()) {
        Line line;
        line.begin = pos;
        const std::size_t newline = text_.find('\n', pos);
        line.next = newline == std::string::npos ? text_.size() : newline + 1;
        line.end = newline == std::string::npos ? text_.size() : newline;
        if (line.end > line.begin && text_[line.end - 1] == '\r') {
            --line.end;
        }
        const std::string_view content =
            Trim(std::string_view(text_).substr(line.begin, line.end - line.begin));
        if (content.empty()) {
            line.kind = LineKind::Blank;
        } else if (content.front() == '[' && content.find(']') != std::string_view::npos) {
            line.kind = LineKind::Section;
            const std::size_t close = content.rfind(']');
            line.name = std::string(Trim(content.substr(1, close - 1)));
        } else if (content.front() == ';') {
            line.kind = LineKind::Comment;
        } else {
            line.kind = LineKind::Entry;
            const std::size_t equals = content.find('=');
            if (equals == std::string_view::npos) {
                line.name = std::string(content);
            } else {
                line.hasEquals = true;
                line.name = std::string(Trim(content.substr(0, equals)));
                line.value = std::string(Trim(content.substr(equals + 1)));
            }
        }
        lines_.push_back(std::move(line));
        pos = lines_.back().next;
    }
}

std::size_t ProfileText::FindSection(std::string_view section, std::size_t from) const {
    for (std::size_t i = from; i < lines_.size(); ++i) {
        if (lines_[i].kind == LineKind::Section && !lines_[i].name.empty() &&
            EqualsIgnoringCase(lines_[i].name, section)) {
            return i;
        }
    }
    return std::string::npos;
}

std::vector<GbString> ProfileText::SectionNames(std::size_t bufferSize) const {
    std::vector<GbString> names;
    BoundedListing listing(bufferSize);
    for (const Line& line : lines_) {
        if (line.kind == LineKind::Section && !line.name.empty() && !listing.Add(line.name, names)) {
            break;
        }
    }
    return names;
}

std::vector<GbString> ProfileText::SectionLines(std::string_view section,
                                                std::size_t bufferSize) const {
    std::vector<GbString> entries;
    const std::size_t header = FindSection(section);
    if (header == std::string::npos) {
        return entries;
    }
    BoundedListing listing(bufferSize);
    for (std::size_t i = header + 1; i < lines_.size() && lines_[i].kind != LineKind::Section; ++i) {
        const Line& line = lines_[i];
        if (line.kind != LineKind::Entry) {
            continue;
        }
        const std::string text = line.hasEquals ? line.name + "=" + line.value : line.name;
        if (!listing.Add(text, entries)) {
            break;
        }
    }
    return entries;
}

std::optional<GbString> ProfileText::Value(std::string_view section, std::string_view key) const {
    for (std::size_t header = FindSection(section); header != std::string::npos;
         header = FindSection(section, header + 1)) {
        for (std::size_t i = header + 1; i < lines_.size() && lines_[i].kind != LineKind::Section; ++i) {
            const Line& line = lines_[i];
            if (line.kind == LineKind::Entry && line.hasEquals && EqualsIgnoringCase(line.name, key)) {
                return GbString(Unquote(line.value));
            }
        }
    }
    return std::nullopt;
}

std::string ProfileText::LineEnd() const {
    const std::size_t newline = text_.find('\n');
    if (newline != std::string::npos && (newline == 0 || text_[newline - 1] != '\r')) {
        return "\n";
    }
    return "\r\n";
}

void ProfileText::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string lineEnd = LineEnd();
    // An existing key: its line gets the new value.
    for (std::size_t header = FindSection(section); header != std::string::npos;
         header = FindSection(section, header + 1)) {
        for (std::size_t i = header + 1; i < lines_.size() && lines_[i].kind != LineKind::Section; ++i) {
            const Line& line = lines_[i];
            if (line.kind == LineKind::Entry && line.hasEquals && EqualsIgnoringCase(line.name, key)) {
                text_.replace(line.begin, line.end - line.begin, line.name + "=" + std::string(value));
                Parse();
                return;
            }
        }
    }
    const std::string entry = std::string(key) + "=" + std::string(value) + lineEnd;
    const std::size_t header = FindSection(section);
    if (header != std::string::npos) {
        // A new key goes after the last entry (or comment) of the section, or right after its
        // header when it has none.
        std::size_t last = header;
        for (std::size_t i = header + 1; i < lines_.size() && lines_[i].kind != LineKind::Section; ++i) {
            if (lines_[i].kind != LineKind::Blank) {
                last = i;
            }
        }
        const Line& after = lines_[last];
        std::string insert = entry;
        if (after.next == after.end || text_[after.next - 1] != '\n') {
            // That line has no line end yet (end of the file), or only a CR, which ends no
            // line: the new entry would join it.
            insert = lineEnd + insert;
        }
        text_.insert(after.next, insert);
        Parse();
        return;
    }
    if (!text_.empty() && text_.back() != '\n') {
        text_ += lineEnd;
    }
    text_ += "[" + std::string(section) + "]" + lineEnd + entry;
    Parse();
}

std::optional<GbString> ReadProfileValue(std::string_view path, std::string_view section,
                                         std::string_view key) {
    return ProfileText::Load(path).Value(section, key);
}

bool WriteProfileValue(std::string_view path, std::string_view section, std::string_view key,
                       std::string_view value) {
    auto bytes = platform::ReadWholeFile(path);
    if (!bytes && platform::PathExists(path)) {
        return false;  // there, but unreadable: never replaced by a file of one key
    }
    ProfileText profile(bytes ? std::move(*bytes) : std::string());
    profile.SetValue(section, key, value);
    return platform::WriteWholeFile(path, profile.Text());
}

}  // namespace quillax
