#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Finds the serial ports of the system in /sys/class/tty. Pure functions over the given
// sysfs root; any thread.
namespace orvanta::serial {

// 20 slots of device paths, filled from slot 0 upward without gaps; empty marks a free slot.
struct PortTable {
    static constexpr std::size_t kSlots = 20;
    std::array<std::string, kSlots> slots;

    std::size_t used() const;
};

// Answers whether a real UART sits behind a legacy serial8250 device path.
using UartProbe = std::function<bool(const std::string& devicePath)>;

// The probe the program uses: asks the driver for the port type (TIOCGSERIAL).
bool ProbeRealUart(const std::string& devicePath);

// Natural order: runs of digits compare by value, so ttyS2 comes before ttyS10.
bool NaturalLess(std::string_view a, std::string_view b);

// Fills the table with "/dev/NAME" for each NAME under sysfsRoot/class/tty whose device has
// a driver; serial8250 devices only when probe says a real UART answers. Natural order, the
// first 20 kept. A missing directory leaves the table empty.
void EnumeratePorts(PortTable& table, const std::string& sysfsRoot, const UartProbe& probe);

// EnumeratePorts, then the list entries in table order. A configured path that exists but
// was not enumerated (a pseudo-terminal, a /dev/serial/by-id link) is added at the end.
std::vector<std::string> FillPortList(PortTable& table, const std::string& sysfsRoot,
                                      const UartProbe& probe, const std::string& configuredPath);

// The entries offered when FillPortList finds nothing: /dev/ttyS0 to /dev/ttyS14.
std::vector<std::string> FallbackPortList();

} // namespace orvanta::serial
