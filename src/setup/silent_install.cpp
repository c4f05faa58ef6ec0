#include "setup/silent_install.h"

#include <vector>

#include "common/text_rules.h"
#include "texts/setup_texts.h"

namespace qm {
namespace {

// The wizard's window as a silent installation has it: every question is
// answered yes, every box is kept to be printed, nothing is shown.
class SilentWizardWindow final : public SetupWindowPort {
  public:
    void setText1(const std::string&) override {}
    void setText2(const std::string&) override {}
    void focusText2AtEnd() override {}
    void enableChoosing(bool) override {}
    int messageBox(const std::string& text, std::uint32_t) override {
        boxes.push_back(text);
        return msgbox::kIdOk;
    }
    std::string browseForFolder(const std::string&) override { return {}; }
    void close() override {}

    std::vector<std::string> boxes;
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

SetupArguments ParseSetupArguments(std::string_view commandLine) {
    SetupArguments args;
    std::string_view options = commandLine;
    // "/D=" at the start of an argument takes the rest of the line. A caller
    // that quotes every argument passes it as "/D=...": the same folder.
    for (std::size_t at = 0; at + 3 <= commandLine.size(); ++at) {
        if (at > 0 && !isBlank(commandLine[at - 1])) continue;
        const bool quoted = commandLine[at] == '"';
        const std::size_t name = at + (quoted ? 1 : 0);
        if (name + 3 > commandLine.size() ||
            LowerAscii(std::string(commandLine.substr(name, 3))) != "/d=") {
            continue;
        }
        options = commandLine.substr(0, at);
        std::string folder = TrimBlanks(commandLine.substr(name + 3));
        if (quoted && !folder.empty() && folder.back() == '"') folder.pop_back();
        folder = TrimBlanks(folder);
        if (folder.empty() || folder == "\"\"") {
            args.problem = Text(SetupText::SilentNoFolder);
        } else {
            args.folder = folder;
        }
        break;
    }
    std::size_t i = 0;
    while (i < options.size()) {
        while (i < options.size() && isBlank(options[i])) ++i;
        const std::size_t start = i;
        while (i < options.size() && !isBlank(options[i])) ++i;
        if (start == i) break;
        const std::string word(options.substr(start, i - start));
        const std::string lower = LowerAscii(word);
        if (lower == LowerAscii(kSilentArgument)) {
            args.silent = true;
        } else if (lower == kUninstallArgument) {
            args.uninstall = true;
        } else if (lower == kPurgeArgument) {
            args.purge = true;
        } else if (args.problem.empty()) {
            args.problem = Text(SetupText::SilentUnknownArgument, {word});
        }
    }
    if (!args.problem.empty()) return args;
    if (args.purge && !args.uninstall) {
        args.problem = Text(SetupText::PurgeNeedsUninstall);
    } else if (args.uninstall && args.folder) {
        args.problem = Text(SetupText::UninstallTakesNoFolder);
    }
    return args;
}

std::string SilentInstallFolder(const std::string& given) {
    std::string folder = TrimBlanks(given);
    // Quotes are not needed, but a folder someone quoted anyway is the same.
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
        folder = TrimBlanks(folder.substr(1, folder.size() - 2));
    }
    for (char& c : folder) {
        if (c == '/') c = '\\';
    }
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
}

int SetupExitCode(InstallOutcome outcome) {
    switch (outcome) {
        case InstallOutcome::Done:
            return kSetupDone;
        case InstallOutcome::ChinesePath:
        case InstallOutcome::BadFolder:
            return kSetupFolderRefused;
        case InstallOutcome::ProgramRunning:
            return kSetupProgramRunning;
        case InstallOutcome::FilesFailed:
        case InstallOutcome::Cancelled:
            break;
    }
    return kSetupFilesFailed;
}

int RunSilentInstall(SetupDeps deps, const std::optional<std::string>& folder, ConsoleOutput& out) {
    SilentWizardWindow window;
    frmSETUP setup(window, std::move(deps));
    if (folder) {
        setup.setInstallPath(SilentInstallFolder(*folder));
    } else {
        setup.LoadOldPath();
    }
    const InstallOutcome outcome = setup.Install();
    // Installed but not listed: what to run instead is said as a failure.
    const bool done = outcome == InstallOutcome::Done && setup.Registered();
    const auto stream = done ? ConsoleOutput::Stream::Out : ConsoleOutput::Stream::Err;
    for (const std::string& text : window.boxes) PrintLine(out, text, stream);
    if (outcome == InstallOutcome::Done) {
        PrintLine(out, Text(SetupText::SilentInstalledInto, {setup.InstallPath()}));
    }
    if (outcome == InstallOutcome::Done && !setup.Registered()) return kSetupNotRegistered;
    return SetupExitCode(outcome);
}

}  // namespace qm
