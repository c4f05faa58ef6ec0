#include "setup/uninstall_dialog.h"

#include "platform/shell.h"
#include "texts/setup_texts.h"

namespace qm {

std::vector<std::string> UninstallDialog::Question() {
    std::vector<std::string> paragraphs{
        Text(SetupText::UninstallQuestion, {uninstaller_.installDir()}),
        Text(SetupText::UninstallDrivesNote)};
    if (uninstaller_.AutoPlayWasOff()) paragraphs.push_back(Text(SetupText::UninstallAutoPlayNote));
    return paragraphs;
}

bool UninstallDialog::onLoad() {
    if (uninstaller_.HasInstallation()) return true;
    state_ = State::Ended;
    exitCode_ = kUninstallNothingHere;
    port_.messageBox(Text(SetupText::UninstallNothingHere, {uninstaller_.installDir()}),
                     msgbox::kOk | msgbox::kIconInformation);
    close();
    return false;
}

void UninstallDialog::onUninstall(bool purge) {
    // A second press that a pump let through, or one after the end.
    if (state_ != State::Asking || closed_) return;
    state_ = State::Removing;
    port_.enableAnswers(false);
    const UninstallResult result = uninstaller_.Run(purge, [this](const std::string& line) {
        if (!closed_) port_.setStatus(line);
    });
    state_ = State::Ended;
    exitCode_ = UninstallExitCode(result.outcome);
    if (!closed_) {
        const bool done = result.outcome == UninstallOutcome::Done;
        port_.messageBox(UninstallSummary(result, uninstaller_.installDir()),
                         msgbox::kOk | (done ? msgbox::kIconInformation : msgbox::kIconWarning));
    }
    close();
}

void UninstallDialog::onCancel() {
    if (state_ != State::Asking) return;
    state_ = State::Ended;
    exitCode_ = kUninstallCancelled;
    close();
}

bool UninstallDialog::onCloseRequest() {
    switch (state_) {
        case State::Asking:
            state_ = State::Ended;
            exitCode_ = kUninstallCancelled;
            return true;
        case State::Removing:
            // Half a removal is worse than none: it runs to its end.
            return false;
        case State::Ended:
            break;
    }
    return true;
}

void UninstallDialog::close() {
    if (closed_) return;
    closed_ = true;
    port_.close();
}

}  // namespace qm
