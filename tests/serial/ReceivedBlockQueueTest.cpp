#include "serial/ReceivedBlockQueue.h"

#include "support/RunUntil.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace orvanta::serial {
namespace {

using namespace std::chrono_literals;

struct Fed {
    std::vector<std::uint8_t> bytes;
    std::vector<std::int64_t> stamps;
    bool terminated = true;
    bool pathsKept = true;
};

ReceivedBlockQueue::Feed Collect(Fed& fed) {
    return [&fed](const std::uint8_t* bytes, const SerialBlockInfo& info) {
        fed.bytes.insert(fed.bytes.end(), bytes, bytes + info.byteCount);
        fed.terminated = fed.terminated && bytes[info.byteCount] == 0;
        fed.pathsKept = fed.pathsKept && info.devicePath == "/dev/ttyS9";
        fed.stamps.push_back(info.monotonicNs);
    };
}

bool PushBlock(ReceivedBlockQueue& queue, const std::vector<std::uint8_t>& bytes,
               std::int64_t stamp) {
    return queue.Push(
        bytes.data(),
        SerialBlockInfo{"/dev/ttyS9", static_cast<std::uint32_t>(bytes.size()), stamp * 10, stamp});
}

// A reader much faster than the owner, against bounds by bytes and by blocks: every byte
// arrives once, in order, the queue never holds more than its bounds, and the reader waits
// for room instead of dropping.
TEST(ReceivedBlockQueueTest, AFastReaderWaitsForRoomAndNothingIsLostOrReordered) {
    struct Case {
        std::size_t maxBytes;
        std::size_t maxBlocks;
    };
    for (const Case bound : {Case{64, 1000}, Case{1 << 20, 3}}) {
        SCOPED_TRACE(bound.maxBytes);
        ReceivedBlockQueue queue(bound.maxBytes, bound.maxBlocks);
        constexpr int kBlocks = 2000;
        std::vector<std::uint8_t> sent;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            for (int i = 0; i < kBlocks; ++i) {
                std::vector<std::uint8_t> block(1 + i % 17);
                for (auto& byte : block) {
                    byte = static_cast<std::uint8_t>(sent.size() * 7 + i);
                    sent.push_back(byte);
                }
                EXPECT_TRUE(PushBlock(queue, block, i));
            }
            done = true;
        });
        Fed fed;
        bool boundKept = true;
        bool sawFull = false;
        const bool finished = orvanta::testing::PumpUntil(
            [&] { return done && queue.PendingBlocks() == 0; }, 30s,
            [&] {
                std::this_thread::sleep_for(1ms); // the owner is slow: the reader fills up
                const std::size_t blocks = queue.PendingBlocks();
                const std::size_t bytes = queue.PendingBytes();
                boundKept = boundKept && blocks <= bound.maxBlocks && bytes <= bound.maxBytes;
                sawFull = sawFull || blocks == bound.maxBlocks || bytes + 17 > bound.maxBytes;
                queue.FeedAll(Collect(fed));
            });
        reader.join();
        ASSERT_TRUE(finished);
        EXPECT_TRUE(boundKept);
        EXPECT_TRUE(sawFull);
        EXPECT_EQ(fed.bytes, sent);
        ASSERT_EQ(fed.stamps.size(), static_cast<std::size_t>(kBlocks));
        for (int i = 0; i < kBlocks; ++i) {
            EXPECT_EQ(fed.stamps[static_cast<std::size_t>(i)], i);
        }
        EXPECT_TRUE(fed.terminated);
        EXPECT_TRUE(fed.pathsKept);
    }
}

// A full queue holds the reader until the owner takes blocks or the queue shuts down;
// shut down, it refuses blocks but still feeds the queued ones. A block above the byte
// bound passes alone.
TEST(ReceivedBlockQueueTest, AWaitingReaderIsReleasedByFeedingAndByShutdown) {
    ReceivedBlockQueue queue(8, 100);
    const std::vector<std::uint8_t> big(20, 0xAB);
    const std::vector<std::uint8_t> small{1, 2, 3};
    ASSERT_TRUE(PushBlock(queue, big, 0));
    const auto pushInBackground = [&](std::int64_t stamp) {
        return std::async(std::launch::async,
                          [&, stamp] { return PushBlock(queue, small, stamp); });
    };
    auto waiting = pushInBackground(1);
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
    Fed fed;
    EXPECT_EQ(queue.FeedAll(Collect(fed)), 1u);
    ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(waiting.get());

    ASSERT_TRUE(PushBlock(queue, small, 2)); // 6 bytes queued: the next 3 do not fit
    auto refused = pushInBackground(3);
    EXPECT_EQ(refused.wait_for(50ms), std::future_status::timeout);
    queue.Shutdown();
    ASSERT_EQ(refused.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(refused.get());
    EXPECT_FALSE(PushBlock(queue, small, 4));
    EXPECT_EQ(queue.FeedAll(Collect(fed)), 2u);
    EXPECT_EQ(fed.stamps, (std::vector<std::int64_t>{0, 1, 2}));
    EXPECT_EQ(fed.bytes.size(), big.size() + 2 * small.size());
}

// The owner is woken once per batch: the first block after it last fed notifies, the rest
// of the batch does not; a block that comes while it feeds wakes it again.
TEST(ReceivedBlockQueueTest, TheOwnerIsWokenOncePerBatch) {
    ReceivedBlockQueue queue;
    int notified = 0;
    queue.SetNotifier([&] { ++notified; });
    const std::vector<std::uint8_t> block{0x71};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(PushBlock(queue, block, i));
    }
    EXPECT_EQ(notified, 1);
    Fed fed;
    std::size_t nestedFed = 0;
    // A block arriving during the feed is left for the next round; a nested feed (the port
    // closed from a handler) takes the rest in order.
    EXPECT_EQ(queue.FeedAll([&](const std::uint8_t* bytes, const SerialBlockInfo& info) {
        Collect(fed)(bytes, info);
        if (fed.stamps.size() == 1) {
            ASSERT_TRUE(PushBlock(queue, block, 3));
            nestedFed = queue.FeedAll(Collect(fed));
        }
    }),
              1u);
    EXPECT_EQ(nestedFed, 3u);
    EXPECT_EQ(notified, 2);
    EXPECT_EQ(fed.stamps, (std::vector<std::int64_t>{0, 1, 2, 3}));
}

} // namespace
} // namespace orvanta::serial
