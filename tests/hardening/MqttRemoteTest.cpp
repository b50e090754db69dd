// Watching a remote device end to end: one headless program reads the simulator and
// publishes, a second one in a folder of its own watches it with --remote and records; the
// publisher ending and the broker going away are the watched device's loss.
#include "HeadlessProcess.h"
#include "recording/CaptureReader.h"
#include "support/MosquittoBroker.h"
#include "support/MqttSubscriber.h"

#include <algorithm>

namespace orvanta::hardening {
namespace {

using orvanta::testing::MosquittoBroker;
using orvanta::testing::MqttSubscriber;
using orvanta::testing::WaitUntil;

// The rows of the CSV files below folder, in file order, without the header lines and
// without the time fields (the designed format's last one).
std::vector<std::string> RowsWithoutTime(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().extension() == ".csv") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> rows;
    for (const auto& file : files) {
        std::istringstream in(testing::ReadFile(file));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.rfind("Roll(", 0) != 0) {
                rows.push_back(line.substr(0, line.rfind(',')));
            }
        }
    }
    return rows;
}

// The "gap" notes of a capture: the seconds a lost device was away.
std::vector<double> Gaps(const fs::path& capture) {
    std::string error;
    auto reader = recording::CaptureReader::Open(capture, error);
    EXPECT_TRUE(reader) << error;
    std::vector<double> gaps;
    recording::CaptureRecord record;
    while (reader && reader->Next(record) == recording::CaptureReader::Step::Record) {
        if (record.direction != recording::CaptureDirection::Note) {
            continue;
        }
        const auto note = recording::ParseCaptureNote(std::string_view(
            reinterpret_cast<const char*>(record.bytes.data()), record.bytes.size()));
        if (const auto gap = recording::NoteValue(note, recording::note_key::kGap)) {
            gaps.push_back(std::stod(*gap));
        }
    }
    return gaps;
}

// The watching program: the same binary in a program folder of its own.
class Watcher {
public:
    Watcher() {
        fs::copy_file(ORVANTA_BINARY, m_folder.bin() / "orvanta");
        fs::create_directories(m_folder.root() / "home");
    }
    ~Watcher() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    void Spawn(const std::vector<std::string>& arguments) {
        std::vector<std::string> args{(m_folder.bin() / "orvanta").string()};
        args.insert(args.end(), arguments.begin(), arguments.end());
        const std::string err = (m_folder.root() / "err.txt").string();
        const std::string home = (m_folder.root() / "home").string();
        m_pid = ::fork();
        ASSERT_GE(m_pid, 0);
        if (m_pid == 0) {
            std::vector<char*> argv;
            for (auto& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            const int out = ::open("/dev/null", O_WRONLY);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || e < 0 || ::dup2(out, 1) < 0 || ::dup2(e, 2) < 0 ||
                ::chdir(home.c_str()) != 0 || ::setenv("HOME", home.c_str(), 1) != 0) {
                ::_exit(120);
            }
            ::unsetenv("XDG_CONFIG_HOME");
            ::execv(argv[0], argv.data());
            ::_exit(122);
        }
    }
    std::optional<int> Wait(std::chrono::seconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        ADD_FAILURE() << "the watcher did not end in time";
        return std::nullopt;
    }
    fs::path data() const { return m_folder.data(); }
    fs::path root() const { return m_folder.root(); }
    std::string Err() const { return testing::ReadFile(m_folder.root() / "err.txt"); }

private:
    orvanta::testing::ProgramFolder m_folder;
    pid_t m_pid = -1;
};

class MqttRemoteTest : public HeadlessProcessFixture {
protected:
    // Starts the publishing run and waits until its values flow.
    void StartPublisher(MosquittoBroker& broker, int seconds) {
        StartSimulator({});
        MqttSubscriber values(broker.Port(), "lab/rig/values");
        Spawn({"--headless", "--port", link(), "--mode", "2", "--freq-index", "8", "--record",
               "--publish", broker.Url("lab"), "--device-name", "rig", "--duration",
               std::to_string(seconds)});
        ASSERT_TRUE(WaitUntil([&] { return values.Count("lab/rig/values") > 20; }, 6s)) << Err();
    }
};

// The watcher joins a running stream and outlives the publisher: its rows are a run of the
// publisher's, and the publisher's going offline leaves the device lost at its end.
TEST_F(MqttRemoteTest, TheWatchersRowsAreARunOfThePublishersAndItsEndIsADeviceLost) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Log();
    StartPublisher(broker, 7);
    Watcher watcher;
    watcher.Spawn({"--headless", "--remote", broker.Url("lab/rig"), "--record", "--duration", "8"});
    const auto published = EndWithDevice(7);
    ASSERT_TRUE(published);
    ASSERT_EQ(*published, 0) << Err();
    const auto watched = watcher.Wait(20s);
    ASSERT_TRUE(watched);
    EXPECT_EQ(*watched, 6) << watcher.Err();

    const auto publisherRows = RowsWithoutTime(data());
    const auto watcherRows = RowsWithoutTime(watcher.data());
    ASSERT_GT(watcherRows.size(), 100u) << watcher.Err();
    EXPECT_LT(watcherRows.size(), publisherRows.size());
    EXPECT_NE(std::search(publisherRows.begin(), publisherRows.end(), watcherRows.begin(),
                          watcherRows.end()),
              publisherRows.end())
        << watcherRows.front() << '\n'
        << watcherRows.back();
}

// The broker is away for 3 s: the watched device is lost, comes back when the broker and
// the publisher do, and the watcher's capture notes the gap; a watcher that cannot reach
// the broker at all does not open.
TEST_F(MqttRemoteTest, ABrokerAwayIsAGapAndNoBrokerIsNoDevice) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Log();
    StartPublisher(broker, 16);
    Watcher watcher;
    const fs::path capture = watcher.root() / "watched.pcap";
    watcher.Spawn({"--headless", "--remote", broker.Url("lab/rig"), "--record", "--capture",
                   capture.string(), "--duration", "13"});
    std::this_thread::sleep_for(2s);
    const auto rowsBefore = CsvRows(watcher.data());
    broker.Stop();
    std::this_thread::sleep_for(3s);
    ASSERT_TRUE(broker.Start()) << broker.Log();
    const auto watched = watcher.Wait(25s);
    ASSERT_TRUE(watched);
    EXPECT_EQ(*watched, 0) << watcher.Err();
    EXPECT_GT(CsvRows(watcher.data()), rowsBefore + 100) << "rows after the broker came back";
    const auto gaps = Gaps(capture);
    ASSERT_EQ(gaps.size(), 1u) << watcher.Err();
    EXPECT_GE(gaps[0], 2.5);

    broker.Stop();
    Watcher nobody;
    nobody.Spawn({"--headless", "--remote", broker.Url("lab/rig"), "--record"});
    const auto refused = nobody.Wait(10s);
    ASSERT_TRUE(refused);
    EXPECT_EQ(*refused, 3) << nobody.Err();
    EXPECT_EQ(CsvRows(nobody.data()), 0u);
    const auto published = EndWithDevice(16);
    ASSERT_TRUE(published);
}

} // namespace
} // namespace orvanta::hardening
