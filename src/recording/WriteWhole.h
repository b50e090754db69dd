#pragma once

#include <filesystem>
#include <string_view>

namespace orvanta::recording {

enum class FileStart { Append, Replace };

// Writes all of data at the end of path (or in place of its content), or nothing: a short
// write is cut back so that a retry does not double what was written. Creates the missing
// folders. Returns 0 or an errno value. Any thread.
int WriteWhole(const std::filesystem::path& path, std::string_view data,
               FileStart start = FileStart::Append);

} // namespace orvanta::recording
