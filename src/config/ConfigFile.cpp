#include "config/ConfigFile.h"

#include <system_error>

namespace orvanta::app {

CIniFile::CIniFile(std::filesystem::path path) : m_path(std::move(path)) {}

CIniFile::~CIniFile() = default;

bool CIniFile::Exists() const {
    std::error_code ec;
    return std::filesystem::exists(m_path, ec);
}

ProfileStatus CIniFile::WriteInt(std::string_view key, std::int32_t value) {
    return WriteProfileString(m_path, kSection, key, std::to_string(value));
}

void CIniFile::ReadString(std::string_view key, std::string& out,
                          std::string_view defaultValue) const {
    out = ReadProfileString(m_path, kSection, key, defaultValue, m_nBufferSize - 1);
}

std::string CIniFile::ReadString(std::string_view key, std::string_view defaultValue) const {
    std::string out;
    ReadString(key, out, defaultValue);
    return out;
}

ProfileStatus CIniFile::WriteString(std::string_view key, std::string_view value) {
    return WriteProfileString(m_path, kSection, key, value);
}

int CIniFile::ReadInt(std::string_view key, int defaultValue) const {
    return ReadProfileInt(m_path, kSection, key, defaultValue);
}

std::string CIniFile::ReadLanguage() const {
    return ReadProfileString(m_path, kSection, "LANGUAGE", "CH", 3);
}

} // namespace orvanta::app
