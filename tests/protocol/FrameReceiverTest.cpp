#include "protocol/FrameReceiver.h"

#include "DeviceFrames.h"
#include "protocol/ItemDecoderTable.h"
#include "protocol/OutputItem.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace orvanta::protocol {
namespace {

using protocol::HistoryGroup;
using protocol::WaveformHistory;
using testing::Bytes;
using testing::FullPayload;
using testing::MakeFrame;
using testing::PayloadWriter;

// Records every effect in call order.
class RecordingEffects : public ReceiverEffects {
public:
    int model = 0;
    std::vector<std::string> log;
    std::vector<ArrivalTime> arrivals; // of each row

    int CurrentModelIndex() const override { return model; }
    void PostDeviceStatus(std::uint8_t status) override {
        log.push_back("status " + std::to_string(status));
    }
    void KillReplyTimer() override { log.push_back("kill timer"); }
    void DataFrameDecoded(const ArrivalTime& arrival) override {
        log.push_back("row");
        arrivals.push_back(arrival);
    }
    void SetAutoOutputSeen() override { log.push_back("auto seen"); }
    void ClearAwaitItemMask() override { log.push_back("mask arrived"); }
    void RefreshItemBoxes() override { log.push_back("refresh boxes"); }
    void ClearAwaitGravity() override { log.push_back("gravity arrived"); }
    void ShowDeclination(std::string_view text) override {
        log.push_back("declination " + std::string(text));
    }
    void EndPendingCommand() override { log.push_back("end pending"); }
};

struct Receiver {
    MeasurementRecord record;
    WaveformHistory history;
    RecordingEffects effects;
    FrameReceiver receiver{record, history, effects};

