// The state of one run of the set-up tool: where the installation is, what the run reports at
// its end, and whether it shows that report.
#pragma once

#include "textlib/gb_string.h"

namespace quillax {

// How "/" in a command line is read. On Windows options may be written "/x" as well as "-x",
// and paths use "\", so every "/" becomes "-". On Linux paths use "/": only an option word (a
// word that starts with "/" and holds no further "/", "\" or ".", such as "/q" or "/:=") has
// its "/" made a "-"; any other word keeps its "/".
enum class SlashOptions { AllSlashes, OptionWordsOnly };

struct SetupSession {
    // Directory the tool was started in (without a trailing "\", as the platform reports it).
    GbString startDirectory;
    // Directory that holds bible.ini, always ending in "\"; every data path is formed from it.
    GbString configDirectory;
    // Text of the closing message; each action reports its outcome here.
    GbString messageText;
    // Whether the closing message is shown ("-q" clears it).
    bool showFlag = true;
    // The system directory, the engine component's path in it and the fonts directory beside it
    // (all empty where the platform has no system directory).
    GbString systemDirectory;
    GbString systemComponentPath;
    GbString fontDirectory;
    SlashOptions slashes = SlashOptions::AllSlashes;
};

// The installation root: the configuration directory without its last four characters "cfg\".
GbString InstallationRoot(const SetupSession& session);

}  // namespace quillax
