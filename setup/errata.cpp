#include "setup/errata.h"

#include <string>

#include "platform/files.h"
#include "setup/module_index.h"
#include "setup/path_text.h"
#include "setup/text_edit.h"
#include "textlib/gb_list.h"
#include "textlib/line_reader.h"
#include "textlib/text_helpers.h"

namespace quillax {

const char kErrataDoneMessage[] = "已成功的按堪误表修正了相关文件！";
const char kErrataMissingMessage[] = "The correct file is not exist!";
const char kErrataNothingMessage[] = "堪误表中的原文在相关文件中都没有找到，没有需要修正的文字，文件保持原样。";
const char kErrataWriteFailedMessage[] =
    "下列文件无法改写（文件只读或磁盘已满），其中的文字没有修正，文件保持原样：";
const char kErrataOthersDoneMessage[] = "其余文件已按堪误表修正。";

namespace {

enum class SectionResult { Unchanged, Corrected, WriteFailed };

// The text file of one section while its corrections are applied. Its lines are read one by
// one; the rewritten text collects in `output` and goes to the temporary file at the end.
class SectionFile {
public:
    SectionFile(const GbString& configDirectory, std::string_view name)
        : moduleName_(GbString("sys\\") + name),
          textPath_(configDirectory + "sys\\" + name + ".txt"),
          tempPath_(configDirectory + "sys\\" + name + ".tex"),
          reader_(StaysInside(name) ? textPath_ : GbString()) {}

    bool Exists() const { return reader_.IsOpen(); }
    bool AtEnd() const { return reader_.AtEnd(); }
    int LineNumber() const { return lineNumber_; }

    // Reads lines until line `number` is the current one or the file ends; the lines passed
    // over are written out.
    void AdvanceTo(int number) {
        while (!reader_.AtEnd() && lineNumber_ != number) {
            if (lineNumber_ > 0) {
                Write(current_);
            }
            ++lineNumber_;
            reader_.ReadLine(current_);
        }
    }

    // Replaces the first occurrence of oldText in the current line.
    void Correct(std::string_view oldText, std::string_view newText) {
        if (current_.Find(oldText, 0) >= 0) {
            changed_ = true;
            current_.Replace(oldText, newText, 0, 1);
        }
    }

    // Writes the rest of the file and replaces the text file when a correction found its text;
    // otherwise the text file stays as it is. No temporary file is left either way.
    SectionResult Finish() {
        if (!Exists()) {
            return SectionResult::Unchanged;
        }
        GbString line = current_;
        while (!reader_.AtEnd()) {
            Write(line);
            reader_.ReadLine(line);
        }
        Write(line);
        bool replaced = false;
        if (changed_) {
            replaced = platform::WriteWholeFile(tempPath_, output_) &&
                       platform::RenamePath(tempPath_, textPath_, true);
        }
        if (platform::FileExists(tempPath_)) {
            platform::RemoveFile(tempPath_);
        }
        if (!changed_) {
            return SectionResult::Unchanged;
        }
        return replaced ? SectionResult::Corrected : SectionResult::WriteFailed;
    }

    const GbString& TextPath() const { return textPath_; }
    // The module the file is the text of ("sys\" + name).
    const GbString& ModuleName() const { return moduleName_; }

private:
    // A line goes out with CR LF; empty lines are dropped.
    void Write(const GbString& line) {
        if (!line.IsEmpty()) {
            output_ += line.view();
            output_ += "\r\n";
        }
    }

    GbString moduleName_;
    GbString textPath_;
    GbString tempPath_;
    LineReader reader_;
    int lineNumber_ = 0;
    GbString current_;
    bool changed_ = false;
    std::string output_;
};

bool IsSectionHeader(const GbString& item) {
    return item.Length() >= 2 && item.GetAt(0) == '[' && item.GetAt(item.Length() - 1) == ']';
}

}  // namespace

void ApplyErrata(SetupSession& session) {
    const std::optional<std::string> list = platform::ReadWholeFile(session.configDirectory + "correct.txt");
    if (!list) {
        session.messageText = kErrataMissingMessage;
        return;
    }
    // Items end with CR LF; a list saved with LF alone is read the same way.
    GbList items = SplitAll(*list, "\n");
    for (int i = 0; i < items.Count(); ++i) {
        GbString* item = items.Get(i);
        if (item->Length() > 0 && item->GetAt(item->Length() - 1) == '\r') {
            item->SetLength(item->Length() - 1);
        }
    }
    int corrected = 0;
    GbString failed;
    const auto finish = [&](SectionFile& file) {
        switch (file.Finish()) {
            case SectionResult::Unchanged:
                break;
            case SectionResult::Corrected: {
                ++corrected;
                // The offsets after the corrected lines have moved: the module's index is
                // rebuilt at once, the way the installation builds it.
                const ModuleTableRow row = InstalledIndexRow(file.ModuleName());
                BuildModuleIndex(session.configDirectory, file.ModuleName(), row.lineFlag, row.marker);
                break;
            }
            case SectionResult::WriteFailed:
                failed.Append("\n");
                failed.Append(file.TextPath());
                break;
        }
    };
    std::optional<SectionFile> section;
    int j = 0;
    while (j < items.Count()) {
        const GbString& item = items[j];
        if (IsSectionHeader(item)) {
            if (section) {
                finish(*section);
            }
            section.emplace(session.configDirectory, item.Slice(1, item.Length() - 2));
            ++j;
            continue;
        }
        const int number = ToInt(item.view());
        const int firstComma = item.Find(",", 0);
        const int secondComma = firstComma < 0 ? -1 : item.Find(",", firstComma + 1);
        const std::string_view oldText =
            secondComma < 0 ? std::string_view() : item.Slice(firstComma + 1, secondComma - firstComma - 1);
        if (!section || !section->Exists() || secondComma < 0 || number < 1 || oldText.empty()) {
            ++j;  // nothing this item could correct
            continue;
        }
        if (number == section->LineNumber()) {
            section->Correct(oldText, item.Slice(secondComma + 1));
            ++j;
            continue;
        }
        if (section->AtEnd()) {
            // A line below the current one or beyond the end of the file: the run ends here.
            break;
        }
        section->AdvanceTo(number);
    }
    if (section) {
        finish(*section);
    }
    // Success is told only when something was corrected and every rewrite went through.
    if (!failed.IsEmpty()) {
        session.messageText = GbString(kErrataWriteFailedMessage) + failed;
        if (corrected > 0) {
            session.messageText.Append("\n");
            session.messageText.Append(kErrataOthersDoneMessage);
        }
    } else if (corrected > 0) {
        session.messageText = kErrataDoneMessage;
    } else {
        session.messageText = kErrataNothingMessage;
    }
}

}  // namespace quillax
