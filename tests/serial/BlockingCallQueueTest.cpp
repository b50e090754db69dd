#include "serial/BlockingCallQueue.h"

#include "support/RunUntil.h"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace orvanta::serial {
namespace {

using namespace std::chrono_literals;

// Dispatches on the calling (owner) thread until done() or a generous deadline.
template <typename Done> bool PumpUntil(BlockingCallQueue& queue, Done done) {
    return orvanta::testing::PumpUntil(done, 10s, orvanta::testing::DispatchOrNap(queue));
}

TEST(BlockingCallQueueTest, CallBlockingReturnsOnlyAfterTheOwnerRanIt) {
    BlockingCallQueue queue;
    std::thread::id ranOn;
    std::atomic<bool> returned{false};
    bool result = false;
    std::thread worker([&] {
        result = queue.CallBlocking([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
    });
    // Nothing runs until the owner dispatches, so the worker must still be waiting.
    while (queue.Pending() == 0) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(returned);
    ASSERT_TRUE(PumpUntil(queue, [&] { return returned.load(); }));
    worker.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(BlockingCallQueueTest, CallsRunInTheOrderTheyWereQueued) {
    BlockingCallQueue queue;
    std::vector<int> order;
    std::thread worker([&] {
        queue.Post([&] { order.push_back(1); });
        queue.CallBlocking([&] { order.push_back(2); });
        queue.Post([&] { order.push_back(3); });
        queue.CallBlocking([&] { order.push_back(4); });
    });
    ASSERT_TRUE(PumpUntil(queue, [&] { return order.size() == 4; }));
    worker.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(BlockingCallQueueTest, OnTheOwnerThreadACallRunsAtOnce) {
    BlockingCallQueue queue;
    int ran = 0;
    EXPECT_TRUE(queue.CallBlocking([&] { ++ran; }));
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(queue.Pending(), 0u);
}

TEST(BlockingCallQueueTest, BindingMovesTheOwnerThread) {
    BlockingCallQueue queue;
    std::promise<void> bound;
    std::atomic<bool> stop{false};
    std::thread owner([&] {
        queue.BindToCurrentThread();
        bound.set_value();
        while (!stop) {
            if (!queue.DispatchOne()) {
                std::this_thread::sleep_for(1ms);
            }
        }
    });
    bound.get_future().wait();
    std::thread::id ranOn;
    EXPECT_TRUE(queue.CallBlocking([&] { ranOn = std::this_thread::get_id(); }));
    EXPECT_EQ(ranOn, owner.get_id());
    stop = true;
    owner.join();
}

TEST(BlockingCallQueueTest, NotifierIsCalledForEveryEnqueue) {
    BlockingCallQueue queue;
    std::atomic<int> notified{0};
    queue.SetNotifier([&] { ++notified; });
    queue.Post([] {});
    queue.Post([] {});
    std::thread worker([&] { queue.CallBlocking([] {}); });
    ASSERT_TRUE(PumpUntil(queue, [&] { return notified == 3 && queue.Pending() == 0; }));
    worker.join();
    EXPECT_EQ(notified, 3);
}

TEST(BlockingCallQueueTest, DispatchAllLeavesCallsQueuedMeanwhileForLater) {
    BlockingCallQueue queue;
    int ran = 0;
    queue.Post([&] {
        ++ran;
        queue.Post([&] { ++ran; });
    });
    EXPECT_EQ(queue.DispatchAll(), 1u);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(queue.DispatchAll(), 1u);
    EXPECT_EQ(ran, 2);
    EXPECT_FALSE(queue.DispatchOne());
}

TEST(BlockingCallQueueTest, ShutdownReleasesWaitersAndRefusesNewCalls) {
    BlockingCallQueue queue;
    bool ran = false;
    std::promise<bool> result;
    std::thread worker([&] { result.set_value(queue.CallBlocking([&] { ran = true; })); });
    while (queue.Pending() == 0) {
        std::this_thread::sleep_for(1ms);
    }
    queue.Shutdown();
    auto future = result.get_future();
    ASSERT_EQ(future.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(future.get());
    worker.join();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(queue.IsShutDown());
    EXPECT_FALSE(queue.Post([] {}));
    EXPECT_FALSE(queue.CallBlocking([] {}));
    EXPECT_FALSE(queue.DispatchOne());
}

TEST(BlockingCallQueueTest, AThrowingCallStillReleasesItsWaiter) {
    BlockingCallQueue queue;
    std::promise<bool> result;
    std::thread worker([&] { result.set_value(queue.CallBlocking([] { throw 1; })); });
    while (queue.Pending() == 0) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_THROW(queue.DispatchOne(), int);
    auto future = result.get_future();
    ASSERT_EQ(future.wait_for(10s), std::future_status::ready);
    worker.join();
}

} // namespace
} // namespace orvanta::serial
