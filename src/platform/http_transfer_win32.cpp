#include "platform/http_transfer_win32.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/handles_win32.h"

namespace qm {
namespace {

struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::InternetCloseHandle(h); }
};
using UniqueInternetHandle = UniqueResource<InternetHandleTraits>;

constexpr char kUserAgent[] = "Quillmoor";
// Always from the server, never kept in the cache, never a dialog of the system.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE |
                                INTERNET_FLAG_KEEP_CONNECTION;
constexpr DWORD kTimeoutOptions[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                                     INTERNET_OPTION_RECEIVE_TIMEOUT};
// How long the destructor waits for workers still inside WinINet.
constexpr DWORD kWorkerExitWaitMs = 3000;
// Reads this large go straight into the caller's chunk; smaller ones may be
// served from what was read ahead, at most this much at a time.
constexpr std::size_t kReadAhead = 64 * 1024;

void setTimeouts(HINTERNET handle, DWORD milliseconds) {
    for (DWORD option : kTimeoutOptions) {
        DWORD value = milliseconds;
        InternetSetOptionA(handle, option, &value, sizeof value);
    }
}

// One GET. The owner and the worker each hold a reference; the handles are
// closed with the last one, so a request given up while its worker still
// waits for the server is closed by the worker once the wait ends. The
// worker alone touches the handles until it sets `done`, the owner alone
// after that.
struct Request {
    HINTERNET session = nullptr;
    DWORD timeoutMs = 0;
    std::string url;      // ANSI, as the A calls take it
    std::string headers;  // ANSI
    UniqueInternetHandle connection;
    UniqueInternetHandle request;
    bool answered = false;  // a response header arrived
    std::atomic<bool> done{false};
    // Body bytes read but not handed out yet.
    std::string ahead;
    std::size_t aheadUsed = 0;
};

using SharedRequest = std::shared_ptr<Request>;

// The request is opened step by step instead of with InternetOpenUrl: the
// send and receive time-outs must be set on the request itself, as Wine
// passes on only the connect time-out from the session.
bool sendRequest(Request& r) {
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;  // nonzero: point into the address
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlA(r.url.c_str(), static_cast<DWORD>(r.url.size()), 0, &parts))
        return false;
    DWORD flags = kRequestFlags;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) {
        flags |= INTERNET_FLAG_SECURE;
    } else if (parts.nScheme != INTERNET_SCHEME_HTTP) {
        return false;
    }
    const std::string host(parts.lpszHostName, parts.dwHostNameLength);
    std::string object =
        std::string(parts.lpszUrlPath ? parts.lpszUrlPath : "", parts.dwUrlPathLength) +
        std::string(parts.lpszExtraInfo ? parts.lpszExtraInfo : "", parts.dwExtraInfoLength);
    if (object.empty()) object = "/";
    r.connection.reset(InternetConnectA(r.session, host.c_str(), parts.nPort, nullptr, nullptr,
                                        INTERNET_SERVICE_HTTP, 0, 0));
    if (!r.connection) return false;
    setTimeouts(r.connection.get(), r.timeoutMs);
    r.request.reset(HttpOpenRequestA(r.connection.get(), "GET", object.c_str(), nullptr, nullptr,
                                     nullptr, flags, 0));
    if (!r.request) return false;
    setTimeouts(r.request.get(), r.timeoutMs);
    return HttpSendRequestA(r.request.get(), r.headers.empty() ? nullptr : r.headers.c_str(),
                            static_cast<DWORD>(r.headers.size()), nullptr, 0) != FALSE;
}

DWORD WINAPI openRequest(void* parameter) {
    // The worker's own reference, handed over by execute().
    const std::unique_ptr<SharedRequest> own(static_cast<SharedRequest*>(parameter));
    Request& request = **own;
    request.answered = sendRequest(request);
    request.done.store(true);
    return 0;
}

bool sameNameIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return i == a.size() && b[i] == '\0';
}

// HttpQueryInfoA into a buffer that grows as asked. For HTTP_QUERY_CUSTOM the
// buffer carries the header's name in and its value out.
std::optional<std::string> queryInfo(HINTERNET request, DWORD what, const std::string& name) {
    std::string buffer(std::max<std::size_t>(1024, name.size() + 1), '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::copy(name.begin(), name.end(), buffer.begin());
        buffer[name.size()] = '\0';
        DWORD length = static_cast<DWORD>(buffer.size());
        if (HttpQueryInfoA(request, what, buffer.data(), &length, nullptr)) {
            buffer.resize(std::min<std::size_t>(length, buffer.size()));
            return buffer;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
        buffer.assign(std::max<std::size_t>(length + 1, name.size() + 1), '\0');
    }
    return std::nullopt;
}

}  // namespace

struct HttpTransferWin32::Session {
    UniqueInternetHandle internet;
    SharedRequest current;
    std::vector<UniqueKernelHandle> workers;
    DWORD timeoutMs = 0;

    // The request's handle once its worker has an answer; null while it
    // waits, after a failure and when no request is open.
    HINTERNET open() const {
        return current && current->done.load() && current->answered ? current->request.get()
                                                                    : nullptr;
    }

