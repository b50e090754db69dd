#include "serial/SerialPort.h"

#include "devsim/DeviceSimulator.h"
#include "devsim/PtyDevice.h"
#include "protocol/CommandFrame.h"
#include "serial/BlockingCallQueue.h"
#include "serial/Tty.h"
#include "support/RunUntil.h"
#include "support/TempDir.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <pwd.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace orvanta::serial {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

class RecordingReporter : public SerialErrorReporter {
public:
    void Report(std::string_view caption, std::string_view text) override {
        std::lock_guard lock(m_mutex);
        m_messages.emplace_back(std::string(caption), std::string(text));
    }
    std::vector<std::pair<std::string, std::string>> messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<std::string, std::string>> m_messages;
};

// An owner whose thread is the test's: deliveries wait until the test dispatches.
class QueueOwner : public SerialPortOwner {
public:
    void OnSerialBytes(const std::uint8_t* bytes, const SerialBlockInfo& info) override {
        queue.CallBlocking([&] {
            received.insert(received.end(), bytes, bytes + info.byteCount);
            terminated = terminated && bytes[info.byteCount] == 0;
            path = std::string(info.devicePath);
            stamps.push_back({info.realtimeNs, info.monotonicNs});
            ++blocks;
        });
    }
    void OnSerialEventChar(std::string_view) override {
        queue.CallBlocking([&] { ++eventChars; });
    }
    void DispatchPendingDelivery() override { queue.DispatchOne(); }
    bool OnDeviceLost(std::string_view) override {
        ++lost;
        return showsLoss;
    }
    void OnDeviceBack(std::string_view) override { ++backs; }

    // Dispatches until done() holds; the deadline only keeps a fault from hanging the run.
    template <typename Done> bool PumpUntil(Done done, std::chrono::seconds limit = 20s) {
        return orvanta::testing::PumpUntil(done, limit, orvanta::testing::DispatchOrNap(queue));
    }
    // Keeps dispatching for a while, for checks that nothing more arrives.
    void PumpFor(std::chrono::milliseconds span) {
        orvanta::testing::PumpFor(span, orvanta::testing::DispatchOrNap(queue));
    }

    BlockingCallQueue queue;
    Bytes received;
    bool terminated = true;
    std::string path;
    int blocks = 0;
    std::vector<ClockReading> stamps; // of each block
    int eventChars = 0;
    std::atomic<int> lost{0};
    bool showsLoss = false; // else the port reports the loss itself
    std::atomic<int> backs{0};
};

// Reads from a pty master until count bytes have come or the deadline passes.
Bytes ReadFrom(int fd, std::size_t count, std::chrono::seconds limit = 20s) {
    Bytes out;
    orvanta::testing::PumpUntil([&] { return out.size() >= count; }, limit,
                                [&] {
                                    pollfd p{fd, POLLIN, 0};
                                    if (::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
                                        std::uint8_t buffer[4096];
                                        const ssize_t n = ::read(fd, buffer, sizeof buffer);
                                        if (n > 0) {
                                            out.insert(out.end(), buffer, buffer + n);
                                        }
                                    }
                                });
    return out;
}

void WriteAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            FAIL() << "write to the pty master: " << errno;
        } else {
            std::this_thread::sleep_for(1ms);
        }
    }
}

class SerialPortOnPty : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        if (!m_pty.Open(115200, "", error)) {
            GTEST_SKIP() << "no pseudo-terminals here: " << error;
        }
    }
    const std::string& slave() const { return m_pty.slavePath(); }
    int master() const { return m_pty.master(); }

    devsim::PtyDevice m_pty;
    RecordingReporter m_reporter;
    QueueOwner m_owner;
};

TEST_F(SerialPortOnPty, EveryHostAndDeviceRateReachesTheDriver) {
    SerialPort port(&m_reporter);
    for (std::uint32_t baud : {9600u, 19200u, 38400u, 57600u, 115200u, 230400u, 256000u}) {
        ASSERT_TRUE(port.OpenLink(&m_owner, slave(), baud, 'N')) << baud;
        LineParameters seen;
        ASSERT_TRUE(tty::ReadLineParameters(master(), seen).ok());
        EXPECT_EQ(seen.baud, baud);
        EXPECT_TRUE(seen.raw);
        port.CloseLink();
    }
    // A pty refuses the RTS ioctl; that refusal is no failure.
    EXPECT_TRUE(m_reporter.messages().empty());
}

