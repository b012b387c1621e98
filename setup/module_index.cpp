#include "setup/module_index.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "platform/files.h"
#include "setup/main_text.h"
#include "setup/path_text.h"
#include "textlib/config_text.h"
#include "textlib/gb_list.h"
#include "textlib/line_reader.h"

namespace quillax {

namespace {

// Whether a lower-cased module name is one of the fixed table's.
bool IsTableModule(std::string_view lowerName) {
    for (const ModuleTableRow& row : ModuleTable) {
        GbString rowName(row.name);
        rowName.MakeLower();
        if (SameModuleName(lowerName, rowName.view())) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool BuildModuleIndex(std::string_view configDir, std::string_view name, bool lineFlag,
                      std::string_view marker) {
    if (name.empty()) {
        return false;
    }
    GbString lowerName(name);
    lowerName.MakeLower();
    const IndexRule rule = IndexRuleOf(lowerName, lineFlag, marker);
    const GbString stem = GbString(configDir) + lowerName;
    const GbString textPath = stem + ".txt";
    const GbString indexPath = stem + ".inx";

    bool written = false;
    if (platform::FileExists(textPath)) {
        LineReader reader(textPath);
        // Offsets are 32-bit: a text that does not fit keeps its old index.
        if (reader.IsOpen() && reader.FileSize() <= std::numeric_limits<std::uint32_t>::max()) {
            const std::string bytes = BuildIndexBytes(reader, rule.mode, rule.markerText, rule.lineFlag);
            platform::SetReadOnly(indexPath, false);
            written = platform::WriteWholeFile(indexPath, bytes);
        }
    }
    if (platform::PathExists(indexPath)) {
        platform::SetReadOnly(indexPath, true);
    }
    return written;
}

void PrepareModules(std::string_view configDir) {
    const GbString dir(configDir);
    if (!platform::FileExists(dir + "sys\\corpa.txt")) {
        DeriveMainText(dir);
    }
    for (const ModuleTableRow& row : ModuleTable) {
        BuildModuleIndex(dir, row.name, row.lineFlag, row.marker);
    }
    IndexParallelModules(configDir);
}

int IndexParallelModules(std::string_view configDir) {
    const GbString dir(configDir);
    const GbString configText = ReadConfigFile((dir + "bible.ini").view());
    std::vector<GbString> done;
    int written = 0;
    for (const GbString& entry : ReadConfigList(configText, "EQUATEFILE=")) {
        GbString name(entry);
        name.MakeLower();
        if (name.IsEmpty() || !StaysInside(name.view()) || IsTableModule(name.view())) {
            continue;
        }
        bool seen = false;
        for (const GbString& previous : done) {
            seen = seen || SameModuleName(name.view(), previous.view());
        }
        if (seen) {
            continue;
        }
        done.push_back(name);
        if (BuildModuleIndex(dir, name.view(), false, ":=")) {
            ++written;
        }
    }
    return written;
}

}  // namespace quillax
