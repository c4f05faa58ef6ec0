#pragma once
// One HTTP GET at a time, plus the system's view of the Internet
// connection. Both the request and its body are read off the caller's
// thread: the downloader polls stillExecuting() and stillReading() while the
// program's messages run, so a server that stalls never holds it up.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/non_copyable.h"

namespace qm {

// Bits of the connection state.
inline constexpr std::uint32_t kConnectionModem = 1;
inline constexpr std::uint32_t kConnectionLan = 2;
inline constexpr std::uint32_t kConnectionProxy = 4;

struct ConnectionState {
    bool connected = false;
    std::uint32_t flags = 0;
};

class HttpTransfer : NonCopyable {
  public:
    virtual ~HttpTransfer() = default;
    // The address the next execute() requests.
    virtual void setUrl(const std::string& url) = 0;
    // Starts a GET of the address with extra request header lines (each
    // ending in CR LF, or empty), replacing any request still open. False
    // when it could not even be started.
    virtual bool execute(const std::string& requestHeaders) = 0;
    // True until the request has completed: headers are there, or it failed
    // (a refused connection, a time-out).
    virtual bool stillExecuting() = 0;
    // The whole response header, status line first ("HTTP/1.1 200 OK"),
    // lines separated by CR LF; empty when there is no response.
    virtual std::optional<std::string> getHeader() = 0;
    // One header's value; empty when there is no response or no such header.
    virtual std::optional<std::string> getHeader(const std::string& name) = 0;
    // True while getChunk(size) would still have to wait for the server:
    // neither `size` bytes of the body (or as many as the transfer holds at
    // once) nor its end nor an error are there yet. The first call starts
    // reading the body.
    virtual bool stillReading(std::size_t size) = 0;
    // The next at most `size` bytes of the body; an empty string once the
    // body has all been read; empty optional on an error. Waits for the
    // server unless stillReading(size) has turned false.
    virtual std::optional<std::string> getChunk(std::size_t size) = 0;
    // Ends the request and releases its connection; harmless when none is open.
    virtual void cancel() = 0;
    virtual ConnectionState connectionState() = 0;
};

}  // namespace qm