TEST_F(SerialPortOnPty, ParityDataAndStopBitsAreWhatThePortAskedFor) {
    SerialPort port(&m_reporter);
    const std::pair<char, Parity> cases[] = {{'N', Parity::None},
                                             {'O', Parity::Odd},
                                             {'e', Parity::Even},
                                             {'M', Parity::Mark},
                                             {'S', Parity::Space}};
    for (const auto& [letter, parity] : cases) {
        ASSERT_TRUE(port.OpenLink(&m_owner, slave(), 57600, letter));
        const LineParameters asked = port.LineSettingsInForce();
        EXPECT_EQ(asked.parity, parity) << letter;
        EXPECT_EQ(asked.dataBits, 8);
        EXPECT_EQ(asked.stopBits, 1);
        EXPECT_EQ(asked.baud, 57600u);
        port.CloseLink();
    }
    EXPECT_TRUE(m_reporter.messages().empty());
}

TEST_F(SerialPortOnPty, StatesFollowTheCallingOrder) {
    SerialPort port(&m_reporter);
    EXPECT_EQ(port.State(), PortState::Closed);
    EXPECT_FALSE(port.StartMonitor());
    ASSERT_TRUE(port.OpenLink(&m_owner, slave(), 115200, 'N'));
    EXPECT_EQ(port.State(), PortState::Open);
    ASSERT_TRUE(port.StartMonitor());
    EXPECT_EQ(port.State(), PortState::Monitoring);
    port.CloseLink();
    EXPECT_EQ(port.State(), PortState::Closed);
}

TEST_F(SerialPortOnPty, BytesArriveCompleteAndInOrder) {
    SerialPort port(&m_reporter);
    ASSERT_TRUE(port.OpenLink(&m_owner, slave(), 115200, 'N'));
    ASSERT_TRUE(port.StartMonitor());
    // Give the monitor its start-up purge before anything is sent.
    m_owner.PumpFor(50ms);

    Bytes expected = {0x71, 0xFF, 0x00, 0x71, 0x03, 0x71, 0x71};
    for (int i = 0; i < 6000; ++i) {
        expected.push_back(static_cast<std::uint8_t>(i * 7 + i / 256));
    }
    expected.push_back(0x71);
    WriteAll(master(), Bytes(expected.begin(), expected.begin() + 7));
    ASSERT_TRUE(m_owner.PumpUntil([&] { return m_owner.received.size() >= 7; }));
    WriteAll(master(), Bytes(expected.begin() + 7, expected.end()));
    ASSERT_TRUE(m_owner.PumpUntil([&] { return m_owner.received.size() >= expected.size(); }));
    m_owner.PumpFor(50ms);
    EXPECT_EQ(m_owner.received, expected);
    EXPECT_TRUE(m_owner.terminated);
    EXPECT_EQ(m_owner.path, slave());
    EXPECT_GE(m_owner.eventChars, 1);
    port.CloseLink();
}

// Reading k is {kRealBase + k, k}: a stamp names the reading it came from.
class CountingClock : public ArrivalClock {
public:
    static constexpr std::int64_t kRealBase = 1'800'000'000'000'000'000;
    ClockReading Now() const override { return {kRealBase + ++m_readings, m_readings}; }
    mutable std::int64_t m_readings = 0; // the monitor thread's
};

TEST_F(SerialPortOnPty, BlocksCarryTheMonitorsClockReading) {
    CountingClock clock;
    SerialPort port(&m_reporter, PortEnvironment{.clock = &clock});
    ASSERT_TRUE(port.OpenLink(&m_owner, slave(), 115200, 'N'));
    ASSERT_TRUE(port.StartMonitor());
    m_owner.PumpFor(50ms);         // past the monitor's start-up purge
    for (int i = 1; i <= 2; ++i) { // each read before the next write: a block each
        WriteAll(master(), Bytes(static_cast<std::size_t>(i), 0x55));
        ASSERT_TRUE(m_owner.PumpUntil([&] { return m_owner.blocks == i; }));
    }
    port.CloseLink();
    ASSERT_EQ(m_owner.stamps.size(), 2u);
    for (const ClockReading& stamp : m_owner.stamps) {
        EXPECT_EQ(stamp.realtimeNs, CountingClock::kRealBase + stamp.monotonicNs);
    }
    EXPECT_GT(m_owner.stamps[1].monotonicNs, m_owner.stamps[0].monotonicNs);
}

