#include "serial/ReceivedBlockQueue.h"

#include <utility>

namespace orvanta::serial {

ReceivedBlockQueue::ReceivedBlockQueue(std::size_t maxBytes, std::size_t maxBlocks)
    : m_maxBytes(maxBytes), m_maxBlocks(maxBlocks > 0 ? maxBlocks : 1) {}

ReceivedBlockQueue::~ReceivedBlockQueue() {
    Shutdown();
}

void ReceivedBlockQueue::SetNotifier(Notifier notifier) {
    std::lock_guard lock(m_mutex);
    m_notifier = std::move(notifier);
}

bool ReceivedBlockQueue::Full(std::size_t incoming) const {
    if (m_blocks.empty()) {
        return false;
    }
    return m_blocks.size() >= m_maxBlocks || m_bytes + incoming > m_maxBytes;
}

bool ReceivedBlockQueue::Push(const std::uint8_t* bytes, const SerialBlockInfo& info) {
    // Copied before the lock, so the owner never waits for an allocation.
    Block block;
    block.bytes.reserve(info.byteCount + std::size_t{1});
    block.bytes.assign(bytes, bytes + info.byteCount);
    block.bytes.push_back(0);
    block.devicePath = info.devicePath;
    block.realtimeNs = info.realtimeNs;
    block.monotonicNs = info.monotonicNs;

    Notifier notifier;
    {
        std::unique_lock lock(m_mutex);
        if (Full(info.byteCount) && !m_shutDown) {
            ++m_waitingPushes;
            m_room.wait(lock, [&] { return m_shutDown || !Full(info.byteCount); });
            --m_waitingPushes;
        }
        if (m_shutDown) {
            return false;
        }
        m_bytes += info.byteCount;
        m_blocks.push_back(std::move(block));
        if (!m_wakePending) {
            m_wakePending = true;
            notifier = m_notifier;
        }
    }
    if (notifier) {
        notifier();
    }
    return true;
}

std::size_t ReceivedBlockQueue::FeedAll(const Feed& feed) {
    std::size_t waiting;
    {
        std::lock_guard lock(m_mutex);
        // From here a Push wakes the owner again: the blocks it brings are not fed below.
        m_wakePending = false;
        waiting = m_blocks.size();
    }
    std::size_t fed = 0;
    for (; fed < waiting; ++fed) {
        Block block;
        bool releasePush;
        {
            std::lock_guard lock(m_mutex);
            if (m_blocks.empty()) {
                break; // a nested FeedAll took the rest
            }
            block = std::move(m_blocks.front());
            m_blocks.pop_front();
            m_bytes -= block.bytes.size() - 1;
            releasePush = m_waitingPushes > 0;
        }
        if (releasePush) {
            m_room.notify_all();
        }
        feed(block.bytes.data(),
             SerialBlockInfo{block.devicePath, static_cast<std::uint32_t>(block.bytes.size() - 1),
                             block.realtimeNs, block.monotonicNs});
    }
    return fed;
}

std::size_t ReceivedBlockQueue::PendingBlocks() const {
    std::lock_guard lock(m_mutex);
    return m_blocks.size();
}

std::size_t ReceivedBlockQueue::PendingBytes() const {
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

void ReceivedBlockQueue::Shutdown() {
    {
        std::lock_guard lock(m_mutex);
        m_shutDown = true;
    }
    m_room.notify_all();
}

} // namespace orvanta::serial
