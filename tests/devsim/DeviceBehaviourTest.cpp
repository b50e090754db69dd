#include "devsim/DeviceBehaviour.h"

#include "devsim/CommandParser.h"
#include "devsim/PayloadEncoder.h"
#include "protocol/CommandFrame.h"

#include <bit>
#include <gtest/gtest.h>
#include <vector>

namespace orvanta::devsim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using protocol::CommandCode;

ParsedCommand Parse(const protocol::CommandFrame& frame) {
    const ParseStep step = ParseNextCommand(frame.view());
    EXPECT_EQ(step.kind, ParseStep::Kind::Command);
    return step.command;
}

Bytes LittleEndian(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

Bytes FloatBytes(float v) {
    return LittleEndian(std::bit_cast<std::uint32_t>(v));
}

class DeviceBehaviourTest : public ::testing::Test {
protected:
    std::vector<DeviceReply> Send(DeviceBehaviour& device, const protocol::CommandFrame& frame) {
        return device.Handle(Parse(frame), m_sample);
    }
    // The status byte of the single acknowledgement the command got.
    int Status(DeviceBehaviour& device, const protocol::CommandFrame& frame) {
        const auto replies = Send(device, frame);
        if (replies.size() != 1 || replies[0].frame.size() != 9 || replies[0].frame[2] != 0x01) {
            ADD_FAILURE() << "no acknowledgement";
            return -1;
        }
        return replies[0].frame[5];
    }

    SensorSample m_sample = SensorGenerator(7).Sample(1000, {}, 9.8f, 0x3F);
};

TEST_F(DeviceBehaviourTest, QueriesGetByteExactReplies) {
    DeviceBehaviour device(Model::VK100, PowerUpSettings(Model::VK100, 115200, 0));
    struct Case {
        CommandCode code;
        Bytes expected;
    };
    const Case cases[] = {
        {CommandCode::QueryItemMask,
         {0xFF, 0x00, 0x52, 0x00, 0x04, 0x7A, 0x08, 0x1F, 0x0A, 0x91, 0x4E, 0x03}},
        {CommandCode::QueryGravity,
         {0xFF, 0x00, 0xB3, 0x00, 0x04, 0xCD, 0xCC, 0x1C, 0x41, 0x00, 0x00, 0x03}},
        {CommandCode::QueryDeclination,
         {0xFF, 0x00, 0x42, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03}},
    };
    for (const auto& c : cases) {
        const auto replies = Send(device, protocol::BuildBareCommand(c.code));
        ASSERT_EQ(replies.size(), 1u);
        Bytes expected = c.expected;
        // The checksum bytes are checked through the parser, which recomputes them.
        const ParseStep step = ParseNextCommand(replies[0].frame);
        ASSERT_EQ(step.kind, ParseStep::Kind::Command);
        expected[expected.size() - 3] = replies[0].frame[expected.size() - 3];
        expected[expected.size() - 2] = replies[0].frame[expected.size() - 2];
        EXPECT_EQ(replies[0].frame, expected);
        EXPECT_FALSE(replies[0].isData);
    }
}

TEST_F(DeviceBehaviourTest, PollsAnswerWithTheItemsOfTheMask) {
    struct Case {
        Model model;
        std::size_t frameSize;
    };
    // The frame sizes the line rates are worked out from.
    const Case cases[] = {{Model::VK100, 129}, {Model::VK200_210, 44}, {Model::VN300, 98}};
    for (const auto& c : cases) {
        DeviceBehaviour device(c.model, PowerUpSettings(c.model, 115200, 0));
        const auto replies = Send(device, protocol::BuildBareCommand(CommandCode::PollDefault));
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_TRUE(replies[0].isData);
        EXPECT_EQ(replies[0].frame[2], 0x57);
        EXPECT_EQ(replies[0].frame.size(), c.frameSize);
    }
    DeviceBehaviour device(Model::VK100, PowerUpSettings(Model::VK100, 115200, 0));
    const auto replies =
        Send(device, protocol::BuildMaskCommand(CommandCode::PollSpecified, 0x2 | 0x80000));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].frame[2], 0x59);
    EXPECT_EQ(Bytes(replies[0].frame.begin() + 5, replies[0].frame.end() - 3),
              EncodeItems(0x2 | 0x80000, m_sample));
}

