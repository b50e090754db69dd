#include "config/ConfigValues.h"

#include <filesystem>
#include <strings.h>
#include <system_error>

namespace orvanta::config {

ProfileStatus CreateConfigFile(ConfigFile& file, const ConfigValues& inForce, int languageFlag) {
    // An installed program's first start: ~/.config/orvanta does not exist yet.
    std::error_code ec;
    std::filesystem::create_directories(file.Path().parent_path(), ec);
    const ProfileEntry entries[] = {
        {config_key::kLanguage, languageFlag == 1 ? "EN" : "CH"},
        {config_key::kModel, inForce.model},
        {config_key::kProtocol, inForce.protocol},
        {config_key::kCom, inForce.com},
        {config_key::kBaud, std::to_string(inForce.baud)},
        {config_key::kParity, std::to_string(inForce.parity)},
        {config_key::kPath, inForce.path},
    };
    return file.WriteValues(entries);
}

ConfigValues ReadConfigValues(const ConfigFile& file, const std::string& dataDirectory) {
    ConfigValues values;
    file.ReadString(config_key::kModel, values.model, "VK100");
    file.ReadString(config_key::kProtocol, values.protocol, "ASCII");
    file.ReadString(config_key::kPath, values.path, dataDirectory);
    file.ReadString(config_key::kCom, values.com, kDefaultComPath);
    values.baud = file.ReadInt(config_key::kBaud, 0);
    values.parity = file.ReadInt(config_key::kParity, 0);
    values.capture = file.ReadInt(config_key::kCapture, 0) == 1;
    values.csvForAnalysis =
        strcasecmp(file.ReadString(config_key::kCsvFormat, "").c_str(), kCsvFormatUtf8) == 0;
    return values;
}

PublishSettings ReadPublishSettings(const ConfigFile& file) {
    PublishSettings settings;
    file.ReadString(config_key::kMqttUrl, settings.url, "");
    file.ReadString(config_key::kMqttDevice, settings.device, "");
    settings.publish = file.ReadInt(config_key::kMqttPublish, 0) == 1;
    return settings;
}

ProfileStatus WritePublishSettings(ConfigFile& file, const PublishSettings& settings) {
    const ProfileEntry entries[] = {
        {config_key::kMqttUrl, settings.url},
        {config_key::kMqttDevice, settings.device},
        {config_key::kMqttPublish, settings.publish ? "1" : "0"},
    };
    return file.WriteValues(entries);
}

} // namespace orvanta::config
