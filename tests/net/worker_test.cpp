// The thread the service client and the updater both hand their jobs to.
#include "net/worker.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace qm {
namespace {

// Blocks as a call does until it is cancelled.
void waitForCancel(const HttpCancel& cancel)
{
    pollfd fd{cancel.waitFd(), POLLIN, 0};
    while (!cancel.cancelled())
        poll(&fd, 1, -1);
}

template <typename Done>
bool waitUntil(Done done)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(Worker, RunsJobsInOrderAndStopCancelsTheOneUnderWay)
{
    std::atomic<bool> blocked{false};
    Worker<int, int> worker([&blocked](const int& job, const HttpCancel& cancel) {
        if (job < 0) {
            blocked = true;
            waitForCancel(cancel);
        }
        return job * 10;
    });
    for (int job : {1, 2, 3})
        ASSERT_TRUE(worker.submit(job));
    std::vector<int> results;
    ASSERT_TRUE(waitUntil([&] {
        for (int result : worker.take())
            results.push_back(result);
        return results.size() >= 3;
    }));
    EXPECT_EQ(results, (std::vector<int>{10, 20, 30}));

    // A job queued behind a blocked one is dropped by stop, and the blocked
    // one's result never comes: join returns because the call was cancelled.
    ASSERT_TRUE(worker.submit(-1));
    ASSERT_TRUE(worker.submit(4));
    ASSERT_TRUE(waitUntil([&] { return blocked.load(); }));
    worker.stop();
    worker.join();
    EXPECT_TRUE(worker.take().empty());
    EXPECT_FALSE(worker.submit(5));
}

}  // namespace
}  // namespace qm
