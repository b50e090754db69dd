#include "headless/HeadlessOptions.h"

#include "protocol/ModelTable.h"
#include "protocol/NumberText.h"

#include <charconv>
#include <cmath>

namespace orvanta::headless {

const char* const kBadSpeed = "--speed takes max or a factor from 0.001 to 1000000";
const char* const kSpeedWithoutReplay = "--speed needs --replay";

const char* const kHeadlessUsage =
    "usage: orvanta --headless [--port PATH[@MODEL]]... [--baud RATE] [--parity N|O|E]\n"
    "                          [--model VK100|VK200-210|VN300] [--mode 0|1|2]\n"
    "                          [--freq-index I] [--record] [--duration SECONDS] [--monitor]\n"
    "                          [--capture FILE] [--csv-format designed|utf8]\n"
    "       orvanta --headless --replay FILE [--speed X|max] [--model VK100|VK200-210|VN300]\n"
    "                          [--record] [--duration SECONDS] [--monitor]\n"
    "                          [--csv-format designed|utf8]\n"
    "       either may publish over MQTT: [--publish mqtt[s]://[USER@]HOST[:PORT]/PREFIX\n"
    "                          [--device-name NAME] [--mqtt-qos 0|1] [--mqtt-ca FILE]]\n"
    "                          (the password, if any, in ORVANTA_MQTT_PASSWORD)\n";

namespace {

template <typename Int> std::optional<Int> ParseInt(const std::string& text, Int low, Int high) {
    Int value{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ModelRowNamed(std::string_view name) {
    for (int row = 0; row < protocol::kModelCount; ++row) {
        if (name == protocol::ModelTable[static_cast<std::size_t>(row)].name) {
            return row;
        }
    }
    return std::nullopt;
}

// "PATH@MODEL" when what follows the last "@" names a model; otherwise all of it is the
// path (a device path may hold an "@" of its own).
PortChoice ParsePortChoice(const std::string& value) {
    const std::size_t at = value.rfind('@');
    if (at != std::string::npos && at > 0) {
        if (const auto model = ModelRowNamed(std::string_view(value).substr(at + 1))) {
            return PortChoice{value.substr(0, at), model};
        }
    }
    return PortChoice{value, std::nullopt};
}

} // namespace

HeadlessParse ParseHeadlessArgs(const std::vector<std::string>& args) {
    HeadlessOptions options;
    bool headless = false;
    bool sawSpeed = false;
    bool sawQos = false;
    const auto fail = [](std::string why) { return HeadlessParse{std::nullopt, std::move(why)}; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--port" || arg == "--baud" || arg == "--parity" ||
                                arg == "--model" || arg == "--mode" || arg == "--freq-index" ||
                                arg == "--duration" || arg == "--capture" || arg == "--replay" ||
                                arg == "--speed" || arg == "--csv-format" || arg == "--publish" ||
                                arg == "--device-name" || arg == "--mqtt-qos" || arg == "--mqtt-ca";
        if (takesValue && i + 1 >= args.size()) {
            return fail(arg + " needs a value");
        }
        const std::string value = takesValue ? args[++i] : std::string();
        if (arg == "--headless") {
            headless = true;
        } else if (arg == "--record") {
            options.record = true;
        } else if (arg == "--monitor") {
            options.monitor = true;
        } else if (arg == "--port") {
            const PortChoice choice = ParsePortChoice(value);
            if (choice.path.empty()) {
                return fail("--port needs a device path");
            }
            for (const PortChoice& earlier : options.ports) {
                if (earlier.path == choice.path) {
                    return fail("--port " + choice.path + " is given twice");
                }
            }
            if (options.ports.size() == kMaxPorts) {
                return fail("--port may be given up to 16 times");
            }
            options.ports.push_back(choice);
        } else if (arg == "--baud") {
            options.baud = ParseInt<unsigned>(value, 1, 4000000);
            if (!options.baud) {
                return fail("--baud takes a baud rate");
            }
        } else if (arg == "--parity") {
            if (value != "N" && value != "O" && value != "E") {
                return fail("--parity takes N, O or E");
            }
            options.parity = value[0];
        } else if (arg == "--model") {
            options.model = ModelRowNamed(value); // a later --model replaces an earlier one
            if (!options.model) {
                return fail("--model takes VK100, VK200-210 or VN300");
            }
        } else if (arg == "--mode") {
            options.mode = ParseInt<int>(value, 0, 2);
            if (!options.mode) {
                return fail("--mode takes 0, 1 or 2");
            }
        } else if (arg == "--freq-index") {
            options.frequencyIndex = ParseInt<int>(value, 0, 9);
            if (!options.frequencyIndex) {
                return fail("--freq-index takes 0 to 9");
            }
        } else if (arg == "--duration") {
            char* end = nullptr;
            const double seconds = protocol::ParseDecimal(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0 ||
                seconds > 1e9) {
                return fail("--duration takes a number of seconds");
            }
            options.durationSeconds = seconds;
        } else if (arg == "--capture" || arg == "--replay") {
            if (value.empty()) {
                return fail(arg + " needs a file name");
            }
            (arg == "--capture" ? options.capture : options.replay) = value;
        } else if (arg == "--speed") {
            const auto speed = recording::ParseReplaySpeed(value);
            if (!speed) {
                return fail(kBadSpeed);
            }
            options.speed = *speed;
            sawSpeed = true;
        } else if (arg == "--csv-format") {
            if (value != "designed" && value != "utf8") {
                return fail("--csv-format takes designed or utf8");
            }
            options.csvFormat =
                value == "utf8" ? recording::CsvFormat::Utf8 : recording::CsvFormat::Designed;
        } else if (arg == "--publish") {
            publish::BrokerUrlParse url = publish::ParseBrokerUrl(value);
            if (!url.url) {
                return fail("--publish: " + url.error);
            }
            options.publish = *url.url;
        } else if (arg == "--device-name") {
            if (value.empty()) {
                return fail("--device-name needs a name");
            }
            options.deviceName = value;
        } else if (arg == "--mqtt-qos") {
            if (value != "0" && value != "1") {
                return fail("--mqtt-qos takes 0 or 1");
            }
            options.mqttQos = value[0] - '0';
            sawQos = true;
        } else if (arg == "--mqtt-ca") {
            if (value.empty()) {
                return fail("--mqtt-ca needs a file name");
            }
            options.mqttCa = value;
        } else {
            return fail("unknown argument: " + arg);
        }
    }
    if (!headless) {
        return fail("--headless is missing");
    }
    if (!options.publish && (options.deviceName || options.mqttCa || sawQos)) {
        return fail("--device-name, --mqtt-qos and --mqtt-ca need --publish");
    }
    if (sawSpeed && !options.replay) {
        return fail(kSpeedWithoutReplay);
    }
    if (options.replay) {
        // A replay has no line to set up and sends nothing.
        const std::pair<bool, const char*> excluded[] = {
            {!options.ports.empty(), "--port"},
            {options.baud.has_value(), "--baud"},
            {options.parity.has_value(), "--parity"},
            {options.mode.has_value(), "--mode"},
            {options.frequencyIndex.has_value(), "--freq-index"},
            {options.capture.has_value(), "--capture"}};
        for (const auto& [given, name] : excluded) {
            if (given) {
                return fail(std::string(name) + " cannot be used with --replay");
            }
        }
    }
    return HeadlessParse{options, {}};
}

} // namespace orvanta::headless
