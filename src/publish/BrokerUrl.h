#pragma once

#include <optional>
#include <string>
#include <string_view>

// Where to publish: mqtt://[user@]host[:port][/prefix] or mqtts://... (TLS). Pure; any
// thread.
namespace orvanta::publish {

inline constexpr int kMqttPort = 1883;
inline constexpr int kMqttsPort = 8883;

struct BrokerUrl {
    bool tls = false;
    std::string user; // empty: no login
    std::string host; // an IPv6 address without its brackets
    int port = kMqttPort;
    std::string prefix; // the topic levels before the device, without a trailing "/"

    // "host:port" as messages name the broker.
    std::string Endpoint() const;
};

struct BrokerUrlParse {
    std::optional<BrokerUrl> url;
    std::string error; // in the language asked for (1 English, the usage text's)
};

// A password in the URL is refused: it would stand on the command line and in the
// configuration file. The prefix may span levels but holds no wildcard ("+", "#").
BrokerUrlParse ParseBrokerUrl(std::string_view text, int languageFlag = 1);

// A remote device's URL (mqtt://host[:port]/prefix/device): the broker, and the device as
// the last level of its path.
struct RemoteUrlParse {
    std::optional<BrokerUrl> url;
    std::string device;
    std::string error;
};
RemoteUrlParse ParseRemoteUrl(std::string_view text, int languageFlag = 1);

// The broker password: ORVANTA_MQTT_PASSWORD, empty when it is not set. Never from a file or
// the command line.
std::string PasswordFromEnvironment();

} // namespace orvanta::publish
