#include "platform/http_transfer_win32.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <type_traits>
#include <vector>

#include "platform/handles_win32.h"
#include "platform/system_library_win32.h"
#include "platform/read_ahead.h"

namespace qm {
namespace {

// WinINet is no Known DLL: its functions are looked up in the system folder
// when the first session opens, all of them or none.
struct WinInet {
    decltype(&::InternetOpenA) InternetOpenA = nullptr;
    decltype(&::InternetConnectA) InternetConnectA = nullptr;
    decltype(&::InternetCrackUrlA) InternetCrackUrlA = nullptr;
    decltype(&::InternetSetOptionA) InternetSetOptionA = nullptr;
    decltype(&::InternetQueryDataAvailable) InternetQueryDataAvailable = nullptr;
    decltype(&::InternetReadFile) InternetReadFile = nullptr;
    decltype(&::InternetCloseHandle) InternetCloseHandle = nullptr;
    decltype(&::InternetGetConnectedState) InternetGetConnectedState = nullptr;
    decltype(&::HttpOpenRequestA) HttpOpenRequestA = nullptr;
    decltype(&::HttpSendRequestA) HttpSendRequestA = nullptr;
    decltype(&::HttpQueryInfoA) HttpQueryInfoA = nullptr;
    bool loaded = false;
};

WinInet loadWinInet() {
    WinInet api;
    const HMODULE module = LoadSystemLibrary(L"wininet.dll");
    const auto look = [module](auto& function, const char* name) {
        function = SystemFunction<std::remove_reference_t<decltype(function)>>(module, name);
        return function != nullptr;
    };
    const bool all = look(api.InternetOpenA, "InternetOpenA") &&
                     look(api.InternetConnectA, "InternetConnectA") &&
                     look(api.InternetCrackUrlA, "InternetCrackUrlA") &&
                     look(api.InternetSetOptionA, "InternetSetOptionA") &&
                     look(api.InternetQueryDataAvailable, "InternetQueryDataAvailable") &&
                     look(api.InternetReadFile, "InternetReadFile") &&
                     look(api.InternetCloseHandle, "InternetCloseHandle") &&
                     look(api.InternetGetConnectedState, "InternetGetConnectedState") &&
                     look(api.HttpOpenRequestA, "HttpOpenRequestA") &&
                     look(api.HttpSendRequestA, "HttpSendRequestA") &&
                     look(api.HttpQueryInfoA, "HttpQueryInfoA");
    if (!all) return WinInet{};
    api.loaded = true;
    return api;
}

// Loaded once, by the first session; a handle exists only when it loaded.
const WinInet& net() {
    static const WinInet api = loadWinInet();
    return api;
}

struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { net().InternetCloseHandle(h); }
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
// The most one read of the body takes.
constexpr std::size_t kMaxRead = 64 * 1024;
// How much of the body the worker reads ahead of the caller; also the most
// a chunk waits to fill up: a larger chunk is handed out in parts.
constexpr std::size_t kMaxHeld = 1024 * 1024;

void setTimeouts(HINTERNET handle, DWORD milliseconds) {
    for (DWORD option : kTimeoutOptions) {
        DWORD value = milliseconds;
        net().InternetSetOptionA(handle, option, &value, sizeof value);
    }
}

// One GET. The owner and the worker each hold a reference; the handles are
// closed with the last one, so a request given up while its worker still
// waits for the server is closed by the worker once the wait ends. The
// worker opens the request and, once the owner first asks for the body,
// reads it; the owner reads the response header in between.
struct Request {
    HINTERNET session = nullptr;
    DWORD timeoutMs = 0;
    DWORD ownerThread = 0;  // woken when a chunk it waits for has come
    std::string url;        // ANSI, as the A calls take it
    std::string headers;    // ANSI
    UniqueInternetHandle connection;
    UniqueInternetHandle request;
    bool answered = false;  // a response header arrived
    std::atomic<bool> done{false};
    ReadAhead body{kMaxHeld};
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
    if (!net().InternetCrackUrlA(r.url.c_str(), static_cast<DWORD>(r.url.size()), 0, &parts))
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
    r.connection.reset(net().InternetConnectA(r.session, host.c_str(), parts.nPort, nullptr,
                                              nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!r.connection) return false;
    setTimeouts(r.connection.get(), r.timeoutMs);
    r.request.reset(net().HttpOpenRequestA(r.connection.get(), "GET", object.c_str(), nullptr,
                                           nullptr, nullptr, flags, 0));
    if (!r.request) return false;
    setTimeouts(r.request.get(), r.timeoutMs);
    return net().HttpSendRequestA(r.request.get(), r.headers.empty() ? nullptr : r.headers.c_str(),
                                  static_cast<DWORD>(r.headers.size()), nullptr, 0) != FALSE;
}

// Reads the body ahead of the owner, one read at a time, until it has all
// come, a read fails or the owner gives the request up. A read waits for
// the server (up to the receive time-out) with no lock held.
void readBody(Request& r) {
    while (r.body.waitForRoom()) {
        // Waits until something has arrived; 0 at the end of the body.
        DWORD available = 0;
        bool ok = net().InternetQueryDataAvailable(r.request.get(), &available, 0, 0) != FALSE;
        std::string block;
        DWORD got = 0;
        if (ok && available > 0) {
            block.resize(std::min<std::size_t>(available, kMaxRead));
            ok = net().InternetReadFile(r.request.get(), block.data(),
                                        static_cast<DWORD>(block.size()), &got) != FALSE;
            block.resize(ok ? got : 0);
        }
        const bool wake = !ok ? r.body.fail() : got == 0 ? r.body.end() : r.body.put(block);
        // The owner may be waiting for messages rather than on the buffer.
        if (wake) PostThreadMessageA(r.ownerThread, WM_NULL, 0, 0);
        if (!ok || got == 0) return;
    }
}

DWORD WINAPI openRequest(void* parameter) {
    // The worker's own reference, handed over by execute().
    const std::unique_ptr<SharedRequest> own(static_cast<SharedRequest*>(parameter));
    Request& request = **own;
    request.answered = sendRequest(request);
    request.done.store(true);
    if (request.answered) readBody(request);
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
        if (net().HttpQueryInfoA(request, what, buffer.data(), &length, nullptr)) {
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

    // Lets the worker of the current request go, whatever it is doing.
    void abandon() {
        if (!current) return;
        current->body.abandon();
        current.reset();
    }

    void forgetEndedWorkers() {
        std::erase_if(workers, [](const UniqueKernelHandle& thread) {
            return WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0;
        });
    }
};

HttpTransferWin32::HttpTransferWin32(std::uint32_t timeoutMs) : s_(std::make_unique<Session>()) {
    // Without WinINet there is no session, and every request fails at once.
    if (net().loaded) {
        s_->internet.reset(
            net().InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    }
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
    request->ownerThread = GetCurrentThreadId();
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

bool HttpTransferWin32::stillReading(std::size_t size) {
    if (s_->open() == nullptr) return false;  // getChunk answers the error at once
    return s_->current->body.stillReading(size);
}

std::optional<std::string> HttpTransferWin32::getChunk(std::size_t size) {
    if (s_->open() == nullptr) return std::nullopt;
    return s_->current->body.getChunk(size);
}

// A worker still reading or waiting keeps the request alive and closes it
// when its wait ends; otherwise this closes it at once.
void HttpTransferWin32::cancel() { s_->abandon(); }

ConnectionState HttpTransferWin32::connectionState() {
    DWORD flags = 0;
    const bool connected = net().loaded && net().InternetGetConnectedState(&flags, 0) != FALSE;
    return {connected, static_cast<std::uint32_t>(flags)};
}

}  // namespace qm
