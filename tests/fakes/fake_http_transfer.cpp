#include "fakes/fake_http_transfer.h"

#include <algorithm>
#include <cctype>

namespace qm {

FakeHttpTransfer::Response FakeHttpTransfer::ok(const std::string& body,
                                                const std::string& protocol) {
    Response r;
    r.header = protocol + " 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n";
    r.body = body;
    return r;
}

FakeHttpTransfer::Response FakeHttpTransfer::status(int code, const std::string& reason,
                                                    const std::string& protocol) {
    Response r;
    r.header = protocol + " " + std::to_string(code) + " " + reason + "\r\n\r\n";
    return r;
}

bool FakeHttpTransfer::execute(const std::string& requestHeaders) {
    requests.push_back({url_, requestHeaders});
    current_.reset();
    if (refuseExecute) return false;
    if (responses.empty()) {
        Response none;
        none.failed = true;
        current_ = none;
    } else {
        current_ = responses.front();
        responses.pop_front();
    }
    readAt_ = 0;
    chunkIndex_ = 0;
    pollsLeft_ = current_->pollsUntilDone;
    readPollsLeft_ = current_->pollsPerChunk;
    return true;
}

bool FakeHttpTransfer::stillExecuting() {
    ++polls;
    if (onPoll) onPoll();
    if (!current_ || pollsLeft_ <= 0) return false;
    --pollsLeft_;
    return true;
}

std::optional<std::string> FakeHttpTransfer::getHeader() {
    if (!current_ || current_->failed || pollsLeft_ > 0) return std::nullopt;
    return current_->header;
}

std::optional<std::string> FakeHttpTransfer::getHeader(const std::string& name) {
    const auto header = getHeader();
    if (!header) return std::nullopt;
    const auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return s;
    };
    std::size_t at = header->find("\r\n");
    while (at != std::string::npos && at + 2 < header->size()) {
        const std::size_t end = header->find("\r\n", at + 2);
        const std::string line = header->substr(at + 2, end - at - 2);
        const auto colon = line.find(':');
        if (colon != std::string::npos && lower(line.substr(0, colon)) == lower(name)) {
            const auto value = line.find_first_not_of(' ', colon + 1);
            return value == std::string::npos ? "" : line.substr(value);
        }
        at = end;
    }
    return std::nullopt;
}

bool FakeHttpTransfer::stillReading(std::size_t) {
    ++readPolls;
    if (onReadPoll) onReadPoll();
    if (!current_ || current_->failed || pollsLeft_ > 0) return false;
    if (current_->stallAtChunk && *current_->stallAtChunk == chunkIndex_) return true;
    if (readPollsLeft_ <= 0) return false;
    --readPollsLeft_;
    return true;
}

std::optional<std::string> FakeHttpTransfer::getChunk(std::size_t size) {
    chunkRequests.push_back(size);
    if (!current_ || current_->failed) return std::nullopt;
    // A stalled chunk read without waiting would block for ever; here it fails.
    if (current_->stallAtChunk && *current_->stallAtChunk == chunkIndex_) return std::nullopt;
    readPollsLeft_ = current_->pollsPerChunk;
    if (current_->failAtChunk && *current_->failAtChunk == chunkIndex_) return std::nullopt;
    std::size_t n = size;
    if (chunkIndex_ < current_->split.size()) n = std::min(n, current_->split[chunkIndex_]);
    ++chunkIndex_;
    const std::string out = current_->body.substr(std::min(readAt_, current_->body.size()), n);
    readAt_ += out.size();
    return out;
}

void FakeHttpTransfer::cancel() {
    ++cancels;
    current_.reset();
}

}  // namespace qm
