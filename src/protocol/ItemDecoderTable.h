#pragma once

#include "protocol/MeasurementRecord.h"
#include "protocol/WaveformHistory.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace orvanta::protocol {

// What the decoders write to, and the device model that decides how the GPS status byte
// is read. Passed per frame; the model can change between any two frames.
struct DecodeContext {
    MeasurementRecord& record;
    protocol::WaveformHistory& history;
    int modelIndex = 0;
};

// A decoder reads exactly `size` bytes at item; a clearer empties the item's slots and
// touches neither the attitude nor the history.
using ItemDecoder = void (*)(const std::uint8_t* item, const DecodeContext& context);
using ItemClearer = void (*)(MeasurementRecord& record);

struct ItemDecoderEntry {
    std::uint32_t bit;
    std::size_t size;
    ItemDecoder decoder;
    ItemClearer clearer;
};

// The thirteen output items in payload order (ascending bit).
extern const std::array<ItemDecoderEntry, 13> ItemDecoderTable;

// Payload bytes the items of a mask take; bits outside the thirteen take none.
std::size_t PayloadSizeOf(std::uint32_t mask);

// Decodes the items of mask from payload (the frame's L bytes) into the record and the
// history, and clears the slots of absent items. A present item that does not lie wholly
// inside the payload is cleared as if absent; nothing past the payload is read.
// Main thread only (it writes the record and the history).
void DecodeDataFrame(std::uint32_t mask, std::span<const std::uint8_t> payload,
                     const DecodeContext& context);

// Runs every clearer: the record as before the first frame (attitude and history kept).
void ClearAllItems(MeasurementRecord& record);

} // namespace orvanta::protocol
