#pragma once

// Device-side frames and payloads for the receive-path tests.

#include "support/FrameBytes.h"

#include <bit>
#include <cstdint>
#include <vector>

namespace orvanta::protocol::testing {

using Bytes = std::vector<std::uint8_t>;

using orvanta::testing::MakeFrame;

// Little-endian payload fields.
class PayloadWriter {
public:
    PayloadWriter& U8(std::uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    PayloadWriter& U16(std::uint16_t v) { return Le(v, 2); }
    PayloadWriter& U32(std::uint32_t v) { return Le(v, 4); }
    PayloadWriter& F32(float v) { return Le(std::bit_cast<std::uint32_t>(v), 4); }
    PayloadWriter& F64(double v) { return Le(std::bit_cast<std::uint64_t>(v), 8); }
    PayloadWriter& F32x3(float a, float b, float c) { return F32(a).F32(b).F32(c); }
    Bytes bytes() const { return bytes_; }

private:
    PayloadWriter& Le(std::uint64_t v, int size) {
        for (int i = 0; i < size; ++i) {
            bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
        return *this;
    }
    Bytes bytes_;
};

// A payload with all thirteen items (121 bytes), values chosen to exercise every slot.
inline Bytes FullPayload() {
    return PayloadWriter()
        .F32x3(0.1f, -0.2f, 3.0f)    // Euler, rad
        .F32x3(0.01f, 0.02f, -0.03f) // Gyro, rad/s
        .F32x3(0.0f, 0.0f, 9.8f)     // Acc, m/s^2
        .F32x3(25.5f, -3.25f, 40.0f) // Mag
        .F32(36.5f)
        .F32(-5.125f) // Tempe
        .U32(123456)  // Runtime, ms
        .U32(345678901)
        .U8(0xEB)
        .U8(14) // GPS: time of week, status, satellites
        .U16(12345)
        .U16(0xFFFF) // QNE + skipped
        .U16(60000)
        .U16(0x1234) // Baro + skipped
        .F64(39.9042110)
        .F64(116.4073950)
        .F64(43.5)                 // Position
        .F32x3(1.5f, -0.25f, 0.0f) // Velocity
        .U16(2024)
        .U8(6)
        .U8(11)
        .U8(23)
        .U8(59)
        .U8(7)        // UTC
        .F32(271.75f) // Mag.Head
        .bytes();
}

} // namespace orvanta::protocol::testing
