// Small text modules for engine tests: a configuration directory under the temporary directory
// with the modules a test writes into it (text and index), and a RenderState that reads them
// with the sample installation's vocabulary, book names and abbreviations.
//
// Index layout (one entry per record, in record order, then a closing entry):
//     chapter keys: (book x 1000 + chapter - 1000) as 16-bit little endian, ":"
//     other keys:   the key's bytes
//     "=", then the record's offset in the text file as 32-bit little endian
//     closing entry: "=" and the size of the text file
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/state/render_state.h"
#include "platform/files.h"
#include "platform/temp_dir.h"
#include "textlib/chapter_keys.h"
#include "textlib/config_text.h"

namespace quillax::testing {

// ---- index entries, byte by byte ------------------------------------------------------------------

inline std::string IndexOffset(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
    }
    return bytes;
}

inline std::string ChapterIndexEntry(int chapterNumber, std::uint32_t offset) {
    const auto stored = static_cast<unsigned>(chapterNumber - 1000);
    std::string bytes;
    bytes.push_back(static_cast<char>(stored & 0xFFu));
    bytes.push_back(static_cast<char>((stored >> 8) & 0xFFu));
    return bytes + ":=" + IndexOffset(offset);
}

inline std::string TextIndexEntry(std::string_view key, std::uint32_t offset) {
    return std::string(key) + "=" + IndexOffset(offset);
}

inline std::string ClosingIndexEntry(std::uint32_t textSize) { return "=" + IndexOffset(textSize); }

// ---- modules ----------------------------------------------------------------------------------------

struct ModuleRecord {
    std::string key;
    std::string text;  // the record's lines, each ending in CR LF as the files have them
};

struct ModuleFiles {
    std::string text;
    std::string index;
};

// A module in the layout of the ":=" modules (the chain-reference module, study notes, imported
// versions): each record is the key line key + marker + CR LF followed by its text, and the index
// points at the line after the key line (offsetAfterKeyLine) or at the key line itself.
inline ModuleFiles BuildModuleFiles(const std::vector<ModuleRecord>& records,
                                    std::string_view marker = ":=", bool offsetAfterKeyLine = true) {
    ModuleFiles files;
    for (const ModuleRecord& record : records) {
        const auto keyLine = static_cast<std::uint32_t>(files.text.size());
        files.text += record.key + std::string(marker) + "\r\n";
        const auto offset = offsetAfterKeyLine ? static_cast<std::uint32_t>(files.text.size()) : keyLine;
        const int number = IsChapterKey(record.key, false);
        files.index += number != 0 ? ChapterIndexEntry(number, offset) : TextIndexEntry(record.key, offset);
        files.text += record.text;
    }
    files.index += ClosingIndexEntry(static_cast<std::uint32_t>(files.text.size()));
    return files;
}

// A configuration directory of its own with "sys" and "usr" below it, and a state that reads its
// modules: installDir is the directory, the vocabulary, book names, abbreviations, SYSKEY,
// TXTSYSPTH and EQUATEFILE come from sample/cfg/bible.ini (tests run in the repository root).
// Message boxes of the chapter pages are recorded instead of shown.
class ModuleInstallation {
public:
    ModuleInstallation() : state_(std::make_unique<RenderState>()) {
        platform::MakeDirectories(dir_ / "sys");
        platform::MakeDirectories(dir_ / "usr");
        const GbString config = ReadConfigFile("sample\\cfg\\bible.ini");
        sampleFound_ = !config.IsEmpty();
        RenderState& s = *state_;
        s.installDir = GbString(dir_.path() + "\\");
        s.configText = config;
        GbString words = ReadConfigValue(config, "CMPSTR=");
        words.Replace("'", "\"");
        s.cmpStr.Split(words, ",", GbList::kSplitSharedBuffer);
        s.bookNames = ReadConfigList(config, "CCNAME=");
        s.bookNameText = ReadConfigValue(config, "CNAME=");
        s.systemTextDir = ReadConfigValue(config, "TXTSYSPTH=");
        s.systemTextDir.MakeLower();
        s.systemModules = ReadConfigValue(config, "SYSKEY=");
        s.parallelModules = ReadConfigList(config, "EQUATEFILE=");
        s.chapter.showMessage = [this](std::string_view text, std::string_view caption) {
            messages.emplace_back(std::string(text), std::string(caption));
        };
    }

    // False when sample/cfg/bible.ini could not be read (the test runs elsewhere).
    bool SampleFound() const { return sampleFound_; }
    RenderState& state() { return *state_; }
    const std::string& path() const { return dir_.path(); }

    // Writes stem + ".txt" and stem + ".inx" below the directory; stem as the program writes
    // it, e.g. "sys\\tessaly" or "usr\\kjv".
    bool WriteModuleFiles(std::string_view stem, const ModuleFiles& files) {
        return platform::WriteWholeFile(dir_ / (std::string(stem) + ".txt"), files.text) &&
               platform::WriteWholeFile(dir_ / (std::string(stem) + ".inx"), files.index);
    }
    bool WriteModule(std::string_view stem, const std::vector<ModuleRecord>& records) {
        return WriteModuleFiles(stem, BuildModuleFiles(records));
    }
    // The chain-reference module of the chapter pages.
    bool WriteChapters(const std::vector<ModuleRecord>& records) {
        return WriteModule("sys\\tessaly", records);
    }

    // Message boxes shown: (text, caption).
    std::vector<std::pair<std::string, std::string>> messages;

private:
    TempDir dir_;
    std::unique_ptr<RenderState> state_;
    bool sampleFound_ = false;
};

}  // namespace quillax::testing
