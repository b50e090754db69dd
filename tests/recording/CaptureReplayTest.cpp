#include "recording/CaptureReplay.h"

#include "RecorderTestSupport.h"
#include "recording/CaptureWriter.h"
#include "serial/BlockingCallQueue.h"

#include <gtest/gtest.h>

namespace orvanta::recording {
namespace {

using namespace std::chrono_literals;
using testing::MessageLog;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kStart = 1700000000000000000;
constexpr std::int64_t kMs = 1000000;

// Every wait returns at once and moves the clock to the time waited for.
class JumpClock final : public ReplayClock {
public:
    TimePoint Now() const override { return now_; }
    bool WaitUntil(TimePoint at) override {
        waits.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(at - TimePoint{}));
        now_ = std::max(now_, at);
        return true;
    }
    void Cancel() override {}
    void Rearm() override {}
    std::vector<std::chrono::milliseconds> waits; // from the replay's start, which is 0

private:
    TimePoint now_{};
};

// Owner and listener in one: writes down what arrives, in order.
class Recorder final : public serial::SerialPortOwner, public ReplayListener {
public:
    void OnSerialBytes(const std::uint8_t* bytes, const serial::SerialBlockInfo& info) override {
        EXPECT_EQ(bytes[info.byteCount], 0);
        Add("rx", Bytes(bytes, bytes + info.byteCount));
        devicePath = std::string(info.devicePath);
    }
    void OnSerialEventChar(std::string_view) override {}
    void DispatchPendingDelivery() override {}
    void OnReplayStarting(const CaptureNote& note) override { startNote = note; }
    void OnCapturedSend(const std::uint8_t* bytes, std::size_t length) override {
        Add("tx", Bytes(bytes, bytes + length));
    }
    void OnCapturedNote(const CaptureNote& note) override {
        Add("note", Bytes(note.at(0).first.begin(), note.at(0).first.end()));
    }
    void OnTimeLeap(double seconds) override { leaps.push_back(seconds); }
    void OnReplayEnded(const ReplayEnd& replayEnd) override {
        std::lock_guard lock(mutex_);
        end = replayEnd;
        ended_.notify_all();
    }
    ReplayEnd WaitForEnd() {
        std::unique_lock lock(mutex_);
        ended_.wait_for(lock, 10s, [this] { return end.has_value(); });
        return end.value_or(ReplayEnd{});
    }
    std::size_t EventCount() {
        std::lock_guard lock(mutex_);
        return events.size();
    }
    void Add(const std::string& kind, Bytes bytes) {
        std::lock_guard lock(mutex_);
        events.emplace_back(kind, std::move(bytes));
    }

