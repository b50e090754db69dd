#include "serial/BlockingCallQueue.h"

#include <utility>

namespace orvanta::serial {

BlockingCallQueue::BlockingCallQueue() : m_ownerThread(std::this_thread::get_id()) {}

BlockingCallQueue::~BlockingCallQueue() {
    Shutdown();
}

void BlockingCallQueue::BindToCurrentThread() {
    std::lock_guard lock(m_mutex);
    m_ownerThread = std::this_thread::get_id();
}

void BlockingCallQueue::SetNotifier(Notifier notifier) {
    std::lock_guard lock(m_mutex);
    m_notifier = std::move(notifier);
}

bool BlockingCallQueue::Enqueue(Item item) {
    Notifier notifier;
    {
        std::lock_guard lock(m_mutex);
        if (m_shutDown) {
            return false;
        }
        m_items.push_back(std::move(item));
        notifier = m_notifier;
    }
    if (notifier) {
        notifier();
    }
    return true;
}

bool BlockingCallQueue::CallBlocking(Call call) {
    bool onOwnerThread;
    {
        std::lock_guard lock(m_mutex);
        if (m_shutDown) {
            return false;
        }
        onOwnerThread = std::this_thread::get_id() == m_ownerThread;
    }
    if (onOwnerThread) {
        // A sent message to one's own window runs directly; waiting would never end.
        call();
        return true;
    }
    auto completion = std::make_shared<Completion>();
    if (!Enqueue(Item{std::move(call), completion})) {
        return false;
    }
    std::unique_lock lock(m_mutex);
    m_completed.wait(lock, [&] { return completion->done; });
    return completion->ran;
}

bool BlockingCallQueue::Post(Call call) {
    return Enqueue(Item{std::move(call), nullptr});
}

void BlockingCallQueue::Finish(const std::shared_ptr<Completion>& completion, bool ran) {
    if (!completion) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        completion->done = true;
        completion->ran = ran;
    }
    m_completed.notify_all();
}

bool BlockingCallQueue::DispatchOne() {
    Item item;
    {
        std::lock_guard lock(m_mutex);
        if (m_items.empty()) {
            return false;
        }
        item = std::move(m_items.front());
        m_items.pop_front();
    }
    // The waiter is released even when the call throws.
    struct Releaser {
        BlockingCallQueue* queue;
        const std::shared_ptr<Completion>& completion;
        ~Releaser() { queue->Finish(completion, true); }
    } releaser{this, item.completion};
    if (item.call) {
        item.call();
    }
    return true;
}

std::size_t BlockingCallQueue::DispatchAll() {
    std::size_t waiting;
    {
        std::lock_guard lock(m_mutex);
        waiting = m_items.size();
    }
    std::size_t ran = 0;
    while (ran < waiting && DispatchOne()) {
        ++ran;
    }
    return ran;
}

std::size_t BlockingCallQueue::Pending() const {
    std::lock_guard lock(m_mutex);
    return m_items.size();
}

void BlockingCallQueue::Shutdown() {
    std::deque<Item> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_shutDown = true;
        dropped.swap(m_items);
        for (auto& item : dropped) {
            if (item.completion) {
                item.completion->done = true;
                item.completion->ran = false;
            }
        }
    }
    m_completed.notify_all();
}

bool BlockingCallQueue::IsShutDown() const {
    std::lock_guard lock(m_mutex);
    return m_shutDown;
}

} // namespace orvanta::serial
