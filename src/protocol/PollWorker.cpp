#include "protocol/PollWorker.h"

#include <sys/resource.h>
#include <unistd.h>

namespace orvanta::protocol {

namespace {

// The highest priority of the normal scheduling class: the lowest nice value the thread may
// take. A real-time class is never asked for, also not as root: a busy real-time thread
// starves the rest of the machine. Without the right to lower its nice value the worker
// runs at normal priority, which is fine for 5 ms intervals.
void AskForHighPriority() {
    const pid_t thread = ::gettid();
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(thread), -20) == 0) {
        return;
    }
    // An unprivileged thread may go down to 20 - RLIMIT_NICE.
    rlimit limit{};
    if (::getrlimit(RLIMIT_NICE, &limit) != 0 || limit.rlim_cur == 0 || limit.rlim_cur > 40) {
        return;
    }
    const int lowest = 20 - static_cast<int>(limit.rlim_cur);
    if (lowest < ::getpriority(PRIO_PROCESS, static_cast<id_t>(thread))) {
        (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(thread), lowest);
    }
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
