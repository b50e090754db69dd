#include "protocol/FrameReceiver.h"

#include "protocol/FrameCrc16.h"
#include "protocol/FrameEnvelope.h"
#include "protocol/ItemDecoderTable.h"
#include "protocol/NumberText.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace orvanta::protocol {

namespace {

constexpr std::uint8_t kAcknowledge = 0x01;
constexpr std::uint8_t kDefaultAnswerData = 0x57;
constexpr std::uint8_t kSpecifiedAnswerData = 0x59;
constexpr std::uint8_t kDefaultAutoData = 0x90;

std::uint32_t ReadU32(std::span<const std::uint8_t> payload) {
    return static_cast<std::uint32_t>(payload[0]) | static_cast<std::uint32_t>(payload[1]) << 8 |
           static_cast<std::uint32_t>(payload[2]) << 16 |
           static_cast<std::uint32_t>(payload[3]) << 24;
}

float ReadFloat(std::span<const std::uint8_t> payload) {
    return std::bit_cast<float>(ReadU32(payload));
}

// A reply too short for its 4-byte value is not applied: the await flags stay set, so the
// connect sequence asks again. It still ends the pending command like any reply.
void ItemMaskReply(std::span<const std::uint8_t> payload, const ReplyContext& context) {
    if (payload.size() < 4) {
        return;
    }
    context.record.DefaultItemMask.store(ReadU32(payload));
    context.effects.ClearAwaitItemMask();
    context.effects.RefreshItemBoxes();
}

void GravityReply(std::span<const std::uint8_t> payload, const ReplyContext& context) {
    if (payload.size() < 4) {
        return;
    }
    context.record.GravityValue = ReadFloat(payload);
    AssignFixed(context.record.GravityText, context.record.GravityValue, 3);
    context.effects.ClearAwaitGravity();
}

void DeclinationReply(std::span<const std::uint8_t> payload, const ReplyContext& context) {
    if (payload.size() < 4) {
        return;
    }
    char text[kFixedTextCapacity + 2];
    std::size_t length = FormatFixed(text, ReadFloat(payload), 3);
    text[length++] = '\xC2'; // U+00B0 DEGREE SIGN in UTF-8
    text[length++] = '\xB0';
    context.effects.ShowDeclination(std::string_view(text, length));
}

} // namespace

const std::array<ReplyHandlerEntry, 6> ReplyHandlerTable = {{
    {0x52, ItemMaskReply},
    {0x55, nullptr},
    {0x14, nullptr},
    {0xB3, GravityReply},
    {0x17, nullptr},
    {0x42, DeclinationReply},
}};

FrameReceiver::FrameReceiver(MeasurementRecord& record, protocol::WaveformHistory& history,
                             ReceiverEffects& effects)
    : record_(record), history_(history), effects_(effects) {}

void FrameReceiver::ResetMiscount() {
    miscount_ = 0;
    miscountText_.assign(1, '0');
}

std::uint32_t FrameReceiver::TakeDataFrameCount() {
    return std::exchange(dataFrameCount_, 0);
}

void FrameReceiver::FeedBytes(const std::uint8_t* bytes, std::uint32_t count, ArrivalTime arrival) {
    arrival_ = arrival;
    std::size_t at = 0;
    while (at < count) {
        const std::size_t left = count - at;
        switch (state_) {
        case ReceiveState::Header:
            at += CollectHeader(bytes + at, left);
            break;
        case ReceiveState::Body:
            at += CollectBody(bytes + at, left);
            break;
        default: // Idle, AwaitingReply, ReplyTimedOut, or any value set from outside
            at += Hunt(bytes + at, left);
            break;
        }
    }
}

// Bytes before a sync byte are dropped unseen.
std::size_t FrameReceiver::Hunt(const std::uint8_t* bytes, std::size_t count) {
    const auto* sync = static_cast<const std::uint8_t*>(std::memchr(bytes, kFrameStart, count));
    if (sync == nullptr) {
        return count;
    }
    monitorText_ += "Rx: ";
    count_ = 0;
    Store(sync, 1);
    state_ = ReceiveState::Header;
    return static_cast<std::size_t>(sync - bytes) + 1;
}

std::size_t FrameReceiver::CollectHeader(const std::uint8_t* bytes, std::size_t count) {
    const std::size_t taken = std::min(count, kFrameHeaderSize - count_);
    Store(bytes, taken);
    if (count_ == kFrameHeaderSize) {
        expected_ = (buffer_[3] * 256 + buffer_[4]) + 8;
        if (expected_ > kMaxFrameLength) {
            // Abandoned unchecked: the five bytes are not searched again for a sync byte.
            monitorText_ += "\r\n";
            state_ = ReceiveState::Idle;
        } else {
            state_ = ReceiveState::Body;
        }
    }
    return taken;
}

