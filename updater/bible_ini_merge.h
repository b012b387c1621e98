// Merging a downloaded bible.ini into the local one. The local file keeps the user's settings;
// only three things come from the download: the "CMPSTR=" block (when the downloaded one is
// longer), the manifest URL (when the local file has none) and the items of the two
// character-correction lists of section "FIXGB2312TOGBK" that the local lists lack.
#pragma once

#include <optional>
#include <string_view>

#include "textlib/gb_string.h"
#include "updater/front.h"

namespace quillax {

struct MergeOutcome {
    bool blockReplaced = false;  // the CMPSTR block came from the download
    bool urlWritten = false;     // the local file had no UPDATEURL and got the downloaded one
    bool gb2Grew = false;        // WORD_GB2 gained items
    bool gbkGrew = false;        // WORD_GBK gained items (this adds the list line)
};

// Carries the three parts over, in this order, each one a safe rewrite of the local file
// (temporary file and rename), all under one hold of the local file's lock
// (textlib/config_lock.h). `front` (may be null) gets the list line when WORD_GBK grew.
MergeOutcome MergeBibleIni(std::string_view localFile, std::string_view downloadedFile,
                           UpdateFront* front);

// Appends to the local value of key (section "FIXGB2312TOGBK") every item of the downloaded
// value that a plain substring search does not find in it; true when something was added.
bool MergeCorrectionList(std::string_view key, std::string_view localFile,
                         std::string_view downloadedFile);

// The list merge itself, on texts: the new local value, or nothing when no item was added.
std::optional<GbString> MergedCorrectionValue(std::string_view local, std::string_view downloaded);

// The installer's upgrade keeps the user's bible.ini and merges the shipped one into it as an
// update does: the updater's command line "-mergeini LOCAL SHIPPED" (file names without blanks,
// relative to the working directory) runs MergeBibleIni without a front and nothing else. False
// when the command line is any other.
bool RunInstallerMerge(std::string_view commandLine);

}  // namespace quillax
