#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvanta::protocol {

// Number-to-text conversions that give the same bytes as C printf in the "C" locale, and
// the matching text-to-number conversion, whatever locale the process runs in (the GUI
// toolkit switches to the user's one). Pure; any thread.

// Room for any "%.Nf" text of a double with N <= kMaxFixedPrecision.
inline constexpr std::size_t kFixedTextCapacity = 330;
inline constexpr int kMaxFixedPrecision = 9;

// printf("%.*f", precision, value); precision is clamped to 0..kMaxFixedPrecision.
// Writes at most kFixedTextCapacity bytes to out and returns their count.
std::size_t FormatFixed(char* out, double value, int precision);
void AssignFixed(std::string& text, double value, int precision);

// printf("%d", value).
std::size_t FormatDecimal(char* out, std::int64_t value);
void AssignDecimal(std::string& text, std::int64_t value);

// printf("UTC: %d-%02d-%02d / %02d:%02d:%02d", ...).
void AssignUtc(std::string& text, unsigned year, unsigned month, unsigned day, unsigned hour,
               unsigned minute, unsigned second);

// strtod as in the "C" locale: leading white space skipped, the longest prefix that is a
// number converted, *end set behind it (to text when there is none).
double ParseDecimal(const char* text, char** end);

// printf("%02x ", byte) for every byte, appended.
void AppendHexEcho(std::string& text, const std::uint8_t* bytes, std::size_t count);

} // namespace orvanta::protocol
