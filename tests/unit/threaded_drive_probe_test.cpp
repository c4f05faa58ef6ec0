// The drive probe's questions on real threads: answers at the bound, after
// the asker stopped waiting, and a probe gone while a worker still asks.
#include "platform/threaded_drive_probe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "thread_support.h"

namespace qm {
namespace {

class ThreadWorkers final : public ProbeWorkers {
  public:
    bool run(const std::function<void()>& work) override {
        const std::lock_guard<std::mutex> locked(lock_);
        threads_.emplace_back(work);
        ++runs_;
        return true;
    }
    void wakeAsker() override { wakes.signal(); }
    void reportLate(char letter) override {
        {
            const std::lock_guard<std::mutex> locked(lock_);
            late_ += letter;
        }
        lates.signal();
    }
    void setLateTarget(WindowId, std::uint32_t) override {}
    std::uint32_t now() override { return clock.load(); }

    void joinAll() {
        std::vector<std::thread> threads;
        {
            const std::lock_guard<std::mutex> locked(lock_);
            threads.swap(threads_);
        }
        for (std::thread& t : threads) t.join();
    }
    int runs() {
        const std::lock_guard<std::mutex> locked(lock_);
        return runs_;
    }
    std::string late() {
        const std::lock_guard<std::mutex> locked(lock_);
        return late_;
    }

    std::atomic<std::uint32_t> clock{0};
    Signals wakes, lates;

  private:
    std::mutex lock_;
    std::vector<std::thread> threads_;
    int runs_ = 0;
    std::string late_;
};

constexpr std::uint32_t kKeptMs = 5000;

class DriveProbeThreads : public ::testing::Test {
  protected:
    void TearDown() override {
        gate.open();
        workers->joinAll();
    }
    // The label says which question answered: "G1" is the first one asked.
    std::string labelOf(const DriveAnswer& answer) {
        return answer.properties ? answer.properties->volumeName : "";
    }

    std::shared_ptr<ThreadWorkers> workers = std::make_shared<ThreadWorkers>();
    Gate gate;
    std::atomic<int> questions{0};
    std::unique_ptr<ThreadedDriveProbe> probe = std::make_unique<ThreadedDriveProbe>(
        workers,
        [this](char letter) {
            const int n = ++questions;
            gate.pass();
            DriveAnswer answer;
            answer.properties.emplace();
            answer.properties->volumeName = std::string(1, letter) + std::to_string(n);
            answer.descriptor.ok = true;
            return answer;
        },
        kKeptMs);
};

TEST_F(DriveProbeThreads, ALateAnswerIsKeptReportedAndTakenByTheNextQuestion) {
    ASSERT_TRUE(probe->ask('g'));
    ASSERT_TRUE(gate.awaitArrivals(1));  // the worker is inside its call
    EXPECT_FALSE(probe->ask('G'));       // still open: nothing starts
    EXPECT_FALSE(probe->take('G').answered);
    EXPECT_FALSE(probe->leave('G').answered);
    gate.open();
    ASSERT_TRUE(workers->lates.awaitCount(1));
    EXPECT_EQ(workers->late(), "G");
    EXPECT_EQ(workers->wakes.count(), 0);

    // As old as it may be: taken, nothing asked.
    workers->clock += kKeptMs;
    EXPECT_TRUE(probe->ask('G'));
    const DriveAnswer answer = probe->take('G');
    ASSERT_TRUE(answer.answered);
    EXPECT_EQ(labelOf(answer), "G1");
    EXPECT_TRUE(answer.descriptor.ok);
    EXPECT_EQ(workers->runs(), 1);

    // Taken: the next question is a new one, and awaited.
    ASSERT_TRUE(probe->ask('G'));
    ASSERT_TRUE(workers->wakes.awaitCount(1));
    EXPECT_EQ(labelOf(probe->take('G')), "G2");
}

TEST_F(DriveProbeThreads, ALateAnswerOlderThanItsKeepIsAskedAgain) {
    ASSERT_TRUE(probe->ask('G'));
    ASSERT_TRUE(gate.awaitArrivals(1));
    EXPECT_FALSE(probe->leave('G').answered);
    gate.open();
    ASSERT_TRUE(workers->lates.awaitCount(1));
    workers->clock += kKeptMs + 1;
    ASSERT_TRUE(probe->ask('G'));
    ASSERT_TRUE(workers->wakes.awaitCount(1));
    EXPECT_EQ(labelOf(probe->take('G')), "G2");
}

TEST_F(DriveProbeThreads, AnAnswerAtTheBoundIsTakenOrReportedLateNeverLostNorBoth) {
    gate.open();
    for (int round = 0; round < 300; ++round) {
        const int wakes = workers->wakes.count();
        const int lates = workers->lates.count();
        const int runs = workers->runs();
        ASSERT_TRUE(probe->ask('H'));
        // Asked again as the worker answers: open or answered, nothing starts.
        probe->ask('H');
        // The asker's bound runs out just as the worker answers.
        const DriveAnswer left = probe->leave('H');
        workers->joinAll();
        EXPECT_EQ(workers->runs(), runs + 1);
        if (left.answered) {
            EXPECT_EQ(workers->wakes.count(), wakes + 1);
            EXPECT_EQ(workers->lates.count(), lates);
            EXPECT_FALSE(probe->take('H').answered);
        } else {
            EXPECT_EQ(workers->wakes.count(), wakes);
            EXPECT_EQ(workers->lates.count(), lates + 1);
            EXPECT_TRUE(probe->ask('H'));
            EXPECT_TRUE(probe->take('H').answered);
        }
    }
}

TEST_F(DriveProbeThreads, AProbeGoneWhileItsWorkersAskLeavesThemNothingToTrip) {
    ASSERT_TRUE(probe->ask('C'));
    ASSERT_TRUE(probe->ask('D'));
    probe->leave('D');
    ASSERT_TRUE(gate.awaitArrivals(2));
    probe.reset();
    gate.open();
    ASSERT_TRUE(workers->wakes.awaitCount(1));
    ASSERT_TRUE(workers->lates.awaitCount(1));
    workers->joinAll();
}

}  // namespace
}  // namespace qm
