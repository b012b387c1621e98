// The set-up tool's driver: finds the installation, reads the command line and runs the
// action it names.
//
// Command line (options are matched case-insensitively, "/x" the same as "-x"):
//   -q                      anywhere: quiet, no closing message (removed before the rest is
//                           matched)
//   -h, -help               the usage text
//   -u, -clearreg           clear the component's registration
//   -uninstall              uninstall the product
//   -correct                apply the errata list
//   -import <file>          anywhere: import a Bible text of another language
//   <names> [-<marker>]     five or more characters: rebuild the indexes of the named modules
//   (nothing)               installation run with re-registration of the component
//   one to four characters  installation run without the preceding unregistration
#pragma once

#include <string_view>

#include "setup/setup_session.h"
#include "textlib/gb_list.h"
#include "textlib/gb_string.h"

namespace quillax {

// The caption of the closing message box.
extern const char kClosingCaption[];
// The usage text of "-h" and "-help".
extern const char kUsageText[];
// The message when no installation is found, shown even in a quiet run.
extern const char kMissingFilesMessage[];

// What a command line asks for.
enum class SetupAction {
    Install,            // installation run (with or without re-registration)
    ClearRegistration,  // "-u", "-clearreg"
    Uninstall,          // "-uninstall"
    Usage,              // "-h", "-help"
    ApplyErrata,        // "-correct"
    Import,             // "-import" anywhere
    IndexModules,       // five or more characters of anything else
};

struct ParsedCommandLine {
    SetupAction action = SetupAction::Install;
    // "-q" was given: no closing message box, no questions.
    bool quiet = false;
    // For Install: unregister the previous component first (nothing but "-q" was given).
    bool reregister = true;
    // The command line after normalisation: "/" made "-" (see SlashOptions), lower-cased, the
    // first "-q" removed, double blanks made single, leading and trailing blanks removed.
    GbString normalised;
    // For Import: the file name (the rest without "-import" and without blanks, tabs, CR, LF).
    GbString importFile;
};

// Reads a command line (without the program name).
ParsedCommandLine ParseCommandLine(std::string_view commandLine, SlashOptions slashes);

// What the index mode is asked to do.
struct IndexRequest {
    GbString marker;
    bool lineFlag = false;
    GbList names;  // may hold empty names, which build nothing
};

// The index mode's reading of a normalised command line "names [-marker]": the marker is the
// text after the first "-" up to the next blank ("<h1>" when there is no "-"); the line flag
// is on for the markers "l" and "line"; every " -" + marker is removed, double blanks are made
// single and the rest is split at every blank into module names.
IndexRequest ParseIndexCommand(const GbString& commandLine);

// Runs the command line (without the program name) and returns the message text, which is
// also left in session.messageText. Fills the session's directories. On the way it records
// the configuration directory as the default value of HKEY_CURRENT_USER\Software\quillax and
// makes it the current directory.
GbString RunCommandLine(SetupSession& session, std::string_view commandLine);

// The index mode: builds the index of every module that ParseIndexCommand names, in order,
// and sets the message text to the list of the modules indexed and of those without text.
void RunIndexMode(SetupSession& session, const GbString& commandLine);

// The uninstall, which must not run from a program file inside the configuration directory it
// deletes: started elsewhere it uninstalls directly, started there it hands the work to a copy
// of the tool in the installation root. An installation that UninstallRefusal refuses is
// reported at once, before any copy is written.
void UninstallHandOff(SetupSession& session);

// Makes running out of memory end the program with the message "内存冲突!" (caption "错误")
// and exit code -1. The entry calls it first.
void InstallOutOfMemoryHandler();

// The whole program after the entry: builds the strip list, runs the command line and shows
// the closing message box (caption "Orvane") unless the run was quiet. Returns the exit code,
// always 0; no exception leaves it.
int RunEnvoke(std::string_view commandLine, SlashOptions slashes);

}  // namespace quillax
