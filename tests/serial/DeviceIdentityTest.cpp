#include "serial/DeviceIdentity.h"

#include "support/FakeSysfs.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <stdlib.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace orvanta::serial {
namespace {

namespace fs = std::filesystem;
using testing::WriteFile;

struct Adapter {
    std::string port; // USB bus port, 1-1
    std::string tty;
    std::string serial;
    std::string product = "6001";
};

// A machine of our making: sysfs with USB adapters, and their nodes in a device folder.
class Machine {
public:
    Machine() { fs::create_directories(dev()); }
    std::string sys() const { return m_sys.root().string(); }
    std::string dev() const { return (m_dev.path() / "dev").string(); }
    std::string Node(const std::string& tty) const { return dev() + "/" + tty; }

    void Plug(const Adapter& a) {
        const fs::path usb = m_sys.AddUsbDevice("usb1/" + a.port, "FTDI", "FT232R", a.serial);
        WriteFile(usb / "idProduct", a.product + "\n");
        m_sys.AddTty(
            a.tty, m_sys.AddDevice("usb1/" + a.port + "/" + a.port + ":1.0/" + a.tty, "ftdi_sio"));
        WriteFile(Node(a.tty), "");
    }
    void Unplug(const Adapter& a) {
        fs::remove_all(m_sys.root() / "devices" / "usb1" / a.port);
        fs::remove(m_sys.root() / "class" / "tty" / a.tty);
        fs::remove(Node(a.tty));
    }

private:
    testing::FakeSysfs m_sys;
    testing::TempDir m_dev;
};

// The adapter opened as ttyUSB0 is pulled out; others appear; is it found, and where?
TEST(DeviceIdentityTest, AUsbAdapterIsFoundByItsSerialAndNeverConfused) {
    const Adapter ours{"1-1", "ttyUSB0", "A123"};
    const Adapter ours2{"1-1", "ttyUSB0", ""};
    struct Case {
        const char* name;
        Adapter opened;
        std::vector<Adapter> meanwhile;
        std::optional<std::string> foundAt;
    };
    const Case cases[] = {
        {"back as ttyUSB1", ours, {{"1-2", "ttyUSB1", "A123"}}, "ttyUSB1"},
        {"another adapter takes the name", ours, {{"1-2", "ttyUSB0", "B456"}}, std::nullopt},
        {"another first, then ours",
         ours,
         {{"1-2", "ttyUSB0", "B456"}, {"1-3", "ttyUSB1", "A123"}},
         "ttyUSB1"},
        {"same serial, other product", ours, {{"1-2", "ttyUSB1", "A123", "6015"}}, std::nullopt},
        {"no serial, elsewhere", ours2, {{"1-2", "ttyUSB1", ""}}, std::nullopt},
        {"no serial, same name", ours2, {{"1-2", "ttyUSB0", ""}}, "ttyUSB0"},
    };
    for (const Case& c : cases) {
        Machine m;
        m.Plug(c.opened);
        const DeviceIdentity identity = IdentifyDevice(m.Node("ttyUSB0"), m.sys(), m.dev());
        EXPECT_EQ(FindDevice(identity, m.sys(), m.dev()), m.Node("ttyUSB0")) << c.name;
        m.Unplug(c.opened);
        for (const Adapter& a : c.meanwhile) {
            m.Plug(a);
        }
        const auto found = FindDevice(identity, m.sys(), m.dev());
        EXPECT_EQ(found, c.foundAt ? std::optional(m.Node(*c.foundAt)) : std::nullopt) << c.name;
    }
}

TEST(DeviceIdentityTest, AByIdLinkIsFollowedToTheNewNode) {
    Machine m;
    fs::create_directories(m.dev() + "/serial/by-id");
    const std::string link = m.dev() + "/serial/by-id/usb-FTDI_FT232R_A123-if00-port0";
    m.Plug({"1-1", "ttyUSB0", "A123"});
    fs::create_symlink("../../ttyUSB0", link);
    const DeviceIdentity byNode = IdentifyDevice(m.Node("ttyUSB0"), m.sys(), m.dev());
    EXPECT_EQ(byNode.byIdLink, link);
    const DeviceIdentity byLink = IdentifyDevice(link, m.sys(), m.dev());

    m.Unplug({"1-1", "ttyUSB0", "A123"});
    fs::remove(link);
    m.Plug({"1-2", "ttyUSB1", "A123"});
    fs::create_symlink("../../ttyUSB1", link);
    EXPECT_EQ(FindDevice(byLink, m.sys(), m.dev()), link) << "opened by its link, found by it";
    EXPECT_EQ(FindDevice(byNode, m.sys(), m.dev()), m.Node("ttyUSB1"));
}

// A pty behind a link of the user's: only that link will do, once it leads to a terminal.
TEST(DeviceIdentityTest, APathOnlyDeviceIsFoundOnlyAtItsLink) {
    Machine m;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        GTEST_SKIP() << "no pseudo-terminals here";
    }
    const std::string slave = ::ptsname(master);
    testing::TempDir dir;
    const std::string link = (dir.path() / "sensor").string();
    fs::create_symlink(slave, link);
    const DeviceIdentity identity = IdentifyDevice(link, m.sys(), m.dev());
    EXPECT_TRUE(identity.pathIsLink);
    EXPECT_EQ(FindDevice(identity, m.sys(), m.dev()), link);
    fs::remove(link);
    WriteFile(dir.path() / "file", "");
    fs::create_symlink(dir.path() / "file", link);
    EXPECT_EQ(FindDevice(identity, m.sys(), m.dev()), std::nullopt) << "a file is no terminal";
    EXPECT_EQ(WatchFolders(identity, m.dev()).back(), dir.path().string());
    ::close(master);
}

} // namespace
} // namespace orvanta::serial
