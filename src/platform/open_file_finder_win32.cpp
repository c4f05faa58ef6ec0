// The open files of this user's processes that lie on a volume: the
// system's table of open handles, each file handle of the user's other
// processes copied into ours and asked for its path by a helper thread
// within a bound. Nothing is closed in the other process.
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/blocker_finders_win32.h"
#include "platform/blocker_rules.h"
#include "platform/blocker_worker_win32.h"
#include "platform/handles_win32.h"
#include "platform/hung_probes.h"
#include "platform/process_facts_win32.h"
#include "platform/utf16_win32.h"

namespace qm {
namespace {

// The worker's own bound, a little under the caller's wait, so that it
// stops copying handles about when nobody reads its answer any more.
constexpr DWORD kWalkLimitMs = 1900;
// One path query. A synchronous pipe with a read pending, or a file of a
// hung redirector, answers never; those cost this much, once.
constexpr std::chrono::milliseconds kProbeLimit{200};
// Each query that never answers keeps its helper thread. Helpers of all
// walks together, stuck ones included, number at most this many; when no
// more can be made a walk ends with what it has.
constexpr std::size_t kMostHelpers = 4;
// Handles whose query hung, not asked again by later walks.
constexpr std::size_t kMostRememberedHung = 256;
// A helper left without questions for this long ends.
constexpr std::chrono::milliseconds kProbeIdle{5000};

constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr ULONG kFirstTableBytes = 1u << 20;
constexpr ULONG kMostTableBytes = 128u << 20;

// One row of the system's handle table. Its pointer-sized fields follow
// the width of the process, so a 32-bit program reads 28-byte rows and a
// 64-bit one 40-byte rows.
struct HandleRow {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG handleAttributes;
    ULONG reserved;
};
static_assert(sizeof(HandleRow) == (sizeof(void*) == 8 ? 40 : 28), "handle row layout");

struct HandleTableHead {
    ULONG_PTR count;
    ULONG_PTR reserved;
};
static_assert(sizeof(HandleTableHead) == 2 * sizeof(void*), "handle table layout");

using NtQuerySystemInformationFn = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);

// The whole table, rows of other processes' file handles kept by process.
struct FileHandles {
    std::vector<std::pair<DWORD, std::vector<ULONG_PTR>>> byProcess;
};

std::optional<std::vector<HandleRow>> readHandleTable() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return std::nullopt;
    const auto query = reinterpret_cast<NtQuerySystemInformationFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
    if (query == nullptr) return std::nullopt;
    // Whole pointers, so that the rows are aligned as the system writes them.
    std::vector<ULONG_PTR> buffer;
    ULONG bytes = kFirstTableBytes;
    for (;;) {
        buffer.assign(bytes / sizeof(ULONG_PTR), 0);
        ULONG needed = 0;
        const LONG status = query(kSystemExtendedHandleInformation, buffer.data(), bytes, &needed);
        if (status == kStatusInfoLengthMismatch) {
            // Handles come and go between two calls: ask for more than said.
            const ULONG more = needed > bytes ? needed + needed / 4 : bytes * 2;
            if (more > kMostTableBytes || more <= bytes) return std::nullopt;
            bytes = more;
            continue;
        }
        if (status < 0) return std::nullopt;
        break;
    }
    const auto* head = reinterpret_cast<const HandleTableHead*>(buffer.data());
    const std::size_t room = (bytes - sizeof(HandleTableHead)) / sizeof(HandleRow);
    const std::size_t count = head->count < room ? head->count : room;
    const auto* rows = reinterpret_cast<const HandleRow*>(head + 1);
    return std::vector<HandleRow>(rows, rows + count);
}

// The type number the system gives file objects differs between versions:
// it is read off a file handle of our own.
std::optional<USHORT> fileTypeIndex(const std::vector<HandleRow>& rows, HANDLE ownFile) {
    const DWORD self = GetCurrentProcessId();
    for (const HandleRow& row : rows) {
        if (row.processId == self && row.handleValue == reinterpret_cast<ULONG_PTR>(ownFile)) {
            return row.objectTypeIndex;
        }
    }
    return std::nullopt;
}

