#pragma once

#include "devsim/CommandParser.h"
#include "devsim/DeviceProfile.h"
#include "devsim/SensorGenerator.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace orvanta::devsim {

// The device's settings: what the host can query and change.
struct DeviceSettings {
    std::uint32_t baud = 115200;
    std::uint32_t itemMask = 0;
    float gravity = 9.8f;
    float declination = 0.0f;
    bool autoOutput = false;
    std::uint8_t divider = 1;

    bool operator==(const DeviceSettings&) const = default;
};

// One frame for the line, with what the device does once it has left.
struct DeviceReply {
    std::vector<std::uint8_t> frame;
    bool isData = false;
    std::optional<std::uint32_t> baudAfter; // switch the line to this rate after the frame
};

// Acknowledgement status bytes.
namespace status {
inline constexpr std::uint8_t kOk = 0, kCommandError = 4, kParamError = 9;
}

// How the device answers the setting commands (baud, save, declination write, item mask,
// output mode, calibration, gravity); queries and polls are always answered. For fault
// injection: Reject answers each with status 9 and changes nothing, Mute never answers.
enum class SettingAnswer { Normal, Reject, Mute };

// True for the command codes SettingAnswer applies to.
bool IsSettingCommand(std::uint8_t code);

// The device's answers to host commands, without any I/O: commands in, frames out. One
// thread at a time.
class DeviceBehaviour {
public:
    DeviceBehaviour(Model model, DeviceSettings initial,
                    SettingAnswer settingAnswer = SettingAnswer::Normal);

    // The replies to one good command frame; sample is used by the poll commands.
    std::vector<DeviceReply> Handle(const ParsedCommand& command, const SensorSample& sample);
    // A data frame of the automatic output (0x90) with the current items.
    DeviceReply AutoFrame(const SensorSample& sample) const;

    // Back to the saved settings, as after a power cycle.
    void PowerCycle() { m_settings = m_saved; }

    const DeviceProfile& profile() const { return *m_profile; }
    const DeviceSettings& settings() const { return m_settings; }
    // Frames per second of the automatic output (0 in answer output).
    double AutoRate() const;

private:
    DeviceReply Ack(std::uint8_t status) const;

    const DeviceProfile* m_profile;
    DeviceSettings m_settings;
    DeviceSettings m_saved;
    SettingAnswer m_settingAnswer;
};

// The settings a model starts with, given the line rate and an automatic-output divider
// (0: answer output).
DeviceSettings PowerUpSettings(Model model, std::uint32_t baud, std::uint8_t autoDivider);

} // namespace orvanta::devsim
