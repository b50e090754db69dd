// The receive path at full load: VK100 data frames with all thirteen items, fed in the
// 64-byte blocks a serial read hands over, with the echo drained after every block.

#include "protocol/FrameEnvelope.h"
#include "protocol/FrameReceiver.h"
#include "protocol/MeasurementRecord.h"
#include "protocol/OutputItem.h"
#include "protocol/WaveformHistory.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <bit>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using namespace orvanta;
using Bytes = std::vector<std::uint8_t>;

class QuietEffects : public protocol::ReceiverEffects {
public:
    int CurrentModelIndex() const override { return 0; }
    void PostDeviceStatus(std::uint8_t) override {}
    void KillReplyTimer() override {}
    void DataFrameDecoded(const protocol::ArrivalTime&) override { ++rows; }
    void SetAutoOutputSeen() override {}
    void ClearAwaitItemMask() override {}
    void RefreshItemBoxes() override {}
    void ClearAwaitGravity() override {}
    void ShowDeclination(std::string_view) override {}
    void EndPendingCommand() override {}
    std::uint64_t rows = 0;
};

void PutLe(Bytes& out, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void PutF32(Bytes& out, float value) {
    PutLe(out, std::bit_cast<std::uint32_t>(value), 4);
}

// One 129-byte data frame with plausible, varying values.
Bytes FullFrame(std::mt19937& random) {
    std::uniform_real_distribution<float> angle(-3.14f, 3.14f), small(-2.0f, 2.0f),
        field(-60.0f, 60.0f), temperature(-20.0f, 60.0f);
    Bytes payload;
    for (int i = 0; i < 3; ++i)
        PutF32(payload, angle(random));
    for (int i = 0; i < 3; ++i)
        PutF32(payload, small(random));
    for (int i = 0; i < 3; ++i)
        PutF32(payload, small(random) * 9.8f);
    for (int i = 0; i < 3; ++i)
        PutF32(payload, field(random));
    PutF32(payload, temperature(random));
    PutF32(payload, temperature(random));
    PutLe(payload, random(), 4);                                 // run time
    PutLe(payload, random() % 604800000u, 4);                    // time of week
    payload.push_back(static_cast<std::uint8_t>(random()));      // status
    payload.push_back(static_cast<std::uint8_t>(random() % 30)); // satellites
    PutLe(payload, random(), 4);                                 // QNE
    PutLe(payload, random(), 4);                                 // Baro
    const double lat = 39.9 + small(random) * 1e-3, lon = 116.4 + small(random) * 1e-3;
    PutLe(payload, std::bit_cast<std::uint64_t>(lat), 8);
    PutLe(payload, std::bit_cast<std::uint64_t>(lon), 8);
    PutLe(payload, std::bit_cast<std::uint64_t>(43.5 + small(random)), 8);
    for (int i = 0; i < 3; ++i)
        PutF32(payload, small(random) * 10.0f);
    PutLe(payload, 2024, 2);
    for (std::uint8_t b : {6, 11, 23, 59, 7})
        payload.push_back(b);
    PutF32(payload, angle(random) * 57.0f + 180.0f);

    return protocol::EncodeFrame(protocol::kDeviceFrame, 0x90, payload);
}

void ReceivePath(benchmark::State& state) {
    constexpr std::size_t kBlock = 64;
    constexpr int kFrames = 256;
    std::mt19937 random(1);
    Bytes stream;
    for (int i = 0; i < kFrames; ++i) {
        const Bytes frame = FullFrame(random);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }

    protocol::MeasurementRecord record;
    record.DefaultItemMask = protocol::kAllOutputItems;
    protocol::WaveformHistory history;
    QuietEffects effects;
    protocol::FrameReceiver receiver(record, history, effects);

    std::uint64_t bytes = 0;
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += kBlock) {
            const std::size_t n = std::min(kBlock, stream.size() - at);
            receiver.FeedBytes(stream.data() + at, static_cast<std::uint32_t>(n));
            benchmark::DoNotOptimize(receiver.MonitorText().data());
            receiver.MonitorText().clear();
        }
        bytes += stream.size();
    }
    if (effects.rows != static_cast<std::uint64_t>(kFrames) * state.iterations() ||
        receiver.Miscount() != 0) {
        state.SkipWithError("frames were lost");
    }
    constexpr double kLineBytesPerSecond = 256000.0 / 10.0; // 8N1: ten bits a byte
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(effects.rows), benchmark::Counter::kIsRate);
    state.counters["line_ratio"] = benchmark::Counter(
        static_cast<double>(bytes) / kLineBytesPerSecond, benchmark::Counter::kIsRate);
    state.counters["frame_bytes"] = static_cast<double>(stream.size() / kFrames);
}
BENCHMARK(ReceivePath)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
