#include "publish/ValuesMessage.h"

#include "protocol/GpsStatusTable.h"
#include "protocol/ItemDecoderTable.h"
#include "protocol/MeasurementRecord.h"
#include "protocol/OutputItem.h"
#include "protocol/PayloadValues.h"
#include "recording/CsvLayout.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace orvanta::publish {

namespace {

namespace s = protocol::slot;
using protocol::Bit;
using protocol::OutputItem;
using protocol::ReadF32;
using protocol::ReadF64;
using protocol::ReadU32;
using protocol::ToDegrees;

template <typename Number> void AppendMember(std::string& out, std::string_view name, Number v) {
    out += ",\"";
    out += name;
    out += "\":";
    if (!std::isfinite(static_cast<double>(v))) {
        out += "null"; // JSON has no NaN or infinity
        return;
    }
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, v);
    out.append(text, result.ptr);
}

void AppendTextMember(std::string& out, std::string_view name, std::string_view text) {
    out += ",\"";
    out += name;
    out += "\":";
    while (text.ends_with(' ')) {
        text.remove_suffix(1); // two status texts of the table end in a space
    }
    AppendJsonString(out, text);
}

void Append3(std::string& out, const std::uint8_t* item, const char* const (&names)[3],
             float (*convert)(float, float), float gravity) {
    for (int i = 0; i < 3; ++i) {
        AppendMember(out, names[i], convert(ReadF32(item + 4 * i), gravity));
    }
}

// The GPS status members by model and slot: the status byte means other things per model.
std::string_view GpsStatusName(int modelIndex, int slot) {
    if (modelIndex == 2) {
        switch (slot) {
        case s::kGpsFlag23:
            return "position_flag";
        case s::kTrueHeadFlag:
            return "true_heading_flag";
        case s::kGpsFlag26:
            return "velocity_flag";
        case s::kGpsFlag28:
            return "time_status";
        case s::kGpsFix:
            return "rtk_quality";
        default:
            return "gps_status";
        }
    }
    switch (slot) {
    case s::kGpsFlag23:
        return "gps_mode";
    case s::kTrueHeadFlag:
        return "true_heading_flag";
    case s::kUtcFlag:
        return "utc_flag";
    case s::kGpsFlag26:
        return "week_flag";
    case s::kGpsFlag28:
        return "time_of_week_flag";
    case s::kGpsFix:
        return "gps_fix";
    default:
        return "gps_status";
    }
}

