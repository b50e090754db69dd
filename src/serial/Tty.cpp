#include "serial/Tty.h"

#include <asm/termbits.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <linux/major.h>
#include <linux/serial.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace orvanta::serial::tty {

namespace {

static_assert(sizeof(termios2) <= sizeof(SavedTerminal::settings));

int RetryIoctl(int fd, unsigned long request, void* arg) {
    int r;
    while ((r = ::ioctl(fd, request, arg)) < 0 && errno == EINTR) {
    }
    return r;
}

int RetryIoctl(int fd, unsigned long request, unsigned long arg) {
    int r;
    while ((r = ::ioctl(fd, request, arg)) < 0 && errno == EINTR) {
    }
    return r;
}

void ApplyFixedSettings(termios2& t, std::uint32_t baud, Parity parity) {
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK | IUCLC | IMAXBEL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS |
                                        CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= CS8 | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    switch (parity) {
    case Parity::None:
        break;
    case Parity::Odd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case Parity::Even:
        t.c_cflag |= PARENB;
        break;
    case Parity::Mark:
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case Parity::Space:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

LineParameters Decode(const termios2& t) {
    LineParameters p;
    p.baud = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        p.dataBits = 5;
        break;
    case CS6:
        p.dataBits = 6;
        break;
    case CS7:
        p.dataBits = 7;
        break;
    default:
        p.dataBits = 8;
        break;
    }
    if (t.c_cflag & PARENB) {
        const bool odd = (t.c_cflag & PARODD) != 0;
        if (t.c_cflag & CMSPAR) {
            p.parity = odd ? Parity::Mark : Parity::Space;
        } else {
            p.parity = odd ? Parity::Odd : Parity::Even;
        }
    }
    p.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    p.raw = (t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN)) == 0 && (t.c_oflag & OPOST) == 0 &&
            (t.c_iflag & (ICRNL | IXON | ISTRIP | INLCR | IGNCR)) == 0 && t.c_cc[VMIN] == 0 &&
            t.c_cc[VTIME] == 0;
    p.hardwareFlow = (t.c_cflag & CRTSCTS) != 0;
    p.receiverOn = (t.c_cflag & (CREAD | CLOCAL)) == (CREAD | CLOCAL);
    return p;
}

std::string GroupName(gid_t gid);

// Who may use the node the user could not open: the group that owns it when the group may
// read and write it, else its owner (crw------- root: joining "root" would not help).
// Names, or numbers when the system knows no name.
void NameWhoMayUse(const std::string& path, SerialError& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return;
    }
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
        error.deviceGroup = GroupName(info.st_gid);
        return;
    }
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 1024);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(info.st_uid, &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr) {
        error.deviceOwner = found->pw_name;
    } else {
        error.deviceOwner = std::to_string(info.st_uid);
    }
}

std::string GroupName(gid_t gid) {
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 1024);
    group entry{};
    group* found = nullptr;
    int r;
    while ((r = ::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (r == 0 && found != nullptr && found->gr_name != nullptr) {
        return found->gr_name;
    }
    return std::to_string(gid);
}

SerialError Refuse(int fd, SerialError error) {
    ::close(fd);
    return error;
}

} // namespace

bool IsPseudoTerminalMajor(unsigned major) {
    return (major >= UNIX98_PTY_SLAVE_MAJOR &&
            major < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT) ||
           major == PTY_MASTER_MAJOR || major == PTY_SLAVE_MAJOR;
}

bool IsPseudoTerminal(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) &&
        IsPseudoTerminalMajor(major(info.st_rdev))) {
        return true;
    }
    unsigned number = 0; // only a master from /dev/ptmx knows its number
    return RetryIoctl(fd, TIOCGPTN, &number) == 0;
}