    void Feed(const Bytes& bytes) { receiver.FeedBytes(bytes); }
};

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::string EchoLine(const Bytes& bytes) {
    std::string line = "Rx: ";
    for (std::uint8_t b : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x ", b);
        line += hex;
    }
    return line + "\r\n";
}

const Bytes kEulerFrame = {0xFF, 0x00, 0x57, 0x00, 0x0C, 0x00, 0x00, 0x80, 0x3F, 0x00,
                           0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0xBE, 0xA0, 0x2A, 0x03};

TEST(FrameReceiverTest, EulerFrameFromTheDeviceManual) {
    Receiver r;
    r.record.DefaultItemMask = 0x2;
    r.receiver.SetState(ReceiveState::AwaitingReply);
    r.Feed(kEulerFrame);
    EXPECT_EQ(r.record.ItemText[0], "57.296");
    EXPECT_EQ(r.record.ItemText[1], "28.648");
    EXPECT_EQ(r.record.ItemText[2], "-14.324");
    for (int i = 3; i < slot::kCount; ++i) {
        EXPECT_EQ(r.record.ItemText[i], "") << i;
    }
    EXPECT_NEAR(r.record.AttitudeDegrees[0], 57.29578, 1e-5);
    EXPECT_NEAR(r.record.AttitudeDegrees[1], 28.64789, 1e-5);
    EXPECT_NEAR(r.record.AttitudeDegrees[2], -14.32395, 1e-5);
    EXPECT_EQ(r.history.Newest(HistoryGroup::Euler, 0), r.record.AttitudeDegrees[0]);
    EXPECT_EQ(r.history.Newest(HistoryGroup::Euler, 2), r.record.AttitudeDegrees[2]);
    EXPECT_EQ(r.receiver.MonitorText(), EchoLine(kEulerFrame));
    EXPECT_EQ(r.effects.log, (std::vector<std::string>{"kill timer", "row"}));
    EXPECT_EQ(r.receiver.DataFrameCount(), 1u);
    EXPECT_EQ(r.receiver.State(), ReceiveState::Idle);
    EXPECT_EQ(r.receiver.Miscount(), 0);
}

// A frame carries the time of the block that completed it, less the line time of the bytes
// after it in that block, however the blocks cut it; and every frame comes after the last.
TEST(FrameReceiverTest, EachFrameCarriesTheTimeOfItsLastBlock) {
    const Bytes two = Join({kEulerFrame, kEulerFrame});
    const auto n = static_cast<std::int64_t>(kEulerFrame.size());
    constexpr std::int64_t kByte = 1000; // 10 000 baud
    constexpr std::int64_t kMs = 1'000'000;
    constexpr std::int64_t kRealtimeAhead = 5'000'000'000;
    struct Case {
        std::vector<std::size_t> cuts;    // block ends
        std::vector<std::int64_t> blocks; // each block's monotonic time
        std::vector<std::int64_t> frames; // each frame's
    };
    const auto un = static_cast<std::size_t>(n);
    const Case cases[] = {
        {{2 * un}, {kMs}, {kMs - n * kByte, kMs}},
        {{un + 3, 2 * un}, {kMs, 2 * kMs}, {kMs - 3 * kByte, 2 * kMs}},
        {{un - 1, 2 * un}, {kMs, 2 * kMs}, {2 * kMs - n * kByte, 2 * kMs}},
        // Read late, together, or by a clock that stood still: a microsecond apart.
        {{un, 2 * un}, {kMs, kMs}, {kMs, kMs + 1000}},
    };
    for (const Case& c : cases) {
        Receiver r;
        r.record.DefaultItemMask = 0x2;
        r.receiver.StartLine(kByte);
        for (std::size_t i = 0, from = 0; i < c.cuts.size(); from = c.cuts[i++]) {
            r.receiver.FeedBytes(std::span(two).subspan(from, c.cuts[i] - from),
                                 {c.blocks[i] + kRealtimeAhead, c.blocks[i]});
        }
        std::vector<std::int64_t> seen;
        for (const ArrivalTime& t : r.effects.arrivals) {
            seen.push_back(t.realtimeNs - t.monotonicNs == kRealtimeAhead ? t.monotonicNs : -1);
        }
        EXPECT_EQ(seen, c.frames) << ::testing::PrintToString(c.cuts);
    }
}

TEST(FrameReceiverTest, DataFramesPickTheirMask) {
    struct Case {
        std::uint8_t command;
        std::vector<std::string> log;
    };
    const Bytes gyro = PayloadWriter().F32x3(1.0f, 0.0f, 0.0f).bytes();
    for (const Case& c : {Case{0x57, {"kill timer", "row"}}, Case{0x59, {"kill timer", "row"}},
                          Case{0x90, {"kill timer", "auto seen", "row"}}}) {
        Receiver r;
        r.record.DefaultItemMask = 0x2;   // Euler
        r.record.SpecifiedItemMask = 0x8; // Gyro
        r.Feed(MakeFrame(c.command, gyro));
        const int filled = c.command == 0x59 ? slot::kGyroX : slot::kRoll;
        EXPECT_EQ(r.record.ItemText[filled], "57.296") << int(c.command);
        EXPECT_EQ(r.effects.log, c.log) << int(c.command);
        EXPECT_EQ(r.receiver.DataFrameCount(), 1u);
    }
}

TEST(FrameReceiverTest, RepliesAndAcknowledgements) {
    struct Case {
        const char* name;
        Bytes frame;
        std::vector<std::string> log;
    };
    const std::vector<std::string> endOnly = {"kill timer", "end pending"};
    const Case cases[] = {
        {"acknowledgement", MakeFrame(0x01, {0x09, 0x77}), {"kill timer", "status 9"}},
        {"acknowledgement without status", MakeFrame(0x01, {}), {"kill timer", "status 255"}},
        {"item mask",
         MakeFrame(0x52, {0x1A, 0x00, 0x00, 0x08}),
         {"kill timer", "mask arrived", "refresh boxes", "end pending"}},
        {"short item mask", MakeFrame(0x52, {0x1A, 0x00}), endOnly},
        {"gravity",
         MakeFrame(0xB3, PayloadWriter().F32(9.80665f).bytes()),
         {"kill timer", "gravity arrived", "end pending"}},
        {"short gravity", MakeFrame(0xB3, {0x00}), endOnly},
        {"declination",
         MakeFrame(0x42, PayloadWriter().F32(-6.5f).bytes()),
         {"kill timer", "declination -6.500\xC2\xB0", "end pending"}},
        {"short declination", MakeFrame(0x42, {}), endOnly},
        {"0x55", MakeFrame(0x55, {}), endOnly},
        {"0x14", MakeFrame(0x14, {1, 2, 3}), endOnly},
        {"0x17", MakeFrame(0x17, {}), endOnly},
        {"unknown command", MakeFrame(0x33, {0xFF, 0x03}), endOnly},
    };
    for (const Case& c : cases) {
        Receiver r;
        r.record.DefaultItemMask = 0x2;
        r.Feed(c.frame);
        EXPECT_EQ(r.effects.log, c.log) << c.name;
        EXPECT_EQ(r.receiver.DataFrameCount(), 0u) << c.name;
        EXPECT_EQ(r.receiver.MonitorText(), EchoLine(c.frame)) << c.name;
        const bool mask = std::string(c.name) == "item mask";
        EXPECT_EQ(r.record.DefaultItemMask.load(), mask ? 0x0800001Au : 0x2u) << c.name;
        const bool gravity = std::string(c.name) == "gravity";
        EXPECT_EQ(r.record.GravityValue, gravity ? 9.80665f : 9.8f) << c.name;
        EXPECT_EQ(r.record.GravityText, gravity ? "9.807" : "") << c.name;
    }
}

TEST(FrameReceiverTest, FramingEdgeCases) {
    struct Case {
        const char* name;
        Bytes stream;
        std::string echo;
        std::vector<std::string> log;
        int miscount;
    };
    const Bytes empty = MakeFrame(0x55, {});
    const Bytes longest = MakeFrame(0x14, Bytes(504, 0xFF));
    Bytes tooLong = MakeFrame(0x14, Bytes(505, 0x00));
    const Bytes withSyncAndEnd = MakeFrame(0x17, {0xFF, 0x03, 0xFF, 0x03});
    Bytes badCrc = MakeFrame(0x01, {0x00});
    badCrc[6] ^= 0x01;
    Bytes badData = MakeFrame(0x57, kEulerFrame);
    badData[5] ^= 0x80;
    // The declared end byte is 0x04: the frame runs on into the next one up to its 0x03.
    Bytes noEnd = MakeFrame(0x55, {0x10});
    noEnd.back() = 0x04;
    const Bytes next = MakeFrame(0x17, {0x20});
    const std::vector<std::string> good = {"kill timer", "end pending"};
    const Case table[] = {
        {"empty payload is 8 bytes", empty, EchoLine(empty), good, 0},
        {"512-byte frame accepted", longest, EchoLine(longest), good, 0},
        {"513-byte frame abandoned after its header", Join({tooLong, empty}),
         EchoLine(Bytes(tooLong.begin(), tooLong.begin() + 5)) + EchoLine(empty), good, 0},
        {"sync and end bytes inside the payload are data", withSyncAndEnd, EchoLine(withSyncAndEnd),
         good, 0},
        {"bytes before the sync byte are not echoed", Join({{0x00, 0x03, 0x42, 0x7F}, empty}),
         EchoLine(empty), good, 0},
        {"bad checksum counts, even on an acknowledgement",
         badCrc,
         EchoLine(badCrc),
         {"kill timer"},
         1},
        {"bad checksum on a data frame makes no row",
         badData,
         EchoLine(badData),
         {"kill timer"},
         1},
        {"missing end byte swallows up to the next 0x03",
         Join({noEnd, next, empty}),
         EchoLine(Join({noEnd, next})) + EchoLine(empty),
         {"kill timer", "kill timer", "end pending"},
         1},
    };
    for (const Case& c : table) {
        Receiver r;
        r.Feed(c.stream);
        EXPECT_EQ(r.receiver.MonitorText(), c.echo) << c.name;
        EXPECT_EQ(r.effects.log, c.log) << c.name;
        EXPECT_EQ(r.receiver.Miscount(), c.miscount) << c.name;
        EXPECT_EQ(r.receiver.MiscountText(), std::to_string(c.miscount)) << c.name;
        EXPECT_EQ(r.receiver.State(), ReceiveState::Idle) << c.name;
        EXPECT_TRUE(r.record.ItemText[0].empty()) << c.name;
    }
}

// The reply timer, a sent command or a new connection drop a frame half collected; its echo
// line stays open and the next frame starts a new one.
TEST(FrameReceiverTest, StateSetFromOutsideAbandonsTheFrame) {
    const Bytes frame = MakeFrame(0x57, FullPayload());
    const Bytes head(frame.begin(), frame.begin() + 40);
    for (ReceiveState outside :
         {ReceiveState::ReplyTimedOut, ReceiveState::AwaitingReply, ReceiveState::Idle}) {
        Receiver r;
        r.record.DefaultItemMask = 0x2;
        r.Feed(head);
        EXPECT_EQ(r.receiver.State(), ReceiveState::Body);
        r.receiver.SetState(outside);
        EXPECT_EQ(r.receiver.State(), outside);
        r.Feed(kEulerFrame);
        EXPECT_EQ(r.receiver.DataFrameCount(), 1u);
        EXPECT_EQ(r.record.ItemText[0], "57.296");
        const std::string open = EchoLine(head);
        EXPECT_EQ(r.receiver.MonitorText(),
                  open.substr(0, open.size() - 2) + EchoLine(kEulerFrame));
    }
}

TEST(FrameReceiverTest, RunawayFrameIsAbandonedAtTheBufferEnd) {
    Receiver r;
    r.record.DefaultItemMask = 0x2;
    Bytes runaway = MakeFrame(0x57, Bytes(12, 0x00));
    runaway.pop_back(); // the end byte never comes
    runaway.resize(5000, 0xAB);
    r.Feed(Join({runaway, kEulerFrame}));
    const Bytes kept(runaway.begin(), runaway.begin() + FrameReceiver::kBufferSize);
    EXPECT_EQ(r.receiver.MonitorText(), EchoLine(kept) + EchoLine(kEulerFrame));
    EXPECT_EQ(r.receiver.Miscount(), 1);
    EXPECT_EQ(r.receiver.DataFrameCount(), 1u);
    EXPECT_EQ(r.record.ItemText[0], "57.296");
    EXPECT_EQ(r.effects.log, (std::vector<std::string>{"kill timer", "row"}));
}

TEST(FrameReceiverTest, CountersResetAndTake) {
    Receiver r;
    r.record.DefaultItemMask = 0x2;
    Bytes bad = kEulerFrame;
    bad[10] ^= 1;
    r.Feed(Join({kEulerFrame, bad, kEulerFrame, bad, bad}));
    EXPECT_EQ(r.receiver.Miscount(), 3);
    EXPECT_EQ(r.receiver.MiscountText(), "3");
    EXPECT_EQ(r.receiver.TakeDataFrameCount(), 2u);
    EXPECT_EQ(r.receiver.DataFrameCount(), 0u);
    r.receiver.ResetMiscount();
    EXPECT_EQ(r.receiver.Miscount(), 0);
    EXPECT_EQ(r.receiver.MiscountText(), "0");
}

// Everything the receiver leaves behind that a reader could see.
struct Snapshot {
    std::vector<std::string> texts;
    std::array<float, 3> attitude;
    std::uint32_t defaultMask;
    float gravity;
    std::string gravityText;
    std::int32_t miscount;
    std::string miscountText;
    std::uint32_t frames;
    std::string echo;
    std::vector<std::string> log;
    std::vector<double> history;
    ReceiveState state;

    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const Receiver& r) {
    Snapshot s{{r.record.ItemText.begin(), r.record.ItemText.end()},
               r.record.AttitudeDegrees,
               r.record.DefaultItemMask.load(),
               r.record.GravityValue,
               r.record.GravityText,
               r.receiver.Miscount(),
               r.receiver.MiscountText(),
               r.receiver.DataFrameCount(),
               r.receiver.MonitorText(),
               r.effects.log,
               {},
               r.receiver.State()};
    for (int g = 0; g < WaveformHistory::kGroupCount; ++g) {
        for (int c = 0; c < WaveformHistory::kChannelCount; ++c) {
            const auto window = r.history.Window(static_cast<HistoryGroup>(g), c);
            s.history.insert(s.history.end(), window.begin(), window.end());
        }
    }
    return s;
}

Snapshot FeedInBlocks(const Bytes& stream, const std::vector<std::size_t>& cuts) {
    Receiver r;
    r.effects.model = 2;
    r.record.DefaultItemMask = 0x2;
    r.record.SpecifiedItemMask = kAllOutputItems;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        r.receiver.FeedBytes(stream.data() + from, static_cast<std::uint32_t>(cut - from));
        from = cut;
    }
    r.receiver.FeedBytes(stream.data() + from, static_cast<std::uint32_t>(stream.size() - from));
    return Take(r);
}

