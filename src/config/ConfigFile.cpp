#include "config/ConfigFile.h"

#include <system_error>

namespace orvanta::config {

ConfigFile::ConfigFile(std::filesystem::path path) : m_path(std::move(path)) {}

ConfigFile::~ConfigFile() = default;

bool ConfigFile::Exists() const {
    std::error_code ec;
    return std::filesystem::exists(m_path, ec);
}

ProfileStatus ConfigFile::Told(ProfileStatus status) const {
    if (status != ProfileStatus::Ok && m_failureListener) {
        m_failureListener(status);
    }
    return status;
}

ProfileStatus ConfigFile::WriteInt(std::string_view key, std::int32_t value) {
    return Told(WriteProfileString(m_path, kSection, key, std::to_string(value)));
}

void ConfigFile::ReadString(std::string_view key, std::string& out,
                            std::string_view defaultValue) const {
    out = ReadProfileString(m_path, kSection, key, defaultValue, m_bufferSize - 1);
}

std::string ConfigFile::ReadString(std::string_view key, std::string_view defaultValue) const {
    std::string out;
    ReadString(key, out, defaultValue);
    return out;
}

ProfileStatus ConfigFile::WriteString(std::string_view key, std::string_view value) {
    return Told(WriteProfileString(m_path, kSection, key, value));
}

ProfileStatus ConfigFile::WriteValues(std::span<const ProfileEntry> entries) {
    return Told(WriteProfileStrings(m_path, kSection, entries));
}

ProfileStatus ConfigFile::CheckReadable() const {
    return Told(CheckProfileReadable(m_path));
}

int ConfigFile::ReadInt(std::string_view key, int defaultValue) const {
    return ReadProfileInt(m_path, kSection, key, defaultValue);
}

std::string ConfigFile::ReadLanguage() const {
    return ReadProfileString(m_path, kSection, "LANGUAGE", "CH", 3);
}

} // namespace orvanta::config
