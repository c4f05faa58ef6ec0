// Questions to a helper thread within a bound, and the count of helpers a
// question never let go, on real threads.
#include "platform/hung_probes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "thread_support.h"

namespace qm {
namespace {

using namespace std::chrono_literals;

// A helper as the open-file walk runs one: asks about each handle until the
// walker closes the question, and closes a handle it was left with.
class Helper {
  public:
    static constexpr std::uintptr_t kHangs = 666;

    Helper(ProbeQuestion& question, std::atomic<std::uintptr_t>& closed)
        : thread_([this, &question, &closed] {
              while (const auto handle = question.next(30s)) {
                  if (*handle == kHangs) hang_.pass();
                  if (!question.answer("path of " + std::to_string(*handle))) {
                      closed = *handle;
                      break;
                  }
              }
          }) {}
    ~Helper() {
        hang_.open();
        thread_.join();
    }

  private:
    Gate hang_;
    std::thread thread_;
};

TEST(ProbeQuestionThreads, AnswersComeBackToTheirQuestionsAndAHungOneIsLeftToTheHelper) {
    ProbeQuestion question;
    std::atomic<std::uintptr_t> closedByHelper{0};
    {
        Helper helper(question, closedByHelper);
        for (std::uintptr_t handle = 1; handle <= 200; ++handle) {
            const ProbeQuestion::Reply reply = question.ask(handle, 30s);
            ASSERT_EQ(reply.outcome, ProbeQuestion::Reply::Answered);
            ASSERT_EQ(reply.answer, "path of " + std::to_string(handle));
        }
        // This one hangs in the system: the walker gives it up at its bound,
        // and the question is of no more use to it.
        EXPECT_EQ(question.ask(Helper::kHangs, 1ms).outcome, ProbeQuestion::Reply::Hung);
        EXPECT_EQ(question.ask(1, 1ms).outcome, ProbeQuestion::Reply::NoHelper);
    }
    // When the call comes back the helper closes the handle and ends.
    EXPECT_EQ(closedByHelper.load(), Helper::kHangs);
}

TEST(ProbeQuestionThreads, AnAnswerAtTheBoundLeavesTheHandleToExactlyOneSide) {
    for (int round = 0; round < 300; ++round) {
        ProbeQuestion question;
        std::atomic<std::uintptr_t> closedByHelper{0};
        bool closedByWalker = false;
        {
            Helper helper(question, closedByHelper);
            const auto bound = std::chrono::milliseconds(round % 2);
            closedByWalker = question.ask(5, bound).outcome == ProbeQuestion::Reply::Answered;
            question.close();
        }
        // Not both, and not neither (a handle nobody closes).
        EXPECT_NE(closedByWalker, closedByHelper.load() == 5) << round;
    }
}

TEST(ProbeQuestionThreads, AHelperIdleTooLongEndsAndTheWalkerIsToldSoAtOnce) {
    auto question = std::make_shared<ProbeQuestion>();
    std::thread helper([question] { EXPECT_FALSE(question->next(1ms).has_value()); });
    helper.join();
    EXPECT_EQ(question->ask(3, 30s).outcome, ProbeQuestion::Reply::NoHelper);
}

TEST(HungProbesThreads, HelpersOfAllWalksAreBoundedAndHungHandlesRemembered) {
    HungProbes probes(4, 2);
    std::atomic<int> started{0};
    std::vector<std::thread> walks;
    for (int i = 0; i < 16; ++i) {
        walks.emplace_back([&] {
            if (probes.startHelper()) ++started;
        });
    }
    for (std::thread& t : walks) t.join();
    EXPECT_EQ(started.load(), 4);
    EXPECT_FALSE(probes.startHelper());
    // One of them came back at last: room for one more.
    probes.helperEnded();
    EXPECT_TRUE(probes.startHelper());

    const HandleKey a{10, 1, 0x44}, b{10, 1, 0x48}, c{11, 2, 0x44};
    probes.hung(a);
    probes.hung(a);
    probes.hung(b);
    EXPECT_TRUE(probes.hungBefore(a));
    EXPECT_FALSE(probes.hungBefore(c));
    EXPECT_FALSE(probes.hungBefore({10, 2, 0x44}));  // the same id, another process
    probes.hung(c);                                  // past the bound: the oldest is forgotten
    EXPECT_FALSE(probes.hungBefore(a));
    EXPECT_TRUE(probes.hungBefore(b));
    EXPECT_TRUE(probes.hungBefore(c));
}

}  // namespace
}  // namespace qm
