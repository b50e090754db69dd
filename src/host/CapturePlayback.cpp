#include "host/CapturePlayback.h"

#include "host/DeviceCommands.h"
#include "host/HostTexts.h"
#include "host/ModelView.h"
#include "host/OutputItemBoxes.h"
#include "host/RecordingControl.h"

#include <cstdlib>

namespace orvanta::host {

void CapturePlayback::ApplyStartNote(const recording::CaptureNote& note) {
    startNote_ = note;
    ApplyCaptureNote(note, modelFromCapture_);
}

void CapturePlayback::ReapplyStartNote() {
    if (startNote_ && state_.PortOpen) {
        ApplyCaptureNote(*startNote_, false);
    }
}

void CapturePlayback::ReplaySentFrame(const std::uint8_t* bytes, std::size_t length) {
    capture_.Append(recording::CaptureDirection::HostToDevice, bytes, length);
    // What sending did to the receiver; the reply timer stays off, as its time-out would
    // land elsewhere in the stream than it did.
    receiver_.OnFrameSent(bytes, length);
    // The specified-items poll carries the mask its reply is decoded with.
    constexpr std::size_t kMaskPollLength = 12;
    if (length == kMaskPollLength &&
        bytes[2] == static_cast<std::uint8_t>(protocol::CommandCode::PollSpecified)) {
        state_.record.SpecifiedItemMask = std::uint32_t{bytes[5]} | std::uint32_t{bytes[6]} << 8 |
                                          std::uint32_t{bytes[7]} << 16 |
                                          std::uint32_t{bytes[8]} << 24;
    }
}

void CapturePlayback::ApplyCaptureNote(const recording::CaptureNote& note, bool withModel) {
    namespace key = recording::note_key;
    if (withModel) {
        if (const auto model = recording::NoteValue(note, key::kModel)) {
            for (int i = 0; i < protocol::kModelCount; ++i) {
                if (*model == protocol::ModelTable[static_cast<std::size_t>(i)].name &&
                    i != state_.ModelIndex.load()) {
                    ui_.SelectListItem(Dialog::Main, main_id::kModelList, i);
                    models_.OnModelListChanged();
                }
            }
        }
    }
    const auto number = [&note](const char* name) -> std::optional<std::uint32_t> {
        const auto value = recording::NoteValue(note, name);
        if (!value) {
            return std::nullopt;
        }
        char* end = nullptr;
        const unsigned long parsed = std::strtoul(value->c_str(), &end, 0);
        if (end == value->c_str() || *end != '\0') {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(parsed);
    };
    if (const auto mode = number(key::kMode); mode && *mode <= 2) {
        commands_.ShowOutputMode(static_cast<int>(*mode));
    }
    auto& record = state_.record;
    if (const auto mask = number(key::kDefaultItemMask)) {
        record.DefaultItemMask = *mask;
    }
    if (const auto mask = number(key::kSpecifiedItemMask)) {
        record.SpecifiedItemMask = *mask;
    }
    itemBoxes_.RefreshItemBoxes();
    if (const auto gravity = recording::NoteValue(note, key::kGravity)) {
        const char* begin = gravity->c_str();
        char* end = nullptr;
        const double value = protocol::ParseDecimal(begin, &end);
        if (end != begin && *end == '\0') {
            record.GravityValue = static_cast<float>(value);
            record.GravityText = FixedText(record.GravityValue, 3);
        }
    }
    // A unit switch as the user made it: the header line goes into a running recording.
    if (const auto unit = number(key::kAngleUnit); unit && *unit <= 1) {
        ui_.SetChecked(Dialog::Main, main_id::kAngleRadians, *unit == 1);
        ui_.SetChecked(Dialog::Main, main_id::kAngleDegrees, *unit == 0);
        if (static_cast<std::uint32_t>(record.AngleUnit) != *unit) {
            recording_.OnAngleUnit();
        }
    }
    if (const auto unit = number(key::kAccelUnit); unit && *unit <= 1) {
        ui_.SetChecked(Dialog::Main, main_id::kAccelMs2, *unit == 1);
        ui_.SetChecked(Dialog::Main, main_id::kAccelG, *unit == 0);
        if (static_cast<std::uint32_t>(record.AccelUnit) != *unit) {
            recording_.OnAccelUnit();
        }
    }
}

} // namespace orvanta::host
