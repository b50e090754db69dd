#pragma once

#include "protocol/MeasurementRecord.h"
#include "recording/LocalClock.h"

#include <array>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

// Pure text work of the CSV recorder: row layout per model, time formats, file names and
// the unit rewrites of the header. No state; any thread.
namespace orvanta::recording {

using ItemTexts = std::array<std::string, protocol::slot::kCount>;

// The ItemText slots of one row, in order, for a model index (any index other than 1 or 2
// counts as 0, as the model view does). The time stamp follows as the last field.
std::span<const int> RowSlots(int modelIndex);

// "%d:%d:%d'%d " from hour, minute, second and millisecond.
std::string FormatRowTimestamp(const LocalTime& time);

// "%Y%m%d%H%M%S".
std::string FormatFileTime(const LocalTime& time);

// One row: the model's fields and the time stamp, joined by ",", ended by a line feed.
std::string BuildRow(const ItemTexts& items, int modelIndex, const LocalTime& time);

// The model name as it may stand in a file name (the name itself is shown and stored as
// read): "/", NUL, DEL and control characters become "_", and so does every dot of a run
// of two or more ("..") and a name that is just "."; the result is cut to
// kMaxFileNamePart bytes at a UTF-8 character boundary, so the whole file name stays
// within the 255 bytes a file name may have.
inline constexpr std::size_t kMaxFileNamePart = 200;
std::string SanitizeFileNamePart(std::string_view modelName);

// directory / (model name + "_" + file time + ".csv").
std::filesystem::path BuildCsvPath(const std::filesystem::path& directory,
                                   std::string_view modelName, const LocalTime& time);

// The header after a click on the angle pair (0 "°", 1 "rad") or the acceleration pair
// (0 "g", 1 "m/s²"). The header holds code page 936 bytes ("°" is A1 E3).
std::string RewriteAngleUnit(std::string_view header, int angleUnit);
std::string RewriteAccelUnit(std::string_view header, int accelUnit);

// Replaces every occurrence of `from` by `to`, stepping over code page 936 characters
// whole so a match never starts inside a two-byte character.
std::string ReplaceAllCp936(std::string_view text, std::string_view from, std::string_view to);

} // namespace orvanta::recording