FileHandles otherProcessesFiles(const std::vector<HandleRow>& rows, USHORT fileType) {
    const DWORD self = GetCurrentProcessId();
    FileHandles files;
    std::map<DWORD, std::size_t> at;
    for (const HandleRow& row : rows) {
        const auto pid = static_cast<DWORD>(row.processId);
        if (row.objectTypeIndex != fileType || pid == self || pid == 0) continue;
        auto [it, added] = at.emplace(pid, files.byProcess.size());
        if (added) files.byProcess.push_back({pid, {}});
        files.byProcess[it->second].second.push_back(row.handleValue);
    }
    return files;
}

std::string imageNameOf(HANDLE process) { return ImageNameOf(ProcessImagePath(process)); }

std::wstring finalPath(HANDLE file, DWORD flags) {
    std::vector<wchar_t> path(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD n =
            GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), flags);
        if (n == 0) return {};
        if (n < path.size()) return std::wstring(path.data(), n);
        path.resize(n + 1);
    }
    return {};
}

// The path of a disk file or folder, empty for pipes, sockets, devices and
// what cannot be asked. Runs on a helper thread: it may never return.
std::wstring askPath(HANDLE file) {
    if (GetFileType(file) != FILE_TYPE_DISK) return {};
    std::wstring path = finalPath(file, FILE_NAME_OPENED | VOLUME_NAME_DOS);
    if (path.empty()) path = finalPath(file, FILE_NAME_OPENED | VOLUME_NAME_NT);
    return path;
}

// Shared by every walk of the process. Helpers hold it too: one stuck in
// the system may end after everything else has gone.
std::shared_ptr<HungProbes> processProbes() {
    static const auto probes = std::make_shared<HungProbes>(kMostHelpers, kMostRememberedHung);
    return probes;
}

struct HelperStart {
    std::shared_ptr<ProbeQuestion> question;
    std::shared_ptr<HungProbes> probes;
};

DWORD WINAPI runProbe(void* parameter) {
    const std::unique_ptr<HelperStart> start(static_cast<HelperStart*>(parameter));
    while (const auto handle = start->question->next(kProbeIdle)) {
        const auto file = reinterpret_cast<HANDLE>(*handle);
        std::string path;
        try {
            path = Utf8FromWide(askPath(file));
        } catch (...) {
            // Out of memory for a path: no answer, and nothing else lost.
        }
        if (!start->question->answer(std::move(path))) {
            // Given up on: the handle is this helper's to close.
            CloseHandle(file);
            break;
        }
    }
    start->probes->helperEnded();
    return 0;
}

// The walk's side of its helper: one at a time, a new one after one hung.
class Prober {
  public:
    explicit Prober(std::shared_ptr<HungProbes> probes) : probes_(std::move(probes)) {}
    Prober(const Prober&) = delete;
    Prober& operator=(const Prober&) = delete;
    ~Prober() {
        if (question_) question_->close();
    }

    [[nodiscard]] bool usable() const { return usable_; }

    // The path of a handle of ours, which it takes over; empty when it is
    // no disk file or gave no answer in time.
    std::string ask(HANDLE file, const HandleKey& key) {
        // A second time only when an idle helper had ended.
        for (int attempt = 0; attempt < 2 && ensureHelper(); ++attempt) {
            ProbeQuestion::Reply reply =
                question_->ask(reinterpret_cast<std::uintptr_t>(file), kProbeLimit);
            if (reply.outcome == ProbeQuestion::Reply::Answered) {
                CloseHandle(file);
                return std::move(reply.answer);
            }
            question_.reset();
            if (reply.outcome == ProbeQuestion::Reply::Hung) {
                probes_->hung(key);
                return {};  // the helper owns the handle now, and stays behind
            }
        }
        CloseHandle(file);
        return {};
    }

  private:
    bool ensureHelper() {
        if (question_) return true;
        if (!usable_) return false;
        if (!probes_->startHelper()) {
            usable_ = false;  // too many helpers stuck: the walk ends
            return false;
        }
        auto start =
            std::make_unique<HelperStart>(HelperStart{std::make_shared<ProbeQuestion>(), probes_});
        UniqueKernelHandle thread(CreateThread(nullptr, 0, runProbe, start.get(), 0, nullptr));
        if (!thread) {
            probes_->helperEnded();
            usable_ = false;
            return false;
        }
        question_ = start->question;
        start.release();  // the helper's now
        return true;
    }

