// The import as envoke -import runs it, for the fuzz targets of the import: a fresh configuration
// directory below a scratch tree, its bible.ini, the input file in it, the import with that
// directory as the working directory, and the check that nothing was written outside it.
#pragma once

#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "setup/bible_import.h"
#include "setup/setup_session.h"

namespace quillax::fuzzing {

// top is the scratch tree, top + "/b/cfg" the configuration directory. Returns the closing
// message.
inline GbString ImportInScratch(const char* target, const std::string& top, const std::string& fileName,
                                std::string_view input, std::string_view ini) {
    const std::string config = top + "/b/cfg";
    ResetDirectory(top);
    ResetDirectory(config);
    PutFile(config + "/bible.ini", ini);
    PutFile(config + "/" + fileName, input);
    SetupSession session;
    session.configDirectory = GbString(config + "\\");
    {
        const WorkingDirectory inConfig(config);
        ImportBible(session, GbString(fileName));
    }
    for (const std::string& path : ListTree(top)) {
        if (path != "b/" && path.rfind("b/cfg/", 0) != 0) Finding(target, "the import wrote outside");
    }
    return session.messageText;
}

}  // namespace quillax::fuzzing
