#pragma once

#include <string>

namespace orvanta::serial {

// What the caller does next after a failed system call on a port.
enum class SerialErrorKind {
    None,          // success
    BadArgument,   // the caller's input was wrong; nothing was attempted
    AccessDenied,  // EACCES, EBUSY, EPERM: someone else holds the port or no rights
    DeviceGone,    // ENXIO, EIO, ENODEV, hang-up: the device has vanished
    InvalidHandle, // EBADF: the descriptor is not (or no longer) usable
    NotATerminal,  // the path is a file, a FIFO, /dev/null...: nothing is written to it
    OsFailure,     // anything else; the text says what
};

// The result of one system call at the serial boundary, with errno and its text captured
// at the failure. A plain value; any thread.
struct SerialError {
    SerialErrorKind kind = SerialErrorKind::None;
    int errnoValue = 0;
    std::string text; // strerror text of errnoValue, or a description
    // EACCES on open: the group that owns the device node, by name (its number when the
    // system knows no name).
    std::string deviceGroup;
    // EACCES on open of a device whose group may not read and write it: its owner, by
    // name (the number when the system knows no name); deviceGroup is then empty.
    std::string deviceOwner;

    bool ok() const { return kind == SerialErrorKind::None; }
    explicit operator bool() const { return !ok(); }

    static SerialError FromErrno(int errnoValue);
    static SerialError Bad(std::string text);
    static SerialError NotATerminal();
};

// The step of the port's work that a failure interrupted; the messages name it.
enum class PortStep {
    Wait,     // waiting for data
    Read,     // reading
    Write,    // writing
    ReadLine, // reading the line settings
    SetLine,  // setting the line
};

// Sorts an errno value into the kinds above.
SerialErrorKind ClassifyErrno(int errnoValue);

} // namespace orvanta::serial
