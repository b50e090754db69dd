// Fuzz target: the frame receiver with the item decoders and the CSV row builder.
// Input: mask selector, default mask, specified mask, units, model, recording state,
// block-size seed, framing switch; then the byte stream. With framing on, the stream is a
// list of pieces that become either raw bytes or whole frames with a correct checksum
// (so the fuzzer reaches the decoders and reply handlers without guessing CRCs).
#include "FuzzInput.h"
#include "protocol/FrameEnvelope.h"
#include "protocol/FrameReceiver.h"
#include "protocol/ItemDecoderTable.h"
#include "protocol/ModelTable.h"
#include "protocol/WaveformHistory.h"
#include "recording/CsvLayout.h"

#include <cstdlib>
#include <vector>

namespace {

using namespace orvanta;

class Effects : public protocol::ReceiverEffects {
public:
    Effects(protocol::MeasurementRecord& record, int model, int recordingState)
        : record_(record), model_(model), recordingState_(recordingState) {}
    int CurrentModelIndex() const override { return model_; }
    void PostDeviceStatus(std::uint8_t status) override { lastStatus_ = status; }
    void KillReplyTimer() override {}
    void DataFrameDecoded(const protocol::ArrivalTime&) override {
        if (recordingState_ == 0) {
            return;
        }
        // What AppendRow puts in the row buffer.
        const recording::LocalTime time{2026, 12, 9, 3, 12, 0, 0};
        const std::string row = recording::BuildRow(record_.ItemText, model_, time);
        if (row.empty() || row.back() != '\n') {
            std::abort();
        }
        rowBytes_ += row.size();
    }
    void SetAutoOutputSeen() override {}
    void ClearAwaitItemMask() override {}
    void RefreshItemBoxes() override {}
    void ClearAwaitGravity() override {}
    void ShowDeclination(std::string_view text) override { declination_ = text; }
    void EndPendingCommand() override {}

private:
    protocol::MeasurementRecord& record_;
    int model_;
    int recordingState_;
    std::uint8_t lastStatus_ = 0;
    std::size_t rowBytes_ = 0;
    std::string declination_;
};

constexpr std::uint8_t kCommands[] = {0x01, 0x57, 0x59, 0x90, 0x52, 0xB3, 0x42, 0x55,
                                      0x14, 0x17, 0x57, 0x90, 0x59, 0x01, 0x90, 0x57};

std::vector<std::uint8_t> Frames(fuzz::FuzzInput& in) {
    std::vector<std::uint8_t> out;
    while (!in.empty()) {
        const std::uint8_t piece = in.Byte();
        if (piece & 0x80) {
            const auto raw = in.Take(piece & 0x7F);
            out.insert(out.end(), raw.begin(), raw.end());
            continue;
        }
        const std::uint8_t command = (piece & 0x10) ? in.Byte() : kCommands[piece & 0x0F];
        std::size_t length = in.Byte();
        if (piece & 0x20) {
            length = length * 2 + (in.Byte() & 1); // up to 511: over the limit too
        }
        const auto taken = in.Take(length);
        std::vector<std::uint8_t> payload(taken.begin(), taken.end());
        payload.resize(length, 0);
        std::vector<std::uint8_t> frame =
            protocol::EncodeFrame(protocol::kDeviceFrame, command, payload);
        if (piece & 0x40) {
            frame.back() = in.Byte(); // sometimes a wrong end byte
        }
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput in(data, size);
    const std::uint8_t selector = in.Byte();
    protocol::MeasurementRecord record;
    // Masks: either one of the model masks or free bits.
    const std::uint32_t freeDefault = in.U32();
    const std::uint32_t freeSpecified = in.U32();
    const std::uint8_t units = in.Byte();
    const int model = in.Byte() % 4; // 3: an index outside the table, treated as 0
    const int recordingState = in.Byte() % 3;
    std::uint32_t blockSeed = in.Byte() | 1u;
    const bool framed = (selector & 0x80) != 0;
    record.DefaultItemMask = (selector & 1) ? freeDefault : protocol::ModelRow(model % 3).itemMask;
    record.SpecifiedItemMask = (selector & 2) ? freeSpecified : freeDefault;
    record.AngleUnit = units & 1;
    record.AccelUnit = (units >> 1) & 1;
    protocol::ClearAllItems(record);

    protocol::WaveformHistory history;
    Effects effects(record, model, recordingState);
    protocol::FrameReceiver receiver(record, history, effects);
    if (selector & 4) {
        receiver.SetState(protocol::ReceiveState::AwaitingReply);
    }

    std::vector<std::uint8_t> stream;
    if (framed) {
        stream = Frames(in);
    } else {
        const auto rest = in.Rest();
        stream.assign(rest.begin(), rest.end());
    }
    std::size_t at = 0;
    while (at < stream.size()) {
        blockSeed = blockSeed * 1103515245u + 12345u;
        std::size_t block = 1 + (blockSeed >> 16) % 97;
        if (block > stream.size() - at) {
            block = stream.size() - at;
        }
        receiver.FeedBytes(stream.data() + at, static_cast<std::uint32_t>(block));
        at += block;
        if ((blockSeed >> 8) % 13 == 0) {
            receiver.SetState(protocol::ReceiveState::ReplyTimedOut); // the reply timer fired
        }
        receiver.MonitorText().clear(); // the echo timer takes the text
    }
    if (receiver.Miscount() < 0) {
        std::abort();
    }
    (void)protocol::SnapRate(receiver.TakeDataFrameCount(),
                             protocol::ModelRow(model % 3).frequencies);
    return 0;
}