// A stream of every kind of frame, with noise, bad frames and abandoned headers between.
Bytes MixedStream() {
    Bytes badCrc = MakeFrame(0x59, FullPayload());
    badCrc[20] ^= 0x10;
    Bytes noEnd = MakeFrame(0x14, {0x03, 0x00});
    noEnd.back() = 0x00;
    const Bytes full = FullPayload();
    return Join({{0x00, 0x13, 0x03},
                 kEulerFrame,
                 MakeFrame(0x52, {0x0A, 0x00, 0x00, 0x00}), // default mask: Euler + Acc
                 MakeFrame(0x59, full),
                 MakeFrame(0x01, {0x00}),
                 {0x55, 0xFF, 0x00, 0x10, 0x02, 0x00}, // header announcing 520 bytes
                 MakeFrame(0xB3, PayloadWriter().F32(9.7803f).bytes()),
                 MakeFrame(0x90, PayloadWriter().F32x3(0.3f, 0.2f, 0.1f).F32x3(1, 2, 3).bytes()),
                 badCrc,
                 noEnd,
                 MakeFrame(0x42, PayloadWriter().F32(3.25f).bytes()),
                 MakeFrame(0x59, Bytes(full.begin(), full.begin() + 70)),
                 {0x7E, 0xFF, 0x00, 0x99, 0x00, 0x00, 0x12, 0x34, 0x03}, // bad checksum
                 MakeFrame(0x57, PayloadWriter().F32x3(-1, -2, -3).F32x3(4, 5, 6).bytes())});
}

TEST(FrameReceiverTest, AnyCutOfTheStreamGivesTheSameResult) {
    const Bytes stream = MixedStream();
    const Snapshot whole = FeedInBlocks(stream, {});
    ASSERT_EQ(whole.frames, 5u);
    ASSERT_EQ(whole.miscount, 3);
    ASSERT_EQ(whole.gravityText, "9.780");
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        ASSERT_EQ(FeedInBlocks(stream, {cut}), whole) << "cut at " << cut;
    }
    std::vector<std::size_t> everyByte;
    for (std::size_t i = 1; i < stream.size(); ++i) {
        everyByte.push_back(i);
    }
    EXPECT_EQ(FeedInBlocks(stream, everyByte), whole);
    std::mt19937 random(42);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::size_t> cuts;
        for (std::size_t at = random() % 64; at < stream.size(); at += 1 + random() % 64) {
            cuts.push_back(at);
        }
        ASSERT_EQ(FeedInBlocks(stream, cuts), whole) << "round " << round;
    }
}

} // namespace
} // namespace orvanta::protocol