TEST_F(DeviceBehaviourTest, SettingsAreAcknowledgedWithTheirStatus) {
    struct Case {
        const char* name;
        protocol::CommandFrame frame;
        int status;
    };
    auto write = [](CommandCode code, const Bytes& data) {
        return protocol::BuildWriteCommand(code, data);
    };
    const Case cases[] = {
        {"baud 115200", write(CommandCode::SetDeviceBaud, LittleEndian(115200)), 0},
        {"baud 230400 on VN300", write(CommandCode::SetDeviceBaud, LittleEndian(230400)), 9},
        {"baud 256000", write(CommandCode::SetDeviceBaud, LittleEndian(256000)), 0},
        {"baud 4800", write(CommandCode::SetDeviceBaud, LittleEndian(4800)), 9},
        {"save", protocol::BuildBareCommand(CommandCode::SaveSettings), 0},
        {"declination", write(CommandCode::SetDeclination, FloatBytes(-3.5f)), 0},
        {"item mask", write(CommandCode::SetItemMask, LittleEndian(0x1A)), 0},
        {"item mask, unknown bit", write(CommandCode::SetItemMask, LittleEndian(0x1B)), 9},
        {"answer output", write(CommandCode::SetOutputMode, {0, 0}), 0},
        {"auto output", write(CommandCode::SetOutputMode, {1, 10}), 0},
        {"auto output, divider 0", write(CommandCode::SetOutputMode, {1, 0}), 9},
        {"calibration start", protocol::BuildByteCommand(CommandCode::Calibrate, 0x08), 0},
        {"calibration stop", protocol::BuildByteCommand(CommandCode::Calibrate, 0x0A), 0},
        {"calibration give up", protocol::BuildByteCommand(CommandCode::Calibrate, 0x09), 0},
        {"calibration 0x07", protocol::BuildByteCommand(CommandCode::Calibrate, 0x07), 9},
        {"gravity 9.81", write(CommandCode::SetGravity, FloatBytes(9.81f)), 0},
        {"gravity 0", write(CommandCode::SetGravity, FloatBytes(0.0f)), 9},
        {"gravity -1", write(CommandCode::SetGravity, FloatBytes(-1.0f)), 9},
        {"unknown code", protocol::BuildBareCommand(static_cast<CommandCode>(0x99)), 4},
    };
    DeviceBehaviour device(Model::VN300, PowerUpSettings(Model::VN300, 115200, 0));
    for (const auto& c : cases) {
        EXPECT_EQ(Status(device, c.frame), c.status) << c.name;
    }
    const DeviceSettings s = device.settings();
    EXPECT_EQ(s.baud, 256000u);
    EXPECT_EQ(s.itemMask, 0x1Au);
    EXPECT_FLOAT_EQ(s.gravity, 9.81f);
    EXPECT_FLOAT_EQ(s.declination, -3.5f);
    EXPECT_TRUE(s.autoOutput);
    EXPECT_EQ(s.divider, 10);
    EXPECT_DOUBLE_EQ(device.AutoRate(), 20.0);
}

TEST_F(DeviceBehaviourTest, ABaudChangeTakesEffectAfterItsAcknowledgement) {
    DeviceBehaviour device(Model::VK100, PowerUpSettings(Model::VK100, 115200, 0));
    const auto replies =
        Send(device, protocol::BuildWriteCommand(CommandCode::SetDeviceBaud, LittleEndian(230400)));
    ASSERT_EQ(replies.size(), 1u);
    ASSERT_TRUE(replies[0].baudAfter.has_value());
    EXPECT_EQ(*replies[0].baudAfter, 230400u);
    const auto refused =
        Send(device, protocol::BuildWriteCommand(CommandCode::SetDeviceBaud, LittleEndian(256000)));
    EXPECT_FALSE(refused[0].baudAfter.has_value()); // not a VK100 rate
}

TEST_F(DeviceBehaviourTest, APowerCycleKeepsOnlySavedSettings) {
    DeviceBehaviour device(Model::VK100, PowerUpSettings(Model::VK100, 115200, 5));
    EXPECT_DOUBLE_EQ(device.AutoRate(), 20.0);
    Send(device, protocol::BuildWriteCommand(CommandCode::SetItemMask, LittleEndian(0x2)));
    Send(device, protocol::BuildBareCommand(CommandCode::SaveSettings));
    Send(device, protocol::BuildWriteCommand(CommandCode::SetOutputMode, Bytes{0, 0}));
    EXPECT_DOUBLE_EQ(device.AutoRate(), 0.0);
    device.PowerCycle();
    EXPECT_EQ(device.settings().itemMask, 0x2u);
    EXPECT_DOUBLE_EQ(device.AutoRate(), 20.0);
}

TEST_F(DeviceBehaviourTest, AutoFramesCarryTheDefaultItems) {
    DeviceBehaviour device(Model::VK200_210, PowerUpSettings(Model::VK200_210, 115200, 1));
    EXPECT_DOUBLE_EQ(device.AutoRate(), 200.0);
    const DeviceReply frame = device.AutoFrame(m_sample);
    EXPECT_TRUE(frame.isData);
    EXPECT_EQ(frame.frame[2], 0x90);
    EXPECT_EQ(frame.frame.size(), 44u);
}

} // namespace
} // namespace orvanta::devsim
