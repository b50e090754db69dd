#include "protocol/ItemDecoderTable.h"

#include "protocol/GpsStatusTable.h"
#include "protocol/NumberText.h"
#include "protocol/OutputItem.h"
#include "protocol/PayloadValues.h"

#include <bit>
#include <cstring>

namespace orvanta::protocol {

namespace {

void SetText3(MeasurementRecord& record, int first, const float (&values)[3]) {
    for (int i = 0; i < 3; ++i) {
        AssignFixed(record.ItemText[first + i], values[i], 3);
    }
}

void Clear(MeasurementRecord& record, int first, int count) {
    for (int i = first; i < first + count; ++i) {
        record.ItemText[i].clear();
    }
}

void Read3(const std::uint8_t* item, float (&values)[3]) {
    for (int i = 0; i < 3; ++i) {
        values[i] = ReadF32(item + 4 * i);
    }
}

void AppendValues(const DecodeContext& context, HistoryGroup group, const float (&values)[3]) {
    context.history.AppendTriple(group, values[0], values[1], values[2]);
}

void DecodeEuler(const std::uint8_t* item, const DecodeContext& context) {
    MeasurementRecord& record = context.record;
    float radians[3];
    Read3(item, radians);
    float shown[3];
    for (int i = 0; i < 3; ++i) {
        record.AttitudeDegrees[i] = ToDegrees(radians[i]);
        shown[i] = record.AngleUnit == 1 ? radians[i] : record.AttitudeDegrees[i];
    }
    SetText3(record, slot::kRoll, shown);
    AppendValues(context, HistoryGroup::Euler, shown);
}

void DecodeGyro(const std::uint8_t* item, const DecodeContext& context) {
    float values[3];
    Read3(item, values);
    if (context.record.AngleUnit == 0) {
        for (float& v : values) {
            v = ToDegrees(v);
        }
    }
    SetText3(context.record, slot::kGyroX, values);
    AppendValues(context, HistoryGroup::AngularRate, values);
}

void DecodeAcc(const std::uint8_t* item, const DecodeContext& context) {
    float values[3];
    Read3(item, values);
    if (context.record.AccelUnit == 0) {
        for (float& v : values) {
            v = v / context.record.GravityValue;
        }
    }
    SetText3(context.record, slot::kAccX, values);
    AppendValues(context, HistoryGroup::Acceleration, values);
}

void DecodeMag(const std::uint8_t* item, const DecodeContext& context) {
    float values[3];
    Read3(item, values);
    SetText3(context.record, slot::kMagX, values);
    AppendValues(context, HistoryGroup::MagneticField, values);
}

void DecodeTempe(const std::uint8_t* item, const DecodeContext& context) {
    AssignFixed(context.record.ItemText[slot::kTemperature0], ReadF32(item), 2);
    AssignFixed(context.record.ItemText[slot::kTemperature1], ReadF32(item + 4), 2);
}

void DecodeRuntime(const std::uint8_t* item, const DecodeContext& context) {
    AssignFixed(context.record.ItemText[slot::kRuntime], ReadU32(item) * 0.001, 1);
}

void DecodeGps(const std::uint8_t* item, const DecodeContext& context) {
    MeasurementRecord& record = context.record;
    AssignFixed(record.ItemText[slot::kTimeOfWeek], ReadU32(item) * 0.001, 1);
    const std::uint8_t status = item[4];
    AssignDecimal(record.ItemText[slot::kSatellites], item[5]);
    for (const GpsStatusField& field : GpsStatusTable(context.modelIndex)) {
        const auto& text = field.texts[(status >> field.shift) & field.mask];
        record.ItemText[field.slot].assign(text.data(), text.size());
    }
}

// QNE and Baro: only the low 16 bits of the 32-bit field are shown.
void DecodeQne(const std::uint8_t* item, const DecodeContext& context) {
    AssignDecimal(context.record.ItemText[slot::kQne], ReadU16(item));
}

void DecodeBaro(const std::uint8_t* item, const DecodeContext& context) {
    AssignDecimal(context.record.ItemText[slot::kBaro], ReadU16(item));
}

void DecodePosition(const std::uint8_t* item, const DecodeContext& context) {
    MeasurementRecord& record = context.record;
    AssignFixed(record.ItemText[slot::kLatitude], ReadF64(item), 7);
    AssignFixed(record.ItemText[slot::kLongitude], ReadF64(item + 8), 7);
    AssignFixed(record.ItemText[slot::kAltitude], ReadF64(item + 16), 3);
}

void DecodeVelocity(const std::uint8_t* item, const DecodeContext& context) {
    float values[3];
    Read3(item, values);
    SetText3(context.record, slot::kVelX, values);
    AppendValues(context, HistoryGroup::Velocity, values);
}

void DecodeUtc(const std::uint8_t* item, const DecodeContext& context) {
    AssignUtc(context.record.ItemText[slot::kUtc], ReadU16(item), item[2], item[3], item[4],
              item[5], item[6]);
}

void DecodeMagHead(const std::uint8_t* item, const DecodeContext& context) {
    AssignFixed(context.record.ItemText[slot::kMagHeading], ReadF32(item), 3);
}

void ClearEuler(MeasurementRecord& r) {
    Clear(r, slot::kRoll, 3);
}
void ClearGyro(MeasurementRecord& r) {
    Clear(r, slot::kGyroX, 3);
}
void ClearAcc(MeasurementRecord& r) {
    Clear(r, slot::kAccX, 3);
}
void ClearMag(MeasurementRecord& r) {
    Clear(r, slot::kMagX, 3);
}
void ClearTempe(MeasurementRecord& r) {
    Clear(r, slot::kTemperature0, 2);
}
void ClearRuntime(MeasurementRecord& r) {
    Clear(r, slot::kRuntime, 1);
}
void ClearGps(MeasurementRecord& r) {
    Clear(r, slot::kSatellites, 8);
}
void ClearQne(MeasurementRecord& r) {
    Clear(r, slot::kQne, 1);
}
void ClearBaro(MeasurementRecord& r) {
    Clear(r, slot::kBaro, 1);
}
void ClearPosition(MeasurementRecord& r) {
    Clear(r, slot::kLatitude, 3);
}
void ClearVelocity(MeasurementRecord& r) {
    Clear(r, slot::kVelX, 3);
}
void ClearUtc(MeasurementRecord& r) {
    Clear(r, slot::kUtc, 1);
}
void ClearMagHead(MeasurementRecord& r) {
    Clear(r, slot::kMagHeading, 1);
}

} // namespace

const std::array<ItemDecoderEntry, 13> ItemDecoderTable = {{
    {Bit(OutputItem::Euler), 12, DecodeEuler, ClearEuler},
    {Bit(OutputItem::Gyro), 12, DecodeGyro, ClearGyro},
    {Bit(OutputItem::Acc), 12, DecodeAcc, ClearAcc},
    {Bit(OutputItem::Mag), 12, DecodeMag, ClearMag},
    {Bit(OutputItem::Tempe), 8, DecodeTempe, ClearTempe},
    {Bit(OutputItem::Runtime), 4, DecodeRuntime, ClearRuntime},
    {Bit(OutputItem::Gps), 6, DecodeGps, ClearGps},
    {Bit(OutputItem::Qne), 4, DecodeQne, ClearQne},
    {Bit(OutputItem::Baro), 4, DecodeBaro, ClearBaro},
    {Bit(OutputItem::Position), 24, DecodePosition, ClearPosition},
    {Bit(OutputItem::Velocity), 12, DecodeVelocity, ClearVelocity},
    {Bit(OutputItem::Utc), 7, DecodeUtc, ClearUtc},
    {Bit(OutputItem::MagHead), 4, DecodeMagHead, ClearMagHead},
}};

std::size_t PayloadSizeOf(std::uint32_t mask) {
    std::size_t size = 0;
    for (const ItemDecoderEntry& entry : ItemDecoderTable) {
        if ((mask & entry.bit) != 0) {
            size += entry.size;
        }
    }
    return size;
}

void DecodeDataFrame(std::uint32_t mask, std::span<const std::uint8_t> payload,
                     const DecodeContext& context) {
    // A short payload still fixes where each item would stand, so the cursor moves over
    // an item that does not fit; every later item then lies outside too.
    std::size_t cursor = 0;
    for (const ItemDecoderEntry& entry : ItemDecoderTable) {
        if ((mask & entry.bit) == 0) {
            entry.clearer(context.record);
            continue;
        }
        if (entry.size <= payload.size() && cursor <= payload.size() - entry.size) {
            entry.decoder(payload.data() + cursor, context);
        } else {
            entry.clearer(context.record);
        }
        cursor += entry.size;
    }
}

void ClearAllItems(MeasurementRecord& record) {
    for (const ItemDecoderEntry& entry : ItemDecoderTable) {
        entry.clearer(record);
    }
}

} // namespace orvanta::protocol
