#include "devsim/PtyDevice.h"

#include <asm/termbits.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace orvanta::devsim {

namespace {

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

PtyDevice::~PtyDevice() {
    Close();
}

bool PtyDevice::Open(std::uint32_t baud, const std::string& linkPath, std::string& error) {
    Close();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        error = ErrnoText("posix_openpt");
        return false;
    }
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        error = ErrnoText("pseudo-terminal slave");
        ::close(master);
        return false;
    }
    const int held = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (held < 0) {
        error = ErrnoText(name);
        ::close(master);
        return false;
    }
    // Raw from the start, so nothing the device sends before a host opens is echoed or
    // edited. Settings made through the master are the slave's.
    termios2 t{};
    if (::ioctl(master, TCGETS2, &t) == 0) {
        t.c_iflag = 0;
        t.c_oflag = 0;
        t.c_lflag = 0;
        t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB);
        t.c_cflag |= CS8 | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
        t.c_ispeed = baud;
        t.c_ospeed = baud;
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        ::ioctl(master, TCSETS2, &t);
    }
    m_master = master;
    m_heldSlave = held;
    m_slavePath = name;
    m_linkPath = linkPath;
    if (!m_linkPath.empty()) {
        const std::string temporary = m_linkPath + ".new";
        ::unlink(temporary.c_str());
        if (::symlink(m_slavePath.c_str(), temporary.c_str()) != 0 ||
            ::rename(temporary.c_str(), m_linkPath.c_str()) != 0) {
            error = ErrnoText(m_linkPath.c_str());
            ::unlink(temporary.c_str());
            m_linkPath.clear();
            Close();
            return false;
        }
    }
    return true;
}

void PtyDevice::Close() {
    if (!m_linkPath.empty()) {
        // Only our own link: another simulator may have taken the name meanwhile.
        char target[256];
        const ssize_t n = ::readlink(m_linkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == m_slavePath) {
            ::unlink(m_linkPath.c_str());
        }
        m_linkPath.clear();
    }
    if (m_heldSlave >= 0) {
        ::close(m_heldSlave);
        m_heldSlave = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    m_slavePath.clear();
}

} // namespace orvanta::devsim
