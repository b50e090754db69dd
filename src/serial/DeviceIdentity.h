#pragma once

#include <optional>
#include <string>
#include <vector>

// What identifies an open serial device, so that it can be found again after it dropped
// off: ttyUSB0 may come back as ttyUSB1, and another adapter that appears meanwhile must
// never be taken for it. Pure functions over the given sysfs root and device folder; any
// thread.
namespace orvanta::serial {

struct DeviceIdentity {
    std::string path; // as it was opened
    bool pathIsLink = false;
    std::string nodeName; // the tty behind the path in the device folder (ttyUSB0), if any
    std::string byIdLink; // DEVICEDIR/serial/by-id/NAME pointing at it, if any
    // Of the USB device above the tty; empty when there is none (or it has no serial).
    std::string vendorId, productId, serial;

    bool IsUsb() const { return !vendorId.empty(); }
    bool HasUsbSerial() const { return IsUsb() && !serial.empty(); }
};

DeviceIdentity IdentifyDevice(const std::string& devicePath, const std::string& sysfsRoot,
                              const std::string& deviceDir);

// What a person calls the device in a file name or a status line: the USB serial number
// where there is one (it stays when ttyUSB0 comes back as ttyUSB1), else the node's name
// (ttyUSB0), else the path's last part ("pts3" for /dev/pts/3).
std::string ShortPortName(const DeviceIdentity& identity);

// Where the device is now, or nothing. In this order: the path it was opened by, when it
// leads to a terminal that is the same device; its by-id link; another tty with the same
// USB vendor, product and serial. A USB device without a serial is found only under its
// old node name, and a device with no identity beyond its path only at that path (a link
// counts when it exists again and leads to a terminal).
std::optional<std::string> FindDevice(const DeviceIdentity& identity, const std::string& sysfsRoot,
                                      const std::string& deviceDir);

// The folders whose entries change when the device comes back: the device folder, its
// serial/ and serial/by-id/ (which udev fills a moment after the node appears), and the
// folder of a path that is a link.
std::vector<std::string> WatchFolders(const DeviceIdentity& identity, const std::string& deviceDir);

} // namespace orvanta::serial
