#include "serial/PortDiscovery.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace orvanta::serial {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

TEST(NaturalLessTest, OrdersDigitRunsByValue) {
    struct Case {
        const char* a;
        const char* b;
        bool less;
    };
    const Case cases[] = {
        {"ttyS2", "ttyS10", true},    {"ttyS10", "ttyS2", false},
        {"ttyUSB0", "ttyUSB1", true}, {"ttyACM9", "ttyUSB0", true},
        {"ttyS1", "ttyS1", false},    {"ttyS01", "ttyS1", false},
        {"ttyS1", "ttyS01", true},    {"ttyS", "ttyS0", true},
        {"ttyS9x", "ttyS10", true},   {"tty99999999999999999999", "tty100000000000000000000", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NaturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
    }
}

// A fake /sys: class/tty/NAME/device/driver links to bus/drivers/DRIVER.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvanta-sysfs-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        fs::create_directories(m_root / "class" / "tty");
    }
    void TearDown() override { fs::remove_all(m_root); }

    void AddTty(const std::string& name, const std::string& driver) {
        const fs::path dir = m_root / "class" / "tty" / name;
        fs::create_directories(dir);
        if (driver.empty()) {
            return; // a virtual terminal: no device at all
        }
        fs::create_directories(dir / "device");
        const fs::path target = m_root / "bus" / "drivers" / driver;
        fs::create_directories(target);
        fs::create_symlink(target, dir / "device" / "driver");
    }
    std::string root() const { return m_root.string(); }

    fs::path m_root;
};

UartProbe NoUart() {
    return [](const std::string&) { return false; };
}

TEST_F(FakeSysfs, ListsDevicesWithADriverInNaturalOrder) {
    AddTty("ttyUSB10", "ftdi_sio");
    AddTty("ttyUSB2", "ftdi_sio");
    AddTty("ttyACM0", "cdc_acm");
    AddTty("tty0", "");
    AddTty("console", "");
    AddTty("ttyAMA0", "uart-pl011");
    PortTable table;
    EnumeratePorts(table, root(), NoUart());
    EXPECT_EQ(table.used(), 4u);
    EXPECT_EQ(Names(table.slots.begin(), table.slots.begin() + 4),
              (Names{"/dev/ttyACM0", "/dev/ttyAMA0", "/dev/ttyUSB2", "/dev/ttyUSB10"}));
}

TEST_F(FakeSysfs, KeepsAtMostTwentyPorts) {
    for (int i = 0; i < 25; ++i) {
        AddTty("ttyUSB" + std::to_string(i), "ch341-uart");
    }
    PortTable table;
    table.slots[0] = "stale";
    EnumeratePorts(table, root(), NoUart());
    EXPECT_EQ(table.used(), 20u);
    EXPECT_EQ(table.slots[0], "/dev/ttyUSB0");
    EXPECT_EQ(table.slots[19], "/dev/ttyUSB19");
}

TEST_F(FakeSysfs, LegacyPortsOnlyWhenTheProbeFindsAUart) {
    for (int i = 0; i < 4; ++i) {
        AddTty("ttyS" + std::to_string(i), "serial8250");
    }
    AddTty("ttyUSB0", "pl2303");
    std::set<std::string> probed;
    const UartProbe probe = [&](const std::string& path) {
        probed.insert(path);
        return path == "/dev/ttyS1";
    };
    PortTable table;
    EnumeratePorts(table, root(), probe);
    EXPECT_EQ(Names(table.slots.begin(), table.slots.begin() + table.used()),
              (Names{"/dev/ttyS1", "/dev/ttyUSB0"}));
    // Only the legacy ports are probed; a USB adapter is taken as it is.
    EXPECT_EQ(probed,
              (std::set<std::string>{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"}));
}

TEST_F(FakeSysfs, AMissingTreeGivesAnEmptyTable) {
    PortTable table;
    EnumeratePorts(table, root() + "/nowhere", NoUart());
    EXPECT_EQ(table.used(), 0u);
    EXPECT_TRUE(FillPortList(table, root() + "/nowhere", NoUart(), "").empty());
}

TEST_F(FakeSysfs, AConfiguredPathThatExistsIsAddedOnce) {
    AddTty("ttyUSB0", "ftdi_sio");
    const std::string pty = (m_root / "pts-7").string();
    std::ofstream(pty) << "";
    PortTable table;
    struct Case {
        std::string configured;
        Names expected;
    };
    const Case cases[] = {
        {pty, {"/dev/ttyUSB0", pty}},
        {(m_root / "gone").string(), {"/dev/ttyUSB0"}},
        {"/dev/ttyUSB0", {"/dev/ttyUSB0"}},
        {"", {"/dev/ttyUSB0"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FillPortList(table, root(), NoUart(), c.configured), c.expected) << c.configured;
    }
    EXPECT_EQ(table.used(), 1u); // the extra path is a list entry, not a table slot
}

TEST(FallbackPortListTest, OffersTheFifteenLegacyNames) {
    const Names names = FallbackPortList();
    ASSERT_EQ(names.size(), 15u);
    EXPECT_EQ(names.front(), "/dev/ttyS0");
    EXPECT_EQ(names.back(), "/dev/ttyS14");
}

} // namespace
} // namespace orvanta::serial
