#pragma once

namespace orvanta::serial {

// A manual-reset event over an eventfd: it stays signalled until Reset. Signal, Reset and
// IsSignalled may be called from any thread; Create and destruction by the owner only.
class EventFd {
public:
    EventFd() = default;
    ~EventFd();
    EventFd(const EventFd&) = delete;
    EventFd& operator=(const EventFd&) = delete;

    bool Create(); // false when the system refuses an eventfd
    bool valid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    void Signal();
    void Reset();
    bool IsSignalled() const;

private:
    int m_fd = -1;
};

} // namespace orvanta::serial
