#pragma once

#include <cstdint>
#include <string_view>

namespace orvanta::serial {

// One received block as the monitor thread hands it over: the device path stands where a
// port number would, then the number of bytes read, then when the read returned (a replay
// gives the captured time and its own monotonic clock). Valid only during the call.
struct SerialBlockInfo {
    std::string_view devicePath;
    std::uint32_t byteCount = 0;
    std::int64_t realtimeNs = 0;  // CLOCK_REALTIME, nanoseconds since the epoch
    std::int64_t monotonicNs = 0; // CLOCK_MONOTONIC, nanoseconds
};

// Receives what the port's monitor thread reads. OnSerialBytes and OnSerialEventChar are
// called on the monitor thread, one at a time and in the order of the bytes. The owner hands
// each block to its own thread without waiting for it to be handled (it copies the bytes),
// and keeps the order; it may make the monitor wait while its hand-over is full.
// DispatchPendingDelivery is called on the owner's thread while it waits for the monitor to
// end, and once more after: it delivers what the monitor handed over and is still waiting,
// so a monitor held by a full hand-over is released, the wait never deadlocks and nothing
// read is lost by the close.
class SerialPortOwner {
public:
    virtual ~SerialPortOwner() = default;

    // bytes holds info.byteCount bytes followed by one zero byte; copy what you keep.
    virtual void OnSerialBytes(const std::uint8_t* bytes, const SerialBlockInfo& info) = 0;
    // After the bytes of each wake-up; the host leaves it unhandled.
    virtual void OnSerialEventChar(std::string_view devicePath) = 0;
    virtual void DispatchPendingDelivery() = 0;

    // The device vanished (pulled out, its other end closed): the port is Broken and waits
    // for it. Called once per loss, on the monitor thread, before the port waits. Return
    // true when the owner tells the user itself (status row, title); false has the port
    // show "Device lost: PATH. Waiting for it to come back." through its reporter.
    virtual bool OnDeviceLost(std::string_view devicePath) {
        (void)devicePath;
        return false;
    }
    // The lost device is present again at devicePath (ttyUSB0 may come back as ttyUSB1).
    // Called on the monitor thread, at once when the device is already back and then after
    // each burst of device changes, until the port is reopened or closed. Call
    // SerialPort::Reopen from a call posted to the owner's thread, never inside this one.
    virtual void OnDeviceBack(std::string_view devicePath) { (void)devicePath; }
};

} // namespace orvanta::serial
