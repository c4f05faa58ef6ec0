#pragma once
// A scripted HTTP client: each execute() takes the next response from a
// queue, which completes after a number of polls and hands its body out in
// the chunk sizes asked for, or in a split of its own; each chunk may keep
// the reader polling a while, or for ever (a server that stalls).
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/http_transfer.h"

namespace qm {

class FakeHttpTransfer : public HttpTransfer {
  public:
    struct Response {
        std::string header;  // "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n"
        std::string body;
        int pollsUntilDone = 0;
        bool failed = false;                     // no response at all (refused, time-out)
        std::vector<std::size_t> split;          // sizes of the chunks handed out, then as asked
        std::optional<std::size_t> failAtChunk;  // the n-th getChunk (0-based) fails
        int pollsPerChunk = 0;                   // stillReading polls before each chunk is there
        // The n-th chunk (0-based) never comes: a reader that waits for it
        // waits until something else (a Cancel, the program's end) stops it.
        std::optional<std::size_t> stallAtChunk;
    };
    // A response with a status line, a length and the body.
    static Response ok(const std::string& body, const std::string& protocol = "HTTP/1.1");
    static Response status(int code, const std::string& reason,
                           const std::string& protocol = "HTTP/1.1");

    void setUrl(const std::string& url) override { url_ = url; }
    bool execute(const std::string& requestHeaders) override;
    bool stillExecuting() override;
    std::optional<std::string> getHeader() override;
    std::optional<std::string> getHeader(const std::string& name) override;
    bool stillReading(std::size_t size) override;
    std::optional<std::string> getChunk(std::size_t size) override;
    void cancel() override;
    ConnectionState connectionState() override { return connection; }

    std::deque<Response> responses;
    struct Request {
        std::string url, headers;
    };
    std::vector<Request> requests;
    std::vector<std::size_t> chunkRequests;  // sizes asked for
    int cancels = 0;
    int polls = 0;
    bool refuseExecute = false;
    ConnectionState connection{true, kConnectionLan};
    // Called at every poll of stillExecuting, e.g. to cancel mid-wait.
    std::function<void()> onPoll;
    int readPolls = 0;
    // Called at every poll of stillReading.
    std::function<void()> onReadPoll;

  private:
    std::string url_;
    std::optional<Response> current_;
    std::size_t readAt_ = 0;
    std::size_t chunkIndex_ = 0;
    int pollsLeft_ = 0;
    int readPollsLeft_ = 0;  // for the chunk being waited for
};

}  // namespace qm
