#include "host/RecordingControl.h"

#include "config/ConfigValues.h"
#include "host/ConnectionControl.h"
#include "host/HostTexts.h"

#include <cstdio>

namespace orvanta::host {

namespace {
namespace sid = res::string_id;
constexpr const char* kBrowseTitle = "Please select the data storage path";
constexpr const char* kProgramVersion = ORVANTA_VERSION;
} // namespace

void RecordingControl::RebuildCsvPath() {
    ui_.SetText(Dialog::Main, main_id::kCsvPathBox, recorder_.RebuildCsvPath().generic_string());
}

void RecordingControl::OnRecordButton() {
    if (!recorder_.Recording()) {
        // The file is made now: a folder that cannot take it is reported at once (by the
        // recorder, naming the real path) and the button stays ready to start again.
        const recording::StartResult started = recorder_.Start();
        ui_.SetText(Dialog::Main, main_id::kCsvPathBox, recorder_.CsvPath().generic_string());
        if (!started) {
            return;
        }
        ui_.SetText(Dialog::Main, main_id::kRecordButton,
                    LoadText(sid::kStop, state_.LanguageFlag));
        if (captureWithRecordings_) {
            // One capture per recording, also across the CSV file's roll-over.
            StartCapture(recorder_.CsvPath().replace_extension(".pcap"));
        }
    } else {
        ui_.SetText(Dialog::Main, main_id::kRecordButton,
                    LoadText(sid::kStart, state_.LanguageFlag));
        recorder_.Stop();
        if (captureWithRecordings_) {
            StopCapture();
        }
    }
}

void RecordingControl::OnBrowse() {
    if (const auto folder = ui_.PickFolder(kBrowseTitle)) {
        recorder_.SetDataDirectory(*folder);
    }
    RebuildCsvPath();
}

void RecordingControl::ReadBoundControls() {
    state_.record.AngleUnit = ui_.IsChecked(Dialog::Main, main_id::kAngleRadians) ? 1 : 0;
    state_.record.AccelUnit = ui_.IsChecked(Dialog::Main, main_id::kAccelMs2) ? 1 : 0;
    state_.LanguageFlag = ui_.IsChecked(Dialog::Main, main_id::kLanguageEnglish) ? 1 : 0;
}

void RecordingControl::OnAngleUnit() {
    ReadBoundControls();
    recorder_.RewriteHeaderForAngleUnit(state_.record.AngleUnit);
    AppendCaptureNote({{recording::note_key::kAngleUnit, DecimalText(state_.record.AngleUnit)}});
}

void RecordingControl::OnAccelUnit() {
    ReadBoundControls();
    recorder_.RewriteHeaderForAccelUnit(state_.record.AccelUnit);
    AppendCaptureNote({{recording::note_key::kAccelUnit, DecimalText(state_.record.AccelUnit)}});
}

// ---------------------------------------------------------------- captures

void RecordingControl::SetCaptureWithRecordings(bool on) {
    captureWithRecordings_ = on;
    (void)config_.WriteInt(config::config_key::kCapture, on ? 1 : 0);
}

void RecordingControl::SetCsvFormat(recording::CsvFormat format) {
    recorder_.SetCsvFormat(format);
    (void)config_.WriteString(config::config_key::kCsvFormat, format == recording::CsvFormat::Utf8
                                                                  ? config::kCsvFormatUtf8
                                                                  : config::kCsvFormatDesigned);
}

recording::StartResult RecordingControl::StartCapture(const std::filesystem::path& path) {
    return capture_.Open(path, StateNote());
}

void RecordingControl::StopCapture() {
    capture_.Close();
}

recording::CaptureNote RecordingControl::StateNote() const {
    namespace key = recording::note_key;
    const auto hex = [](std::uint32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", value);
        return std::string(text);
    };
    const auto& record = state_.record;
    return {{key::kModel, state_.ModelName},
            {key::kBaud, DecimalText(SelectedHostBaud(ui_, state_))},
            {key::kParity, std::string(1, SelectedParity(ui_))},
            {key::kMode, DecimalText(state_.OutputMode.load())},
            {key::kVersion, kProgramVersion},
            {key::kPort, ui_.ListItemText(Dialog::Main, main_id::kPortList,
                                          ui_.ListSelection(Dialog::Main, main_id::kPortList))},
            {key::kDefaultItemMask, hex(record.DefaultItemMask.load())},
            {key::kSpecifiedItemMask, hex(record.SpecifiedItemMask.load())},
            {key::kAngleUnit, DecimalText(record.AngleUnit)},
            {key::kAccelUnit, DecimalText(record.AccelUnit)},
            {key::kGravity, FixedText(record.GravityValue, 8)}};
}

void RecordingControl::AppendCaptureNote(const recording::CaptureNote& note) {
    if (capture_.IsOpen() || capture_.Mirrored()) {
        const std::string text = recording::FormatCaptureNote(note);
        capture_.Append(recording::CaptureDirection::Note,
                        reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
}

void RecordingControl::AppendStateNote() {
    AppendCaptureNote(StateNote());
}

} // namespace orvanta::host
