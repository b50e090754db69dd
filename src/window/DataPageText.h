#pragma once

#include "protocol/MeasurementRecord.h"

#include <string>
#include <string_view>

namespace orvanta::window {

// The unit a value label adds after its slot's text.
enum class UnitSuffix { None, Angle, Rate, Accel, MicroTesla, Velocity, Seconds };

// A value label of the live data page: the slot it shows and the unit after it.
struct ValueLabel {
    int id;
    int slot;
    UnitSuffix suffix;
};

// The page's value labels in refresh order.
inline constexpr ValueLabel kDataPageLabels[23] = {
    {1056, protocol::slot::kRoll, UnitSuffix::Angle},
    {1052, protocol::slot::kPitch, UnitSuffix::Angle},
    {1054, protocol::slot::kYaw, UnitSuffix::Angle},
    {1016, protocol::slot::kGyroX, UnitSuffix::Rate},
    {1015, protocol::slot::kGyroY, UnitSuffix::Rate},
    {1012, protocol::slot::kGyroZ, UnitSuffix::Rate},
    {1059, protocol::slot::kAccX, UnitSuffix::Accel},
    {1061, protocol::slot::kAccY, UnitSuffix::Accel},
    {1063, protocol::slot::kAccZ, UnitSuffix::Accel},
    {1071, protocol::slot::kMagX, UnitSuffix::MicroTesla},
    {1080, protocol::slot::kMagY, UnitSuffix::MicroTesla},
    {1082, protocol::slot::kMagZ, UnitSuffix::MicroTesla},
    {1065, protocol::slot::kVelX, UnitSuffix::Velocity},
    {1067, protocol::slot::kVelY, UnitSuffix::Velocity},
    {1069, protocol::slot::kVelZ, UnitSuffix::Velocity},
    {1138, protocol::slot::kSatellites, UnitSuffix::None},
    {1125, protocol::slot::kGpsFlag23, UnitSuffix::None},
    {1126, protocol::slot::kTrueHeadFlag, UnitSuffix::None},
    {1131, protocol::slot::kUtcFlag, UnitSuffix::None},
    {1128, protocol::slot::kGpsFlag26, UnitSuffix::None},
    {1127, protocol::slot::kGpsFlag28, UnitSuffix::None},
    {1124, protocol::slot::kTimeOfWeek, UnitSuffix::Seconds},
    {1129, protocol::slot::kGpsFix, UnitSuffix::None},
};

// The suffix texts in force for the two unit flags.
struct UnitTexts {
    std::string_view angle;
    std::string_view rate;
    std::string_view accel;

    static UnitTexts For(int angleUnit, int accelUnit);
    std::string_view Of(UnitSuffix suffix) const;
};

// The labels the page writes: read back a label's text, set it. Main thread only.
class LabelTarget {
public:
    virtual ~LabelTarget() = default;
    virtual std::string LabelText(int id) const = 0;
    virtual void SetLabelText(int id, std::string_view text) = 0;
};

// Sets the label only when its text differs byte for byte; true when it was set.
bool SetTextIfChanged(LabelTarget& target, int id, std::string_view text);

// The text a value label shows for the record as it stands.
std::string ValueLabelText(const protocol::MeasurementRecord& record, const ValueLabel& label);

// Copies every value label's text from the record, in table order.
void RefreshDataPage(const protocol::MeasurementRecord& record, LabelTarget& target);

} // namespace orvanta::window
