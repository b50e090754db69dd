#pragma once

#include "publish/BrokerUrl.h"
#include "recording/CaptureReplay.h"
#include "recording/CsvLayout.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta::headless {

// The command line of the headless mode:
// orvanta --headless [--port PATH[@MODEL]]... [--baud RATE] [--parity N|O|E]
//         [--model VK100|VK200-210|VN300] [--mode 0|1|2] [--freq-index I] [--record]
//         [--duration SECONDS] [--monitor] [--capture FILE] [--csv-format designed|utf8]
// orvanta --headless --replay FILE [--speed X|max] [--model NAME] [--record]
//         [--duration SECONDS] [--monitor] [--csv-format designed|utf8]
// Either may publish: [--publish URL [--device-name NAME] [--mqtt-qos 0|1] [--mqtt-ca FILE]]

// One --port: the device path and, after an "@", the model of the device there.
struct PortChoice {
    std::string path;
    std::optional<int> model; // model table row; none: --model, or the configured one
    bool operator==(const PortChoice&) const = default;
};
inline constexpr std::size_t kMaxPorts = 16;

struct HeadlessOptions {
    std::vector<PortChoice> ports; // in the order given; several record side by side
    std::optional<unsigned> baud;
    std::optional<char> parity;
    std::optional<int> model; // model table row, for the ports without their own
    std::optional<int> mode;
    std::optional<int> frequencyIndex;
    bool record = false;
    std::optional<double> durationSeconds;
    bool monitor = false;
    std::optional<std::string> capture; // write the raw bytes of the run here
    std::optional<std::string> replay;  // play this capture instead of opening a port
    recording::ReplaySpeed speed;
    // The CSV file's format for this run; none: as the configuration file says.
    std::optional<recording::CsvFormat> csvFormat;
    // Publishing over MQTT; the password comes from ORVANTA_MQTT_PASSWORD.
    std::optional<publish::BrokerUrl> publish;
    std::optional<std::string> deviceName;
    int mqttQos = 0;
    std::optional<std::string> mqttCa;
};

struct HeadlessParse {
    std::optional<HeadlessOptions> options; // empty when the arguments are unusable
    std::string error;                      // why, for the usage text
};

// args excludes the program name and includes "--headless". Pure; any thread.
HeadlessParse ParseHeadlessArgs(const std::vector<std::string>& args);

extern const char* const kHeadlessUsage;

// Why a --speed value is refused, for the window's command line too.
extern const char* const kBadSpeed;
extern const char* const kSpeedWithoutReplay;

} // namespace orvanta::headless
