#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// The private-profile (INI) file format: "[section]" lines followed by "key=value" lines.
// Section and key names match without regard to ASCII case; surrounding blanks and a pair of
// quotes around a value are not part of it. Reads never fail: a missing file, section or key
// gives the default. Writes replace the key's line in place or add the key at the end of its
// section (the section and the file are created when missing); every other line is kept.
// Stateless; any thread, as long as no two threads write the same file at once.
namespace orvanta::config {

enum class ProfileStatus {
    Ok,
    CannotRead,  // the file exists but could not be read
    CannotWrite, // the file (or its folder) could not be written
    TooLarge,    // the file is larger than kMaxProfileBytes; left untouched
    BadText,     // a key or value that would break the line structure
};

// Files beyond this size are read only up to it and never rewritten.
inline constexpr std::size_t kMaxProfileBytes = 16u * 1024u * 1024u;

// The value of key in section, at most maxChars bytes (cut at a UTF-8 character boundary and
// at a NUL byte), or the default when the key is missing.
std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t maxChars);

// The decimal number at the start of the value (an optional sign, then digits; none gives 0;
// saturated to the 32-bit range), or the default when the key is missing.
int ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                   std::string_view key, int defaultValue);

ProfileStatus WriteProfileString(const std::filesystem::path& file, std::string_view section,
                                 std::string_view key, std::string_view value);

} // namespace orvanta::config
