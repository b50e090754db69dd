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

// Answers whether a real UART sits behind a legacy serial device path.
using UartProbe = std::function<bool(const std::string& devicePath)>;

// The probe the program uses: asks the driver for the port type (TIOCGSERIAL).
bool ProbeRealUart(const std::string& devicePath);

// Natural order: runs of digits compare by value, so ttyS2 comes before ttyS10.
bool NaturalLess(std::string_view a, std::string_view b);

// Fills the table with DEVICEDIR/NAME for each NAME under sysfsRoot/class/tty whose device
// has a driver. A port with a sysfs `type` attribute is listed unless it is 0 (a legacy
// slot without a UART behind it, whatever its driver link is named: "serial8250", or "port"
// since Linux 6.5); a legacy slot without the attribute is listed when probe finds a UART,
// except an active console, which is listed unprobed. Natural order, the first 20 kept. A
// missing directory leaves the table empty.
void EnumeratePorts(PortTable& table, const std::string& sysfsRoot, const UartProbe& probe,
                    const std::string& deviceDir = "/dev");

// EnumeratePorts, then the list entries in table order. A configured path that is a
// terminal but was not enumerated (a pseudo-terminal, a /dev/serial/by-id link) is added at
// the end; a file, a FIFO or /dev/null is not.
std::vector<std::string> FillPortList(PortTable& table, const std::string& sysfsRoot,
                                      const UartProbe& probe, const std::string& configuredPath,
                                      const std::string& deviceDir = "/dev");

// Whether path is a terminal device, decided without opening it: a character device that
// is a pseudo-terminal or that sysfs files under the tty class.
bool IsTerminalDevice(const std::string& path, const std::string& sysfsRoot);

// DEVICEDIR/NAME of each of the kernel's active consoles (sysfsRoot/class/tty/console/active
// holds their names, such as "tty0 ttyS0").
std::vector<std::string> ActiveConsolePorts(const std::string& sysfsRoot,
                                            const std::string& deviceDir = "/dev");
// Whether path, links followed, is an active console: the port scan never touches one.
bool IsActiveConsole(const std::string& path, const std::string& sysfsRoot,
                     const std::string& deviceDir = "/dev");

// The entries offered when FillPortList finds nothing: /dev/ttyS0 to /dev/ttyS14.
std::vector<std::string> FallbackPortList();

} // namespace orvanta::serial