void AppendItem(std::string& out, std::uint32_t bit, const std::uint8_t* item,
                const DecodedFrame& frame) {
    const auto same = [](float v, float) { return v; };
    switch (static_cast<OutputItem>(bit)) {
    case OutputItem::Euler:
        Append3(
            out, item, {"roll_deg", "pitch_deg", "yaw_deg"},
            [](float v, float) { return ToDegrees(v); }, 0);
        break;
    case OutputItem::Gyro:
        Append3(
            out, item, {"gyro_x_dps", "gyro_y_dps", "gyro_z_dps"},
            [](float v, float) { return ToDegrees(v); }, 0);
        break;
    case OutputItem::Acc:
        Append3(
            out, item, {"acc_x_g", "acc_y_g", "acc_z_g"}, [](float v, float g) { return v / g; },
            frame.gravity);
        break;
    case OutputItem::Mag:
        Append3(out, item, {"mag_x_ut", "mag_y_ut", "mag_z_ut"}, same, 0);
        break;
    case OutputItem::Tempe:
        AppendMember(out, "mcu_temp_c", ReadF32(item));
        AppendMember(out, "device_temp_c", ReadF32(item + 4));
        break;
    case OutputItem::Runtime:
        AppendMember(out, "runtime_s", ReadU32(item) * 0.001);
        break;
    case OutputItem::Gps: {
        AppendMember(out, "gps_time_of_week_s", ReadU32(item) * 0.001);
        AppendMember(out, "satellites", static_cast<int>(item[5]));
        const std::uint8_t status = item[4];
        for (const protocol::GpsStatusField& field : protocol::GpsStatusTable(frame.modelIndex)) {
            AppendTextMember(out, GpsStatusName(frame.modelIndex, field.slot),
                             field.texts[(status >> field.shift) & field.mask]);
        }
        break;
    }
    case OutputItem::Qne: // the low 16 bits, as the window shows them
        AppendMember(out, "qne_cm", static_cast<int>(item[0] | item[1] << 8));
        break;
    case OutputItem::Baro:
        AppendMember(out, "baro_pa", static_cast<int>(item[0] | item[1] << 8));
        break;
    case OutputItem::Position:
        AppendMember(out, "latitude_deg", ReadF64(item));
        AppendMember(out, "longitude_deg", ReadF64(item + 8));
        AppendMember(out, "altitude_m", ReadF64(item + 16));
        break;
    case OutputItem::Velocity:
        Append3(out, item, {"vel_x_mps", "vel_y_mps", "vel_z_mps"}, same, 0);
        break;
    case OutputItem::Utc: {
        char text[48];
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", item[0] | item[1] << 8,
                      item[2], item[3], item[4], item[5], item[6]);
        AppendTextMember(out, "utc", text);
        break;
    }
    case OutputItem::MagHead:
        AppendMember(out, "mag_heading_deg", ReadF32(item));
        break;
    }
}

} // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // A whole, shortest UTF-8 sequence passes; anything else is one U+FFFD per byte.
        const std::size_t length = c >= 0xF0 && c <= 0xF4   ? 4
                                   : c >= 0xE0 && c <= 0xEF ? 3
                                   : c >= 0xC2 && c <= 0xDF ? 2
                                                            : 0;
        bool whole = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; whole && k < length; ++k) {
            whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        }
        if (whole && length >= 3) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            whole = !(c == 0xE0 && second < 0xA0) && !(c == 0xED && second >= 0xA0) &&
                    !(c == 0xF0 && second < 0x90) && !(c == 0xF4 && second >= 0x90);
        }
        if (whole) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    out += '"';
}

std::string BuildValuesJson(const DecodedFrame& frame) {
    std::string out;
    out.reserve(640);
    out += "{\"time\":\"";
    out += recording::FormatIsoUtc(frame.realtimeNs);
    out += "\",\"model\":";
    AppendJsonString(out, frame.modelName);
    // The decoders' walk: an item that does not fit still moves the cursor over its place.
    std::size_t cursor = 0;
    const std::size_t size = frame.payload.size();
    for (const protocol::ItemDecoderEntry& entry : protocol::ItemDecoderTable) {
        if ((frame.mask & entry.bit) == 0) {
            continue;
        }
        if (entry.size <= size && cursor <= size - entry.size) {
            AppendItem(out, entry.bit, frame.payload.data() + cursor, frame);
        }
        cursor += entry.size;
    }
    out += '}';
    return out;
}

std::string BuildStatusJson(const LinkStatus& status) {
    std::string out =
        status.online ? "{\"state\":\"online\",\"model\":" : "{\"state\":\"offline\",\"model\":";
    AppendJsonString(out, status.model);
    out += ",\"port\":";
    AppendJsonString(out, status.port);
    out += ",\"rate_hz\":" + std::to_string(status.rateHz);
    out += ",\"miscount\":" + std::to_string(status.miscount);
    out += ",\"dropped\":" + std::to_string(status.dropped) + "}";
    return out;
}

std::string OfflineWillJson() {
    return "{\"state\":\"offline\"}";
}

std::optional<bool> StatusSaysOnline(std::string_view json) {
    constexpr std::string_view kKey = "\"state\"";
    const std::size_t key = json.find(kKey);
    if (key == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = json.substr(key + kKey.size());
    const auto skipSpaces = [&rest] {
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t' ||
                                 rest.front() == '\n' || rest.front() == '\r')) {
            rest.remove_prefix(1);
        }
    };
    skipSpaces();
    if (!rest.starts_with(':')) {
        return std::nullopt;
    }
    rest.remove_prefix(1);
    skipSpaces();
    if (rest.starts_with("\"online\"")) {
        return true;
    }
    if (rest.starts_with("\"offline\"")) {
        return false;
    }
    return std::nullopt;
}

} // namespace orvanta::publish
