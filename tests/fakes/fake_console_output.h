#pragma once
// What a command printed, stream by stream; with `nowhere`, as a program
// started with neither a console nor a redirected handle.
#include <string>
#include <string_view>
#include <vector>

#include "platform/console_output.h"

namespace qm {

class FakeConsoleOutput : public ConsoleOutput {
  public:
    bool write(Stream stream, std::string_view utf8) override {
        if (nowhere) return false;
        (stream == Stream::Out ? out : err) += utf8;
        return true;
    }
    // The lines of a stream, without their CR LF.
    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        std::size_t at = 0;
        while (at < text.size()) {
            const std::size_t end = text.find("\r\n", at);
            out.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
            if (end == std::string::npos) break;
            at = end + 2;
        }
        return out;
    }
    std::vector<std::string> outLines() const { return lines(out); }
    std::vector<std::string> errLines() const { return lines(err); }

    std::string out, err;
    bool nowhere = false;
};

}  // namespace qm