TEST_F(SerialPortOnPty, QueuedBytesReachTheDevice) {
    SerialPort port(&m_reporter);
    ASSERT_TRUE(port.OpenLink(&m_owner, slave(), 115200, 'N'));
    ASSERT_TRUE(port.StartMonitor());
    for (auto code : {protocol::CommandCode::QueryItemMask, protocol::CommandCode::QueryGravity}) {
        const auto frame = protocol::BuildBareCommand(code);
        ASSERT_TRUE(port.QueueSend(frame.bytes.data(), frame.length));
        const Bytes seen = ReadFrom(master(), frame.length);
        EXPECT_EQ(seen, Bytes(frame.view().begin(), frame.view().end()));
    }
    port.CloseLink();
}

TEST_F(SerialPortOnPty, QueuedFramesAreWrittenInOrder) {
    SerialPort port(&m_reporter);
    const std::uint8_t none[1] = {0};
    EXPECT_FALSE(port.QueueSend(none, 1)); // no port
    ASSERT_TRUE(port.OpenLink(&m_owner, slave(), 115200, 'N'));
    const std::uint8_t baud[4] = {0x00, 0xC2, 0x01, 0x00};
    const std::uint8_t gravity[4] = {0xCD, 0xCC, 0x1C, 0x41};
    const auto first = protocol::BuildWriteCommand(protocol::CommandCode::SetDeviceBaud, baud);
    const auto second = protocol::BuildWriteCommand(protocol::CommandCode::SetGravity, gravity);
    // Both queued before the monitor runs: both written, in order (a frame queued before
    // the previous one left must not replace it).
    ASSERT_TRUE(port.QueueSend(first.bytes.data(), first.length));
    ASSERT_TRUE(port.QueueSend(second.bytes.data(), second.length));
    EXPECT_FALSE(port.QueueSend(first.bytes.data(), 0));
    Bytes tooLong(SerialPort::kSendBufferSize + 1, 0x55);
    EXPECT_FALSE(port.QueueSend(tooLong.data(), tooLong.size()));
    ASSERT_TRUE(port.StartMonitor());
    const Bytes seen = ReadFrom(master(), first.length + second.length);
    Bytes both(first.view().begin(), first.view().end());
    both.insert(both.end(), second.view().begin(), second.view().end());
    EXPECT_EQ(seen, both);
    EXPECT_TRUE(ReadFrom(master(), 1, std::chrono::seconds(0)).empty());
    m_owner.PumpFor(100ms);
    EXPECT_TRUE(ReadFrom(master(), 1, std::chrono::seconds(0)).empty());
    port.CloseLink();
}

TEST_F(SerialPortOnPty, ClosingDuringADeliveryDoesNotDeadlock) {
    SerialPort port(&m_reporter);
    ASSERT_TRUE(port.OpenLink(&m_owner, slave(), 115200, 'N'));
    ASSERT_TRUE(port.StartMonitor());
    m_owner.PumpFor(50ms);
    WriteAll(master(), Bytes{0xFF, 0x00, 0x52});
    // Without dispatching, the monitor is now blocked inside its delivery.
    orvanta::testing::WaitUntil([this] { return m_owner.queue.Pending() != 0; }, 20s);
    ASSERT_EQ(m_owner.queue.Pending(), 1u);

    std::atomic<bool> closed{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 3000 && !closed; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        if (!closed) {
            std::fprintf(stderr, "CloseLink deadlocked\n");
            std::abort();
        }
    });
    port.CloseLink();
    closed = true;
    watchdog.join();
    EXPECT_EQ(port.State(), PortState::Closed);
    EXPECT_EQ(m_owner.received, (Bytes{0xFF, 0x00, 0x52}));
}

