// The remote device's source against a real broker: what another Orvanta publishes reaches
// the host as a port's blocks and a replay's frames and notes, in order; damaged messages
// are skipped; the publisher's "offline" and a lost broker are the device's loss.
#include "publish/RemoteLink.h"

#include "publish/Publisher.h"
#include "publish/RawRecord.h"
#include "publish/ValuesMessage.h"
#include "support/MosquittoBroker.h"
#include "support/RunUntil.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <mutex>

namespace orvanta::publish {
namespace {

using namespace std::chrono_literals;
using testing::MosquittoBroker;
using testing::WaitUntil;

// What the host would be handed, in order: "start:<model>", "block:<bytes>@<time>",
// "send:<bytes>", "note:<model>", "lost", "back"; and the reports.
class Host final : public serial::SerialPortOwner,
                   public recording::ReplayListener,
                   public serial::SerialErrorReporter {
public:
    std::vector<std::string> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::size_t Reports() const {
        std::lock_guard lock(m_mutex);
        return m_reports;
    }

    void OnSerialBytes(const std::uint8_t* bytes, const serial::SerialBlockInfo& info) override {
        Add("block:" + std::string(bytes, bytes + info.byteCount) + "@" +
            std::to_string(info.realtimeNs));
    }
    void OnSerialEventChar(std::string_view) override {}
    void DispatchPendingDelivery() override {}
    bool OnDeviceLost(std::string_view) override {
        Add("lost");
        return true;
    }
    void OnDeviceBack(std::string_view) override { Add("back"); }
    void OnReplayStarting(const recording::CaptureNote& note) override {
        Add("start:" + recording::NoteValue(note, recording::note_key::kModel).value_or("-"));
    }
    void OnCapturedSend(const std::uint8_t* bytes, std::size_t length) override {
        Add("send:" + std::string(bytes, bytes + length));
    }
    void OnCapturedNote(const recording::CaptureNote& note) override {
        Add("note:" + recording::NoteValue(note, recording::note_key::kModel).value_or("-"));
    }
    void OnReplayEnded(const recording::ReplayEnd&) override { Add("ended"); }
    void Report(std::string_view, std::string_view) override {
        std::lock_guard lock(m_mutex);
        ++m_reports;
    }

private:
    void Add(std::string event) {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    mutable std::mutex m_mutex;
    std::vector<std::string> m_events;
    std::size_t m_reports = 0;
};

std::string Raw(recording::CaptureDirection direction, std::string_view bytes,
                std::int64_t timeNs) {
    return BuildRawRecord(direction, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                          bytes.size(), timeNs);
}

TEST(RemoteLinkTest, FollowsTheRawTopicAfterTheRetainedNotesAndTheDevicesPresence) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.Start());
    PublisherOptions publisherOptions;
    publisherOptions.url = *ParseBrokerUrl(broker.Url("lab")).url;
    publisherOptions.backoffMin = 100ms;
    publisherOptions.backoffMax = 200ms;
    Publisher publisher(publisherOptions);
    std::string error;
    ASSERT_TRUE(publisher.Start(error)) << error;
    publisher.Retain("lab/rig/notes", "model=VN300\nmode=2\n");
    publisher.Retain("lab/rig/status", BuildStatusJson({true, "VN300", "/dev/ttyUSB0", 200, 0, 0}));
    ASSERT_TRUE(WaitUntil([&] { return publisher.Sent() >= 2; }, 5s));

    Host host;
    const auto remote = ParseRemoteUrl(broker.Url("lab/rig"));
    ASSERT_TRUE(remote.url);
    RemoteLink link({*remote.url, remote.device, "", "", 1}, host, host);
    ASSERT_TRUE(link.OpenLink(&host, "mqtt://remote", 0, 'N')) << link.OpenError();
    ASSERT_TRUE(link.StartMonitor());
    ASSERT_TRUE(WaitUntil([&] { return !host.Events().empty(); }, 5s));
    std::this_thread::sleep_for(200ms); // the subscriptions are in place

    using recording::CaptureDirection;
    const std::string good = Raw(CaptureDirection::DeviceToHost, "AB", 1'500'000'007);
    const std::string wrongLength = good.substr(0, good.size() - 1);
    for (const std::string& payload :
         {good, std::string("short"), wrongLength, Raw(CaptureDirection::HostToDevice, "Q", 1),
          Raw(CaptureDirection::Note, "model=VK100\n", 2), std::string(),
          Raw(CaptureDirection::DeviceToHost, "C", 3)}) {
        publisher.Publish("lab/rig/raw", payload);
    }
    const std::vector<std::string> expected{"start:VN300", "block:AB@1500000007", "send:Q",
                                            "note:VK100", "block:C@3"};
    EXPECT_TRUE(WaitUntil([&] { return host.Events().size() >= expected.size(); }, 5s));
    EXPECT_EQ(host.Events(), expected);
    EXPECT_EQ(link.BadMessages(), 3u);
    EXPECT_EQ(host.Reports(), 2u) << "once for each run of damaged messages";

    // The publisher says offline and online again; then the broker goes away and comes back,
    // and the publisher's retained status is online once it has reconnected.
    publisher.Retain("lab/rig/status", OfflineWillJson());
    ASSERT_TRUE(WaitUntil([&] { return host.Events().back() == "lost"; }, 5s));
    publisher.Retain("lab/rig/status", BuildStatusJson({true, "VN300", "", 200, 0, 0}));
    ASSERT_TRUE(WaitUntil([&] { return host.Events().back() == "back"; }, 5s));
    broker.Stop();
    ASSERT_TRUE(WaitUntil([&] { return host.Events().back() == "lost"; }, 5s));
    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(WaitUntil([&] { return host.Events().back() == "back"; }, 15s));
    link.CloseLink();
    EXPECT_EQ(link.State(), serial::PortState::Closed);
    const auto events = host.Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "lost"), 2);
}

} // namespace
} // namespace orvanta::publish
