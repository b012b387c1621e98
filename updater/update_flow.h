// The flow of the update dialog: one default button whose caption names the next step
// ("下一步(&N)": fetch the manifest and check; "更新(&U)": install; "完成(&O)": close), a status
// line and a list of progress lines. A front (the Windows dialog, the Linux console) shows it
// and presses the button.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/http.h"
#include "textlib/gb_string.h"
#include "updater/front.h"
#include "updater/startup.h"
#include "updater/updater.h"

namespace quillax {

struct FlowSetup {
    StartupSettings startup;
    ManifestUrl url;    // parsed from startup.manifestUrl; must be HTTP
    GbString ownDir;    // ends in a separator; its "update" folder receives the downloads
                        // (the Windows program: its own directory)
    GbString tempDir;   // the user's temporary directory, ending in a separator
    GbString userAgent; // the program's base name
};

// The set-up of the passes from the start-up settings: the "update" folder of the working
// directory is made when missing, the manifest address parsed (the caller checks url.http) and
// the temporary folder filled in; ownDir and userAgent are the caller's.
FlowSetup PrepareFlowSetup(const StartupSettings& settings);

class UpdateFlow {
public:
    enum class Step { Check, Apply, Finish, Closed };

    // Opens the session with the manifest's server and sets the initial status text.
    UpdateFlow(UpdateFront& front, FlowSetup setup);

    // The dialog's initialisation: the product line "product version" in the list and the
    // default button "下一步(&N)".
    void Initialise();
    // The default button: runs the step its caption names. Cancel pressed while a pass runs
    // (UpdateFront::CancelRequested) stops it at the next read of a download or before the
    // next entry and closes the flow (NextStep() is Closed): entries finished so far stay,
    // nothing more is installed, no manifest copy is kept.
    void PressDefault();

    Step NextStep() const { return step_; }
    // The local manifest copy (temporary directory + "cvupdate.ini").
    const GbString& ManifestCopy() const { return manifestCopy_; }
    Updater& Core() { return *updater_; }

    // Seams for the running product (default: the platform's process functions).
    std::function<std::optional<std::uint32_t>(std::string_view exeName)> findRunningProduct;
    std::function<bool(std::uint32_t processId)> terminateProduct;

private:
    void CheckPass();
    void ApplyPass();
    // Ends the flow (Cancel was pressed while a pass ran): the status says so, the front closes.
    void Close(std::string_view status);
    // Deletes the first list line, shows and lists "获取更新列表:\n" and evaluates every entry.
    bool RunPass(bool apply);

    UpdateFront& front_;
    FlowSetup setup_;
    GbString manifestCopy_;
    std::unique_ptr<platform::HttpConnection> connection_;
    std::unique_ptr<Updater> updater_;
    Step step_ = Step::Check;
};

}  // namespace quillax
