#pragma once

#include "config/ConfigFile.h"
#include "host/AppState.h"
#include "host/HostUi.h"
#include "recording/CaptureWriter.h"
#include "recording/CsvRecorder.h"

#include <filesystem>

namespace orvanta::host {

// What a running capture takes besides the bytes: the settings the byte stream does not
// show, which a replay needs to decode it as the run did. Main thread only.
class CaptureNotes {
public:
    // Appended while a capture runs; nothing happens otherwise.
    virtual void AppendCaptureNote(const recording::CaptureNote& note) = 0;
    // The settings in force, as a capture's first note holds them.
    virtual void AppendStateNote() = 0;

protected:
    ~CaptureNotes() = default;
};

// The recording panel and the switches of the status row: starts and stops the CSV
// recording (with a capture beside it while the switch is on), picks its folder, rewrites
// the header when a unit switch changes; and starts, stops and annotates captures. Main thread
// only.
class RecordingControl final : public CaptureNotes {
public:
    RecordingControl(HostUi& ui, AppState& state, recording::CsvRecorder& recorder,
                     recording::CaptureWriter& capture, config::ConfigFile& config)
        : ui_(ui), state_(state), recorder_(recorder), capture_(capture), config_(config) {}

    void OnRecordButton();
    void OnBrowse();
    void OnAngleUnit();
    void OnAccelUnit();
    // A new CSV path for the path box, from the folder, the model and now.
    void RebuildCsvPath();

    // The raw bytes from now on into path: a note with the settings in force, then every
    // block handed to the receiver and every frame queued for the device. A taken name gets
    // the next numbered one; a capture that cannot be started has been reported.
    recording::StartResult StartCapture(const std::filesystem::path& path);
    void StopCapture();
    bool Capturing() const { return capture_.IsOpen(); }
    std::filesystem::path CapturePath() const { return capture_.Path(); }
    std::uint64_t LostCaptureRecords() const { return capture_.LostRecords(); }
    // The context-menu switch: while on, each recording also writes a capture beside its
    // CSV file. Stored as CAPTURE in the configuration file.
    void SetCaptureWithRecordings(bool on);
    bool CaptureWithRecordings() const { return captureWithRecordings_; }
    // The switch as the configuration file holds it; nothing is written.
    void RestoreCaptureWithRecordings(bool on) { captureWithRecordings_ = on; }
    // The context-menu switch between the designed CSV file and the one for analysis
    // tools, from the next recording on. Stored as CSV_FORMAT in the configuration file.
    void SetCsvFormat(recording::CsvFormat format);
    recording::CsvFormat CsvFileFormat() const { return recorder_.GetCsvFormat(); }
    // The format as the configuration file or the command line gives it; nothing is written.
    void UseCsvFormat(recording::CsvFormat format) { recorder_.SetCsvFormat(format); }

    void AppendCaptureNote(const recording::CaptureNote& note) override;
    void AppendStateNote() override;

    // The radio groups bound to AngleUnit, AccelUnit and LanguageFlag, read back: a click on
    // any of them reads all three, as the window's data exchange does.
    void ReadBoundControls();

    // The settings in force, as a capture's first note holds them.
    recording::CaptureNote StateNote() const;

private:
    HostUi& ui_;
    AppState& state_;
    recording::CsvRecorder& recorder_;
    recording::CaptureWriter& capture_;
    config::ConfigFile& config_;
    bool captureWithRecordings_ = false;
};

} // namespace orvanta::host