TEST_F(SerialPortOnPty, ReopeningTheSamePathWorks) {
    SerialPort port(&m_reporter);
    ASSERT_TRUE(port.OpenLink(&m_owner, slave(), 115200, 'N'));
    ASSERT_TRUE(port.StartMonitor());
    port.CloseLink();
    ASSERT_TRUE(port.OpenLink(&m_owner, slave(), 9600, 'E'));
    ASSERT_TRUE(port.StartMonitor());
    // A reopen without a close in between stops the old monitor itself.
    ASSERT_TRUE(port.OpenLink(&m_owner, slave(), 256000, 'O'));
    ASSERT_TRUE(port.StartMonitor());
    m_owner.PumpFor(50ms);
    WriteAll(master(), Bytes{1, 2, 3});
    ASSERT_TRUE(m_owner.PumpUntil([&] { return m_owner.received.size() >= 3; }));
    EXPECT_EQ(m_owner.received, (Bytes{1, 2, 3}));
    port.CloseLink();
    EXPECT_TRUE(m_reporter.messages().empty());
}

TEST_F(SerialPortOnPty, ASecondOpenOfAnOpenPortFails) {
    SerialPort first(&m_reporter);
    SerialPort second(&m_reporter);
    ASSERT_TRUE(first.OpenLink(&m_owner, slave(), 115200, 'N'));
    ASSERT_TRUE(first.StartMonitor());
    EXPECT_FALSE(second.OpenLink(&m_owner, slave(), 115200, 'N'));
    EXPECT_EQ(second.State(), PortState::Broken); // the invalid-handle value of a failed open
    second.CloseLink();
    EXPECT_EQ(second.State(), PortState::Closed);
    first.CloseLink();
    EXPECT_TRUE(second.OpenLink(&m_owner, slave(), 115200, 'N'));
    second.CloseLink();
}

TEST_F(SerialPortOnPty, BadArgumentsAndMissingDevicesAreOpenFailures) {
    SerialPort port(&m_reporter);
    EXPECT_FALSE(port.OpenLink(nullptr, slave(), 115200, 'N'));
    EXPECT_FALSE(port.OpenLink(&m_owner, "", 115200, 'N'));
    EXPECT_FALSE(port.OpenLink(&m_owner, slave(), 0, 'N'));
    EXPECT_EQ(port.State(), PortState::Closed);
    EXPECT_FALSE(port.OpenLink(&m_owner, "/dev/orvanta-no-such-port", 115200, 'N'));
    EXPECT_FALSE(port.StartMonitor());
    port.CloseLink();
    EXPECT_EQ(port.State(), PortState::Closed);
    EXPECT_TRUE(m_reporter.messages().empty()); // open failures are the caller's to report
}

