#include "protocol/CommandFrame.h"

#include "protocol/FrameCrc16.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace orvanta::protocol {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const CommandFrame& frame) {
    return {frame.view().begin(), frame.view().end()};
}

TEST(FrameCrc16Test, CheckValueOfNineDigits) {
    const char* digits = "123456789";
    EXPECT_EQ(FrameCrc16(reinterpret_cast<const std::uint8_t*>(digits), std::strlen(digits)),
              0x2189);
}

TEST(FrameCrc16Test, EmptyInputIsZero) {
    EXPECT_EQ(FrameCrc16(nullptr, 0), 0);
}

struct FrameExample {
    const char* name;
    CommandFrame frame;
    Bytes expected;
};

TEST(CommandFrameTest, KnownFrames) {
    const std::uint32_t baud = 115200;
    const std::uint8_t baudBytes[4] = {
        static_cast<std::uint8_t>(baud), static_cast<std::uint8_t>(baud >> 8),
        static_cast<std::uint8_t>(baud >> 16), static_cast<std::uint8_t>(baud >> 24)};
    const std::uint8_t answerMode[2] = {0, 0};
    const std::uint8_t autoMode[2] = {1, 10};
    const FrameExample examples[] = {
        {"save",
         BuildBareCommand(CommandCode::SaveSettings),
         {0xFF, 0x02, 0x24, 0x00, 0x00, 0x60, 0x5A, 0x03}},
        {"baud 115200",
         BuildWriteCommand(CommandCode::SetDeviceBaud, baudBytes),
         {0xFF, 0x02, 0x12, 0x00, 0x05, 0x00, 0x00, 0xC2, 0x01, 0x00, 0xE2, 0x6A, 0x03}},
        {"answer output",
         BuildWriteCommand(CommandCode::SetOutputMode, answerMode),
         {0xFF, 0x02, 0x53, 0x00, 0x03, 0x00, 0x00, 0x00, 0x69, 0xD1, 0x03}},
        {"auto output divider 10",
         BuildWriteCommand(CommandCode::SetOutputMode, autoMode),
         {0xFF, 0x02, 0x53, 0x00, 0x03, 0x00, 0x01, 0x0A, 0xDF, 0x53, 0x03}},
        {"give up calibration",
         BuildByteCommand(CommandCode::Calibrate,
                          static_cast<std::uint8_t>(CalibrationAction::GiveUp)),
         {0xFF, 0x02, 0x70, 0x00, 0x01, 0x09, 0xDE, 0x5C, 0x03}},
    };
    for (const auto& example : examples) {
        EXPECT_EQ(ToBytes(example.frame), example.expected) << example.name;
    }
}

TEST(CommandFrameTest, BuilderShapesHaveTheirLengths) {
    EXPECT_EQ(BuildBareCommand(CommandCode::QueryItemMask).length, 8u);
    EXPECT_EQ(BuildByteCommand(CommandCode::Calibrate, 8).length, 9u);
    EXPECT_EQ(BuildMaskCommand(CommandCode::PollSpecified, 0x0A1F087A).length, 12u);
    const std::uint8_t four[4] = {1, 2, 3, 4};
    EXPECT_EQ(BuildWriteCommand(CommandCode::SetGravity, four).length, 13u);
}

TEST(CommandFrameTest, MaskIsLittleEndianAndChecksumCoversCodeLengthPayload) {
    const CommandFrame frame = BuildMaskCommand(CommandCode::PollSpecified, 0x0A1F087A);
    const Bytes bytes = ToBytes(frame);
    EXPECT_EQ((Bytes{bytes.begin() + 5, bytes.begin() + 9}), (Bytes{0x7A, 0x08, 0x1F, 0x0A}));
    const std::uint16_t crc = FrameCrc16(bytes.data() + 2, 7);
    EXPECT_EQ(bytes[9], crc >> 8);
    EXPECT_EQ(bytes[10], crc & 0xFF);
    EXPECT_EQ(bytes[11], 0x03);
    // The envelope refuses what it cannot hold rather than write past it.
    std::uint8_t small[CommandFrame::kOverhead];
    const std::uint8_t one[1] = {0};
    EXPECT_EQ(EncodeFrameInto(small, kHostFrame, 0x24, one), 0u);
    EXPECT_EQ(EncodeFrameInto(small, kHostFrame, 0x24, {}), CommandFrame::kOverhead);
    EXPECT_TRUE(EncodeFrame(kDeviceFrame, 0x90, Bytes(kMaxFramePayload + 1)).empty());
}

} // namespace
} // namespace orvanta::protocol
