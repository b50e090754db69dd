// The serial link on a Linux machine, with the program in headless mode as a process: paths
// that are no serial port, the system console and a port another program holds during the
// scan, and the terminal settings put back at the end of a run.
#include "HeadlessProcess.h"
#include "devsim/PtyDevice.h"
#include "support/RunUntil.h"

#include <cstring>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>

namespace orvanta::hardening {
namespace {

using devsim::Model;
using devsim::SimulatorOptions;

std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Everything the program wrote to a pseudo-terminal, read on its master.
std::string Drain(int master) {
    std::string bytes;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) {
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

bool SameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && ::cfgetispeed(&a) == ::cfgetispeed(&b) &&
           ::cfgetospeed(&a) == ::cfgetospeed(&b) &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// Cooked mode at 9600, as a login line has it.
termios MakeCooked(int fd) {
    termios t{};
    EXPECT_EQ(::tcgetattr(fd, &t), 0);
    t.c_iflag |= ICRNL;
    t.c_oflag |= OPOST | ONLCR;
    t.c_lflag |= ICANON | ISIG | IEXTEN;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    EXPECT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
    EXPECT_EQ(::tcgetattr(fd, &t), 0);
    return t;
}

class SerialLinkTest : public HeadlessProcessFixture {
protected:
    void WriteEnglishConfig(const std::string& com = "/dev/ttyS0") {
        testing::WriteFile(config(), "[Config]\nLANGUAGE=EN\nMODEL=VK100\nCOM=" + com + "\n");
    }
};

// A regular file, a FIFO and /dev/null as the port: never written, the run ends at once
// with one message that names the path. A configured file is not even listed.
TEST_F(SerialLinkTest, PathsThatAreNoSerialPortAreRefusedWithOneMessage) {
    const fs::path file = root() / "notes.txt";
    const std::string content = "keep these bytes\n";
    testing::WriteFile(file, content);
    const fs::path fifo = root() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    WriteEnglishConfig();
    for (const std::string& path : {file.string(), fifo.string(), std::string("/dev/null")}) {
        Spawn({"--headless", "--port", path, "--duration", "5"});
        const auto status = Wait(10s);
        ASSERT_TRUE(status) << path;
        EXPECT_EQ(*status, 3) << path << "\n" << Err();
        EXPECT_LT(Elapsed(), 4s) << path << " waits for nothing";
        EXPECT_EQ(Err(), "Message: Serial port open failed\n" + path + " is not a serial port.\n");
    }
    EXPECT_EQ(testing::ReadFile(file), content);

    // COM naming the file: no such port in an empty machine, so nothing is opened at all.
    fs::create_directories(root() / "machine" / "sys");
    SetSystemRoot(root() / "machine");
    WriteEnglishConfig(file.string());
    Spawn({"--headless", "--duration", "5"});
    const auto status = Wait(10s);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 3) << Err();
    EXPECT_EQ(CountOf(Err(), "Message: "), 1u) << Err();
    EXPECT_EQ(testing::ReadFile(file), content);
}

// A machine whose console is ttyS0 and whose ttyUSB0 another program holds: the scan skips
// both without a byte and finds the device on ttyACM0. ttyS0 is also the configured port.
TEST_F(SerialLinkTest, TheScanLeavesTheConsoleAndAHeldPortAlone) {
    SimulatorOptions options;
    options.model = Model::VK100;
    options.baud = 115200;
    StartSimulator(options);
    devsim::PtyDevice console;
    devsim::PtyDevice held;
    std::string error;
    ASSERT_TRUE(console.Open(115200, "", error)) << error;
    ASSERT_TRUE(held.Open(115200, "", error)) << error;
    const termios consoleBefore = MakeCooked(console.master());
    const int holder = ::open(held.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    const fs::path machine = root() / "machine";
    const fs::path tty = machine / "sys" / "class" / "tty";
    const auto addPort = [&](const std::string& name, const std::string& driver, int uartType,
                             const std::string& node) {
        fs::create_directories(tty / name / "device");
        fs::create_directories(machine / "sys" / "bus" / driver);
        fs::create_symlink(machine / "sys" / "bus" / driver, tty / name / "device" / "driver");
        if (uartType >= 0) {
            testing::WriteFile(tty / name / "type", std::to_string(uartType) + "\n");
        }
        if (!node.empty()) {
            fs::create_directories(machine / "dev");
            fs::create_symlink(node, machine / "dev" / name);
        }
    };
    addPort("ttyACM0", "cdc_acm", -1, link());
    addPort("ttyS0", "port", 4, console.slavePath());
    for (int i = 1; i < 32; ++i) {
        addPort("ttyS" + std::to_string(i), "port", 0, "");
    }
    addPort("ttyUSB0", "ftdi_sio", -1, held.slavePath());
    fs::create_directories(tty / "console");
    testing::WriteFile(tty / "console" / "active", "tty0 ttyS0\n");
    SetSystemRoot(machine);
    WriteEnglishConfig((machine / "dev" / "ttyS0").string());

    Spawn({"--headless", "--duration", "4"});
    const auto status = EndWithDevice(4);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    const auto lines = StatusLines();
    ASSERT_GE(lines.size(), 2u) << Out() << Err();
    EXPECT_GT(lines[lines.size() - 2].rate, 0u) << Out();
    EXPECT_EQ(Drain(console.master()), "");
    EXPECT_EQ(Drain(held.master()), "");
    termios consoleAfter{};
    ASSERT_EQ(::tcgetattr(console.master(), &consoleAfter), 0);
    EXPECT_TRUE(SameSettings(consoleAfter, consoleBefore));
    // The device's port is the one stored.
    EXPECT_NE(testing::ReadFile(config()).find("COM=" + (machine / "dev" / "ttyACM0").string()),
              std::string::npos);
    ::close(holder);
}

// The pty's settings before the run are back after a run that ends on time and after one
// ended by SIGTERM.
TEST_F(SerialLinkTest, TerminalSettingsAreRestoredAfterARunAndAfterSigterm) {
    SimulatorOptions options;
    options.model = Model::VK200_210;
    options.baud = 115200;
    StartSimulator(options);
    const int slave = ::open(link().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(slave, 0);
    const termios before = MakeCooked(slave);
    for (const bool byTerm : {false, true}) {
        Spawn({"--headless", "--port", link(), "--model", "VK200-210", "--baud", "115200",
               "--duration", byTerm ? "60" : "2"});
        if (byTerm) {
            orvanta::testing::WaitUntil([this] { return !StatusLines().empty() || !Running(); },
                                        10s, 50ms);
            termios during{};
            ASSERT_EQ(::tcgetattr(slave, &during), 0);
            EXPECT_FALSE(SameSettings(during, before)) << "the program set its own";
            Signal(SIGTERM);
        }
        const auto status = Wait(15s);
        ASSERT_TRUE(status);
        EXPECT_EQ(*status, 0) << Err();
        EXPECT_FALSE(StatusLines().empty()) << Out();
        termios after{};
        ASSERT_EQ(::tcgetattr(slave, &after), 0);
        EXPECT_TRUE(SameSettings(after, before)) << (byTerm ? "after SIGTERM" : "after a run");
    }
    ::close(slave);
}

} // namespace
} // namespace orvanta::hardening
