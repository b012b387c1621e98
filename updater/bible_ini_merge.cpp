#include "updater/bible_ini_merge.h"

#include <string>
#include <vector>

#include "platform/files.h"
#include "textlib/config_lock.h"
#include "textlib/config_text.h"
#include "textlib/gb_string.h"
#include "updater/profile_file.h"
#include "updater/startup.h"
#include "updater/texts.h"

namespace quillax {
namespace {

constexpr char kCorrectionSection[] = "FIXGB2312TOGBK";
constexpr char kConfigSection[] = "config";
constexpr char kUrlKey[] = "UPDATEURL";

// Substring search that only matches at the start of a character, so that a pattern never
// begins at the trail byte of a GBK character.
bool ContainsText(std::string_view text, std::string_view pattern) {
    if (pattern.empty()) {
        return true;
    }
    for (std::size_t i = 0; i + pattern.size() <= text.size(); i += GbkCharSize(text, i)) {
        if (text.compare(i, pattern.size(), pattern) == 0) {
            return true;
        }
    }
    return false;
}

// The CMPSTR block of a bible.ini text: from "CMPSTR=" up to the "[config]" after it.
bool FindBlock(const std::string& text, std::size_t& begin, std::size_t& end) {
    const int key = FindConfigKey(text, "CMPSTR=");
    if (key < 0) {
        return false;
    }
    begin = static_cast<std::size_t>(key);
    end = text.find("[config]", begin);
    return end != std::string::npos;
}

}  // namespace

std::optional<GbString> MergedCorrectionValue(std::string_view local, std::string_view downloaded) {
    std::string out(local);
    out += ',';
    bool changed = false;
    const auto append = [&](std::string_view search, std::string_view item, bool last) {
        if (!ContainsText(out, search)) {
            out.append(item);
            if (!last) {
                out += ',';
            }
            changed = true;
        }
    };
    if (downloaded.find(',') == std::string_view::npos) {
        append(downloaded, downloaded, true);
    } else {
        std::size_t begin = 0;
        bool first = true;
        for (;;) {
            const std::size_t comma = downloaded.find(',', begin);
            const bool last = comma == std::string_view::npos;
            const std::string item(downloaded.substr(begin, last ? std::string_view::npos : comma - begin));
            if (first) {
                append(item + ",", item, false);
            } else if (last) {
                append("," + item, item, true);
            } else {
                append("," + item + ",", item, false);
            }
            if (last) {
                break;
            }
            first = false;
            begin = comma + 1;
        }
    }
    if (!changed) {
        return std::nullopt;
    }
    if (!out.empty() && out.front() == ',') {
        out.erase(0, 1);
    }
    if (!out.empty() && out.back() == ',') {
        out.pop_back();
    }
    return GbString(out);
}

bool MergeCorrectionList(std::string_view key, std::string_view localFile,
                         std::string_view downloadedFile) {
    // Both values are read whole: a value cut at a buffer limit and written back would lose
    // the local items beyond the limit.
    const GbString local = ReadProfileValue(localFile, kCorrectionSection, key).value_or(GbString());
    const GbString downloaded =
        ReadProfileValue(downloadedFile, kCorrectionSection, key).value_or(GbString());
    const auto merged = MergedCorrectionValue(local, downloaded);
    return merged && WriteProfileValue(localFile, kCorrectionSection, key, *merged);
}

MergeOutcome MergeBibleIni(std::string_view localFile, std::string_view downloadedFile,
                           UpdateFront* front) {
    // The three parts are read and written under one hold of the lock, so that a setting or a
    // module another program writes meanwhile is neither lost nor loses a part of the merge.
    const ConfigFileLock lock(localFile);
    MergeOutcome outcome;
    const auto localUrl = ReadProfileValue(localFile, kConfigSection, kUrlKey);
    const bool hadUrl = localUrl && !localUrl->IsEmpty();

    const auto local = platform::ReadWholeFile(localFile);
    const auto downloaded = platform::ReadWholeFile(downloadedFile);
    std::size_t localBegin = 0, localEnd = 0, newBegin = 0, newEnd = 0;
    if (local && downloaded && FindBlock(*local, localBegin, localEnd) &&
        FindBlock(*downloaded, newBegin, newEnd) &&
        newEnd - newBegin > localEnd - localBegin) {
        std::string merged = local->substr(0, localBegin);
        merged.append(*downloaded, newBegin, newEnd - newBegin);
        merged.append(*local, localEnd, std::string::npos);
        outcome.blockReplaced = platform::WriteWholeFile(localFile, merged);
    }

    if (!hadUrl) {
        const GbString url = ReadProfileValue(downloadedFile, kConfigSection, kUrlKey).value_or(GbString());
        outcome.urlWritten = WriteProfileValue(localFile, kConfigSection, kUrlKey, url);
    }

    outcome.gb2Grew = MergeCorrectionList("WORD_GB2", localFile, downloadedFile);
    outcome.gbkGrew = MergeCorrectionList("WORD_GBK", localFile, downloadedFile);
    if (outcome.gbkGrew && front != nullptr) {
        front->AddLine(updater_text::kLineCorrectionsMerged);
    }
    return outcome;
}

bool RunInstallerMerge(std::string_view commandLine) {
    const std::vector<GbString> words = SplitCommandLine(commandLine);
    if (words.size() != 3 || words[0].view() != "-mergeini" || words[1].IsEmpty() || words[2].IsEmpty()) {
        return false;
    }
    MergeBibleIni(words[1].view(), words[2].view(), nullptr);
    return true;
}

}  // namespace quillax
