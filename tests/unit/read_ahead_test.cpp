// The downloader's read-ahead buffer between a real worker thread and its
// owner: every byte in order whichever side is faster, no wake lost, the
// buffer bounded, and an owner that gives up while the worker reads.
#include "platform/read_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include "thread_support.h"

namespace qm {
namespace {

struct Pace {
    const char* name;
    std::size_t mostHeld;
    std::size_t block;  // what one read of the worker gives
    std::size_t chunk;  // what the owner asks for
};

void PrintTo(const Pace& pace, std::ostream* out) { *out << pace.name; }

class ReadAheadThreads : public ::testing::TestWithParam<Pace> {};

TEST_P(ReadAheadThreads, TheOwnerGetsEveryByteInOrderAndIsWokenForEachChunkItWaitsFor) {
    const Pace pace = GetParam();
    std::string body;
    for (int i = 0; body.size() < 20000; ++i) body += std::to_string(i) + ",";
    ReadAhead buffer(pace.mostHeld);
    Signals wakes;
    std::size_t mostSeen = 0;
    std::thread worker([&] {
        std::size_t sent = 0;
        while (sent < body.size() && buffer.waitForRoom()) {
            const std::size_t n = std::min(pace.block, body.size() - sent);
            if (buffer.put(std::string_view(body).substr(sent, n))) wakes.signal();
            sent += n;
            mostSeen = std::max(mostSeen, buffer.held());
        }
        if (buffer.end()) wakes.signal();
    });
    std::string got;
    for (;;) {
        // As the program waits: for a wake, with messages running.
        while (buffer.stillReading(pace.chunk)) ASSERT_TRUE(wakes.takeOne()) << got.size();
        const auto chunk = buffer.getChunk(pace.chunk);
        ASSERT_TRUE(chunk.has_value());
        if (chunk->empty()) break;
        ASSERT_LE(chunk->size(), pace.chunk);
        got += *chunk;
    }
    worker.join();
    EXPECT_EQ(got, body);
    EXPECT_LT(mostSeen, pace.mostHeld + pace.block);
    EXPECT_EQ(buffer.getChunk(pace.chunk), std::optional<std::string>(""));
}

INSTANTIATE_TEST_SUITE_P(Paces, ReadAheadThreads,
                         ::testing::Values(
                             // The worker fills the buffer, the owner sips.
                             Pace{"WorkerFaster", 64, 48, 7},
                             // The owner waits for each chunk to fill.
                             Pace{"OwnerFaster", 4096, 10, 1000},
                             Pace{"ReadsLargerThanTheBuffer", 16, 100, 16},
                             // A chunk larger than the buffer comes in parts.
                             Pace{"ChunksLargerThanTheBuffer", 256, 64, 5000}));

TEST(ReadAheadGiveUpThreads, AnOwnerThatGivesUpStopsTheWorkerInOrAfterItsRead) {
    // Given up while the worker is inside a read: what the read brings is
    // dropped and nobody is woken.
    ReadAhead buffer(1024);
    Gate inRead;
    bool wokeAfterGiveUp = true;
    bool stoppedAfterRead = false;
    std::thread worker([&] {
        if (!buffer.waitForRoom()) return;
        inRead.pass();
        wokeAfterGiveUp = buffer.put("late bytes");
        stoppedAfterRead = !buffer.waitForRoom();
    });
    EXPECT_TRUE(buffer.stillReading(10));
    ASSERT_TRUE(inRead.awaitArrivals(1));
    buffer.abandon();
    inRead.open();
    worker.join();
    EXPECT_FALSE(wokeAfterGiveUp);
    EXPECT_TRUE(stoppedAfterRead);

    // Given up before the owner ever asked: the waiting worker stops.
    ReadAhead idle(1024);
    std::thread waiting([&] { EXPECT_FALSE(idle.waitForRoom()); });
    idle.abandon();
    waiting.join();
}

TEST(ReadAheadGiveUpThreads, AFailedReadHandsOutWhatCameBeforeItThenTheError) {
    ReadAhead buffer(1024);
    std::thread worker([&] {
        if (buffer.waitForRoom()) buffer.put("abc");
        if (buffer.waitForRoom()) buffer.fail();
    });
    std::string got;
    for (;;) {
        const auto chunk = buffer.getChunk(2);
        if (!chunk) break;
        ASSERT_FALSE(chunk->empty());
        got += *chunk;
    }
    worker.join();
    EXPECT_EQ(got, "abc");
}

}  // namespace
}  // namespace qm