SerialError Open(const std::string& path, int& fd) {
    fd = -1;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISCHR(info.st_mode)) {
        return SerialError::NotATerminal(); // a file or a FIFO is not even opened
    }
    int handle;
    while ((handle = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) < 0 &&
           errno == EINTR) {
    }
    if (handle < 0) {
        SerialError error = SerialError::FromErrno(errno);
        if (error.errnoValue == EACCES) {
            NameWhoMayUse(path, error);
        }
        return error;
    }
    if (::fstat(handle, &info) != 0 || !S_ISCHR(info.st_mode) || !::isatty(handle)) {
        return Refuse(handle, SerialError::NotATerminal());
    }
    // Root is not kept out by someone else's TIOCEXCL; the flag itself tells.
    int exclusive = 0;
    if (RetryIoctl(handle, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        return Refuse(handle, SerialError::FromErrno(EBUSY));
    }
    int r;
    while ((r = ::flock(handle, LOCK_EX | LOCK_NB)) < 0 && errno == EINTR) {
    }
    if (r < 0) {
        return Refuse(handle, SerialError::FromErrno(errno == EWOULDBLOCK ? EBUSY : errno));
    }
    if (RetryIoctl(handle, TIOCEXCL, 0UL) < 0) {
        return Refuse(handle, SerialError::FromErrno(errno));
    }
    fd = handle;
    return {};
}

void Close(int fd, const SavedTerminal& saved) {
    if (fd < 0) {
        return;
    }
    // Best effort: a vanished device refuses all of this.
    if (saved.settingsSaved) {
        termios2 t{};
        std::memcpy(&t, saved.settings.data(), sizeof t);
        RetryIoctl(fd, TCSETS2, &t);
    }
    if (saved.raisedRts) {
        int rts = TIOCM_RTS;
        RetryIoctl(fd, TIOCMBIC, &rts);
    }
    // The exclusive flag lives on the terminal, not the descriptor; another opener of a
    // pty that stays open elsewhere would otherwise be refused.
    RetryIoctl(fd, TIOCNXCL, 0UL);
    ::close(fd);
}

ConfigureResult Configure(int fd, std::uint32_t baud, Parity parity, SavedTerminal& saved) {
    ConfigureResult result;
    const auto fail = [&result](PortStep step, SerialError error) {
        result.error = std::move(error);
        result.failedStep = step;
        return result;
    };
    if (baud == 0) {
        return fail(PortStep::SetLine, SerialError::Bad("baud rate 0"));
    }
    termios2 t{};
    if (RetryIoctl(fd, TCGETS2, &t) < 0) {
        return fail(PortStep::ReadLine, SerialError::FromErrno(errno));
    }
    std::memcpy(saved.settings.data(), &t, sizeof t);
    saved.settingsSaved = true;
    ApplyFixedSettings(t, baud, parity);
    result.computed = Decode(t);
    if (RetryIoctl(fd, TCSETS2, &t) < 0) {
        return fail(PortStep::SetLine, SerialError::FromErrno(errno));
    }
    const bool pty = IsPseudoTerminal(fd);
    termios2 inForce{};
    if (RetryIoctl(fd, TCGETS2, &inForce) < 0) {
        return fail(PortStep::ReadLine, SerialError::FromErrno(errno));
    }
    if (!LineSettingsTaken(result.computed, Decode(inForce), pty)) {
        return fail(PortStep::SetLine, SerialError::Bad("the terminal refused the line settings"));
    }
    // A pty has no modem lines and says so with ENOTTY or EINVAL.
    const auto ptyRefusal = [pty] { return pty && (errno == ENOTTY || errno == EINVAL); };
    int lines = 0;
    if (RetryIoctl(fd, TIOCMGET, &lines) < 0) {
        if (!ptyRefusal()) {
            return fail(PortStep::SetLine, SerialError::FromErrno(errno));
        }
    } else if ((lines & TIOCM_RTS) == 0) {
        int rts = TIOCM_RTS;
        if (RetryIoctl(fd, TIOCMBIS, &rts) < 0) {
            if (!ptyRefusal()) {
                return fail(PortStep::SetLine, SerialError::FromErrno(errno));
            }
        } else {
            saved.raisedRts = true;
        }
    }
    return result;
}

