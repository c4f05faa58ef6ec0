// A blocker search's shared record between a real worker thread and the
// thread that waits for it.
#include "platform/search_share.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>

#include "thread_support.h"

namespace qm {
namespace {

TEST(SearchShareThreads, TheWaiterSeesEachProcessOnceInTheOrderFoundWhileTheWorkerAdds) {
    SearchShare share(BlockerQuery{'G', "\\Device\\HarddiskVolume5", {}, 0});
    std::thread worker([&] {
        for (std::uint32_t i = 0; i < 2000; ++i)
            share.add({i % 100, "p" + std::to_string(i % 100)});
        EXPECT_TRUE(share.finish());  // still awaited: the worker wakes its waiter
    });
    std::size_t seen = 0;
    while (!share.done()) {
        const std::vector<Blocker> found = share.found();
        ASSERT_GE(found.size(), seen);  // nothing found is ever lost again
        for (std::size_t i = 0; i < found.size(); ++i) ASSERT_EQ(found[i].processId, i);
        seen = found.size();
    }
    worker.join();
    EXPECT_EQ(share.found().size(), 100u);
    EXPECT_EQ(share.query().volumeDevice, "\\Device\\HarddiskVolume5");
}

TEST(SearchShareThreads, AWorkerGivenUpInsideItsCallFinishesAloneAndWakesNobody) {
    auto share = std::make_shared<SearchShare>(BlockerQuery{'G', {}, {}, 0});
    Gate inCall;
    bool wakes = true;
    std::thread worker([share, &inCall, &wakes] {
        inCall.pass();
        if (!share->givenUp()) share->add({7, "late.exe"});
        wakes = share->finish();
    });
    ASSERT_TRUE(inCall.awaitArrivals(1));
    share->giveUp();
    share.reset();  // the waiter lets go first
    inCall.open();
    worker.join();
    EXPECT_FALSE(wakes);
}

}  // namespace
}  // namespace qm
