#include "window/DataPageText.h"

namespace orvanta::window {

UnitTexts UnitTexts::For(int angleUnit, int accelUnit) {
    UnitTexts texts;
    texts.angle = angleUnit == 0 ? "°" : "rad";
    texts.rate = angleUnit == 0 ? "°/s" : "rad/s";
    texts.accel = accelUnit != 0 ? "m/s2" : "g";
    return texts;
}

std::string_view UnitTexts::Of(UnitSuffix suffix) const {
    switch (suffix) {
    case UnitSuffix::Angle:
        return angle;
    case UnitSuffix::Rate:
        return rate;
    case UnitSuffix::Accel:
        return accel;
    case UnitSuffix::MicroTesla:
        return "μT";
    case UnitSuffix::Velocity:
        return "m/s";
    case UnitSuffix::Seconds:
        return "s";
    case UnitSuffix::None:
        break;
    }
    return {};
}

bool SetTextIfChanged(LabelTarget& target, int id, std::string_view text) {
    if (target.LabelText(id) == text) {
        return false;
    }
    target.SetLabelText(id, text);
    return true;
}

namespace {

std::string LabelText(const protocol::MeasurementRecord& record, const ValueLabel& label,
                      const UnitTexts& units) {
    std::string text = record.ItemText[static_cast<std::size_t>(label.slot)];
    text += units.Of(label.suffix);
    return text;
}

} // namespace

std::string ValueLabelText(const protocol::MeasurementRecord& record, const ValueLabel& label) {
    return LabelText(record, label, UnitTexts::For(record.AngleUnit, record.AccelUnit));
}

void RefreshDataPage(const protocol::MeasurementRecord& record, LabelTarget& target) {
    const UnitTexts units = UnitTexts::For(record.AngleUnit, record.AccelUnit);
    for (const ValueLabel& label : kDataPageLabels) {
        SetTextIfChanged(target, label.id, LabelText(record, label, units));
    }
}

} // namespace orvanta::window
