#pragma once

#include "config/ConfigFile.h"

#include <string>

namespace orvanta::config {

// The keys of section "Config".
namespace config_key {
inline constexpr const char* kLanguage = "LANGUAGE";
inline constexpr const char* kModel = "MODEL";
inline constexpr const char* kProtocol = "PROTOCOL";
inline constexpr const char* kCom = "COM";
inline constexpr const char* kBaud = "BAUD";
inline constexpr const char* kParity = "PARITY";
inline constexpr const char* kPath = "PATH";
// 1: each recording also writes a capture of the raw bytes. Written when switched.
inline constexpr const char* kCapture = "CAPTURE";
// UTF8: recordings write the CSV file for analysis tools; anything else the designed one.
// Written when switched.
inline constexpr const char* kCsvFormat = "CSV_FORMAT";
// The window's publishing: the broker URL, the device's name in the topics (empty: the
// port's), and 1 while publishing is on. Written by its dialog; a password never is.
inline constexpr const char* kMqttUrl = "MQTT_URL";
inline constexpr const char* kMqttDevice = "MQTT_DEVICE";
inline constexpr const char* kMqttPublish = "MQTT_PUBLISH";
} // namespace config_key

inline constexpr const char* kCsvFormatUtf8 = "UTF8";
inline constexpr const char* kCsvFormatDesigned = "DESIGNED";

// The serial device written on creation and assumed when COM is missing.
inline constexpr const char* kDefaultComPath = "/dev/ttyS0";

// What window initialisation reads from an existing file, defaults filled in.
struct ConfigValues {
    std::string model;           // MODEL, default "VK100"
    std::string protocol;        // PROTOCOL, default "ASCII"
    std::string path;            // PATH, default the current data directory; may be empty
    std::string com;             // COM, a device path, default "/dev/ttyS0"
    int baud = 0;                // BAUD, default 0
    int parity = 0;              // PARITY, default 0
    bool capture = false;        // CAPTURE, default 0
    bool csvForAnalysis = false; // CSV_FORMAT is UTF8 (any case), default the designed format
};

// Makes the file's folder when it is missing, then writes the seven keys in order, in one
// replacement of the file, with the settings in force: LANGUAGE (EN for flag 1, CH for 0),
// MODEL, PROTOCOL, COM, BAUD, PARITY, PATH. Capture is left to its switch.
ProfileStatus CreateConfigFile(ConfigFile& file, const ConfigValues& inForce, int languageFlag);

ConfigValues ReadConfigValues(const ConfigFile& file, const std::string& dataDirectory);

// The window's publishing settings. No password: it has no place here, so none is written.
struct PublishSettings {
    std::string url;      // MQTT_URL, default empty
    std::string device;   // MQTT_DEVICE, default empty: the port's short name
    bool publish = false; // MQTT_PUBLISH is 1, default 0

    bool operator==(const PublishSettings&) const = default;
};

PublishSettings ReadPublishSettings(const ConfigFile& file);
// The three keys in one replacement of the file.
ProfileStatus WritePublishSettings(ConfigFile& file, const PublishSettings& settings);

} // namespace orvanta::config
