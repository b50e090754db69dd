#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orvanta::protocol {

// The envelope of every frame, both ways: FF, second byte, command, L (big-endian), L payload
// bytes, CRC-16 over command, L and payload (high byte first), 03.
inline constexpr std::uint8_t kFrameStart = 0xFF;
inline constexpr std::uint8_t kFrameEnd = 0x03;
inline constexpr std::uint8_t kHostFrame = 0x02;   // second byte of host-to-device frames
inline constexpr std::uint8_t kDeviceFrame = 0x00; // second byte of device-to-host frames
inline constexpr std::size_t kFrameHeaderSize = 5;
inline constexpr std::size_t kFrameOverhead = 8;
inline constexpr std::size_t kMaxFramePayload = 0xFFFF;

// Writes the frame to the front of out; its length, or 0 when out is too small or the
// payload longer than L can say. Pure; any thread.
std::size_t EncodeFrameInto(std::span<std::uint8_t> out, std::uint8_t secondByte,
                            std::uint8_t command, std::span<const std::uint8_t> payload);

// The frame as a vector (empty for a payload longer than kMaxFramePayload). Pure; any thread.
std::vector<std::uint8_t> EncodeFrame(std::uint8_t secondByte, std::uint8_t command,
                                      std::span<const std::uint8_t> payload);

} // namespace orvanta::protocol
