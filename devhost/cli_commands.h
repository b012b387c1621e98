// The subcommands of quillax-cli (quillax_cli.cpp reads the command line and says what each
// does). Each returns the exit status: 0 done, 1 no installation or nothing to show, 2 bad
// usage.
#pragma once

#include <vector>

#include "engine/state/render_state.h"
#include "textlib/gb_string.h"

namespace quillax::cli {

// Pages on an in-memory host (cli_pages.cpp): one page's body, one element's popup, and one
// page and popup of every kind with their sizes.
int RunPage(const GbString& installDir, std::vector<GbString> words);
int RunPopup(const GbString& installDir, const std::vector<GbString>& args);
int RunPages(const GbString& installDir);

// References and keys (cli_references.cpp).
int RunRef(const GbString& installDir, const std::vector<GbString>& refs);
int RunBrackets(const GbString& installDir, const GbString& text, const GbString& defaultKey);
int RunKey(const std::vector<GbString>& keys);

// The full report of what the engine read from an installation (cli_report.cpp).
void PrintReport(RenderState& state);

}  // namespace quillax::cli
