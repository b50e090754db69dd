#pragma once

#include <string>

// What a serial port is, as the user knows it, from the sysfs tree. Pure functions over the
// given sysfs root; any thread.
namespace orvanta::serial {

// For a USB adapter the manufacturer, product and serial number of its USB device
// ("FTDI FT232R USB UART (A50285BI)"); otherwise the name of the driver behind the port
// ("serial8250", "8250_dw"). devicePath may be a link such as /dev/serial/by-id/...; it is
// described by the device it leads to. Empty when sysfs knows nothing of the port (a
// pseudo-terminal).
std::string DescribePort(const std::string& sysfsRoot, const std::string& devicePath);

} // namespace orvanta::serial
