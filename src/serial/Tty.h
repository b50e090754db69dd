#pragma once

#include "serial/LineSettings.h"
#include "serial/SerialError.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The Linux terminal calls of the serial layer. This file pair is the only place that
// touches termios, ioctl and flock; everything above works with file descriptors and
// SerialError values. Each function is a thin system call wrapper and may be called from
// any thread; callers serialise calls on one descriptor themselves.
namespace orvanta::serial::tty {

// open(O_RDWR | O_NOCTTY | O_NONBLOCK), then exclusive access: flock (which binds root
// too) and TIOCEXCL. A port held by someone else gives AccessDenied.
SerialError Open(const std::string& path, int& fd);

// Gives up exclusive access and closes.
void Close(int fd);

// Which step of Configure failed, in the names the failure report uses.
struct ConfigureResult {
    SerialError error;
    const char* failedCall = nullptr;
    LineParameters computed; // what was asked of the driver
};

// Raw mode, VMIN = VTIME = 0, 8 data bits, one stop bit, the parity, any baud through
// termios2 and BOTHER, RTS held on. A refused RTS ioctl (ENOTTY, EINVAL: a pty) is
// ignored.
ConfigureResult Configure(int fd, std::uint32_t baud, Parity parity);

// Discards what waits in the input and/or output queue (tcflush).
SerialError Flush(int fd, bool input, bool output);

// Bytes waiting in the input queue (FIONREAD).
SerialError BytesQueued(int fd, std::size_t& count);

// One non-blocking read. Nothing waiting gives got = 0 without error; end of file (a hung-up
// terminal) gives DeviceGone.
SerialError Read(int fd, std::uint8_t* buffer, std::size_t length, std::size_t& got);

// One non-blocking write; a full output queue gives written = 0 without error.
SerialError Write(int fd, const std::uint8_t* bytes, std::size_t length, std::size_t& written);

// Reads the driver's settings back (TCGETS2). On a pty master this reads the slave's.
SerialError ReadLineParameters(int fd, LineParameters& out);

// True when the legacy 8250 driver reports a real UART behind the path (TIOCGSERIAL type
// other than unknown), as udev-based tools decide.
bool ProbeRealUart(const std::string& path);

} // namespace orvanta::serial::tty
