#include "recording/CsvLayout.h"

#include "protocol/ModelTable.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <iconv.h>

namespace orvanta::recording {
namespace {

// Field order per model; see RowSlots.
constexpr int kVk100Slots[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 30, 15,
                               16, 18, 19, 20, 21, 31, 32, 22, 23, 24, 25, 26, 28, 27, 29, 17};
constexpr int kVk200Slots[] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
constexpr int kVn300Slots[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  12, 13, 14, 15,
                               16, 18, 19, 20, 21, 22, 24, 26, 23, 28, 27, 29};

constexpr std::string_view kDegree = "\xA1\xE3"; // "°" in code page 936

// Length of the code page 936 character at text[i]: a lead byte (0x81-0xFE) starts a
// two-byte character.
std::size_t CharLength(std::string_view text, std::size_t i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    return (byte >= 0x81 && byte <= 0xFE && i + 1 < text.size()) ? 2 : 1;
}

bool Contains(std::string_view text, std::string_view part) {
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        if (text.compare(i, part.size(), part) == 0) {
            return true;
        }
    }
    return false;
}

std::string_view TrimTrailingSpaces(std::string_view field) {
    while (!field.empty() && field.back() == ' ') {
        field.remove_suffix(1);
    }
    return field;
}

} // namespace

std::span<const int> RowSlots(int modelIndex) {
    switch (modelIndex) {
    case protocol::model::kVk200_210:
        return kVk200Slots;
    case protocol::model::kVn300:
        return kVn300Slots;
    default:
        return kVk100Slots;
    }
}

std::string FormatRowTimestamp(const LocalTime& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%d:%d:%d'%d ", time.hour, time.minute, time.second,
                  time.millisecond);
    return text;
}

std::string FormatFileTime(const LocalTime& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    return text;
}

std::string BuildRow(const ItemTexts& items, int modelIndex, const LocalTime& time) {
    const auto slots = RowSlots(modelIndex);
    std::size_t size = 24;
    for (int slot : slots) {
        size += items[slot].size() + 1;
    }
    std::string row;
    row.reserve(size);
    for (int slot : slots) {
        row += items[slot];
        row += ',';
    }
    row += FormatRowTimestamp(time);
    row += '\n';
    return row;
}

std::string FormatIsoUtc(std::int64_t realtimeNs) {
    const EpochParts epoch = SplitEpochNs(realtimeNs);
    const std::int64_t rest = epoch.nanoseconds;
    const auto whole = static_cast<std::time_t>(epoch.seconds);
    std::tm parts{};
    gmtime_r(&whole, &parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06dZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<int>(rest / 1000));
    return text;
}

std::string Cp936ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    const iconv_t converter = iconv_open("UTF-8", "CP936");
    const bool haveConverter = converter != reinterpret_cast<iconv_t>(-1);
    std::size_t i = 0;
    while (i < text.size()) {
        if (haveConverter) {
            char* in = const_cast<char*>(text.data() + i); // iconv does not write through it
            std::size_t inLeft = text.size() - i;
            char buffer[256];
            char* outAt = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(converter, &in, &inLeft, &outAt, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outAt - buffer));
            i = text.size() - inLeft;
            if (result != static_cast<std::size_t>(-1) || errno == E2BIG) {
                continue;
            }
        } else if (static_cast<unsigned char>(text[i]) < 0x80) {
            out += text[i++];
            continue;
        }
        out += "\xEF\xBF\xBD";
        i += CharLength(text, i);
    }
    if (haveConverter) {
        iconv_close(converter);
    }
    return out;
}

std::string BuildUtf8Header(std::string_view designedHeader) {
    while (!designedHeader.empty() &&
           (designedHeader.back() == '\n' || designedHeader.back() == '\r')) {
        designedHeader.remove_suffix(1);
    }
    if (designedHeader.empty()) {
        return {};
    }
    const std::string columns = Cp936ToUtf8(designedHeader);
    std::string header = "time";
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = columns.find(',', from);
        header += ',';
        header += TrimTrailingSpaces(std::string_view(columns).substr(from, comma - from));
        if (comma == std::string::npos) {
            break;
        }
        from = comma + 1;
    }
    header += ",monotonic_ns\n";
    return header;
}

std::string BuildUtf8Row(const ItemTexts& items, int modelIndex, const LocalTime& time,
                         const protocol::ArrivalTime& arrival) {
    std::string row = FormatIsoUtc(arrival.realtimeNs);
    for (int slot : RowSlots(modelIndex)) {
        row += ',';
        row += TrimTrailingSpaces(items[slot]);
    }
    row += ',';
    row += TrimTrailingSpaces(FormatRowTimestamp(time));
    row += ',';
    row += std::to_string(arrival.monotonicNs);
    row += '\n';
    return row;
}

std::string SanitizeFileNamePart(std::string_view modelName) {
    std::string name(modelName);
    if (name == ".") {
        return "_";
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (name[i] == '/' || byte < 0x20 || byte == 0x7F) {
            name[i] = '_';
        }
    }
    // Every dot of a run of two or more: no ".." reaches the file name.
    for (std::size_t i = 0; i < name.size();) {
        std::size_t end = i;
        while (end < name.size() && name[end] == '.') {
            ++end;
        }
        if (end - i >= 2) {
            std::fill(name.begin() + static_cast<long>(i), name.begin() + static_cast<long>(end),
                      '_');
        }
        i = end > i ? end : i + 1;
    }
    // Room for "_YYYYmmddHHMMSS.csv" within a file name's 255 bytes; cut between characters.
    if (name.size() > kMaxFileNamePart) {
        std::size_t cut = kMaxFileNamePart;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        name.resize(cut);
    }
    return name;
}

std::filesystem::path BuildCsvPath(const std::filesystem::path& directory,
                                   std::string_view modelName, const LocalTime& time,
                                   std::string_view portName) {
    std::string name = SanitizeFileNamePart(modelName) + "_";
    if (!portName.empty()) {
        name += SanitizeFileNamePart(portName) + "_";
    }
    return directory / (name + FormatFileTime(time) + ".csv");
}

std::string ReplaceAllCp936(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size() + 16);
    std::size_t i = 0;
    while (i < text.size()) {
        if (!from.empty() && text.compare(i, from.size(), from) == 0) {
            out += to;
            i += from.size();
            continue;
        }
        const std::size_t step = CharLength(text, i);
        out.append(text.substr(i, step));
        i += step;
    }
    return out;
}

std::string RewriteAngleUnit(std::string_view header, int angleUnit) {
    const std::string degreeColumn = "(" + std::string(kDegree) + ")";
    if (angleUnit == 1) {
        if (Contains(header, degreeColumn)) {
            return ReplaceAllCp936(header, kDegree, "rad");
        }
    } else if (angleUnit == 0) {
        if (Contains(header, "(rad)")) {
            const std::string once = ReplaceAllCp936(header, "(rad)", degreeColumn);
            return ReplaceAllCp936(once, "(rad/s)", "(" + std::string(kDegree) + "/s)");
        }
    }
    return std::string(header);
}

std::string RewriteAccelUnit(std::string_view header, int accelUnit) {
    if (accelUnit == 1) {
        if (Contains(header, "(g)")) {
            return ReplaceAllCp936(header, "(g)", "(m/s2)");
        }
    } else if (accelUnit == 0) {
        if (Contains(header, "(m/s2)")) {
            return ReplaceAllCp936(header, "(m/s2)", "(g)");
        }
    }
    return std::string(header);
}

} // namespace orvanta::recording
