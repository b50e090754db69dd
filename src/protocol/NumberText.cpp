#include "protocol/NumberText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <cstring>

namespace orvanta::protocol {

namespace {

constexpr std::uint64_t kPow10[kMaxFixedPrecision + 1] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

constexpr std::array<char, 3 * 256> MakeHexEchoTable() {
    constexpr char digits[] = "0123456789abcdef";
    std::array<char, 3 * 256> table{};
    for (int b = 0; b < 256; ++b) {
        table[3 * b] = digits[b >> 4];
        table[3 * b + 1] = digits[b & 0xF];
        table[3 * b + 2] = ' ';
    }
    return table;
}

constexpr auto kHexEcho = MakeHexEchoTable();

std::size_t FormatFixedSlow(char* out, double value, int precision) {
    const auto result =
        std::to_chars(out, out + kFixedTextCapacity, value, std::chars_format::fixed, precision);
    return result.ec == std::errc() ? static_cast<std::size_t>(result.ptr - out) : 0;
}

} // namespace

// The value m * 2^e is scaled by 10^precision exactly in 128-bit integers and rounded half
// to even, which is what printf does with the default rounding mode. Values whose scaled
// magnitude leaves 64 bits, infinities and NaNs take the general conversion.
std::size_t FormatFixed(char* out, double value, int precision) {
    precision = std::clamp(precision, 0, kMaxFixedPrecision);
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    if (biased == 0x7FF) {
        return FormatFixedSlow(out, value, precision);
    }
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t mantissa = biased != 0 ? fraction | (std::uint64_t{1} << 52) : fraction;
    const int exponent = (biased != 0 ? biased : 1) - 1075;
    using U128 = unsigned __int128;
    const U128 scaled = static_cast<U128>(mantissa) * kPow10[precision];

    std::uint64_t units = 0;
    if (exponent >= 0) {
        if (exponent >= 64 || (scaled >> (64 - exponent)) != 0) {
            return FormatFixedSlow(out, value, precision);
        }
        units = static_cast<std::uint64_t>(scaled << exponent);
    } else if (-exponent < 128) {
        const int shift = -exponent;
        U128 quotient = scaled >> shift;
        const U128 rest = scaled - (quotient << shift);
        const U128 half = U128{1} << (shift - 1);
        if (rest > half || (rest == half && (quotient & 1) != 0)) {
            ++quotient;
        }
        if ((quotient >> 64) != 0) {
            return FormatFixedSlow(out, value, precision);
        }
        units = static_cast<std::uint64_t>(quotient);
    } // else: below half a unit of the last digit (scaled < 2^83), so zero.

    char buffer[32];
    char* const end = buffer + sizeof buffer;
    char* p = end;
    for (int i = 0; i < precision; ++i) {
        *--p = static_cast<char>('0' + units % 10);
        units /= 10;
    }
    if (precision > 0) {
        *--p = '.';
    }
    do {
        *--p = static_cast<char>('0' + units % 10);
        units /= 10;
    } while (units != 0);
    if (negative) {
        *--p = '-';
    }
    const auto length = static_cast<std::size_t>(end - p);
    std::memcpy(out, p, length);
    return length;
}

void AssignFixed(std::string& text, double value, int precision) {
    char buffer[kFixedTextCapacity];
    text.assign(buffer, FormatFixed(buffer, value, precision));
}

std::size_t FormatDecimal(char* out, std::int64_t value) {
    return static_cast<std::size_t>(std::to_chars(out, out + 24, value).ptr - out);
}

void AssignDecimal(std::string& text, std::int64_t value) {
    char buffer[24];
    text.assign(buffer, FormatDecimal(buffer, value));
}

namespace {

char* PutTwoDigits(char* p, unsigned value) {
    if (value < 10) {
        *p++ = '0';
    }
    return std::to_chars(p, p + 12, value).ptr;
}

} // namespace

void AssignUtc(std::string& text, unsigned year, unsigned month, unsigned day, unsigned hour,
               unsigned minute, unsigned second) {
    char buffer[96] = "UTC: ";
    char* p = std::to_chars(buffer + 5, buffer + 20, year).ptr;
    *p++ = '-';
    p = PutTwoDigits(p, month);
    *p++ = '-';
    p = PutTwoDigits(p, day);
    std::memcpy(p, " / ", 3);
    p = PutTwoDigits(p + 3, hour);
    *p++ = ':';
    p = PutTwoDigits(p, minute);
    *p++ = ':';
    p = PutTwoDigits(p, second);
    text.assign(buffer, p);
}

void AppendHexEcho(std::string& text, const std::uint8_t* bytes, std::size_t count) {
    const std::size_t start = text.size();
    text.resize(start + 3 * count);
    char* out = text.data() + start;
    for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(out + 3 * i, &kHexEcho[3 * bytes[i]], 3);
    }
}

double ParseDecimal(const char* text, char** end) {
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", locale_t{});
    return ::strtod_l(text, end, cLocale);
}

} // namespace orvanta::protocol