// The frame ends with the first 0x03 stored at or beyond the declared length. Before the
// declared length every byte is data, so those are taken in one run.
std::size_t FrameReceiver::CollectBody(const std::uint8_t* bytes, std::size_t count) {
    const auto expected = static_cast<std::size_t>(expected_);
    if (count_ + 1 < expected) {
        const std::size_t taken = std::min(count, expected - 1 - count_);
        Store(bytes, taken);
        return taken;
    }
    const std::size_t room = kBufferSize - count_;
    const std::size_t span = std::min(count, room);
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(bytes, kFrameEnd, span));
    if (end != nullptr) {
        const auto taken = static_cast<std::size_t>(end - bytes) + 1;
        Store(bytes, taken);
        bytesAfterFrame_ = count - taken;
        CompleteFrame();
        return taken;
    }
    Store(bytes, span);
    if (count_ == kBufferSize) {
        AbandonFrame();
    }
    return span;
}

void FrameReceiver::OnFrameSent(const std::uint8_t* bytes, std::size_t length) {
    monitorText_ += "Tx: ";
    AppendHexEcho(monitorText_, bytes, length);
    monitorText_ += "\r\n";
    state_ = ReceiveState::AwaitingReply;
}

void FrameReceiver::Store(const std::uint8_t* bytes, std::size_t count) {
    std::memcpy(buffer_.data() + count_, bytes, count);
    count_ += count;
    AppendHexEcho(monitorText_, bytes, count);
}

void FrameReceiver::CompleteFrame() {
    monitorText_ += "\r\n";
    effects_.KillReplyTimer();
    state_ = ReceiveState::Idle;
    const std::uint16_t crc = FrameCrc16(buffer_.data() + 2, count_ - 5);
    if (buffer_[count_ - 3] != (crc >> 8) || buffer_[count_ - 2] != (crc & 0xFF)) {
        CountMiss();
        return;
    }
    const auto payloadLength = static_cast<std::size_t>(expected_) - 8;
    Dispatch(buffer_[2],
             std::span<const std::uint8_t>(buffer_.data() + kFrameHeaderSize, payloadLength));
}

// A frame that fills the buffer without an end byte cannot be checked; it counts as a
// failed frame, and the hunt resumes with the next byte.
void FrameReceiver::AbandonFrame() {
    monitorText_ += "\r\n";
    state_ = ReceiveState::Idle;
    CountMiss();
}

ArrivalTime FrameReceiver::FrameArrival() {
    ArrivalTime time = arrival_;
    if (time.monotonicNs == 0 && time.realtimeNs == 0) {
        return time; // not known: the recorder stamps the row itself
    }
    std::int64_t shift = -static_cast<std::int64_t>(bytesAfterFrame_) * byteNs_;
    constexpr std::int64_t kLeastStep = 1000;
    if (time.monotonicNs + shift < lastFrameMonotonicNs_ + kLeastStep) {
        shift = lastFrameMonotonicNs_ + kLeastStep - time.monotonicNs;
    }
    time.monotonicNs += shift;
    time.realtimeNs += shift;
    lastFrameMonotonicNs_ = time.monotonicNs;
    return time;
}

void FrameReceiver::CountMiss() {
    ++miscount_;
    AssignDecimal(miscountText_, miscount_);
}

void FrameReceiver::Dispatch(std::uint8_t command, std::span<const std::uint8_t> payload) {
    switch (command) {
    case kAcknowledge:
        effects_.PostDeviceStatus(payload.empty() ? kMissingStatus : payload[0]);
        return;
    case kDefaultAnswerData:
    case kSpecifiedAnswerData:
    case kDefaultAutoData: {
        ++dataFrameCount_;
        if (command == kDefaultAutoData) {
            effects_.SetAutoOutputSeen();
        }
        const std::uint32_t mask = command == kSpecifiedAnswerData
                                       ? record_.SpecifiedItemMask.load()
                                       : record_.DefaultItemMask.load();
        DecodeDataFrame(mask, payload, {record_, history_, effects_.CurrentModelIndex()});
        dataFrame_ = {mask, payload};
        effects_.DataFrameDecoded(FrameArrival());
        dataFrame_ = {};
        return;
    }
    default:
        break;
    }
    const ReplyContext context{record_, effects_};
    for (const ReplyHandlerEntry& entry : ReplyHandlerTable) {
        if (entry.command == command) {
            if (entry.handler != nullptr) {
                entry.handler(payload, context);
            }
            break;
        }
    }
    effects_.EndPendingCommand();
}

} // namespace orvanta::protocol
