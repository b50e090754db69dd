// Publishing end to end: the headless program against the simulator, publishing to a real
// Mosquitto while it records; a broker that restarts mid-run, and one that is not there.
#include "HeadlessProcess.h"
#include "publish/RawRecord.h"
#include "recording/CaptureReader.h"
#include "support/MosquittoBroker.h"
#include "support/MqttSubscriber.h"

#include <algorithm>

namespace orvanta::hardening {
namespace {

using orvanta::testing::MosquittoBroker;
using orvanta::testing::MqttSubscriber;
using orvanta::testing::WaitUntil;

struct Record {
    int direction;
    std::int64_t timeNs;
    std::vector<std::uint8_t> bytes;
    bool operator==(const Record&) const = default;
};

std::vector<Record> CaptureRecords(const fs::path& path) {
    std::string error;
    auto reader = recording::CaptureReader::Open(path, error);
    EXPECT_TRUE(reader) << error;
    std::vector<Record> records;
    recording::CaptureRecord record;
    while (reader && reader->Next(record) == recording::CaptureReader::Step::Record) {
        records.push_back({static_cast<int>(record.direction),
                           record.timeNs,
                           {record.bytes.begin(), record.bytes.end()}});
    }
    return records;
}

std::vector<Record> RawRecords(const std::vector<std::string>& payloads) {
    std::vector<Record> records;
    for (const std::string& payload : payloads) {
        const auto parsed = publish::ParseRawRecord(
            std::span(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()));
        EXPECT_TRUE(parsed);
        if (parsed) {
            records.push_back({static_cast<int>(parsed->direction),
                               parsed->timeNs,
                               {parsed->bytes.begin(), parsed->bytes.end()}});
        }
    }
    return records;
}

std::size_t MqttLines(const std::string& err) {
    std::size_t lines = 0;
    for (std::size_t at = err.find("MQTT"); at != std::string::npos;
         at = err.find("MQTT", at + 1)) {
        ++lines;
    }
    return lines;
}

class MqttPublishTest : public HeadlessProcessFixture {
protected:
    std::vector<std::string> Args(const std::string& url, std::vector<std::string> more) {
        std::vector<std::string> args{"--headless",   "--port", link(),     "--mode",    "2",
                                      "--freq-index", "8",      "--record", "--publish", url};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
};

// Every decoded frame is one values message and every block, sent frame and note one raw
// record, the capture's own, under a device name made safe for a topic.
TEST_F(MqttPublishTest, ValuesFollowTheRowsAndRawFollowsTheCapture) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Log();
    MqttSubscriber subscriber(broker.Port(), "lab/#");
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Subscribed(); }, 5s));
    StartSimulator({});
    const fs::path capture = root() / "live.pcap";
    Spawn(Args(broker.Url("lab"),
               {"--capture", capture.string(), "--device-name", "rig/1#a", "--duration", "5"}));
    const auto status = EndWithDevice(5);
    ASSERT_TRUE(status);
    ASSERT_EQ(*status, 0) << Err();
    const std::string base = "lab/rig_1_a/";
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto states = subscriber.Payloads(base + "status");
            return !states.empty() && states.back().find("offline") != std::string::npos;
        },
        5s));

    const auto values = subscriber.Payloads(base + "values");
    ASSERT_GT(values.size(), 60u);
    EXPECT_EQ(values.size(), CsvRows(data())) << Err();
    for (const char* member : {"\"model\":\"VK100\"", "\"roll_deg\":", "\"acc_z_g\":"}) {
        EXPECT_NE(values.front().find(member), std::string::npos) << values.front();
    }
    // Raw starts with a note of the settings, as the capture file does (its reader takes
    // that one at the open); the records that follow are the same, to the nanosecond.
    const auto raw = RawRecords(subscriber.Payloads(base + "raw"));
    const auto captured = CaptureRecords(capture);
    ASSERT_FALSE(raw.empty());
    EXPECT_EQ(raw.front().direction, 2);
    EXPECT_TRUE(std::equal(raw.begin() + 1, raw.end(), captured.begin(), captured.end()))
        << raw.size() << " raw records, " << captured.size() << " captured";
    const auto notes = subscriber.Payloads(base + "notes");
    ASSERT_FALSE(notes.empty());
    EXPECT_NE(notes.back().find("model=VK100\n"), std::string::npos) << notes.back();
    EXPECT_NE(notes.back().find("mode=2\n"), std::string::npos) << notes.back();
    const auto states = subscriber.Payloads(base + "status");
    EXPECT_TRUE(std::any_of(states.begin(), states.end(), [](const std::string& s) {
        return s.find("\"state\":\"online\"") != std::string::npos &&
               s.find("\"rate_hz\":0") == std::string::npos;
    }));
    EXPECT_EQ(MqttLines(Err()), 1u) << Err(); // connected
}

// The broker is away for 3 s: every frame is still recorded, publishing goes on after it,
// and the user is told once each way.
TEST_F(MqttPublishTest, ABrokerRestartLosesNoRowAndPublishingResumes) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Log();
    auto& simulator = StartSimulator({});
    Spawn(Args(broker.Url("lab"), {"--device-name", "dev", "--duration", "10"}));
    {
        MqttSubscriber before(broker.Port(), "lab/#");
        ASSERT_TRUE(WaitUntil([&] { return before.Count("lab/dev/values") > 50; }, 6s)) << Err();
    }
    broker.Stop();
    std::this_thread::sleep_for(3s);
    ASSERT_TRUE(broker.Start()) << broker.Log();
    MqttSubscriber after(broker.Port(), "lab/#");
    EXPECT_TRUE(WaitUntil([&] { return after.Count("lab/dev/values") > 50; }, 6s)) << Err();
    EXPECT_TRUE(WaitUntil([&] { return after.Count("lab/dev/notes") > 0; }, 1s))
        << "the restarted broker got the retained notes again";
    const auto status = EndWithDevice(10);
    ASSERT_TRUE(status);
    ASSERT_EQ(*status, 0) << Err();
    EXPECT_EQ(CsvRows(data()), simulator.Counters().dataFramesSent) << Err();
    EXPECT_EQ(MqttLines(Err()), 3u) << Err(); // connected, lost, connected again
}

TEST_F(MqttPublishTest, AnUnreachableBrokerIsSaidOnceAndRecordingGoesOn) {
    MosquittoBroker broker; // never started
    auto& simulator = StartSimulator({});
    Spawn(Args(broker.Url("lab"), {"--duration", "4"}));
    const auto status = EndWithDevice(4);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    EXPECT_GT(CsvRows(data()), 60u);
    EXPECT_EQ(CsvRows(data()), simulator.Counters().dataFramesSent) << Err();
    EXPECT_EQ(MqttLines(Err()), 1u) << Err();
}

} // namespace
} // namespace orvanta::hardening
