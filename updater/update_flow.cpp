#include "updater/update_flow.h"

#include <string>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/process.h"
#include "updater/texts.h"

namespace quillax {

UpdateFlow::UpdateFlow(UpdateFront& front, FlowSetup setup)
    : front_(front), setup_(std::move(setup)) {
    manifestCopy_ = setup_.tempDir + "cvupdate.ini";
    connection_ = std::make_unique<platform::HttpConnection>(
        setup_.userAgent.view(), setup_.url.server.view(), setup_.url.port);
    UpdaterSetup core;
    core.installDir = setup_.startup.installDir;
    core.ownDir = setup_.ownDir;
    core.manifestCopy = manifestCopy_;
    core.installedEngineLabel = setup_.startup.installedEngineLabel;
    updater_ = std::make_unique<Updater>(front_, *connection_, core);
    findRunningProduct = [](std::string_view name) { return platform::FindProcessByName(name); };
    terminateProduct = [](std::uint32_t id) { return platform::TerminateProcessById(id, 0); };
    front_.SetStatus(updater_text::kStatusInitial);
}

void UpdateFlow::Initialise() {
    front_.SetDefaultButton(updater_text::kCaptionNext, true);
    front_.AddLine((setup_.startup.productName + " " + setup_.startup.versionText).view());
}

void UpdateFlow::PressDefault() {
    switch (step_) {
        case Step::Check:
            CheckPass();
            break;
        case Step::Apply:
            ApplyPass();
            break;
        case Step::Finish:
            step_ = Step::Closed;
            break;
        case Step::Closed:
            break;
    }
}

bool UpdateFlow::RunPass(bool apply) {
    front_.DeleteFirstLine();
    front_.SetStatus(updater_text::kStatusListing);
    front_.AddLine(updater_text::kStatusListing);
    return updater_->RunEntries(apply);
}

void UpdateFlow::CheckPass() {
    front_.SetDefaultButton(updater_text::kCaptionNext, false);
    front_.SetStatus(updater_text::kStatusConnecting);

    bool tooLarge = false;
    platform::HttpCallbacks callbacks;
    callbacks.onHead = [this, &tooLarge](const platform::HttpResponseHead& head) {
        // An error page is no manifest: only a 2xx answer is taken.
        if (head.status < 200 || head.status > 299) {
            return false;
        }
        tooLarge = ProfileTooLarge(head, 0);
        if (tooLarge) {
            return false;
        }
        front_.SetStatus(updater_text::kStatusReadingManifest);
        return true;
    };
    callbacks.onRead = [this, &tooLarge](std::uint64_t received, const platform::HttpResponseHead& head) {
        tooLarge = ProfileTooLarge(head, received);
        if (tooLarge) {
            return false;
        }
        front_.ProcessPendingMessages();
        return !front_.CancelRequested();
    };
    const platform::HttpTransfer transfer =
        connection_->GetToFile(setup_.url.objectPath.view(), manifestCopy_.view(), callbacks);
    // No copy is kept of a manifest that did not arrive whole, nor of an earlier one.
    if (transfer.outcome != platform::HttpOutcome::Saved && platform::PathExists(manifestCopy_.view())) {
        platform::RemoveFile(manifestCopy_.view());
    }
    if (tooLarge) {
        // As after a failed connection, the caption stays for another try.
        const GbString line = setup_.url.objectPath + updater_text::kLineTooLarge;
        front_.AddLine(line.view());
        front_.SetStatus(line.view());
        front_.SetDefaultButton(updater_text::kCaptionNext, true);
        return;
    }
    switch (transfer.outcome) {
        case platform::HttpOutcome::Saved:
            break;
        case platform::HttpOutcome::Declined:
            // As after a failed connection, the caption stays for another try.
            front_.SetStatus((updater_text::kStatusManifestRefused + GbString(std::to_string(transfer.head.status)) +
                              updater_text::kStatusManifestRefusedEnd).view());
            front_.SetDefaultButton(updater_text::kCaptionNext, true);
            return;
        case platform::HttpOutcome::SendFailed:
            // The caption stays, so the user can try again.
            front_.SetStatus(updater_text::kStatusConnectFailed);
            front_.SetDefaultButton(updater_text::kCaptionNext, true);
            return;
        case platform::HttpOutcome::FileFailed:
            front_.ShowMessage((updater_text::kMessageWriteFailed + manifestCopy_ +
                                (transfer.diskFull ? updater_text::kMessageDiskFullEnd
                                                   : updater_text::kMessageWriteFailedEnd)).view(),
                               MessageIcon::Stop);
            return;
        case platform::HttpOutcome::ReadFailed:
            front_.ShowMessage(transfer.errorText, MessageIcon::Stop);
            return;  // the button stays disabled: only Cancel remains
        case platform::HttpOutcome::Cancelled:
            Close(updater_text::kStatusCancelled);
            return;
    }

    const bool needed = RunPass(false);
    if (updater_->PassCancelled()) {
        Close(updater_text::kStatusCancelled);
        return;
    }
    if (!needed) {
        front_.SetStatus(updater_text::kStatusNothingToDo);
        return;
    }
    front_.SetStatus((front_.Status() + updater_text::kStatusUpdatesFound).view());
    step_ = Step::Apply;
    front_.SetDefaultButton(updater_text::kCaptionUpdate, true);
}

void UpdateFlow::ApplyPass() {
    front_.SetDefaultButton(updater_text::kCaptionUpdate, false);
    front_.SetBusy(true);
    const GbString product = setup_.startup.productName;
    if (findRunningProduct) {
        if (const auto processId = findRunningProduct((product + ".exe").view())) {
            if (front_.AskOkCancel((product + updater_text::kMessageProductRunning).view()) &&
                terminateProduct) {
                terminateProduct(*processId);
            }
        }
    }
    RunPass(true);
    if (updater_->PassCancelled()) {
        platform::RemoveFile(manifestCopy_.view());
        front_.SetBusy(false);
        Close(updater_text::kStatusCancelled);
        return;
    }
    step_ = Step::Finish;
    front_.SetDefaultButton(updater_text::kCaptionFinish, false);
    front_.SetStatus(updater_text::kStatusPassDone);
    platform::RemoveFile(manifestCopy_.view());
    front_.SetBusy(false);
    front_.SetDefaultButton(updater_text::kCaptionFinish, true);
}

void UpdateFlow::Close(std::string_view status) {
    front_.SetStatus(status);
    step_ = Step::Closed;
}

FlowSetup PrepareFlowSetup(const StartupSettings& settings) {
    if (!platform::DirectoryExists("update")) {
        platform::MakeDirectories("update");
    }
    FlowSetup setup;
    setup.startup = settings;
    setup.url = ParseManifestUrl(settings.manifestUrl.view());
    setup.tempDir = GbString(platform::TemporaryDirectory());
    return setup;
}

}  // namespace quillax
