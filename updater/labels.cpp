#include "updater/labels.h"

#include <cstdio>

#include "platform/version_info.h"

namespace quillax {

GbString VersionLabelFromFileVersion(std::string_view fileVersion) {
    if (fileVersion.empty()) {
        return {};
    }
    std::string text(fileVersion);
    int commas = 0;
    for (char& c : text) {
        if (c != ',') {
            continue;
        }
        ++commas;
        if (commas <= 2) {
            c = '.';
        } else if (commas == 3) {
            c = ' ';
        }
    }
    GbString label("Build ");
    label.Append(text);
    label.Insert(label.Length() - 2, ":");
    return label;
}

GbString ReadVersionLabel(std::string_view path) {
    const auto strings = platform::ReadVersionStrings(path);
    if (!strings) {
        return {};
    }
    return VersionLabelFromFileVersion(strings->fileVersion);
}

GbString FileDateLabelFromLocal(const platform::CalendarTime& local) {
    char text[64];
    std::snprintf(text, sizeof text, "%4d-%02d-%02d %02d:%02d", local.year, local.month, local.day,
                  local.hour, local.minute);
    return GbString(text);
}

GbString ReadFileDateLabel(std::string_view path) {
    if (!platform::FileExists(path)) {
        return {};
    }
    const auto times = platform::GetFileTimes(path);
    if (!times) {
        return {};
    }
    const auto local = platform::FileTimeToLocal(times->lastWrite);
    if (!local) {
        return {};
    }
    return FileDateLabelFromLocal(*local);
}

}  // namespace quillax
