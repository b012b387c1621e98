#include "setup/module_index.h"

#include <cstdint>
#include <limits>
#include <string>

#include "platform/files.h"
#include "setup/main_text.h"
#include "textlib/line_reader.h"

namespace quillax {

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
}

}  // namespace quillax
