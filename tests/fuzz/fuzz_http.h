#pragma once
// Scripted HTTP answers built from fuzz input, shared by the downloader and
// the update check: status lines, header lines (Content-Length in any form),
// bodies and the ways their chunks arrive, break off or stall.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fakes/fake_http_transfer.h"

namespace qm::fuzz {

inline std::string ConsumeStatusLine(FuzzedDataProvider& in) {
    static const char* const kProtocols[] = {"HTTP/1.1", "HTTP/1.0", "HTTP/2", "http/1.1", ""};
    static const char* const kCodes[] = {"200", "206", "301", "401", "403", "404",
                                         "416", "500", "099", "2000", "20", "+20"};
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            return in.ConsumeRandomLengthString(40);
        case 1:
            return std::string(in.PickValueInArray(kProtocols)) + " " +
                   in.ConsumeRandomLengthString(6) + " " + in.ConsumeRandomLengthString(10);
        default:
            return std::string(in.PickValueInArray(kProtocols)) + " " +
                   in.PickValueInArray(kCodes) + " OK";
    }
}

inline std::string ConsumeContentLength(FuzzedDataProvider& in, std::size_t bodySize) {
    switch (in.ConsumeIntegralInRange(0, 5)) {
        case 0:
            return std::to_string(bodySize);
        case 1:
            return std::to_string(in.ConsumeIntegral<std::uint64_t>());
        case 2:
            return std::to_string(in.ConsumeIntegral<std::int32_t>());
        case 3:
            return std::string(in.ConsumeIntegralInRange<std::size_t>(0, 30), '0') +
                   std::to_string(bodySize + in.ConsumeIntegralInRange(0, 3));
        case 4:
            return " " + std::to_string(bodySize) + in.ConsumeRandomLengthString(4);
        default:
            return in.ConsumeRandomLengthString(24);
    }
}

// One response. Chunk waits are bounded, but a stalled chunk waits for ever:
// the caller must end such a wait (a Cancel or a quit) from its polls.
inline FakeHttpTransfer::Response ConsumeResponse(FuzzedDataProvider& in) {
    static const char* const kNames[] = {"Content-Length", "content-length", "Content-Type",
                                         "Content-Range", "Accept-Ranges", "Connection",
                                         "Transfer-Encoding", "Location", "Content-Length "};
    FakeHttpTransfer::Response r;
    r.failed = in.ConsumeIntegralInRange(0, 15) == 0;
    r.pollsUntilDone = in.ConsumeIntegralInRange(0, 3);
    r.body = in.ConsumeRandomLengthString(in.ConsumeBool() ? 64 : 4096);
    r.header = ConsumeStatusLine(in);
    const int lines = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < lines; ++i) {
        r.header += "\r\n";
        if (in.ConsumeBool()) {
            r.header += "Content-Length: " + ConsumeContentLength(in, r.body.size());
        } else if (in.ConsumeBool()) {
            r.header += std::string(in.PickValueInArray(kNames)) + ":" +
                        in.ConsumeRandomLengthString(20);
        } else {
            r.header += in.ConsumeRandomLengthString(30);
        }
    }
    if (in.ConsumeIntegralInRange(0, 7) != 0) r.header += "\r\n\r\n";
    const int splits = in.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < splits; ++i) r.split.push_back(in.ConsumeIntegralInRange<std::size_t>(0, 600));
    if (in.ConsumeIntegralInRange(0, 5) == 0) r.failAtChunk = in.ConsumeIntegralInRange<std::size_t>(0, 8);
    r.pollsPerChunk = in.ConsumeIntegralInRange(0, 3);
    if (in.ConsumeIntegralInRange(0, 7) == 0) r.stallAtChunk = in.ConsumeIntegralInRange<std::size_t>(0, 8);
    return r;
}

}  // namespace qm::fuzz
