// The System log's records of applications that stopped a removal.
#include <windows.h>
// After windows.h, which it needs.
#include <winevt.h>

#include <string>
#include <vector>

#include "platform/blocker_finders_win32.h"
#include "platform/blocker_rules.h"
#include "platform/blocker_worker_win32.h"
#include "platform/system_library_win32.h"
#include "platform/utf16_win32.h"

namespace qm {
namespace {

// Records arrive in batches; a few attempts write a few records each.
constexpr DWORD kBatch = 16;
constexpr std::size_t kMostRecords = 256;
// The log service answers a local query at once; this bounds a busy one.
constexpr DWORD kNextTimeoutMs = 500;
// The query asks a little further back than the eject began; the records
// are then held against its exact start.
constexpr std::uint64_t kQuerySlackMs = 2000;

struct EventLogApi {
    decltype(&::EvtQuery) query = nullptr;
    decltype(&::EvtNext) next = nullptr;
    decltype(&::EvtRender) render = nullptr;
    decltype(&::EvtClose) close = nullptr;
};

// The module stays loaded: a worker given up may still be inside it.
bool loadEventLogApi(EventLogApi& api) {
    HMODULE module = LoadSystemLibrary(L"wevtapi.dll");
    if (module == nullptr) return false;
    api.query = SystemFunction<decltype(api.query)>(module, "EvtQuery");
    api.next = SystemFunction<decltype(api.next)>(module, "EvtNext");
    api.render = SystemFunction<decltype(api.render)>(module, "EvtRender");
    api.close = SystemFunction<decltype(api.close)>(module, "EvtClose");
    return api.query && api.next && api.render && api.close;
}

std::uint64_t systemTimeNow() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

std::wstring vetoQuery(std::uint64_t since) {
    const std::uint64_t now = systemTimeNow();
    const std::uint64_t withinMs = (now > since ? (now - since) / 10000 : 0) + kQuerySlackMs;
    return L"*[System[Provider[@Name='" + WideFromUtf8(kPnpProvider) + L"'] and (EventID=" +
           std::to_wstring(kPnpVetoEventId) + L") and TimeCreated[timediff(@SystemTime) <= " +
           std::to_wstring(withinMs) + L"]]]";
}

std::string renderXml(const EventLogApi& api, EVT_HANDLE event) {
    std::vector<wchar_t> buffer(2048);
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD used = 0;
        DWORD properties = 0;
        const auto bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (api.render(nullptr, event, EvtRenderEventXml, bytes, buffer.data(), &used,
                       &properties)) {
            buffer.back() = L'\0';
            return Utf8FromWide(buffer.data());
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        buffer.assign(used / sizeof(wchar_t) + 1, L'\0');
    }
    return {};
}

void readVetoEvents(SearchShare& share) {
    EventLogApi api;
    if (!loadEventLogApi(api)) return;
    const std::wstring xpath = vetoQuery(share.query().since);
    EVT_HANDLE query = api.query(nullptr, L"System", xpath.c_str(),
                                 EvtQueryChannelPath | EvtQueryReverseDirection);
    if (query == nullptr) return;
    std::vector<PnpVetoEvent> events;
    std::size_t seen = 0;
    EVT_HANDLE batch[kBatch] = {};
    DWORD got = 0;
    while (!share.givenUp() && seen < kMostRecords &&
           api.next(query, kBatch, batch, kNextTimeoutMs, 0, &got)) {
        for (DWORD i = 0; i < got; ++i) {
            if (auto event = ParsePnpVetoEvent(renderXml(api, batch[i]))) {
                events.push_back(std::move(*event));
            }
            api.close(batch[i]);
        }
        seen += got;
    }
    api.close(query);
    for (Blocker& b : BlockersFromVetoEvents(events, share.query())) share.add(std::move(b));
}

}  // namespace

std::unique_ptr<BlockerSearch> VetoEventFinderWin32::start(const BlockerQuery& query) {
    // Without a device there is no record to look for.
    if (query.deviceIds.empty()) return nullptr;
    return StartWorkerSearch(query, readVetoEvents);
}

}  // namespace qm
