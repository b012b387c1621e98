#include "setup/bible_import.h"

#include "platform/files.h"
#include "setup/bible_formats/published_bible.h"
#include "textlib/line_reader.h"
#include "setup/module_index.h"
#include "setup/path_text.h"
#include "setup/text_edit.h"
#include "textlib/config_lock.h"
#include "textlib/config_text.h"
#include "textlib/gb_list.h"
#include "textlib/text_helpers.h"

namespace quillax {

const char kImportDoneMessage[] = "已成功地导入了指定文件！";
const char kImportMissingMessage[] = "The import file is not exist!";
const char kImportEmptyMessage[] = "The import file has no verse line, nothing was imported!";
const char kImportWriteFailedMessage[] = "无法写入文件（安装目录只读或磁盘已满），导入没有完成：\n";

namespace {

constexpr std::string_view kEquateKey = "EQUATEFILE=";

// The fields of a data line, or false for a line that is not one (not exactly four tabs).
bool SplitDataLine(std::string_view line, std::string_view (&fields)[5]) {
    std::size_t start = 0;
    int field = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == '\t') {
            if (field == 5) {
                return false;  // a fifth tab
            }
            fields[field++] = line.substr(start, i - start);
            start = i + 1;
        }
    }
    return field == 5;
}

// A path that names its place itself: from a root, or with a drive.
bool IsAbsolutePath(std::string_view path) {
    return (!path.empty() && (path.front() == '\\' || path.front() == '/')) ||
           (path.size() >= 2 && path[1] == ':');
}

// Removes the reference at the start of the verse text (position t of the verse line).
void RemoveReference(GbString& line, int t, bool firstLine) {
    if (line.GetAt(t) == '"') {
        line.Delete(line.Length() - 1, 1);
        line.Delete(t, 1);
    }
    const int colon = line.Find(":", 0);
    if (colon < 0) {
        return;
    }
    const int c = colon - t;
    const int limit = firstLine ? 8 : 10;
    if (c > 4 && c < limit) {
        const int blank = line.Find(" ", colon);
        if (blank >= 0) {
            line.Delete(t, blank - t + 1);
        } else {
            line.SetLength(t);
        }
    }
}

}  // namespace

void AppendModuleChapterHeader(std::string& out, int book, int chapter) {
    const long long code = static_cast<long long>(book) * 1000 + chapter;
    const std::string digits = "00000" + std::to_string(code);
    out.append(digits, digits.size() - 5, 5);
    out += ":=\n";
}

GbString ImportModuleName(std::string_view fileName) {
    GbString name = NamePart(fileName);
    const int dot = name.Find(".", 0);
    if (dot > 0) {
        name.SetLength(dot);
    }
    name.MakeLower();
    return GbString("usr\\") + name;
}

std::string ConvertVerseList(std::string_view input, int& verseCount) {
    verseCount = 0;
    std::string out;
    out.reserve(input.size() + input.size() / 8);
    LineReader reader = LineReader::FromBytes(std::string(input));
    GbString line;
    GbString verse;
    int previousBook = 0;
    int previousChapter = 0;
    bool removeReferences = false;
    while (reader.ReadLine(line)) {
        std::string_view fields[5];
        if (!SplitDataLine(line.view(), fields)) {
            continue;  // not a data line
        }
        const bool first = verseCount == 0;
        if (first) {
            removeReferences = GbString(fields[4]).Find("Gen 1:1", 0) >= 0;
        }
        ++verseCount;
        verse.Assign("$");
        verse.Append(fields[3]);
        verse.Append(fields[4]);
        if (removeReferences) {
            RemoveReference(verse, 1 + static_cast<int>(fields[3].size()), first);
        }
        const int book = ToInt(fields[1]);
        const int chapter = ToInt(fields[2]);
        if (book != previousBook || chapter != previousChapter) {
            AppendModuleChapterHeader(out, book, chapter);
            previousBook = book;
            previousChapter = chapter;
        }
        out += verse.view();
        out += "\r\n";
    }
    return out;
}

GbString ReadIniValue(const GbString& iniText, std::string_view key) {
    GbString value;
    const int at = FindConfigKey(iniText, key);
    if (at < 0) {
        return value;
    }
    const int start = at + static_cast<int>(key.size());
    if (iniText.GetAt(start) == '"') {
        const int close = start + 1 < iniText.Length() ? iniText.Find("\"", start + 1) : -1;
        const int end = close < 0 ? iniText.Length() : close;
        value.Assign(iniText.Slice(start + 1, end - start - 1));
        DeleteAll(value, "\r\n");
        return value;
    }
    const int lineEnd = start < iniText.Length() ? iniText.Find("\r\n", start) : -1;
    value.Assign(iniText.Slice(start, (lineEnd < 0 ? iniText.Length() : lineEnd) - start));
    DeleteAll(value, " ");
    return value;
}

