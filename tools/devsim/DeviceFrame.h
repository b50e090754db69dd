#pragma once

#include "protocol/FrameEnvelope.h"

#include <cstdint>
#include <span>
#include <vector>

namespace orvanta::devsim {

// A device-to-host frame: FF 00 code L(hi) L(lo) payload CRC(hi) CRC(lo) 03. Pure.
inline std::vector<std::uint8_t> BuildDeviceFrame(std::uint8_t code,
                                                  std::span<const std::uint8_t> payload) {
    return protocol::EncodeFrame(protocol::kDeviceFrame, code, payload);
}

} // namespace orvanta::devsim
