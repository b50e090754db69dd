#pragma once

#include "config/PrivateProfile.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace orvanta::config {

// The configuration file: section "Config" of one private-profile file. Failed writes are
// reported as values and leave the file as it was; reads fall back to their defaults.
// Main thread only.
// Formerly `CIniFile`.
class ConfigFile {
public:
    static constexpr const char* kSection = "Config";

    explicit ConfigFile(std::filesystem::path path);
    ~ConfigFile();

    const std::filesystem::path& Path() const { return m_path; }
    bool Exists() const;

    // "%d" of the value under key.
    ProfileStatus WriteInt(std::string_view key, std::int32_t value);
    // At most m_bufferSize - 1 = 1023 characters; default when the key is missing.
    void ReadString(std::string_view key, std::string& out, std::string_view defaultValue) const;
    std::string ReadString(std::string_view key, std::string_view defaultValue) const;

    // The direct profile calls on the same file and section.
    ProfileStatus WriteString(std::string_view key, std::string_view value);
    int ReadInt(std::string_view key, int defaultValue) const;
    // LANGUAGE as read at program start: default "CH", at most three characters.
    std::string ReadLanguage() const;

private:
    std::filesystem::path m_path;
    std::uint32_t m_bufferSize = 1024;
};

} // namespace orvanta::config
