// The open files of this user's processes that lie on a volume: the
// system's table of open handles, each file handle of the user's other
// processes copied into ours and asked for its path by a helper thread
// within a bound. Nothing is closed in the other process.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/blocker_finders_win32.h"
#include "platform/blocker_rules.h"
#include "platform/blocker_worker_win32.h"
#include "platform/handles_win32.h"
#include "platform/utf16_win32.h"

namespace qm {
namespace {

// The worker's own bound, a little under the caller's wait, so that it
// stops copying handles about when nobody reads its answer any more.
constexpr DWORD kWalkLimitMs = 1900;
// One path query. A synchronous pipe with a read pending, or a file of a
// hung redirector, answers never; those cost this much.
constexpr DWORD kProbeLimitMs = 200;
// Each query that never answers keeps its helper thread; past this many the
// walk ends with what it has.
constexpr int kMostHungProbes = 3;
// A helper left without questions for this long ends.
constexpr DWORD kProbeIdleMs = 5000;

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

std::vector<BYTE> tokenUser(HANDLE process) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) return {};
    UniqueKernelHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<BYTE> data(size);
    if (!GetTokenInformation(token.get(), TokenUser, data.data(), size, &size)) return {};
    const auto* user = reinterpret_cast<const TOKEN_USER*>(data.data());
    const DWORD length = GetLengthSid(user->User.Sid);
    const auto* sid = static_cast<const BYTE*>(user->User.Sid);
    return std::vector<BYTE>(sid, sid + length);
}

std::string imageNameOf(HANDLE process) {
    std::vector<wchar_t> path(MAX_PATH);
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto size = static_cast<DWORD>(path.size());
        if (QueryFullProcessImageNameW(process, 0, path.data(), &size)) {
            return ImageNameOf(Utf8FromWide(std::wstring_view(path.data(), size)));
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        path.resize(path.size() * 4);
    }
    return {};
}

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

// One question at a time to a helper thread. The walker and the helper
// share it; a helper whose question is given up closes the handle itself
// when, if ever, the answer comes.
struct Probe {
    enum State { kIdle, kAsking, kAnswered, kAbandoned, kClosing };
    UniqueKernelHandle asked{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueKernelHandle answered{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    HANDLE file = nullptr;
    std::wstring path;
    std::atomic<int> state{kIdle};
};
using SharedProbe = std::shared_ptr<Probe>;

DWORD WINAPI runProbe(void* parameter) {
    const std::unique_ptr<SharedProbe> own(static_cast<SharedProbe*>(parameter));
    Probe& probe = **own;
    for (;;) {
        if (WaitForSingleObject(probe.asked.get(), kProbeIdleMs) != WAIT_OBJECT_0) return 0;
        if (probe.state.load() == Probe::kClosing) return 0;
        std::wstring path;
        try {
            path = askPath(probe.file);
        } catch (...) {
            // Out of memory for a path: no answer, and nothing else lost.
        }
        int asking = Probe::kAsking;
        probe.path = std::move(path);
        if (!probe.state.compare_exchange_strong(asking, Probe::kAnswered)) {
            CloseHandle(probe.file);
            return 0;
        }
        SetEvent(probe.answered.get());
    }
}

class Prober {
  public:
    Prober() = default;
    Prober(const Prober&) = delete;
    Prober& operator=(const Prober&) = delete;
    ~Prober() {
        if (probe_) {
            probe_->state.store(Probe::kClosing);
            SetEvent(probe_->asked.get());
        }
    }

    [[nodiscard]] bool usable() const { return hung_ < kMostHungProbes; }

    // The path of a handle of ours, which it takes over; empty when it is
    // no disk file or gave no answer in time.
    std::wstring ask(HANDLE file) {
        if (!ensureHelper()) {
            CloseHandle(file);
            return {};
        }
        Probe& probe = *probe_;
        probe.file = file;
        probe.path.clear();
        probe.state.store(Probe::kAsking);
        SetEvent(probe.asked.get());
        if (WaitForSingleObject(probe.answered.get(), kProbeLimitMs) != WAIT_OBJECT_0) {
            int asking = Probe::kAsking;
            if (probe.state.compare_exchange_strong(asking, Probe::kAbandoned)) {
                // The helper owns the handle now, and stays behind.
                probe_.reset();
                ++hung_;
                return {};
            }
            // It answered just as the bound ran out; its signal follows at once.
            WaitForSingleObject(probe.answered.get(), INFINITE);
        }
        CloseHandle(file);
        probe.state.store(Probe::kIdle);
        return probe.path;
    }

  private:
    bool ensureHelper() {
        if (probe_) return true;
        if (!usable()) return false;
        auto probe = std::make_shared<Probe>();
        auto helperReference = std::make_unique<SharedProbe>(probe);
        UniqueKernelHandle thread;
        if (probe->asked && probe->answered) {
            thread.reset(CreateThread(nullptr, 0, runProbe, helperReference.get(), 0, nullptr));
        }
        if (!thread) {
            hung_ = kMostHungProbes;  // no helper can be made: the walk ends
            return false;
        }
        helperReference.release();  // the helper's now
        probe_ = std::move(probe);
        return true;
    }

    SharedProbe probe_;
    int hung_ = 0;
};

void walkOpenFiles(SearchShare& share) {
    const DWORD started = GetTickCount();
    const auto stop = [&] { return share.givenUp() || GetTickCount() - started >= kWalkLimitMs; };

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

    const std::vector<BYTE> me = tokenUser(GetCurrentProcess());
    if (me.empty()) return;
    Prober prober;
    for (const auto& [pid, handles] : files.byProcess) {
        if (stop() || !prober.usable()) break;
        UniqueKernelHandle process(
            OpenProcess(PROCESS_DUP_HANDLE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        if (!process) continue;  // another user's, or one we may not look into
        const std::vector<BYTE> user = tokenUser(process.get());
        if (user != me) continue;
        for (const ULONG_PTR value : handles) {
            if (stop() || !prober.usable()) break;
            HANDLE copy = nullptr;
            if (!DuplicateHandle(process.get(), reinterpret_cast<HANDLE>(value),
                                 GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
                continue;
            }
            const std::wstring path = prober.ask(copy);
            if (!path.empty() && PathLiesOnVolume(Utf8FromWide(path), share.query())) {
                std::string name = imageNameOf(process.get());
                share.add({pid, name.empty() ? "?" : std::move(name)});
                break;  // one file is enough to name the process
            }
        }
    }
}

}  // namespace

std::unique_ptr<BlockerSearch> OpenFileFinderWin32::start(const BlockerQuery& query) {
    return StartWorkerSearch(query, walkOpenFiles);
}

}  // namespace qm
