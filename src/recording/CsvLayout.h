#pragma once

#include "protocol/ArrivalTime.h"
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

// The designed file (code page 936, the time text above), or one for analysis tools:
// UTF-8, an ISO 8601 UTC "time" column first, a "monotonic_ns" column last, no field ending
// in a space.
enum class CsvFormat { Designed, Utf8 };

// "2026-12-10T01:02:03.123456Z": UTC, microseconds (truncated).
std::string FormatIsoUtc(std::int64_t realtimeNs);

// Code page 936 bytes as UTF-8; a sequence code page 936 does not know becomes U+FFFD.
std::string Cp936ToUtf8(std::string_view text);

// The designed header line in the analysis format: "time," + its columns in UTF-8 +
// ",monotonic_ns", ended by a line feed. Empty for an empty header.
std::string BuildUtf8Header(std::string_view designedHeader);

// BuildRow in the analysis format: the arrival's UTC time, the same fields (the designed
// time text included), the arrival's monotonic time; trailing spaces of fields dropped.
std::string BuildUtf8Row(const ItemTexts& items, int modelIndex, const LocalTime& time,
                         const protocol::ArrivalTime& arrival);

// The model name as it may stand in a file name (the name itself is shown and stored as
// read): "/", NUL, DEL and control characters become "_", and so does every dot of a run
// of two or more ("..") and a name that is just "."; the result is cut to
// kMaxFileNamePart bytes at a UTF-8 character boundary, so the whole file name stays
// within the 255 bytes a file name may have.
inline constexpr std::size_t kMaxFileNamePart = 200;
std::string SanitizeFileNamePart(std::string_view modelName);

// directory / (model name + "_" + file time + ".csv"), or with a port name:
// directory / (model name + "_" + port name + "_" + file time + ".csv").
std::filesystem::path BuildCsvPath(const std::filesystem::path& directory,
                                   std::string_view modelName, const LocalTime& time,
                                   std::string_view portName = {});

// The header after a click on the angle pair (0 "°", 1 "rad") or the acceleration pair
// (0 "g", 1 "m/s²"). The header holds code page 936 bytes ("°" is A1 E3).
std::string RewriteAngleUnit(std::string_view header, int angleUnit);
std::string RewriteAccelUnit(std::string_view header, int accelUnit);

// Replaces every occurrence of `from` by `to`, stepping over code page 936 characters
// whole so a match never starts inside a two-byte character.
std::string ReplaceAllCp936(std::string_view text, std::string_view from, std::string_view to);

} // namespace orvanta::recording