SerialError Flush(int fd, bool input, bool output) {
    if (!input && !output) {
        return {};
    }
    const unsigned long which = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    if (RetryIoctl(fd, TCFLSH, which) < 0) {
        return SerialError::FromErrno(errno);
    }
    return {};
}

SerialError BytesQueued(int fd, std::size_t& count) {
    count = 0;
    int waiting = 0;
    if (RetryIoctl(fd, FIONREAD, &waiting) < 0) {
        return SerialError::FromErrno(errno);
    }
    count = waiting > 0 ? static_cast<std::size_t>(waiting) : 0;
    return {};
}

SerialError Read(int fd, std::uint8_t* buffer, std::size_t length, std::size_t& got) {
    got = 0;
    if (length == 0) {
        return {};
    }
    ssize_t r;
    while ((r = ::read(fd, buffer, length)) < 0 && errno == EINTR) {
    }
    if (r < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return {};
        }
        return SerialError::FromErrno(errno);
    }
    if (r == 0) {
        // A terminal reads end of file only after a hang-up.
        return SerialError::FromErrno(EIO);
    }
    got = static_cast<std::size_t>(r);
    return {};
}

SerialError Write(int fd, const std::uint8_t* bytes, std::size_t length, std::size_t& written) {
    written = 0;
    if (length == 0) {
        return {};
    }
    ssize_t r;
    while ((r = ::write(fd, bytes, length)) < 0 && errno == EINTR) {
    }
    if (r < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return {};
        }
        return SerialError::FromErrno(errno);
    }
    written = static_cast<std::size_t>(r);
    return {};
}

SerialError ReadLineParameters(int fd, LineParameters& out) {
    termios2 t{};
    if (RetryIoctl(fd, TCGETS2, &t) < 0) {
        return SerialError::FromErrno(errno);
    }
    out = Decode(t);
    return {};
}

bool ProbeRealUart(const std::string& path) {
    int fd;
    while ((fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) < 0 &&
           errno == EINTR) {
    }
    if (fd < 0) {
        return false;
    }
    serial_struct info{};
    const bool real = RetryIoctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return real;
}

} // namespace orvanta::serial::tty

namespace orvanta::serial {

Parity ParityFromLetter(char letter) {
    switch (letter) {
    case 'E':
    case 'e':
        return Parity::Even;
    case 'M':
    case 'm':
        return Parity::Mark;
    case 'O':
    case 'o':
        return Parity::Odd;
    case 'S':
    case 's':
        return Parity::Space;
    default:
        return Parity::None;
    }
}

bool LineSettingsTaken(const LineParameters& asked, const LineParameters& inForce,
                       bool pseudoTerminal) {
    const bool framing =
        pseudoTerminal || (inForce.dataBits == asked.dataBits && inForce.parity == asked.parity);
    const std::uint64_t off =
        inForce.baud > asked.baud ? inForce.baud - asked.baud : asked.baud - inForce.baud;
    return framing && inForce.stopBits == asked.stopBits && inForce.raw == asked.raw &&
           inForce.hardwareFlow == asked.hardwareFlow && inForce.receiverOn == asked.receiverOn &&
           off * 100 <= std::uint64_t{asked.baud} * 3;
}

LineParameters PreviewLineSettings(std::uint32_t baud, char parityLetter) {
    // Leftovers a driver may hand over: 7 bits, two stop bits, odd parity, cooked mode,
    // hardware handshake, a standard baud code.
    termios2 t{};
    t.c_iflag = ICRNL | IXON | ISTRIP | INPCK;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ECHO | ICANON | ISIG | IEXTEN;
    t.c_cflag = CS7 | CSTOPB | PARENB | PARODD | CRTSCTS | B9600 | HUPCL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    tty::ApplyFixedSettings(t, baud, ParityFromLetter(parityLetter));
    return tty::Decode(t);
}

} // namespace orvanta::serial
