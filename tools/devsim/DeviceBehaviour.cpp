#include "devsim/DeviceBehaviour.h"

#include "devsim/DeviceFrame.h"
#include "devsim/PayloadEncoder.h"

#include <algorithm>
#include <bit>

namespace orvanta::devsim {

namespace {

// Host command and device reply codes.
constexpr std::uint8_t kSetBaud = 0x12, kSave = 0x24, kSetDeclination = 0x40,
                       kQueryDeclination = 0x41, kSetItemMask = 0x50, kQueryItemMask = 0x51,
                       kSetOutputMode = 0x53, kPollDefault = 0x56, kPollSpecified = 0x58,
                       kCalibrate = 0x70, kSetGravity = 0xB1, kQueryGravity = 0xB2;
constexpr std::uint8_t kAcknowledge = 0x01, kDeclinationReply = 0x42, kItemMaskReply = 0x52,
                       kDefaultData = 0x57, kSpecifiedData = 0x59, kAutoData = 0x90,
                       kGravityReply = 0xB3;

std::uint32_t U32At(const std::vector<std::uint8_t>& p, std::size_t at) {
    return std::uint32_t{p[at]} | (std::uint32_t{p[at + 1]} << 8) |
           (std::uint32_t{p[at + 2]} << 16) | (std::uint32_t{p[at + 3]} << 24);
}

std::vector<std::uint8_t> U32Bytes(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

// The value of a write command: one zero byte, then four bytes.
bool WriteValue(const ParsedCommand& command, std::uint32_t& value) {
    if (command.payload.size() != 5) {
        return false;
    }
    value = U32At(command.payload, 1);
    return true;
}

DeviceReply Reply(std::uint8_t code, const std::vector<std::uint8_t>& payload) {
    return DeviceReply{BuildDeviceFrame(code, payload), false, std::nullopt};
}

} // namespace

DeviceSettings PowerUpSettings(Model model, std::uint32_t baud, std::uint8_t autoDivider) {
    DeviceSettings s;
    s.baud = baud;
    s.itemMask = ProfileOf(model).itemMask;
    s.autoOutput = autoDivider != 0;
    s.divider = autoDivider != 0 ? autoDivider : 1;
    return s;
}

bool IsSettingCommand(std::uint8_t code) {
    switch (code) {
    case kSetBaud:
    case kSave:
    case kSetDeclination:
    case kSetItemMask:
    case kSetOutputMode:
    case kCalibrate:
    case kSetGravity:
        return true;
    default:
        return false;
    }
}

DeviceBehaviour::DeviceBehaviour(Model model, DeviceSettings initial, SettingAnswer settingAnswer)
    : m_profile(&ProfileOf(model)), m_settings(initial), m_saved(initial),
      m_settingAnswer(settingAnswer) {}

double DeviceBehaviour::AutoRate() const {
    if (!m_settings.autoOutput || m_settings.divider == 0) {
        return 0;
    }
    return static_cast<double>(m_profile->topRate) / m_settings.divider;
}

DeviceReply DeviceBehaviour::Ack(std::uint8_t status) const {
    return Reply(kAcknowledge, {status});
}

DeviceReply DeviceBehaviour::AutoFrame(const SensorSample& sample) const {
    DeviceReply reply = Reply(kAutoData, EncodeItems(m_settings.itemMask, sample));
    reply.isData = true;
    return reply;
}

std::vector<DeviceReply> DeviceBehaviour::Handle(const ParsedCommand& command,
                                                 const SensorSample& sample) {
    if (m_settingAnswer != SettingAnswer::Normal && IsSettingCommand(command.code)) {
        if (m_settingAnswer == SettingAnswer::Mute) {
            return {};
        }
        return {Ack(status::kParamError)};
    }
    std::uint32_t value = 0;
    switch (command.code) {
    case kQueryItemMask:
        return {Reply(kItemMaskReply, U32Bytes(m_settings.itemMask))};
    case kQueryGravity:
        return {Reply(kGravityReply, U32Bytes(std::bit_cast<std::uint32_t>(m_settings.gravity)))};
    case kQueryDeclination:
        return {Reply(kDeclinationReply,
                      U32Bytes(std::bit_cast<std::uint32_t>(m_settings.declination)))};
    case kPollDefault: {
        DeviceReply reply = Reply(kDefaultData, EncodeItems(m_settings.itemMask, sample));
        reply.isData = true;
        return {reply};
    }
    case kPollSpecified: {
        if (command.payload.size() != 4) {
            return {Ack(status::kParamError)};
        }
        DeviceReply reply = Reply(kSpecifiedData, EncodeItems(U32At(command.payload, 0), sample));
        reply.isData = true;
        return {reply};
    }
    case kSetBaud: {
        const auto& table = m_profile->baudTable;
        if (!WriteValue(command, value) ||
            std::find(table.begin(), table.end(), value) == table.end()) {
            return {Ack(status::kParamError)};
        }
        m_settings.baud = value;
        DeviceReply ack = Ack(status::kOk);
        ack.baudAfter = value;
        return {ack};
    }
    case kSave:
        m_saved = m_settings;
        return {Ack(status::kOk)};
    case kSetDeclination:
        if (!WriteValue(command, value)) {
            return {Ack(status::kParamError)};
        }
        m_settings.declination = std::bit_cast<float>(value);
        return {Ack(status::kOk)};
    case kSetItemMask:
        if (!WriteValue(command, value) || (value & ~kAllItems) != 0) {
            return {Ack(status::kParamError)};
        }
        m_settings.itemMask = value;
        return {Ack(status::kOk)};
    case kSetOutputMode: {
        const auto& p = command.payload;
        // A zero byte, the automatic flag and the divider; automatic output needs a divider.
        if (p.size() != 3 || p[1] > 1 || (p[1] == 1 && p[2] == 0)) {
            return {Ack(status::kParamError)};
        }
        m_settings.autoOutput = p[1] == 1;
        if (m_settings.autoOutput) {
            m_settings.divider = p[2];
        }
        return {Ack(status::kOk)};
    }
    case kCalibrate: {
        const auto& p = command.payload;
        const bool known = p.size() == 1 && (p[0] == 0x08 || p[0] == 0x0A || p[0] == 0x09);
        return {Ack(known ? status::kOk : status::kParamError)};
    }
    case kSetGravity: {
        if (!WriteValue(command, value)) {
            return {Ack(status::kParamError)};
        }
        const float gravity = std::bit_cast<float>(value);
        if (!(gravity > 0.0f)) {
            return {Ack(status::kParamError)};
        }
        m_settings.gravity = gravity;
        return {Ack(status::kOk)};
    }
    default:
        return {Ack(status::kCommandError)};
    }
}

} // namespace orvanta::devsim
