#include "common/system_helpers.h"

#include "common/text_rules.h"
#include "texts/tray_texts.h"

namespace qm {
namespace {

constexpr std::uint32_t kMbIconInformation = 0x40;

}  // namespace

std::string ProcessNameKey(const std::string& exeName) {
    std::string name = LowerAscii(exeName);
    const auto dot = name.find('.');
    const std::size_t keep = dot == std::string::npos ? 3 : dot + 4;
    if (name.size() > keep) name.resize(keep);
    return name;
}

std::string ExplorerCommand(Processes& processes) {
    return "\"" + processes.windowsFolder() + "\\explorer.exe\"";
}

bool SystemHelpers::IsProcessRunning(const std::string& name) {
    for (const auto& p : d_.processes.snapshot()) {
        if (ProcessNameKey(p.exeName) == name) return true;
    }
    return false;
}

void SystemHelpers::KillProcessByName(const std::string& name, bool sameSessionOnly) {
    const std::uint32_t session = d_.processes.currentSessionId();
    for (const auto& p : d_.processes.snapshot()) {
        if (ProcessNameKey(p.exeName) != name) continue;
        if (sameSessionOnly && p.sessionId != session) continue;
        d_.processes.terminate(p.id, 1);
    }
}

void SystemHelpers::RunAndWait(const std::string& commandLine, bool wait, int windowStyle) {
    const Processes::Handle process = d_.processes.start(commandLine, windowStyle, {});
    if (process == 0) return;
    if (wait) WaitForExit(process);
    d_.processes.close(process);
}

std::optional<std::uint32_t> SystemHelpers::WaitForExit(Processes::Handle process,
                                                        std::uint32_t limitMs) {
    const std::uint32_t start = d_.loop.tickCount();
    for (;;) {
        const auto code = d_.processes.exitCode(process);
        if (!code) return std::nullopt;
        if (*code != kStillActive) return code;
        if (d_.loop.quitRequested()) return std::nullopt;
        if (limitMs != kNoLimit && d_.loop.tickCount() - start >= limitMs) return std::nullopt;
        PauseSeconds(0.25f);
    }
}

void SystemHelpers::runMessagesUntil(std::uint32_t start, std::uint32_t ms) {
    for (;;) {
        d_.loop.pump();
        const std::uint32_t elapsed = d_.loop.tickCount() - start;
        if (elapsed > ms || d_.loop.quitRequested()) return;
        d_.loop.waitForMessage(ms - elapsed + 1);
    }
}

void SystemHelpers::PauseSeconds(float seconds) {
    // The step count follows the single-precision counter: 0.25 s is two
    // steps of 100 ms.
    for (float counter = 0.1f; counter <= seconds; counter += 0.1f) {
        runMessagesUntil(d_.loop.tickCount(), 99);
        if (d_.loop.quitRequested()) return;
    }
}

void SystemHelpers::WaitMilliseconds(std::uint32_t ms) { runMessagesUntil(d_.loop.tickCount(), ms); }

void TrimMemory(Processes& processes) { processes.trimWorkingSet(100000, 200000); }

void SystemHelpers::TrimMemory() { qm::TrimMemory(d_.processes); }

void SystemHelpers::ViewLog() {
    const std::string path = d_.paths.logTxt();
    if (!d_.files.fileExists(path)) d_.files.appendBytes(path, {});
    d_.shell.shellOpen(path, kShowMaximised);
}

void SystemHelpers::ShowAbout() {
    const std::string text =
        Text(TrayText::About, {noticeTitle_, kHomePageUrl, d_.paths.installDir()});
    d_.shell.messageBox(text, noticeTitle_, kMbIconInformation);
    refresh();
}

void SystemHelpers::OpenHomePage() {
    d_.notices.ShowNotice(noticeTitle_, Text(TrayText::NoticeHomePage, {kHomePageUrl}),
                          NoticePicture::OK, kNoticeInformation, kNoticeKeyTip);
    d_.shell.shellOpen(kHomePageUrl, kShowMaximised);
    refresh();
}

}  // namespace qm
