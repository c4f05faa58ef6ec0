#pragma once
#include <cstdint>
#include <memory>

#include "platform/code_page_win32.h"
#include "platform/http_transfer.h"

namespace qm {

// WinINet, one Internet session per object. A request is opened on a worker
// thread of its own, which then reads the body ahead of the caller, so that
// the caller keeps its messages running however slowly the server sends; a
// caller waiting for a chunk is woken by a message of no meaning (WM_NULL). A
// request that is replaced or cancelled while its worker still waits for the
// server is abandoned: the worker closes what it opened once the server or
// the time-out ends the wait.
class HttpTransferWin32 final : public HttpTransfer {
  public:
    static constexpr std::uint32_t kDefaultTimeoutMs = 30000;

    // The connect, send and receive time-outs of every request.
    explicit HttpTransferWin32(std::uint32_t timeoutMs = kDefaultTimeoutMs);
    ~HttpTransferWin32() override;

    void setUrl(const std::string& url) override { url_ = url; }
    bool execute(const std::string& requestHeaders) override;
    bool stillExecuting() override;
    std::optional<std::string> getHeader() override;
    std::optional<std::string> getHeader(const std::string& name) override;
    bool stillReading(std::size_t size) override;
    std::optional<std::string> getChunk(std::size_t size) override;
    void cancel() override;
    ConnectionState connectionState() override;

  private:
    // The session, the open request and the worker threads, in system types.
    struct Session;

    CodePageWin32 codePage_;
    std::string url_;
    std::unique_ptr<Session> s_;
};

}  // namespace qm