// A path that is no terminal is refused before a byte is written; the port itself says
// nothing (the caller tells the user) and leaves the file as it was.
TEST(SerialPortPathTest, OnlyTerminalsAreOpened) {
    orvanta::testing::TempDir dir;
    const std::string file = (dir.path() / "Config.ini").string();
    const std::string content = "[Config]\nCOM=/dev/ttyUSB0\n";
    orvanta::testing::WriteFile(file, content);
    const std::string fifo = (dir.path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = (dir.path() / "socket").string();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    RecordingReporter reporter;
    QueueOwner owner;
    for (const std::string& path :
         {file, fifo, socketPath, dir.path().string(), std::string("/dev/null")}) {
        SerialPort port(&reporter);
        EXPECT_FALSE(port.OpenLink(&owner, path, 115200, 'N')) << path;
        EXPECT_EQ(port.LastOpenError().kind, SerialErrorKind::NotATerminal) << path;
        port.CloseLink();
    }
    EXPECT_EQ(orvanta::testing::ReadFile(file), content);
    EXPECT_TRUE(reporter.messages().empty());
    ::close(listener);
}

TEST_F(SerialPortOnPty, ClosingPutsTheTerminalBackAsItWasFound) {
    // Cooked mode at 9600 with echo, as a console or a login line has it.
    termios cooked{};
    ASSERT_EQ(::tcgetattr(master(), &cooked), 0);
    cooked.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    cooked.c_iflag |= ICRNL;
    cooked.c_oflag |= OPOST;
    ::cfsetispeed(&cooked, B9600);
    ::cfsetospeed(&cooked, B9600);
    ASSERT_EQ(::tcsetattr(master(), TCSANOW, &cooked), 0);
    LineParameters before;
    ASSERT_TRUE(tty::ReadLineParameters(master(), before).ok());
    ASSERT_FALSE(before.raw);

    const std::pair<const char*, std::function<void(SerialPort&)>> endings[] = {
        {"CloseLink", [](SerialPort& port) { port.CloseLink(); }},
        {"CloseLink with the monitor running",
         [](SerialPort& port) {
             ASSERT_TRUE(port.StartMonitor());
             port.CloseLink();
         }},
        {"the end of the program", [](SerialPort& port) { ASSERT_TRUE(port.StartMonitor()); }},
    };
    for (const auto& [how, end] : endings) {
        {
            SerialPort port(&m_reporter);
            ASSERT_TRUE(port.OpenLink(&m_owner, slave(), 256000, 'O')) << how;
            LineParameters during;
            ASSERT_TRUE(tty::ReadLineParameters(master(), during).ok());
            EXPECT_TRUE(during.raw) << how;
            EXPECT_EQ(during.baud, 256000u) << how;
            end(port);
        }
        LineParameters after;
        ASSERT_TRUE(tty::ReadLineParameters(master(), after).ok());
        EXPECT_EQ(after, before) << how;
    }
    EXPECT_TRUE(m_reporter.messages().empty());
}

// Writes that keep failing without breaking the port: one report for the whole run, and
// after about two seconds of failures the port is given up.
TEST_F(SerialPortOnPty, WritesThatKeepFailingAreReportedOnceThenThePortIsBroken) {
    const int configurer = ::open(slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(configurer, 0);
    SerialPort port(&m_reporter);
    ASSERT_TRUE(port.OpenLink(&m_owner, slave(), 115200, 'N'));
    ASSERT_TRUE(port.StartMonitor());
    // The null line discipline (N_NULL) refuses every write with EOPNOTSUPP.
    int discipline = 27;
    if (::ioctl(configurer, TIOCSETD, &discipline) != 0) {
        ::close(configurer);
        GTEST_SKIP() << "this kernel has no null line discipline";
    }
    const auto frame = protocol::BuildBareCommand(protocol::CommandCode::PollDefault);
    const auto start = std::chrono::steady_clock::now();
    while (port.State() != PortState::Broken && std::chrono::steady_clock::now() - start < 20s) {
        port.QueueSend(frame.bytes.data(), frame.length); // as a poll worker at 100 Hz
        m_owner.PumpFor(10ms);
    }
    const auto brokenAfter = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(port.State(), PortState::Broken);
    EXPECT_GE(brokenAfter, 2s);
    const auto messages = m_reporter.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first,
              FailureMessage(PortStep::Write, slave(), {}, Language::English).caption);
    EXPECT_NE(messages[0].second.find(slave()), std::string::npos);
    EXPECT_EQ(m_owner.lost, 0) << "a failing line discipline is no lost device";
    port.CloseLink();
    discipline = N_TTY;
    ::ioctl(configurer, TIOCSETD, &discipline);
    ::close(configurer);
}

// Root passes TIOCEXCL; the flag and the flock still tell that the port is taken, and not a
// byte reaches it.
TEST_F(SerialPortOnPty, APortSomeoneElseHoldsIsRefusedEvenToRoot) {
    const std::pair<const char*, std::function<int(int)>> holds[] = {
        {"flock", [](int fd) { return ::flock(fd, LOCK_EX | LOCK_NB); }},
        {"TIOCEXCL", [](int fd) { return ::ioctl(fd, TIOCEXCL); }},
    };
    for (const auto& [how, hold] : holds) {
        const int held = ::open(slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(held, 0);
        ASSERT_EQ(hold(held), 0) << how;
        SerialPort port(&m_reporter);
        EXPECT_FALSE(port.OpenLink(&m_owner, slave(), 115200, 'N')) << how;
        EXPECT_EQ(port.LastOpenError().kind, SerialErrorKind::AccessDenied) << how;
        EXPECT_EQ(port.LastOpenError().errnoValue, EBUSY) << how;
        ::ioctl(held, TIOCNXCL);
        ::close(held);
    }
    EXPECT_TRUE(ReadFrom(master(), 1, std::chrono::seconds(0)).empty());
    SerialPort port(&m_reporter);
    EXPECT_TRUE(port.OpenLink(&m_owner, slave(), 115200, 'N')) << "free again";
}

// EACCES names the group the device node belongs to, so the user knows which to join; a
// device whose group may not use it names its owner instead.
TEST_F(SerialPortOnPty, NoRightsNameWhoMayUseTheDevice) {
    const bool root = ::geteuid() == 0;
    const group* owning = root ? ::getgrnam("dialout") : ::getgrgid(::getegid());
    const passwd* owner = ::getpwuid(::geteuid());
    if (owning == nullptr || owner == nullptr) {
        GTEST_SKIP() << "no group to give the device to";
    }
    struct Case {
        mode_t mode;
        std::string named; // "group NAME" or "owner NAME"
    };
    std::vector<Case> cases{{0600, std::string("owner ") + owner->pw_name}};
    if (root) { // root's own group rights cannot keep it out: the open is made as nobody
        cases.push_back({0660, std::string("group ") + owning->gr_name});
    } else {
        cases[0].mode = 0;
    }
    ASSERT_EQ(::chown(slave().c_str(), static_cast<uid_t>(-1), owning->gr_gid), 0);
    for (const Case& c : cases) {
        ASSERT_EQ(::chmod(slave().c_str(), c.mode), 0);
        int result[2];
        ASSERT_EQ(::pipe(result), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (root &&
                (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                ::_exit(2);
            }
            int fd = -1;
            const SerialError error = tty::Open(slave(), fd);
            const std::string said = std::to_string(error.errnoValue) + " " +
                                     (error.deviceGroup.empty() ? "owner " + error.deviceOwner
                                                                : "group " + error.deviceGroup);
            (void)!::write(result[1], said.data(), said.size());
            ::_exit(0);
        }
        ::close(result[1]);
        std::string said;
        char buffer[256];
        for (ssize_t n; (n = ::read(result[0], buffer, sizeof buffer)) > 0;) {
            said.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(result[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(said, std::to_string(EACCES) + " " + c.named) << std::oct << c.mode;
    }
}

TEST(SerialPortUnplugTest, AVanishedDeviceBreaksThePortUntilReopened) {
    char pattern[] = "/tmp/orvanta-unplug-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string link = dir + "/sensor";
    devsim::SimulatorOptions options;
    options.linkPath = link;
    devsim::DeviceSimulator device(options);
    std::string error;
    if (!device.Start(error)) {
        std::filesystem::remove_all(dir);
        GTEST_SKIP() << "no pseudo-terminals here: " << error;
    }
    RecordingReporter reporter;
    QueueOwner owner;
    SerialPort port(&reporter);
    const auto query = protocol::BuildBareCommand(protocol::CommandCode::QueryItemMask);
    const Bytes maskReply = {0xFF, 0x00, 0x52, 0x00, 0x04, 0x7A,
                             0x08, 0x1F, 0x0A, 0x91, 0x4E, 0x03};

    ASSERT_TRUE(port.OpenLink(&owner, link, 115200, 'N'));
    ASSERT_TRUE(port.StartMonitor());
    owner.PumpFor(50ms);
    ASSERT_TRUE(port.QueueSend(query.bytes.data(), query.length));
    ASSERT_TRUE(owner.PumpUntil([&] { return owner.received.size() >= maskReply.size(); }));
    EXPECT_EQ(owner.received, maskReply);

    const std::string oldSlave = device.SlavePath();
    device.Unplug();
    EXPECT_FALSE(std::filesystem::exists(oldSlave));
    // The port turns Broken before the monitor reports why.
    ASSERT_TRUE(owner.PumpUntil(
        [&] { return port.State() == PortState::Broken && !reporter.messages().empty(); }));
    // An owner that does not show the loss itself has the port report it, once.
    const auto messages = reporter.messages();
    ASSERT_EQ(messages.size(), 1u);
    const SerialMessage lost = DeviceLostMessage(link, Language::English);
    EXPECT_EQ(messages[0], std::make_pair(lost.caption, lost.text));
    EXPECT_EQ(owner.lost, 1);

    // Broken: sends go nowhere, nothing more arrives.
    const std::size_t before = owner.received.size();
    EXPECT_TRUE(port.QueueSend(query.bytes.data(), query.length));
    owner.PumpFor(100ms);
    EXPECT_EQ(owner.received.size(), before);
    EXPECT_EQ(port.State(), PortState::Broken);

    ASSERT_TRUE(device.Plug());
    // The number may come back, now that the old pty is released by everyone.
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), device.SlavePath());
    port.CloseLink();
    EXPECT_EQ(port.State(), PortState::Closed);
    owner.received.clear();
    ASSERT_TRUE(port.OpenLink(&owner, link, 115200, 'N'));
    ASSERT_TRUE(port.StartMonitor());
    owner.PumpFor(50ms);
    ASSERT_TRUE(port.QueueSend(query.bytes.data(), query.length));
    ASSERT_TRUE(owner.PumpUntil([&] { return owner.received.size() >= maskReply.size(); }));
    EXPECT_EQ(owner.received, maskReply);
    EXPECT_EQ(reporter.messages().size(), 1u);
    port.CloseLink();
    device.Stop();
    std::filesystem::remove_all(dir);
}

// A simulator that drops off and comes back under a new pty behind the same link: the
// port breaks at once, the owner hears of the loss once and of the return, and Reopen
// brings the same line settings back. Closing while waiting ends the waiting.
TEST(SerialPortUnplugTest, ALostDeviceIsFoundAndReopenedWithTheSameSettings) {
    orvanta::testing::TempDir dir;
    const std::string link = (dir.path() / "sensor").string();
    devsim::SimulatorOptions options;
    options.linkPath = link;
    options.dropAfterSeconds = 0.5;
    options.backAfterSeconds = 0.5;
    devsim::DeviceSimulator device(options);
    std::string error;
    if (!device.Start(error)) {
        GTEST_SKIP() << "no pseudo-terminals here: " << error;
    }
    RecordingReporter reporter;
    QueueOwner owner;
    owner.showsLoss = true;
    SerialPort port(&reporter);
    ASSERT_TRUE(port.OpenLink(&owner, link, 256000, 'O'));
    ASSERT_TRUE(port.StartMonitor());
    const LineParameters settings = port.LineSettingsInForce();

    ASSERT_TRUE(owner.PumpUntil([&] { return port.State() == PortState::Broken; }, 5s));
    EXPECT_TRUE(port.IsWaitingForDevice());
    EXPECT_FALSE(port.Reopen()) << "not back yet";
    ASSERT_TRUE(owner.PumpUntil([&] { return owner.backs > 0; }, 5s));
    EXPECT_EQ(port.FindLostDevice(), link);
    ASSERT_TRUE(port.Reopen());
    EXPECT_EQ(port.State(), PortState::Monitoring);
    EXPECT_EQ(port.LineSettingsInForce(), settings);
    EXPECT_EQ(owner.lost, 1);
    EXPECT_TRUE(reporter.messages().empty()) << "the owner showed the loss";

    const auto query = protocol::BuildBareCommand(protocol::CommandCode::QueryItemMask);
    ASSERT_TRUE(port.QueueSend(query.bytes.data(), query.length));
    ASSERT_TRUE(owner.PumpUntil([&] { return owner.received.size() >= 12; }));

    // Lost again, then closed: nothing waits any more, the device's return goes unheard.
    const int backsBefore = owner.backs;
    device.Unplug();
    ASSERT_TRUE(owner.PumpUntil([&] { return port.State() == PortState::Broken; }, 5s));
    EXPECT_EQ(owner.lost, 2);
    port.CloseLink();
    EXPECT_FALSE(port.IsWaitingForDevice());
    ASSERT_TRUE(device.Plug());
    owner.PumpFor(300ms);
    EXPECT_EQ(owner.backs, backsBefore);
    device.Stop();
}

} // namespace
} // namespace orvanta::serial
