#include "protocol/PollWorker.h"

#include <pthread.h>
#include <sched.h>

namespace orvanta::protocol {

namespace {

void AskForHighPriority() {
    // The worker asks for the highest priority; without the right to raise it the
    // worker runs at normal priority, which is fine for 5 ms intervals.
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_RR);
    (void)pthread_setschedparam(pthread_self(), SCHED_RR, &param);
}

} // namespace

void PollWorker::Start(Step step) {
    if (m_thread.joinable()) {
        return;
    }
    m_step = std::move(step);
    m_bRun = true;
    m_bSuspended = true;
    m_bFinished = false;
    m_thread = std::thread([this] { Loop(); });
}

bool PollWorker::Suspend() {
    std::lock_guard lock(m_mutex);
    return !m_bSuspended.exchange(true);
}

bool PollWorker::Resume() {
    bool changed;
    {
        std::lock_guard lock(m_mutex);
        changed = m_bSuspended.exchange(false);
    }
    m_wake.notify_all();
    return changed;
}

void PollWorker::Stop(const std::function<void()>& waitHook) {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_bRun = false;
    }
    m_wake.notify_all();
    while (!m_bFinished.load()) {
        if (waitHook) {
            waitHook();
        }
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::milliseconds(2), [this] { return m_bFinished.load(); });
    }
    m_thread.join();
}

void PollWorker::Loop() {
    AskForHighPriority();
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_bRun || !m_bSuspended; });
            if (!m_bRun) {
                break;
            }
        }
        m_step();
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, Interval(), [this] { return !m_bRun.load(); });
        if (!m_bRun) {
            break;
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_bFinished = true;
    }
    m_wake.notify_all();
}

} // namespace orvanta::protocol
