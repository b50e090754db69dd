#pragma once

#include "devsim/SensorGenerator.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvanta::devsim {

// Bytes each output item takes in a data payload; bits outside the thirteen items take 0.
std::size_t ItemPayloadSize(std::uint32_t mask);

// The data payload for the items of mask, in ascending bit order, little-endian: the
// inverse of the host's item decoders. Pure; any thread.
std::vector<std::uint8_t> EncodeItems(std::uint32_t mask, const SensorSample& sample);

} // namespace orvanta::devsim
