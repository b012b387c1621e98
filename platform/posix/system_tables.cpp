#include "platform/posix/system_tables.h"

namespace quillax::platform::posix {

const UserFolderKey kUserFolderKeys[8] = {
    {"XDG_DESKTOP_DIR", "Desktop"},     {"XDG_DOCUMENTS_DIR", "Documents"},
    {"XDG_DOWNLOAD_DIR", "Downloads"},  {"XDG_MUSIC_DIR", "Music"},
    {"XDG_PICTURES_DIR", "Pictures"},   {"XDG_PUBLICSHARE_DIR", "Public"},
    {"XDG_TEMPLATES_DIR", "Templates"}, {"XDG_VIDEOS_DIR", "Videos"},
};

namespace {

bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

// A field of mountinfo with its "\ooo" escapes undone.
std::string Unescaped(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctalDigit(field[i + 1]) &&
            IsOctalDigit(field[i + 2]) && IsOctalDigit(field[i + 3])) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

}  // namespace

std::vector<std::string> MountPointsOf(std::string_view mountInfo) {
    std::vector<std::string> mountPoints;
    std::size_t lineStart = 0;
    while (lineStart < mountInfo.size()) {
        std::size_t lineEnd = mountInfo.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) {
            lineEnd = mountInfo.size();
        }
        const std::string_view line = mountInfo.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        // Fields are separated by single blanks: skip four of them.
        std::size_t field = 0;
        for (int skip = 0; skip < 4 && field != std::string_view::npos; ++skip) {
            field = line.find(' ', field);
            if (field != std::string_view::npos) {
                ++field;
            }
        }
        if (field == std::string_view::npos) {
            continue;
        }
        const std::size_t fieldEnd = line.find(' ', field);
        const std::string mountPoint =
            Unescaped(line.substr(field, fieldEnd == std::string_view::npos ? std::string_view::npos : fieldEnd - field));
        if (mountPoint.size() > 1 && mountPoint.front() == '/') {
            mountPoints.push_back(mountPoint);
        }
    }
    return mountPoints;
}

std::vector<std::string> UserDirsFolders(std::string_view userDirs, std::string_view variable,
                                         std::string_view home) {
    std::vector<std::string> folders;
    const std::string key = std::string(variable) + "=\"";
    for (std::size_t at = userDirs.find(key); at != std::string_view::npos; at = userDirs.find(key, at + 1)) {
        if (at != 0 && userDirs[at - 1] != '\n') {
            continue;  // inside a line, such as a comment
        }
        const std::size_t start = at + key.size();
        const std::size_t end = userDirs.find('"', start);
        const std::size_t lineEnd = userDirs.find('\n', start);
        if (end == std::string_view::npos || (lineEnd != std::string_view::npos && lineEnd < end)) {
            continue;
        }
        std::string value(userDirs.substr(start, end - start));
        if (value.rfind("$HOME/", 0) == 0) {
            value = std::string(home) + value.substr(5);
        }
        folders.push_back(value);
    }
    return folders;
}

}  // namespace quillax::platform::posix
