#include "config/ConfigValues.h"

#include <filesystem>
#include <system_error>

namespace orvanta::config {

ProfileStatus CreateConfigFile(ConfigFile& file, const std::string& dataDirectory) {
    // An installed program's first start: ~/.config/orvanta does not exist yet.
    std::error_code ec;
    std::filesystem::create_directories(file.Path().parent_path(), ec);
    ProfileStatus first = ProfileStatus::Ok;
    const auto note = [&first](ProfileStatus status) {
        if (first == ProfileStatus::Ok) {
            first = status;
        }
    };
    note(file.WriteString(config_key::kLanguage, "CH"));
    note(file.WriteString(config_key::kModel, "VK100"));
    note(file.WriteString(config_key::kProtocol, "ASCII"));
    note(file.WriteString(config_key::kCom, kDefaultComPath));
    note(file.WriteInt(config_key::kBaud, 1));
    note(file.WriteInt(config_key::kParity, 0));
    note(file.WriteString(config_key::kPath, dataDirectory));
    return first;
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
    return values;
}

} // namespace orvanta::config
