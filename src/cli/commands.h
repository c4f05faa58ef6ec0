#pragma once
// The commands of Quillmoor.exe's command line. They use the services the
// menu commands use and write the same log lines, but show no popup: what
// a notice would say is printed instead. Nothing of a running tray program
// is touched (no instance lock, locator or settings defaults), and no
// update is looked for; it is only told of each drive ejected here, so
// that it does not announce the drive as pulled out.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "core/drive_table.h"
#include "drives/eject.h"
#include "common/event_log.h"
#include "drives/immunisation.h"
#include "common/notices.h"
#include "common/system_helpers.h"
#include "platform/blockers.h"
#include "platform/code_page.h"
#include "platform/console_output.h"
#include "platform/drive_probe.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/mci.h"
#include "platform/messenger.h"
#include "platform/processes.h"
#include "platform/shell.h"
#include "platform/storage.h"
#include "settings/settings_files.h"

namespace qm {

struct CliPlatform {
    FileSystem& files;
    Storage& storage;
    CodePage& codePage;
    EventLoop& loop;
    Mci& mci;
    Processes& processes;
    Shell& shell;
    BlockerFinder& blockers;
    DriveProbe& probe;
    ConsoleOutput& out;
    // To tell a running tray program of the drives ejected here.
    Messenger& messenger;
};

// "1.9 GB": bytes in binary units with one decimal ("512 B" below a KiB).
std::string FormatSize(std::uint64_t bytes);
// The /list line of a drive: name, bus, kind, label, size, immunised,
// separated by tabs.
std::string DriveListLine(const DriveEntry& entry, bool immunised);

// What a notice would have said, kept to be printed once the outcome is known.
class HeldNotices final : public NoticePresenter {
  public:
    void ShowNotice(const std::string&, const std::string& sContent, NoticePicture, int,
                    const std::string&) override {
        texts.push_back(sContent);
    }
    std::vector<std::string> texts;
};

class CommandLine {
  public:
    CommandLine(CliPlatform platform, std::string installDir, std::string versionText);
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // Runs one command; its exit code.
    int run(const CliRequest& request);

  private:
    int list();
    int eject(char letter);
    int ejectAll();
    int whoLocks(char letter);
    int immunise(char letter, bool on);
    int door(char letter, bool open);
    // A safe eject that a running tray program hears of before and after.
    SafeEjectOutcome ejectTellingTray(const std::string& label, const std::string& root);

    // The drive's entry, its question bounded as the tray program's refresh
    // bounds it; empty, and said so, when the letter is not mapped.
    std::optional<DriveEntry> drive(char letter);
    // Every mapped drive from C: to Z:, in letter order.
    std::vector<DriveEntry> drives();
    // Says the outcome of one safe eject; whether the drive went.
    bool sayEject(const SafeEjectOutcome& outcome);
    void say(std::string_view line) { PrintLine(p_.out, line, ConsoleOutput::Stream::Out); }
    void complain(std::string_view line) { PrintLine(p_.out, line, ConsoleOutput::Stream::Err); }
    // What the notices held say, on the stream the outcome belongs to.
    void sayNotices(bool ok);

    CliPlatform p_;
    InstallPaths paths_;
    std::string noticeTitle_;
    EventLog log_;
    HeldNotices notices_;
    SystemHelpers helpers_;
    Immunisation immunisation_;
    Eject eject_;
    DriveTable table_;
};

// Parses the command line and runs its command; the exit code.
int RunCommandLine(CliPlatform platform, const std::string& installDir,
                   const std::string& versionText, std::string_view commandLine);

}  // namespace qm
