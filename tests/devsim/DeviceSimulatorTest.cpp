#include "devsim/DeviceSimulator.h"

#include "devsim/CommandParser.h"
#include "devsim/LinePacer.h"
#include "protocol/CommandFrame.h"
#include "support/RunUntil.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace orvanta::devsim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// The slave end as a host opens it; the simulator has already made the line raw.
class Host {
public:
    explicit Host(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~Host() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    bool ok() const { return m_fd >= 0; }
    void Send(const protocol::CommandFrame& frame) {
        ASSERT_EQ(::write(m_fd, frame.bytes.data(), frame.length),
                  static_cast<ssize_t>(frame.length));
    }
    // Appends what arrives within wait; false on a hang-up.
    bool ReadInto(Bytes& out, std::chrono::milliseconds wait) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) {
            return true;
        }
        std::uint8_t buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            out.insert(out.end(), buffer, buffer + n);
            return true;
        }
        return n < 0 && errno == EAGAIN;
    }
    Bytes ReadCount(std::size_t count) {
        Bytes out;
        bool open = true;
        orvanta::testing::PumpUntil([&] { return out.size() >= count || !open; }, 20s,
                                    [&] { open = ReadInto(out, 50ms); });
        return out;
    }

private:
    int m_fd;
};

struct Tally {
    int good = 0;
    int bad = 0;
    std::vector<std::uint8_t> codes;
};

Tally ParseDeviceFrames(Bytes stream) {
    Tally tally;
    for (;;) {
        const ParseStep step = ParseNextCommand(stream);
        if (step.kind == ParseStep::Kind::NeedMore) {
            return tally;
        }
        if (step.kind == ParseStep::Kind::Command) {
            ++tally.good;
            tally.codes.push_back(step.command.code);
        } else if (step.kind == ParseStep::Kind::BadChecksum) {
            ++tally.bad;
        }
        stream.erase(stream.begin(), stream.begin() + static_cast<long>(step.consumed));
    }
}

class SimulatorOnPty : public ::testing::Test {
protected:
    bool StartOrSkip(DeviceSimulator& simulator) {
        std::string error;
        if (!simulator.Start(error)) {
            m_skipReason = error;
            return false;
        }
        return true;
    }
    std::string m_skipReason;
};

TEST_F(SimulatorOnPty, AnswersAnItemMaskQueryByteForByte) {
    SimulatorOptions options;
    options.model = Model::VN300;
    DeviceSimulator simulator(options);
    if (!StartOrSkip(simulator)) {
        GTEST_SKIP() << "no pseudo-terminals here: " << m_skipReason;
    }
    Host host(simulator.SlavePath());
    ASSERT_TRUE(host.ok());
    host.Send(protocol::BuildBareCommand(protocol::CommandCode::QueryItemMask));
    const Bytes reply = host.ReadCount(12);
    ASSERT_EQ(reply.size(), 12u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 9),
              (Bytes{0xFF, 0x00, 0x52, 0x00, 0x04, 0x5A, 0x08, 0x19, 0x00}));
    EXPECT_EQ(reply[11], 0x03);
    EXPECT_EQ(ParseDeviceFrames(reply).good, 1); // the checksum holds

    // A frame with a broken checksum is ignored; the next good one is answered.
    auto broken = protocol::BuildBareCommand(protocol::CommandCode::QueryGravity);
    broken.bytes[5] ^= 0x10;
    host.Send(broken);
    host.Send(protocol::BuildBareCommand(protocol::CommandCode::QueryDeclination));
    const Tally tally = ParseDeviceFrames(host.ReadCount(12));
    EXPECT_EQ(tally.codes, (std::vector<std::uint8_t>{0x42}));
}

TEST_F(SimulatorOnPty, SwitchesItsLineRateAfterAcknowledgingABaudChange) {
    DeviceSimulator simulator(SimulatorOptions{});
    if (!StartOrSkip(simulator)) {
        GTEST_SKIP() << "no pseudo-terminals here: " << m_skipReason;
    }
    Host host(simulator.SlavePath());
    ASSERT_TRUE(host.ok());
    const std::uint8_t rate[4] = {0x80, 0x25, 0x00, 0x00}; // 9600
    host.Send(protocol::BuildWriteCommand(protocol::CommandCode::SetDeviceBaud, rate));
    const Bytes ack = host.ReadCount(9);
    ASSERT_EQ(ack.size(), 9u);
    EXPECT_EQ(ack[2], 0x01);
    EXPECT_EQ(ack[5], 0x00);
    orvanta::testing::WaitUntil([&] { return simulator.LineBaud() == 9600; }, 20s);
    EXPECT_EQ(simulator.LineBaud(), 9600u);
    EXPECT_EQ(simulator.Settings().baud, 9600u);
}

TEST_F(SimulatorOnPty, OutputIsNeverFasterThanTheLine) {
    // 100 VK100 frames a second would need 12,900 bytes a second; 9600 baud carries 960.
    SimulatorOptions options;
    options.baud = 9600;
    options.autoDivider = 1;
    DeviceSimulator simulator(options);
    const auto start = Clock::now(); // before the first byte can have been written
    if (!StartOrSkip(simulator)) {
        GTEST_SKIP() << "no pseudo-terminals here: " << m_skipReason;
    }
    Host host(simulator.SlavePath());
    ASSERT_TRUE(host.ok());
    const std::size_t chunk = LinePacer(9600).ChunkLimit();
    Bytes received;
    double worstExcess = -1e9;
    while (Clock::now() - start < 1500ms) {
        ASSERT_TRUE(host.ReadInto(received, 20ms));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        worstExcess = std::max(worstExcess, received.size() - (960.0 * seconds + chunk));
    }
    EXPECT_LE(worstExcess, 0.0) << received.size() << " bytes";
    const Tally tally = ParseDeviceFrames(received);
    EXPECT_GE(tally.good, 1);
    EXPECT_EQ(tally.bad, 0);
}

