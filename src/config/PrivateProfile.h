#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

// The private-profile (INI) file format: "[section]" lines followed by "key=value" lines.
// Section and key names match without regard to ASCII case; surrounding blanks and a pair of
// quotes around a value are not part of it; a UTF-8 byte order mark before the first line is
// skipped and kept. Reads never fail: a missing file, section or key gives the default.
// Writes replace the key's line in place or add the key at the end of its section (the
// section and the file are created when missing); every other line is kept.
//
// A write reads, changes and replaces the file while holding an flock on "<file>.lock"
// beside it, and replaces it by renaming a synced copy over it: readers see the old file or
// the new one, never part of one, and writers in other threads or processes lose nothing.
// The lock is on its own file because the rename gives the profile a new inode each time.
// A symbolic link is written through: its target is replaced and the link kept.
// Stateless; any thread.
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

struct ProfileEntry {
    std::string_view key;
    std::string value;
};

// Writes the entries in order in one replacement of the file: all of them or none.
ProfileStatus WriteProfileStrings(const std::filesystem::path& file, std::string_view section,
                                  std::span<const ProfileEntry> entries);

// Whether the whole file can be read: CannotRead or TooLarge, otherwise Ok (a missing file
// too, since it reads as all defaults).
ProfileStatus CheckProfileReadable(const std::filesystem::path& file);

} // namespace orvanta::config
