#pragma once

#include "serial/LineSettings.h"
#include "serial/SerialError.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The Linux terminal calls of the serial layer. This file pair is the only place that
// touches termios, ioctl and flock; everything above works with file descriptors and
// SerialError values. Each function is a thin system call wrapper and may be called from
// any thread; callers serialise calls on one descriptor themselves.
namespace orvanta::serial::tty {

// What a terminal had before the port changed it, so that closing puts it back.
struct SavedTerminal {
    std::array<std::uint8_t, 64> settings{}; // the driver's termios2, as read
    bool settingsSaved = false;
    bool raisedRts = false; // RTS was off and the port turned it on
};

// Opens a terminal for the port. A path that exists but is no character device is refused
// without being opened; otherwise open(O_RDWR | O_NOCTTY | O_NONBLOCK), and a descriptor
// that is not a terminal (/dev/null) is closed before anything is written: NotATerminal.
// Then exclusive access: a port whose exclusive flag or flock someone else holds gives
// AccessDenied with EBUSY, also for root, whom TIOCEXCL does not bind. EACCES names the
// group that owns the device node.
SerialError Open(const std::string& path, int& fd);

// Puts back what saved holds, gives up exclusive access and closes.
void Close(int fd, const SavedTerminal& saved);

// Which step of Configure failed, for the failure report.
struct ConfigureResult {
    SerialError error;
    PortStep failedStep = PortStep::SetLine;
    LineParameters computed; // what was asked of the driver
};

// Saves the settings in force, then sets raw mode, VMIN = VTIME = 0, 8 data bits, one stop
// bit, the parity, any baud through termios2 and BOTHER, and RTS held on, and reads them
// back. A pseudo-terminal's known refusals (8 bits without parity forced, no modem lines)
// are accepted there only; any other refusal is an error.
ConfigureResult Configure(int fd, std::uint32_t baud, Parity parity, SavedTerminal& saved);

// Whether the descriptor is either end of a pseudo-terminal.
bool IsPseudoTerminal(int fd);
// Whether a character device of this major number is a pseudo-terminal (Unix 98 slaves,
// the legacy BSD pairs).
bool IsPseudoTerminalMajor(unsigned major);

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