TEST_F(SimulatorOnPty, CorruptsEveryNthDataFrameAndCountsIt) {
    SimulatorOptions options;
    options.model = Model::VK200_210;
    options.autoDivider = 4; // 50 frames a second
    options.corruptEvery = 3;
    DeviceSimulator simulator(options);
    if (!StartOrSkip(simulator)) {
        GTEST_SKIP() << "no pseudo-terminals here: " << m_skipReason;
    }
    Host host(simulator.SlavePath());
    ASSERT_TRUE(host.ok());
    Bytes received;
    Tally tally;
    bool open = true;
    orvanta::testing::PumpUntil([&] { return tally.good + tally.bad >= 12 || !open; }, 20s,
                                [&] {
                                    open = host.ReadInto(received, 20ms);
                                    tally = ParseDeviceFrames(received);
                                });
    ASSERT_TRUE(open);
    simulator.Stop();
    const SimulatorCounters counters = simulator.Counters();
    EXPECT_GE(counters.dataFramesSent, 12u);
    EXPECT_EQ(counters.dataFramesCorrupted, counters.dataFramesSent / 3);
    // The frames read are the first ones sent, so every third of them fails its checksum.
    EXPECT_EQ(tally.bad, (tally.good + tally.bad) / 3);
}

TEST_F(SimulatorOnPty, UnpluggingDropsThePtyAndPluggingOffersANewOne) {
    char pattern[] = "/tmp/orvanta-devsim-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    SimulatorOptions options;
    options.linkPath = dir + "/sensor";
    std::vector<std::string> served;
    std::mutex servedMutex;
    options.onServing = [&](const std::string& path) {
        std::lock_guard lock(servedMutex);
        served.push_back(path);
    };
    DeviceSimulator simulator(options);
    if (!StartOrSkip(simulator)) {
        std::filesystem::remove_all(dir);
        GTEST_SKIP() << "no pseudo-terminals here: " << m_skipReason;
    }
    const std::string first = simulator.SlavePath();
    EXPECT_EQ(std::filesystem::read_symlink(options.linkPath).string(), first);
    {
        // An unsaved setting does not survive the power cycle.
        Host host(options.linkPath);
        ASSERT_TRUE(host.ok());
        const std::uint8_t mask[4] = {0x02, 0, 0, 0};
        host.Send(protocol::BuildWriteCommand(protocol::CommandCode::SetItemMask, mask));
        ASSERT_EQ(host.ReadCount(9).size(), 9u);
        EXPECT_EQ(simulator.Settings().itemMask, 0x2u);

        struct stat before {};
        ASSERT_EQ(::stat(first.c_str(), &before), 0);
        simulator.Unplug();
        EXPECT_FALSE(simulator.IsPlugged());
        // Tests running beside this one may get a new pty of the same number at once.
        struct stat now {};
        EXPECT_TRUE(::stat(first.c_str(), &now) != 0 ||
                    now.st_ctim.tv_sec != before.st_ctim.tv_sec ||
                    now.st_ctim.tv_nsec != before.st_ctim.tv_nsec)
            << first << " still names the unplugged pty";
        EXPECT_FALSE(std::filesystem::is_symlink(options.linkPath));
        Bytes after;
        EXPECT_FALSE(host.ReadInto(after, 1000ms)); // the host side hangs up
    }
    ASSERT_TRUE(simulator.Plug());
    EXPECT_EQ(std::filesystem::read_symlink(options.linkPath).string(), simulator.SlavePath());
    EXPECT_EQ(simulator.Settings().itemMask, 0x0A1F087Au);
    Host host(options.linkPath);
    ASSERT_TRUE(host.ok());
    host.Send(protocol::BuildBareCommand(protocol::CommandCode::QueryItemMask));
    EXPECT_EQ(ParseDeviceFrames(host.ReadCount(12)).codes, (std::vector<std::uint8_t>{0x52}));
    simulator.Stop();
    EXPECT_FALSE(std::filesystem::is_symlink(options.linkPath)); // removed at exit
    {
        std::lock_guard lock(servedMutex);
        EXPECT_EQ(served.size(), 2u);
    }
    std::filesystem::remove_all(dir);
}

// --drop-after / --back-after: the host's side hangs up, the link goes, and a new pty
// comes behind the same link (a new number: the host still holds the old one).
TEST_F(SimulatorOnPty, DropsOffAndComesBackUnderANewPtyBehindTheSameLink) {
    char pattern[] = "/tmp/orvanta-devsim-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    SimulatorOptions options;
    options.linkPath = dir + "/sensor";
    options.dropAfterSeconds = 0.3;
    options.backAfterSeconds = 0.3;
    DeviceSimulator simulator(options);
    if (!StartOrSkip(simulator)) {
        std::filesystem::remove_all(dir);
        GTEST_SKIP() << "no pseudo-terminals here: " << m_skipReason;
    }
    const std::string first = simulator.SlavePath();
    Host old(options.linkPath);
    ASSERT_TRUE(old.ok());
    Bytes ignored;
    const auto deadline = Clock::now() + 20s;
    while (old.ReadInto(ignored, 50ms) && Clock::now() < deadline) {
    }
    std::string second;
    while (((second = simulator.SlavePath()).empty() || second == first) &&
           Clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_NE(second, first);
    EXPECT_EQ(std::filesystem::read_symlink(options.linkPath).string(), second);
    simulator.Stop();
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace orvanta::devsim
