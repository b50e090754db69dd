#include "serial/EventFd.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace orvanta::serial {

EventFd::~EventFd() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool EventFd::Create() {
    if (m_fd < 0) {
        m_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    }
    return m_fd >= 0;
}

void EventFd::Signal() {
    const std::uint64_t one = 1;
    while (::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void EventFd::Reset() {
    // Reading a non-semaphore eventfd returns the whole count and clears it.
    std::uint64_t count = 0;
    while (::read(m_fd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

bool EventFd::IsSignalled() const {
    pollfd p{m_fd, POLLIN, 0};
    int r;
    while ((r = ::poll(&p, 1, 0)) < 0 && errno == EINTR) {
    }
    return r > 0 && (p.revents & POLLIN) != 0;
}

} // namespace orvanta::serial
