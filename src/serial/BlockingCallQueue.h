#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace orvanta::serial {

// Carries calls from worker threads to one owner thread, the way a window's message queue
// does: CallBlocking waits until the owner thread has run the call (a sent message), Post
// does not wait (a posted message). CallBlocking, Post, SetNotifier and Shutdown may be
// called from any thread; DispatchOne and DispatchAll only from the owner thread, which is
// the constructing thread unless BindToCurrentThread says otherwise.
class BlockingCallQueue {
public:
    using Call = std::function<void()>;
    using Notifier = std::function<void()>;

    BlockingCallQueue();
    ~BlockingCallQueue();
    BlockingCallQueue(const BlockingCallQueue&) = delete;
    BlockingCallQueue& operator=(const BlockingCallQueue&) = delete;

    void BindToCurrentThread();
    // Called after every enqueue, on the enqueuing thread, outside the queue's lock: lets an
    // event loop be woken to dispatch.
    void SetNotifier(Notifier notifier);

    // Runs call on the owner thread and returns when it has run (true). On the owner thread
    // itself it runs at once. False when the queue is shut down, before or while waiting:
    // then the call has not run and never will.
    bool CallBlocking(Call call);
    // Queues call; false when the queue is shut down.
    bool Post(Call call);

    // Owner thread: runs the oldest waiting call; false when none was waiting.
    bool DispatchOne();
    // Owner thread: runs the calls waiting now (not those they enqueue); returns how many.
    std::size_t DispatchAll();
    std::size_t Pending() const;

    // Refuses new calls, drops the waiting ones and releases every CallBlocking waiter with
    // false. A call already running finishes.
    void Shutdown();
    bool IsShutDown() const;

private:
    struct Completion {
        bool done = false;
        bool ran = false;
    };
    struct Item {
        Call call;
        std::shared_ptr<Completion> completion; // null for posted calls
    };

    bool Enqueue(Item item);
    void Finish(const std::shared_ptr<Completion>& completion, bool ran);

    mutable std::mutex m_mutex;
    std::condition_variable m_completed;
    std::deque<Item> m_items;
    Notifier m_notifier;
    std::thread::id m_ownerThread;
    bool m_shutDown = false;
};

} // namespace orvanta::serial
