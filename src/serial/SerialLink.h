#pragma once

#include "serial/SerialPortOwner.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvanta::serial {

// Where a link stands; see State().
enum class PortState { Closed, Open, Monitoring, Broken };

// What the host drives: a source of received blocks that can take frames to send. The
// serial port is one; a capture replay is the other. Calling order:
// OpenLink -> StartMonitor -> any number of QueueSend -> CloseLink. State may be called
// from any thread; everything else belongs to the owner's thread.
class SerialLink {
public:
    virtual ~SerialLink() = default;

    // devicePath names the device (or the file); baud and parity set the line. True when
    // open. The owner must outlive the open link.
    virtual bool OpenLink(SerialPortOwner* owner, const std::string& devicePath, std::uint32_t baud,
                          char parity) = 0;
    // Starts delivering blocks to the owner; false when nothing is open.
    virtual bool StartMonitor() = 0;
    // Takes a frame to write; false when it was not taken (and will never be written).
    virtual bool QueueSend(const std::uint8_t* bytes, std::size_t length) = 0;
    // Stops the deliveries and closes.
    virtual void CloseLink() = 0;

    virtual PortState State() const = 0;
    virtual std::string DevicePath() const = 0;
    // False for a link that plays what a device sent earlier: nothing at its end reads the
    // frames (QueueSend refuses them), and it has no line settings to change.
    virtual bool TalksToDevice() const = 0;
};

} // namespace orvanta::serial
