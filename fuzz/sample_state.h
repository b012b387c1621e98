// An engine state for the fuzz targets of the page code: the vocabulary, book names and
// abbreviations, SYSKEY, TXTSYSPTH and EQUATEFILE of the sample installation's bible.ini, and
// installDir set to a directory of the caller's.
#pragma once

#include <string>

#include "engine/state/render_state.h"
#include "fuzz/fuzz_support.h"
#include "platform/files.h"
#include "textlib/config_text.h"

namespace quillax::fuzzing {

// Copies the sample installation's files (cfg, cfg\sys, cfg\usr) into configDir (made here) so
// that a target can index them and read them; false when the sample is not there.
inline bool CopySampleInstallation(const std::string& configDir) {
    const std::string source = std::string(QUILLAX_SOURCE_DIR) + "/sample/cfg";
    bool any = false;
    for (const char* sub : {"", "/sys", "/usr"}) {
        platform::MakeDirectories(configDir + sub);
        for (const auto& entry : platform::ListDirectory(source + sub)) {
            if ((entry.attributes & platform::kAttrDirectory) != 0) continue;
            any = platform::CopyFileTo(source + sub + "/" + entry.name,
                                       configDir + sub + "/" + entry.name, false) || any;
        }
    }
    return any;
}

inline void FillSampleState(RenderState& s, const std::string& installDir) {
    const GbString config = ApplyBlankRule(SampleConfig());
    s.installDir = GbString(installDir);
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
    s.chapter.showMessage = [](std::string_view, std::string_view) {};
}

}  // namespace quillax::fuzzing
