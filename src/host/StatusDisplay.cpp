#include "host/StatusDisplay.h"

#include "host/HostTexts.h"

namespace orvanta::host {

void StatusDisplay::OnRateTimer() {
    const std::uint32_t rate =
        protocol::SnapRate(receiver_.TakeDataFrameCount(), state_.FrequencySnapshot());
    if (rate == 0) {
        receiver_.ResetMiscount();
    }
    state_.RateText = DecimalText(rate);
    if (rateTickListener_) {
        rateTickListener_();
    }
}

void StatusDisplay::FlushEcho() {
    std::string& monitor = receiver_.MonitorText();
    if (monitor.empty()) {
        return;
    }
    if (ui_.MonitorLength() < static_cast<std::size_t>(kMonitorLimit)) {
        ui_.AppendMonitorText(monitor);
    } else {
        ui_.ReplaceMonitorText(monitor);
    }
    monitor.clear();
}

void StatusDisplay::RefreshStatusLabels() {
    namespace s = protocol::slot;
    const auto& text = state_.record.ItemText;
    const auto set = [this](int id, const std::string& value) {
        ui_.SetText(Dialog::Main, id, value);
    };
    set(main_id::kGravityLabel, state_.record.GravityText + "g");
    set(main_id::kMiscountLabel, receiver_.MiscountText());
    set(main_id::kRateLabel, state_.RateText + "HZ");
    set(main_id::kUtcLine, text[s::kUtc]);
    set(main_id::kMcuTemperature, text[s::kTemperature0] + "℃");
    set(main_id::kDeviceTemperature, text[s::kTemperature1] + "℃");
    set(main_id::kRuntime, text[s::kRuntime] + "s");
    set(main_id::kLatitude, text[s::kLatitude] + "°");
    set(main_id::kLongitude, text[s::kLongitude] + "°");
    set(main_id::kAltitude, text[s::kAltitude] + "m");
    set(main_id::kQne, text[s::kQne] + "cm");
    set(main_id::kBaro, text[s::kBaro] + "Pa");
    set(main_id::kMagHeading, text[s::kMagHeading] + "°");
}

} // namespace orvanta::host
