#pragma once

#include "protocol/MeasurementRecord.h"
#include "protocol/ReceiverEffects.h"
#include "protocol/WaveformHistory.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace orvanta::protocol {

enum class ReceiveState : std::int32_t {
    Idle = 0,          // hunting for 0xFF
    AwaitingReply = 1, // a command frame was just sent; hunting for 0xFF
    Header = 2,        // collecting offsets 1 to 4
    Body = 3,          // collecting payload, checksum and end byte
    ReplyTimedOut = 5, // the reply timer expired; hunting for 0xFF
};

// A reply handler gets the payload of a good reply frame (exactly L bytes).
struct ReplyContext {
    MeasurementRecord& record;
    ReceiverEffects& effects;
};
using ReplyHandler = void (*)(std::span<const std::uint8_t> payload, const ReplyContext& context);

struct ReplyHandlerEntry {
    std::uint8_t command;
    ReplyHandler handler; // null: the reply only ends the pending command
};

// 0x52 item mask, 0x55, 0x14, 0xB3 gravity, 0x17, 0x42 declination; searched in order.
extern const std::array<ReplyHandlerEntry, 6> ReplyHandlerTable;

// Cuts the device's byte stream into frames, checks their checksums, echoes them into
// MonitorText and dispatches the good ones: acknowledgements to the effects, data frames
// to the item decoders, other replies to the ReplyHandlerTable. Main thread only.
class FrameReceiver {
public:
    static constexpr std::size_t kBufferSize = 4096;
    static constexpr std::int32_t kMaxFrameLength = 512;
    // Status posted for an acknowledgement that carries no status byte; the host shows
    // it like any unknown status, as a failure.
    static constexpr std::uint8_t kMissingStatus = 0xFF;

    FrameReceiver(MeasurementRecord& record, protocol::WaveformHistory& history,
                  ReceiverEffects& effects);

    // Processes the bytes in order; a frame may span any number of calls. arrival is when
    // the block was read; each data frame is handed on with the time of its last block,
    // less the line time of the bytes that followed it in that block, and always after the
    // frame before (by a microsecond at least), so that every frame has its own instant.
    void FeedBytes(const std::uint8_t* bytes, std::uint32_t count, ArrivalTime arrival = {});
    void FeedBytes(std::span<const std::uint8_t> bytes, ArrivalTime arrival = {}) {
        FeedBytes(bytes.data(), static_cast<std::uint32_t>(bytes.size()), arrival);
    }

    // A link was opened: a byte takes byteNs on its line (start, data, parity and stop
    // bits), 0 when the bytes do not come over a line at a known rate (a replay); the
    // frames' times start afresh.
    void StartLine(std::int64_t byteNs) {
        byteNs_ = byteNs;
        lastFrameMonotonicNs_ = 0;
    }

    // Sending a command, the reply timer and a new connection set the state from outside;
    // a frame being collected is then abandoned and the next one found by the hunt.
    ReceiveState State() const { return state_; }
    void SetState(ReceiveState state) { state_ = state; }

    // A command frame went to the device: its "Tx: " line joins the echo and the reply is
    // awaited.
    void OnFrameSent(const std::uint8_t* bytes, std::size_t length);

    // The echo: "Rx: ", "%02x " per byte of each collected frame, "\r\n", and the sent
    // frames' "Tx: " lines; the echo timer moves the text out.
    std::string& MonitorText() { return monitorText_; }
    const std::string& MonitorText() const { return monitorText_; }

    // Frames that failed their checksum (or overran the buffer) since the last reset.
    std::int32_t Miscount() const { return miscount_; }
    const std::string& MiscountText() const { return miscountText_; }
    void ResetMiscount();

    // The data frame being dispatched, for DataFrameDecoded: the mask it was decoded with
    // and its payload, which is valid only during that call.
    struct DataFrame {
        std::uint32_t mask = 0;
        std::span<const std::uint8_t> payload;
    };
    const DataFrame& CurrentDataFrame() const { return dataFrame_; }

    // Data frames since the last take; the rate timer takes it every second.
    std::uint32_t DataFrameCount() const { return dataFrameCount_; }
    std::uint32_t TakeDataFrameCount();

private:
    std::size_t Hunt(const std::uint8_t* bytes, std::size_t count);
    std::size_t CollectHeader(const std::uint8_t* bytes, std::size_t count);
    std::size_t CollectBody(const std::uint8_t* bytes, std::size_t count);
    void Store(const std::uint8_t* bytes, std::size_t count);
    void CompleteFrame();
    void AbandonFrame();
    void CountMiss();
    void Dispatch(std::uint8_t command, std::span<const std::uint8_t> payload);
    ArrivalTime FrameArrival();

    MeasurementRecord& record_;
    protocol::WaveformHistory& history_;
    ReceiverEffects& effects_;

    std::array<std::uint8_t, kBufferSize> buffer_{};
    std::size_t count_ = 0;
    std::int32_t expected_ = 0;
    ArrivalTime arrival_;             // of the block being fed
    std::size_t bytesAfterFrame_ = 0; // in the block, after the frame just completed
    std::int64_t byteNs_ = 0;
    std::int64_t lastFrameMonotonicNs_ = 0;
    DataFrame dataFrame_;
    ReceiveState state_ = ReceiveState::Idle;
    std::int32_t miscount_ = 0;
    std::string miscountText_ = "0";
    std::uint32_t dataFrameCount_ = 0;
    std::string monitorText_;
};

} // namespace orvanta::protocol