    CaptureNote startNote;
    std::vector<std::pair<std::string, Bytes>> events;
    std::optional<ReplayEnd> end;
    std::string devicePath;
    int backPressureCalls = 0;
    std::vector<double> leaps;

private:
    std::mutex mutex_;
    std::condition_variable ended_;
};

struct Timed {
    CaptureDirection direction;
    Bytes bytes;
    std::int64_t offsetNs;
};

std::filesystem::path Capture(const TempDir& dir, const std::vector<Timed>& records) {
    const auto path = dir.path() / "replay.pcap";
    MessageLog messages;
    CaptureWriter writer(messages);
    EXPECT_TRUE(writer.Open(path, {{"model", "VK100"}}, kStart));
    for (const auto& r : records) {
        writer.Append(r.direction, r.bytes.data(), r.bytes.size(), kStart + r.offsetNs);
    }
    writer.Close();
    return path;
}

constexpr auto kRx = CaptureDirection::DeviceToHost;
constexpr auto kTx = CaptureDirection::HostToDevice;

const Bytes kSomeFrame = {0xFF, 0x02, 0x56, 0x00, 0x00, 0x00, 0x00, 0x03};

const std::vector<Timed> kRecords = {
    {kRx, {1}, 10 * kMs},
    {kTx, {2}, 10 * kMs},
    {kRx, {3}, 30 * kMs},
    {kRx, {4}, 20 * kMs}, // stamped before the one ahead of it: not late, not early
    {CaptureDirection::Note, {'m', '=', '1'}, 40 * kMs},
    {kRx, {5}, 50 * kMs},
    {kRx, {6}, 60 * kMs},
};

TEST(CaptureReplayTest, RecordsComeInOrderAtTheCapturedTimesDividedByTheSpeed) {
    TempDir dir;
    const auto path = Capture(dir, kRecords);
    JumpClock clock;
    Recorder owner;
    CaptureReplay replay(owner, &clock);
    ASSERT_TRUE(replay.OpenLink(&owner, path.string(), 0, 'N')) << replay.OpenError();
    EXPECT_EQ(NoteValue(replay.Note(), "model"), "VK100");
    EXPECT_FALSE(replay.QueueSend(kSomeFrame.data(), kSomeFrame.size()));
    replay.SetSpeed(ReplaySpeed{false, 2.0});
    ASSERT_TRUE(replay.StartMonitor());
    EXPECT_EQ(owner.startNote, replay.Note()) << "handed over by StartMonitor";
    const ReplayEnd end = owner.WaitForEnd();
    EXPECT_EQ(replay.State(), serial::PortState::Open);
    replay.CloseLink();
    EXPECT_EQ(replay.State(), serial::PortState::Closed);

    EXPECT_FALSE(end.stopped);
    EXPECT_FALSE(end.damaged);
    EXPECT_EQ(end.recordsRead, 8u);
    EXPECT_EQ(owner.devicePath, path.string());
    const std::vector<std::pair<std::string, Bytes>> expected = {
        {"rx", {1}},     {"tx", {2}}, {"rx", {3}}, {"rx", {4}},
        {"note", {'m'}}, {"rx", {5}}, {"rx", {6}}};
    EXPECT_EQ(owner.events, expected);
    using std::chrono::milliseconds;
    const std::vector<milliseconds> waits = {milliseconds(5),  milliseconds(5),  milliseconds(15),
                                             milliseconds(15), milliseconds(20), milliseconds(25),
                                             milliseconds(30)};
    EXPECT_EQ(clock.waits, waits);
}

// A stamp years ahead (a damaged clock) is played without waiting, told once; what follows
// keeps its own spacing.
TEST(CaptureReplayTest, ALeapFarAheadIsPlayedAtOnceAndToldOnce) {
    constexpr std::int64_t kYear = 365LL * 24 * 3600 * 1000 * kMs;
    TempDir dir;
    const auto path = Capture(dir, {{kRx, {1}, 10 * kMs},
                                    {kRx, {2}, kYear},
                                    {kRx, {3}, kYear + 20 * kMs},
                                    {kRx, {4}, 2 * kYear}});
    JumpClock clock;
    Recorder owner;
    CaptureReplay replay(owner, &clock);
    ASSERT_TRUE(replay.OpenLink(&owner, path.string(), 0, 'N')) << replay.OpenError();
    ASSERT_TRUE(replay.StartMonitor());
    owner.WaitForEnd();
    replay.CloseLink();
    using std::chrono::milliseconds;
    EXPECT_EQ(clock.waits, (std::vector<milliseconds>{milliseconds(10), milliseconds(10),
                                                      milliseconds(30), milliseconds(30)}));
    ASSERT_EQ(owner.leaps.size(), 1u);
    EXPECT_NEAR(owner.leaps[0], kYear / 1e9, 1.0);
}

TEST(CaptureReplayTest, AsFastAsPossibleJoinsDeviceBlocksAndWaitsOnlyForBackPressure) {
    TempDir dir;
    std::vector<Timed> records = kRecords;
    const Bytes big(CaptureReplay::kJoinedBlockLimit - 1, 0x77);
    records.push_back({kRx, big, 70 * kMs}); // does not fit behind 5 and 6
    records.push_back({kRx, {8}, 80 * kMs});
    const auto path = Capture(dir, records);
    JumpClock clock;
    Recorder owner;
    CaptureReplay replay(owner, &clock);
    ASSERT_TRUE(replay.OpenLink(&owner, path.string(), 0, 'N')) << replay.OpenError();
    replay.SetSpeed(*ParseReplaySpeed("max"));
    replay.SetBackPressure([&owner] { ++owner.backPressureCalls; });
    ASSERT_TRUE(replay.StartMonitor());
    owner.WaitForEnd();
    replay.CloseLink();

    Bytes bigAndEight = big;
    bigAndEight.push_back(8);
    const std::vector<std::pair<std::string, Bytes>> expected = {
        {"rx", {1}},     {"tx", {2}},    {"rx", {3, 4}},
        {"note", {'m'}}, {"rx", {5, 6}}, {"rx", bigAndEight}};
    EXPECT_EQ(owner.events, expected);
    EXPECT_EQ(owner.backPressureCalls, 4);
    EXPECT_TRUE(clock.waits.empty());
}

TEST(CaptureReplayTest, ADamagedCaptureIsPlayedUpToTheDamage) {
    TempDir dir;
    const auto path = Capture(dir, kRecords);
    std::string bytes = testing::ReadFile(path);
    bytes.resize(bytes.size() - 3); // the last record is cut off
    testing::WriteFile(path, bytes);
    JumpClock clock;
    Recorder owner;
    CaptureReplay replay(owner, &clock);
    ASSERT_TRUE(replay.OpenLink(&owner, path.string(), 0, 'N')) << replay.OpenError();
    ASSERT_TRUE(replay.StartMonitor());
    const ReplayEnd end = owner.WaitForEnd();
    replay.CloseLink();
    EXPECT_TRUE(end.damaged);
    EXPECT_EQ(end.recordsRead, 7u);
    EXPECT_EQ(end.damageOffset, bytes.size() + 3 - 18);
    ASSERT_EQ(owner.events.size(), 6u);
    EXPECT_EQ(owner.events.back().second, Bytes{5});
}

// Stop ends a replay that waits for a record an hour away, and one whose thread is blocked
// in a delivery only the owner's thread can run.
TEST(CaptureReplayTest, StopEndsWaitsAndBlockedDeliveries) {
    TempDir dir;
    // A long wait, short of what counts as a damaged time stamp.
    const auto path = Capture(dir, {{kRx, {1}, 0}, {kRx, {2}, 9000 * kMs}});
    for (const bool blockedDelivery : {false, true}) {
        serial::BlockingCallQueue mainCalls;
        class QueuedOwner final : public serial::SerialPortOwner {
        public:
            QueuedOwner(serial::BlockingCallQueue& calls, Recorder& recorder)
                : calls_(calls), recorder_(recorder) {}
            void OnSerialBytes(const std::uint8_t* bytes,
                               const serial::SerialBlockInfo& info) override {
                calls_.CallBlocking([&] { recorder_.OnSerialBytes(bytes, info); });
            }
            void OnSerialEventChar(std::string_view) override {}
            void DispatchPendingDelivery() override { calls_.DispatchOne(); }

        private:
            serial::BlockingCallQueue& calls_;
            Recorder& recorder_;
        };
        Recorder recorder;
        QueuedOwner queued(mainCalls, recorder);
        CaptureReplay replay(recorder); // the steady clock
        serial::SerialPortOwner* owner =
            blockedDelivery ? static_cast<serial::SerialPortOwner*>(&queued) : &recorder;
        ASSERT_TRUE(replay.OpenLink(owner, path.string(), 0, 'N')) << replay.OpenError();
        ASSERT_TRUE(replay.StartMonitor());
        if (blockedDelivery) {
            while (mainCalls.Pending() == 0) {
                std::this_thread::sleep_for(1ms);
            }
        } else {
            while (recorder.EventCount() == 0) {
                std::this_thread::sleep_for(1ms);
            }
        }
        replay.CloseLink();
        EXPECT_EQ(replay.State(), serial::PortState::Closed);
        ASSERT_TRUE(recorder.end.has_value());
        EXPECT_TRUE(recorder.end->stopped);
        EXPECT_EQ(recorder.events.size(), 1u);
    }
}

TEST(CaptureReplayTest, AFileThatIsNotACaptureDoesNotOpen) {
    TempDir dir;
    const auto path = dir.path() / "data.csv";
    testing::WriteFile(path, "Roll,Pitch\r\n");
    Recorder owner;
    CaptureReplay replay(owner);
    EXPECT_FALSE(replay.OpenLink(&owner, path.string(), 0, 'N'));
    EXPECT_FALSE(replay.OpenError().empty());
    EXPECT_FALSE(replay.StartMonitor());
    EXPECT_EQ(replay.State(), serial::PortState::Closed);
}

TEST(CaptureReplayTest, SpeedIsMaxOrAFactor) {
    EXPECT_TRUE(ParseReplaySpeed("max")->asFastAsPossible);
    EXPECT_EQ(ParseReplaySpeed("2.5")->factor, 2.5);
    EXPECT_EQ(ParseReplaySpeed("0.001")->factor, 0.001);
    for (const char* bad : {"", "0", "-1", "fast", "1e7", "nan", "inf", "2x", "0.0001"}) {
        EXPECT_FALSE(ParseReplaySpeed(bad)) << bad;
    }
}

} // namespace
} // namespace orvanta::recording
