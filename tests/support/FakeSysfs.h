#pragma once

#include "support/TempDir.h"

#include <filesystem>
#include <string>

// A fake /sys laid out as the kernel lays it out: devices under devices/, their driver
// links into bus/*/drivers/, and class/tty/NAME links to the tty's own folder, whose
// "device" link leads to the port's device.
namespace orvanta::testing {

class FakeSysfs {
public:
    FakeSysfs() { std::filesystem::create_directories(root() / "class" / "tty"); }

    std::filesystem::path root() const { return dir_.path(); }

    // devices/<path>, with a driver link when driver is not empty.
    std::filesystem::path AddDevice(const std::string& path, const std::string& driver) {
        const std::filesystem::path dir = root() / "devices" / path;
        std::filesystem::create_directories(dir);
        if (!driver.empty()) {
            const std::filesystem::path target = root() / "bus" / "any" / "drivers" / driver;
            std::filesystem::create_directories(target);
            std::filesystem::create_symlink(target, dir / "driver");
        }
        return dir;
    }
    // A USB device with its descriptor strings; an empty string leaves the attribute out.
    std::filesystem::path AddUsbDevice(const std::string& path, const std::string& manufacturer,
                                       const std::string& product, const std::string& serial) {
        const std::filesystem::path dir = AddDevice(path, "usb");
        WriteFile(dir / "idVendor", "0403\n");
        const auto attribute = [&dir](const char* name, const std::string& value) {
            if (!value.empty()) {
                WriteFile(dir / name, value + "\n");
            }
        };
        attribute("manufacturer", manufacturer);
        attribute("product", product);
        attribute("serial", serial);
        return dir;
    }
    // The tty NAME whose device is deviceDir.
    void AddTty(const std::string& name, const std::filesystem::path& deviceDir) {
        const std::filesystem::path tty = deviceDir / "tty" / name;
        std::filesystem::create_directories(tty);
        std::filesystem::create_symlink(deviceDir, tty / "device");
        std::filesystem::create_symlink(tty, root() / "class" / "tty" / name);
    }

private:
    TempDir dir_;
};

} // namespace orvanta::testing
