#include "setup/bible_formats/published_bible.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/code_page.h"
#include "platform/files.h"
#include "setup/bible_formats/osis_reader.h"
#include "setup/bible_formats/usfm_reader.h"
#include "setup/bible_formats/verse_collector.h"
#include "setup/bible_import.h"
#include "setup/path_text.h"

namespace quillax {

const char kImportRefusedPrefix[] = "Nothing was imported: ";

namespace {

// The file name ending (".usfm"), lower-cased; empty when the name has no ".".
std::string Extension(std::string_view path) {
    const GbString name = NamePart(path);
    const std::size_t dot = name.view().rfind('.');
    if (dot == std::string_view::npos) {
        return {};
    }
    std::string extension(name.view().substr(dot));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

bool IsUsfmName(std::string_view path) {
    const std::string extension = Extension(path);
    return extension == ".usfm" || extension == ".sfm" || extension == ".ptx";
}

// A path without the separators at its end ("demo/" gives "demo").
std::string_view WithoutTrailingSeparators(std::string_view path) {
    while (path.size() > 1 && LastPathSeparator(path) == static_cast<int>(path.size()) - 1) {
        path.remove_suffix(1);
    }
    return path;
}

// A file of the folder: joined with the separator the folder's path uses.
std::string ChildPath(std::string_view folder, std::string_view name) {
    folder = WithoutTrailingSeparators(folder);
    const bool slashes = folder.find('/') != std::string_view::npos && folder.find('\\') == std::string_view::npos;
    std::string path(folder);
    path += slashes ? '/' : '\\';
    path.append(name.data(), name.size());
    return path;
}

int LineCount(std::string_view bytes) {
    int lines = 1;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        lines += bytes[i] == '\n';
    }
    return lines;
}

PublishedBible Refused(std::string_view where, std::optional<int> line, std::string_view reason) {
    PublishedBible result;
    result.message.Assign(kImportRefusedPrefix);
    result.message.Append(where);
    if (line) {
        result.message.Append(", line " + std::to_string(*line));
    }
    result.message.Append(": ");
    // The readers describe what they found in UTF-8 (element names, book codes as written).
    result.message.Append(platform::Utf8ToGbk(reason));
    return result;
}

PublishedBible Refused(std::string_view where, const FormatError& error) {
    return Refused(where, error.line, error.reason);
}

PublishedBible Finished(const VerseCollector& verses, std::string_view where, std::optional<int> line,
                        std::string_view moduleName) {
    if (verses.VerseCount() == 0) {
        return Refused(where, line, "no verse of the 66 books of the Bible was found");
    }
    PublishedBible result;
    result.ok = true;
    result.moduleText = verses.ModuleText();
    result.message = verses.Summary(moduleName);
    return result;
}

PublishedBible ReadUsfmFolder(std::string_view folder, std::string_view moduleName) {
    std::vector<std::string> names;
    for (const platform::DirectoryEntry& entry : platform::ListDirectory(folder)) {
        if ((entry.attributes & (platform::kAttrDirectory | platform::kAttrReparsePoint)) == 0 &&
            IsUsfmName(entry.name)) {
            names.push_back(entry.name);
        }
    }
    if (names.empty()) {
        return Refused(folder, std::nullopt, "the folder holds no USFM file (.usfm, .sfm, .ptx)");
    }
    // The order of the files decides which of two files with the same book is reported, and the
    // order of the skipped books in the message: the same on every system.
    std::sort(names.begin(), names.end());
    VerseCollector verses;
    for (const std::string& name : names) {
        const std::string path = ChildPath(folder, name);
        const std::optional<std::string> bytes = platform::ReadWholeFile(path);
        if (!bytes) {
            return Refused(path, std::nullopt, "the file cannot be read");
        }
        if (const std::optional<FormatError> error = ReadUsfmBooks(*bytes, verses)) {
            return Refused(path, *error);
        }
    }
    return Finished(verses, folder, std::nullopt, moduleName);
}

}  // namespace

BibleFormat BibleFormatOf(std::string_view path) {
    if (platform::DirectoryExists(path)) {
        return BibleFormat::UsfmFolder;
    }
    if (IsUsfmName(path)) {
        return BibleFormat::UsfmFile;
    }
    const std::string extension = Extension(path);
    if (extension == ".xml" || extension == ".osis") {
        return BibleFormat::Osis;
    }
    return BibleFormat::VerseList;
}

GbString PublishedModuleName(std::string_view path) {
    return ImportModuleName(WithoutTrailingSeparators(path));
}

PublishedBible ReadPublishedBible(std::string_view path, BibleFormat format, std::string_view moduleName) {
    if (format == BibleFormat::UsfmFolder) {
        return ReadUsfmFolder(path, moduleName);
    }
    const std::optional<std::string> bytes = platform::ReadWholeFile(path);
    if (!bytes) {
        PublishedBible missing;
        missing.message = kImportMissingMessage;
        return missing;
    }
    VerseCollector verses;
    const std::optional<FormatError> error =
        format == BibleFormat::Osis ? ReadOsisDocument(*bytes, verses) : ReadUsfmBooks(*bytes, verses);
    if (error) {
        return Refused(path, *error);
    }
    return Finished(verses, path, LineCount(*bytes), moduleName);
}

}  // namespace quillax
