#include "serial/PortDescription.h"

#include "support/FakeSysfs.h"

#include <gtest/gtest.h>

namespace orvanta::serial {
namespace {

namespace fs = std::filesystem;

TEST(PortDescriptionTest, UsbAdaptersByTheirStringsOtherPortsByTheirDriver) {
    testing::FakeSysfs sysfs;
    const std::string hub = "pci0000:00/0000:00:14.0/usb1/";
    // USB serial converters: the tty's device is the converter's port below the interface.
    sysfs.AddUsbDevice(hub + "1-1", "FTDI", "FT232R USB UART", "A50285BI");
    sysfs.AddDevice(hub + "1-1/1-1:1.0", "ftdi_sio");
    sysfs.AddTty("ttyUSB0", sysfs.AddDevice(hub + "1-1/1-1:1.0/ttyUSB0", "ftdi_sio"));
    sysfs.AddUsbDevice(hub + "1-2", "Silicon Labs", "CP2102 USB to UART Bridge Controller", "0001");
    sysfs.AddDevice(hub + "1-2/1-2:1.0", "cp210x");
    sysfs.AddTty("ttyUSB1", sysfs.AddDevice(hub + "1-2/1-2:1.0/ttyUSB1", "cp210x"));
    // A CDC ACM device: the tty's device is the interface itself.
    sysfs.AddUsbDevice(hub + "1-3", "STMicroelectronics", "Virtual COM Port", "6D8A3F5B4852");
    sysfs.AddTty("ttyACM0", sysfs.AddDevice(hub + "1-3/1-3:1.0", "cdc_acm"));
    // Without descriptor strings, and with strings that carry control characters.
    sysfs.AddUsbDevice(hub + "1-4", "", "", "");
    sysfs.AddTty("ttyUSB2", sysfs.AddDevice(hub + "1-4/1-4:1.0/ttyUSB2", "ch341-uart"));
    sysfs.AddUsbDevice(hub + "1-5", "Evil\tCorp ", "", std::string(300, 'x'));
    sysfs.AddTty("ttyACM1", sysfs.AddDevice(hub + "1-5/1-5:1.0", "cdc_acm"));
    // Legacy ports: the driver directly (before Linux 6.5), or behind the serial core's
    // port and controller devices.
    sysfs.AddTty("ttyS0", sysfs.AddDevice("platform/serial8250", "serial8250"));
    sysfs.AddDevice("pnp0/00:01", "serial");
    sysfs.AddDevice("pnp0/00:01/00:01:0", "ctrl");
    sysfs.AddTty("ttyS1", sysfs.AddDevice("pnp0/00:01/00:01:0/00:01:0.0", "port"));
    // A by-id link to the FTDI adapter's device node.
    fs::create_directories(sysfs.root() / "dev" / "serial" / "by-id");
    testing::WriteFile(sysfs.root() / "dev" / "ttyUSB0", "");
    const fs::path byId =
        sysfs.root() / "dev" / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    fs::create_symlink(sysfs.root() / "dev" / "ttyUSB0", byId);

    struct Case {
        std::string path;
        std::string expected;
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", "FTDI FT232R USB UART (A50285BI)"},
        {"/dev/ttyUSB1", "Silicon Labs CP2102 USB to UART Bridge Controller (0001)"},
        {"/dev/ttyACM0", "STMicroelectronics Virtual COM Port (6D8A3F5B4852)"},
        {"/dev/ttyUSB2", "ch341-uart"},
        {"/dev/ttyACM1", "Evil Corp (" + std::string(126, 'x') + ")"},
        {"/dev/ttyS0", "serial8250"},
        {"/dev/ttyS1", "serial"},
        {byId.string(), "FTDI FT232R USB UART (A50285BI)"},
        {"/dev/pts/7", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DescribePort(sysfs.root().string(), c.path), c.expected) << c.path;
    }
    EXPECT_EQ(DescribePort((sysfs.root() / "nowhere").string(), "/dev/ttyUSB0"), "");
}

} // namespace
} // namespace orvanta::serial