    std::shared_ptr<HungProbes> probes_;
    std::shared_ptr<ProbeQuestion> question_;
    bool usable_ = true;
};

// The files on the volume one process holds, each counted once.
class HeldFiles {
  public:
    void add(const std::string& shown) {
        std::string key = shown;
        for (char& c : key) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (!seen_.insert(std::move(key)).second) return;
        if (named_.size() < kBlockerFilesNamed) named_.push_back(shown);
    }
    bool empty() const { return seen_.empty(); }
    Blocker blocker(DWORD pid, std::string name, std::uint64_t started) const {
        Blocker b{pid, name.empty() ? "?" : std::move(name)};
        b.files = named_;
        b.fileCount = seen_.size();
        b.startTime = started;
        return b;
    }

  private:
    std::set<std::string> seen_;
    std::vector<std::string> named_;
};

// A program started from the volume holds it through its mapped program
// file, with no handle to show for it: any user's, as far as its path can
// be read. False when the list of processes could not be read.
template <typename Stop>
bool addProgramsOnVolume(SearchShare& share, const Stop& stop) {
    UniqueFileHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return false;
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snap.get(), &entry); more;
         more = Process32NextW(snap.get(), &entry)) {
        if (stop()) return false;
        const DWORD pid = entry.th32ProcessID;
        if (pid == self || pid == 0) continue;
        UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        if (!process) continue;
        const std::string path = ProcessImagePath(process.get());
        if (path.empty() || !PathLiesOnVolume(path, share.query())) continue;
        HeldFiles held;
        held.add(PathOnDriveLetter(path, share.query()));
        share.add(held.blocker(pid, ImageNameOf(path), ProcessStartTime(process.get())));
    }
    return true;
}

void walkOpenFiles(SearchShare& share) {
    const DWORD started = GetTickCount();
    const auto stop = [&] { return share.givenUp() || GetTickCount() - started >= kWalkLimitMs; };
    const bool programsRead = addProgramsOnVolume(share, stop);

    // A handle of ours known to be a file, open while the table is read.
    UniqueFileHandle own(CreateFileW(ModuleFileName().c_str(), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    if (!own) return;
    const auto rows = readHandleTable();
    if (!rows) return;
    const auto fileType = fileTypeIndex(*rows, own.get());
    if (!fileType) return;
    const FileHandles files = otherProcessesFiles(*rows, *fileType);

    const std::vector<BYTE> me = ProcessUserSid(GetCurrentProcess());
    if (me.empty()) return;
    const std::shared_ptr<HungProbes> probes = processProbes();
    Prober prober(probes);
    bool cutShort = false;
    for (const auto& [pid, handles] : files.byProcess) {
        if (stop() || !prober.usable()) {
            cutShort = true;
            break;
        }
        UniqueKernelHandle process(
            OpenProcess(PROCESS_DUP_HANDLE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        if (!process) continue;  // another user's, or one we may not look into
        const std::vector<BYTE> user = ProcessUserSid(process.get());
        if (user != me) continue;
        const std::uint64_t processStarted = ProcessStartTime(process.get());
        // Every file it holds there, so that the user can tell which to close.
        HeldFiles held;
        for (const ULONG_PTR value : handles) {
            if (stop() || !prober.usable()) {
                cutShort = true;
                break;
            }
            // One that hung before would only hang again and cost a helper.
            const HandleKey key{pid, processStarted, value};
            if (probes->hungBefore(key)) continue;
            HANDLE copy = nullptr;
            if (!DuplicateHandle(process.get(), reinterpret_cast<HANDLE>(value),
                                 GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
                continue;
            }
            const std::string path = prober.ask(copy, key);
            if (!path.empty() && PathLiesOnVolume(path, share.query())) {
                held.add(PathOnDriveLetter(path, share.query()));
            }
        }
        if (!held.empty()) {
            share.add(held.blocker(pid, imageNameOf(process.get()), processStarted));
        }
        if (cutShort) break;
    }
    // Only a walk through everything says who holds nothing.
    if (!cutShort && programsRead) share.markExhaustive();
}

}  // namespace

std::unique_ptr<BlockerSearch> OpenFileFinderWin32::start(const BlockerQuery& query) {
    return StartWorkerSearch(query, walkOpenFiles);
}

}  // namespace qm
