#pragma once
// Detaching a drive: the Plug and Play eject request, and the safe and
// forced menu commands built on it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/event_log.h"
#include "common/notices.h"
#include "common/tray_requests.h"
#include "common/system_helpers.h"
#include "platform/blockers.h"
#include "platform/event_loop.h"
#include "platform/processes.h"
#include "platform/shell.h"
#include "platform/storage.h"

namespace qm {

// How an eject request ended. The veto is that of the last attempt.
struct EjectResult {
    bool ok = false;
    int vetoType = 0;
    std::string vetoName;
    // Requests sent; 0 when the device was never found.
    int attempts = 0;
    // The device instances found for the volume and asked to go; 0 when
    // the search did not get that far.
    std::uint32_t device = 0;
    std::uint32_t parent = 0;
};

inline constexpr int kEjectAttempts = 4;
inline constexpr std::uint32_t kEjectRetryMs = 300;

// Finds the device behind a volume ("\\.\G:") and asks its parent device to
// be ejected, up to four times with a wait after each refusal. A request
// counts only when the system accepts it and reports no veto. `wait` lets
// messages run for the given milliseconds.
EjectResult EjectVolume(Storage& storage, const std::function<void(std::uint32_t)>& wait,
                        const std::string& volumePath);

// The word for a veto type; "Unknown" for a type the system does not define.
std::string VetoTypeName(int vetoType);

// Label + "(" + drive name + ")", the drive name being the root's first two
// characters.
std::string EjectDisplayName(const std::string& label, const std::string& root);
// What a safe eject says of the drive by its display name: it went, or
// it stayed.
std::string EjectedText(const std::string& displayName);
std::string SafeEjectFailureText(const std::string& displayName);

struct EjectDeps {
    Storage& storage;
    EventLoop& loop;
    EventLog& log;
    NoticePresenter& notices;
    SystemHelpers& helpers;
    Shell& shell;
    Processes& processes;
    BlockerFinder& blockers;
};

// How an eject asked for by the user ended; the last two are the tray
// program's answers when it did not even start.
enum class EjectOutcome {
    Removed,
    Failed,
    Cancelled,  // the forced eject's question was answered no
    Busy,       // another eject is under way
    DriveGone,  // the drive is no longer there
};

// A safe eject as it ended, before anything is said about it.
struct SafeEjectOutcome {
    EjectResult result;
    std::string displayName;
    // How the holders were looked for, and who holds the drive, when it
    // stayed and they could be found.
    BlockerQuery query;
    std::vector<Blocker> blockers;
    bool ok() const { return result.ok; }
    // The system was asked and said no, or programs were found holding the
    // drive: it is in use, as opposed to a device that was never found.
    bool inUse() const { return (!result.ok && result.attempts > 0) || !blockers.empty(); }
};

// A safe eject the system refused, and who was found holding the drive.
struct RefusedEject {
    std::string label;
    std::string root;    // "G:\"
    BlockerQuery query;  // how they were looked for
    std::vector<Blocker> blockers;
};

// Told of each refused safe eject of the menu's that found somebody holding
// the drive, after its notice.
class EjectRefusals {
  public:
    virtual ~EjectRefusals() = default;
    virtual void ejectRefused(const RefusedEject& refused) = 0;
};

// How long the forced eject tries to end the shell before it ejects anyway.
inline constexpr std::uint32_t kShellStopLimitMs = 3000;

class Eject {
  public:
    // `requests` may be null: nobody to tell.
    Eject(EjectDeps deps, std::string noticeTitle, TrayRequests* requests)
        : d_(deps), noticeTitle_(std::move(noticeTitle)), requests_(requests) {}

    // `label` and `root` ("G:\") are the drive's table entry. When the
    // drive stays, the notice and the log name the programs found holding
    // it, looked for with the messages running for at most about two seconds.
    // True when the drive was removed.
    bool SafeEjectDrive(const std::string& label, const std::string& root);
    // The same eject without a notice, for callers that say it their own
    // way; the log gets the lines the menu's eject writes.
    SafeEjectOutcome SafeEject(const std::string& label, const std::string& root);
    // Asks first; then ends this session's shell, ejects, and starts the
    // shell again.
    EjectOutcome ForceEjectDrive(const std::string& label, const std::string& root);

    // Who hears of refused safe ejects; null for nobody.
    void setRefusals(EjectRefusals* refusals) { refusals_ = refusals; }

  private:
    SafeEjectOutcome ejectQuietly(const std::string& label, const std::string& root);
    void logRefusal(const SafeEjectOutcome& outcome);
    EjectResult ejectRoot(const std::string& root);
    void report(const EjectResult& result, const std::string& displayName,
                const std::string& failureText);
    BlockerQuery blockerQuery(const std::string& root, const EjectResult& result,
                              std::uint64_t began);
    bool ownShellRunning();
    void skipRemovalCheck() {
        if (requests_ != nullptr) requests_->driveLeaving();
    }

    EjectDeps d_;
    std::string noticeTitle_;
    TrayRequests* requests_;
    EjectRefusals* refusals_ = nullptr;
};

}  // namespace qm
