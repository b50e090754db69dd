#pragma once

#include "serial/SerialPortOwner.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace orvanta::serial {

// Received blocks on their way from a reading thread to the owner's thread, handed over
// without waiting for the owner to handle them: copied in, kept in order, fed out in
// batches. Bounded by bytes and by blocks: a full queue makes Push wait until the owner has
// taken blocks out (back-pressure; nothing is dropped) or the queue is shut down. The
// notifier fires once per batch: on the first Push after the owner last fed, so a busy
// reader wakes the owner's thread once per round, not once per block.
//
// Threads: Push, SetNotifier, Shutdown and the counts may be called from any thread (Push
// from one reader at a time, or the order is theirs); FeedAll only from the owner's thread.
class ReceivedBlockQueue {
public:
    using Notifier = std::function<void()>;
    // bytes holds info.byteCount bytes followed by one zero byte; both valid during the call.
    using Feed = std::function<void(const std::uint8_t* bytes, const SerialBlockInfo& info)>;

    // About 40 s of a 256000-baud line, in blocks of one read each.
    static constexpr std::size_t kDefaultMaxBytes = std::size_t{1} << 20;
    static constexpr std::size_t kDefaultMaxBlocks = 4096;

    explicit ReceivedBlockQueue(std::size_t maxBytes = kDefaultMaxBytes,
                                std::size_t maxBlocks = kDefaultMaxBlocks);
    ~ReceivedBlockQueue();
    ReceivedBlockQueue(const ReceivedBlockQueue&) = delete;
    ReceivedBlockQueue& operator=(const ReceivedBlockQueue&) = delete;

    // Called on the pushing thread, outside the queue's lock.
    void SetNotifier(Notifier notifier);

    // Copies the block in, waiting while the queue is full; a block above maxBytes still
    // goes into an empty queue. False when the queue is shut down, before or while waiting:
    // then the block is not queued.
    bool Push(const std::uint8_t* bytes, const SerialBlockInfo& info);
    // Owner thread: hands the blocks queued when it starts to feed, oldest first, and
    // returns how many. One taken out at a time, so a feed that feeds again keeps the order.
    std::size_t FeedAll(const Feed& feed);

    std::size_t PendingBlocks() const;
    std::size_t PendingBytes() const;

    // Refuses new blocks and releases a waiting Push; the queued ones stay for FeedAll.
    void Shutdown();

private:
    struct Block {
        std::vector<std::uint8_t> bytes; // the block, then one zero byte
        std::string devicePath;
        std::int64_t realtimeNs = 0;
        std::int64_t monotonicNs = 0;
    };

    bool Full(std::size_t incoming) const; // m_mutex held

    const std::size_t m_maxBytes;
    const std::size_t m_maxBlocks;
    mutable std::mutex m_mutex;
    std::condition_variable m_room;
    std::deque<Block> m_blocks;
    std::size_t m_bytes = 0;
    std::size_t m_waitingPushes = 0;
    bool m_wakePending = false; // the notifier fired and FeedAll has not started since
    bool m_shutDown = false;
    Notifier m_notifier;
};

} // namespace orvanta::serial