    void forgetEndedWorkers() {
        std::erase_if(workers, [](const UniqueKernelHandle& thread) {
            return WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0;
        });
    }
};

HttpTransferWin32::HttpTransferWin32(std::uint32_t timeoutMs) : s_(std::make_unique<Session>()) {
    s_->internet.reset(
        InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (s_->internet) setTimeouts(s_->internet.get(), timeoutMs);
    s_->timeoutMs = timeoutMs;
}

HttpTransferWin32::~HttpTransferWin32() {
    cancel();
    // Closing the session ends the waits of workers of requests given up,
    // where the system can; the others end with their time-outs.
    s_->internet.reset();
    const DWORD started = GetTickCount();
    for (const UniqueKernelHandle& thread : s_->workers) {
        const DWORD spent = GetTickCount() - started;
        WaitForSingleObject(thread.get(),
                            spent < kWorkerExitWaitMs ? kWorkerExitWaitMs - spent : 0);
    }
}

bool HttpTransferWin32::execute(const std::string& requestHeaders) {
    cancel();
    s_->forgetEndedWorkers();
    if (!s_->internet) return false;
    auto request = std::make_shared<Request>();
    request->session = s_->internet.get();
    request->timeoutMs = s_->timeoutMs;
    request->url = codePage_.toAnsi(url_);
    request->headers = codePage_.toAnsi(requestHeaders);
    auto workerReference = std::make_unique<SharedRequest>(request);
    HANDLE thread = CreateThread(nullptr, 0, openRequest, workerReference.get(), 0, nullptr);
    if (thread == nullptr) return false;
    workerReference.release();  // the worker's now
    s_->workers.emplace_back(thread);
    s_->current = std::move(request);
    return true;
}

bool HttpTransferWin32::stillExecuting() { return s_->current && !s_->current->done.load(); }

std::optional<std::string> HttpTransferWin32::getHeader() {
    HINTERNET request = s_->open();
    if (request == nullptr) return std::nullopt;
    auto header = queryInfo(request, HTTP_QUERY_RAW_HEADERS_CRLF, {});
    if (!header) return std::nullopt;
    return codePage_.fromAnsi(*header);
}

std::optional<std::string> HttpTransferWin32::getHeader(const std::string& name) {
    HINTERNET request = s_->open();
    if (request == nullptr || name.empty()) return std::nullopt;
    auto value = sameNameIgnoringCase(name, "Content-Length")
                     ? queryInfo(request, HTTP_QUERY_CONTENT_LENGTH, {})
                     : queryInfo(request, HTTP_QUERY_CUSTOM, codePage_.toAnsi(name));
    if (!value) return std::nullopt;
    return codePage_.fromAnsi(*value);
}

// Every call into WinINet costs about the same whatever its size (under
// Wine each may be a socket read through the server), so a chunk smaller
// than what has arrived is cut from one read of all of it. Only what is
// there is read ahead: a slow server must not hold a small chunk back until
// a large read is full.
std::optional<std::string> HttpTransferWin32::getChunk(std::size_t size) {
    HINTERNET handle = s_->open();
    if (handle == nullptr) return std::nullopt;
    Request& r = *s_->current;
    std::string chunk;
    chunk.reserve(size);
    while (chunk.size() < size) {
        const std::size_t need = size - chunk.size();
        if (r.aheadUsed < r.ahead.size()) {
            const std::size_t n = std::min(need, r.ahead.size() - r.aheadUsed);
            chunk.append(r.ahead, r.aheadUsed, n);
            r.aheadUsed += n;
            continue;
        }
        // Waits until something has arrived; 0 at the end of the body.
        DWORD available = 0;
        bool ok = need >= kReadAhead || InternetQueryDataAvailable(handle, &available, 0, 0);
        DWORD got = 0;
        if (ok && need >= available) {
            const std::size_t at = chunk.size();
            chunk.resize(at + need);
            ok = InternetReadFile(handle, chunk.data() + at, static_cast<DWORD>(need), &got);
            chunk.resize(at + (ok ? got : 0));
        } else if (ok) {
            r.ahead.resize(std::min<std::size_t>(available, kReadAhead));
            r.aheadUsed = 0;
            ok = InternetReadFile(handle, r.ahead.data(), static_cast<DWORD>(r.ahead.size()), &got);
            r.ahead.resize(ok ? got : 0);
        }
        // Bytes already gathered still count; the error comes again with
        // the next call.
        if (!ok && chunk.empty()) return std::nullopt;
        if (!ok || got == 0) break;
    }
    return chunk;
}

// A worker still waiting keeps the request alive and closes it when the
// wait ends; otherwise this closes it at once.
void HttpTransferWin32::cancel() { s_->current.reset(); }

ConnectionState HttpTransferWin32::connectionState() {
    DWORD flags = 0;
    const bool connected = InternetGetConnectedState(&flags, 0) != FALSE;
    return {connected, static_cast<std::uint32_t>(flags)};
}

}  // namespace qm
