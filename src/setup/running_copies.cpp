#include "setup/running_copies.h"

#include "common/system_helpers.h"
#include "common/text_rules.h"
#include "platform/path_rules.h"
#include "settings/between_programs.h"

namespace qm {
namespace {

// The request carries the address of a 16-bit zero; the tray program does
// not look at it.
const std::int16_t kQuitRequestZero = 0;

}  // namespace

bool RunsFrom(Processes& processes, std::uint32_t processId, const std::string& folder,
              const std::string& name) {
    const auto image = processes.imagePath(processId);
    return image && ComparablePath(*image) == ComparablePath(folder + "\\" + name);
}

std::vector<std::uint32_t> SessionCopiesIn(Processes& processes, const std::string& folder,
                                           const std::string& name) {
    const std::uint32_t session = processes.currentSessionId();
    std::vector<std::uint32_t> found;
    for (const ProcessInfo& process : processes.snapshot()) {
        if (process.sessionId == session && ProcessNameKey(process.exeName) == LowerAscii(name) &&
            RunsFrom(processes, process.id, folder, name)) {
            found.push_back(process.id);
        }
    }
    return found;
}

bool OtherSessionRunsIn(Processes& processes, const std::string& folder) {
    const std::uint32_t session = processes.currentSessionId();
    for (const ProcessInfo& process : processes.snapshot()) {
        if (process.sessionId == session) continue;
        const std::string key = ProcessNameKey(process.exeName);
        for (const char* name : {kProgramFileName, kUpdaterFileName}) {
            if (key != LowerAscii(name)) continue;
            const auto image = processes.imagePath(process.id);
            if (!image || ComparablePath(*image) == ComparablePath(folder + "\\" + name)) {
                return true;
            }
        }
    }
    return false;
}

void AskTrayToQuit(Messenger& messenger, std::uint32_t processId, std::uint32_t timeoutMs) {
    for (const WindowId window : messenger.topLevelWindows(processId, kMainWindowClass)) {
        messenger.sendWithTimeout(window, kQuitRequestMsg, kQuitRequestParam,
                                  reinterpret_cast<std::intptr_t>(&kQuitRequestZero), timeoutMs);
    }
}

}  // namespace qm