bool WriteIniValue(GbString& iniText, std::string_view key, std::string_view value) {
    const int at = FindConfigKey(iniText, key);
    if (at < 0) {
        iniText.Append(key);
        iniText.Append(value);
        return false;
    }
    const int start = at + static_cast<int>(key.size());
    int from = start;
    // A quoted value may span lines: all of it goes, not only its first line.
    if (iniText.GetAt(start) == '"' && start + 1 < iniText.Length()) {
        const int close = iniText.Find("\"", start + 1);
        if (close >= 0) {
            from = close;
        }
    }
    const int lineEnd = from < iniText.Length() ? iniText.Find("\r\n", from) : -1;
    const int end = lineEnd < 0 ? iniText.Length() : lineEnd;
    iniText.Delete(start, end - start);
    iniText.Insert(start, value);
    return true;
}

bool AddParallelModule(GbString& iniText, std::string_view moduleName) {
    GbString value = ReadIniValue(iniText, kEquateKey);
    value.MakeLower();
    // Whole items count, as the engine reads them: "usr\kjv2" in the list does not stand for
    // "usr\kjv", nor does "usr\kjv.txt", which the engine would read as the file
    // usr\kjv.txt.txt, nor "u\"sr\kjv". The list is kept whole: every item after one that names
    // a ".txt" file is still a module the reader sees.
    const auto lists = [&moduleName](const GbString& list) {
        for (const GbString& item : SplitAll(list, ",")) {
            if (item == moduleName) return true;
        }
        return false;
    };
    if (lists(value)) {
        return false;
    }
    // No module name holds a quote. Kept, a quote at the front of the rewritten list would make
    // it read as a quoted value that ends at the next quote, without the new module. Without
    // its quotes an item may turn into the module itself, which then needs no second entry.
    DeleteAll(value, "\"");
    if (!lists(value)) {
        if (!value.IsEmpty()) {
            value.Append(",");
        }
        value.Append(moduleName);
    }
    WriteIniValue(iniText, kEquateKey, value);
    return true;
}

bool InstallImportedModule(SetupSession& session, const GbString& module, std::string_view text) {
    const GbString& config = session.configDirectory;
    // Each write that fails ends the import and says which file it was.
    const auto failed = [&session](const GbString& path) {
        session.messageText = GbString(kImportWriteFailedMessage) + path;
        return false;
    };
    platform::MakeDirectories(config + "usr");
    if (!platform::WriteWholeFile(config + module + ".txt", text)) {
        return failed(config + module + ".txt");
    }

    {
        // Read, changed and written under the lock of bible.ini: an engine or an updater
        // rewriting it at the same moment does not drop the module from the list.
        const GbString iniPath = config + "bible.ini";
        const ConfigFileLock lock(iniPath.view());
        GbString ini(platform::ReadWholeFile(iniPath).value_or(std::string()));
        ReplaceAll(ini, " =", "=");
        ReplaceAll(ini, "= ", "=");
        // Rewritten whole through a temporary file: a failed write leaves the old file.
        if (AddParallelModule(ini, module) && !platform::WriteWholeFile(iniPath, ini)) {
            return failed(iniPath);
        }
    }

    if (!BuildModuleIndex(config, module, false, ":=")) {
        return failed(config + module + ".inx");
    }
    return true;
}

void ImportBible(SetupSession& session, const GbString& fileName) {
    GbString inputName(fileName);
    inputName.MakeLower();
    // A name without a directory is looked for in the configuration directory (the current
    // one), then where the tool was started, where its user most likely meant it.
    if (!platform::PathExists(inputName) && !IsAbsolutePath(inputName.view()) &&
        !session.startDirectory.IsEmpty() &&
        platform::PathExists(session.startDirectory + "\\" + inputName)) {
        inputName = session.startDirectory + "\\" + inputName;
    }

    // USFM and OSIS are read whole before anything is written: an input they refuse changes
    // nothing.
    if (const BibleFormat format = BibleFormatOf(inputName); format != BibleFormat::VerseList) {
        const GbString module = PublishedModuleName(inputName);
        const PublishedBible bible = ReadPublishedBible(inputName, format, module);
        if (!bible.ok) {
            session.messageText = bible.message;
        } else if (InstallImportedModule(session, module, bible.moduleText)) {
            session.messageText = bible.message;
        }
        return;
    }

    const GbString module = ImportModuleName(inputName);
    const std::optional<std::string> input = platform::ReadWholeFile(inputName);
    if (!input) {
        session.messageText = kImportMissingMessage;
        return;
    }
    int verseCount = 0;
    const std::string text = ConvertVerseList(*input, verseCount);
    if (verseCount == 0) {
        session.messageText = kImportEmptyMessage;
        return;
    }
    if (InstallImportedModule(session, module, text)) {
        session.messageText = kImportDoneMessage;
    }
}

}  // namespace quillax
