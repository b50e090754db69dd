#pragma once

#include "config/PrivateProfile.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace orvanta::config {

// The configuration file: section "Config" of one private-profile file. Failed writes are
// reported as values, and to the failure listener, and leave the file as it was; reads fall
// back to their defaults. Main thread only.
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
    // Several keys in one replacement of the file.
    ProfileStatus WriteValues(std::span<const ProfileEntry> entries);
    int ReadInt(std::string_view key, int defaultValue) const;
    // LANGUAGE as read at program start: default "CH", at most three characters.
    std::string ReadLanguage() const;
    // Whether the file, when present, can be read whole.
    ProfileStatus CheckReadable() const;

    // Told of every failed write or check; the front end says so once.
    void SetFailureListener(std::function<void(ProfileStatus)> listener) {
        m_failureListener = std::move(listener);
    }

private:
    ProfileStatus Told(ProfileStatus status) const;

    std::filesystem::path m_path;
    std::uint32_t m_bufferSize = 1024;
    std::function<void(ProfileStatus)> m_failureListener;
};

} // namespace orvanta::config
