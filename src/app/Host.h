#pragma once

#include "app/AppState.h"
#include "app/CIniFile.h"
#include "app/HostUi.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameReceiver.h"
#include "protocol/PollWorker.h"
#include "recording/CaptureReplay.h"
#include "recording/CaptureWriter.h"
#include "recording/CsvRecorder.h"
#include "serial/BlockingCallQueue.h"
#include "serial/CSerialPort.h"
#include "serial/PortDiscovery.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace orvanta::app {

// The system's serial ports under sysfsRoot (device nodes in deviceDir), with the configured
// path when it is a terminal and was not found: what the port list offers.
std::vector<std::string> SystemPortList(const std::string& sysfsRoot, const std::string& deviceDir,
                                        const std::string& configuredPath);

// The text of the failed-open box: failedText ("Serial port open failed" in the language of
// languageFlag), and for a path that is no terminal or a device the user has no rights to,
// one more sentence that names the path (and the group that owns the device).
std::string PortOpenFailedText(std::string_view failedText, int languageFlag, std::string_view path,
                               const serial::SerialError& reason);

// Where the host finds its files (from the file layout), ports and clocks; the defaults of
// the ports and clocks are the program's.
struct HostOptions {
    std::filesystem::path configPath;
    std::filesystem::path dataDirectory; // the default one, before PATH
    int languageFlag = 1;                // 0 Chinese, 1 English, as chosen at start-up
    // Where the system's serial ports are found; the scan also reads the active consoles
    // there.
    std::string sysfsRoot = "/sys";
    std::string deviceDir = "/dev";
    // Looks for the ports in root's sys/ and dev/ instead.
    void SetSystemRoot(const std::filesystem::path& root) {
        sysfsRoot = (root / "sys").string();
        deviceDir = (root / "dev").string();
    }
    // The serial port list for a configured path; the system's ports by default.
    std::function<std::vector<std::string>(const std::string& configuredPath)> listPorts;
    const recording::LocalClock* clock = nullptr;  // null: the computer's clock
    recording::Sleeper* recorderSleeper = nullptr; // null: real waits
    // A capture to play instead of the serial ports; the port list offers only it.
    std::filesystem::path replayPath;
    recording::ReplaySpeed replaySpeed;
    // Whether opening the replay puts the model of the capture's note in force.
    bool replayModelFromCapture = true;
    recording::ReplayClock* replayClock = nullptr; // null: the steady clock
};

// The composition root of the program's logic: owns the program-wide state, the frame
// receiver, the link (the serial port, or the replay of a capture), the CSV recorder, the
// capture writer, the poll worker and the configuration file, and runs the connect
// sequence, sending, polling, settings and recording. It reaches the user interface
// through HostUi and its timers through TimerService.
//
// Threads: every public method belongs to the main thread (the one that constructs the
// host), except DispatchPending's notifier, which fires on whichever thread queued a
// call. The monitor (or replay) thread, the poll worker and the writers reach the host
// only through its call queues: a blocking call for received bytes, replayed frames and
// the worker's frames, posted calls for acknowledgements and messages.
class Host : private protocol::ReceiverEffects,
             private serial::SerialPortOwner,
             private serial::SerialErrorReporter,
             private recording::RecorderMessages,
             private recording::ReplayListener {
public:
    Host(HostUi& ui, TimerService& timers, HostOptions options);
    ~Host() override;
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Runs calls that other threads queued for the main thread; the notifier tells the
    // event loop that there is something to run.
    void DispatchPending();
    void SetDispatchNotifier(std::function<void()> notifier);

    // Window initialisation, in the window's order.
    void FillLists();
    // Reads the configuration file, or creates it with default values.
    void ReadConfiguration();
    // Opens the configured port, or starts the port scan. True when a port is open.
    bool ConnectConfiguredPort();
    // Applies the model in force and builds the first CSV path.
    void ApplyModelAtStart();
    void StartRateTimerAndWorker();
    // All of the above in order, as the window's initialisation runs them.
    void Initialise();

    // Connection panel.
    void ToggleOpen();
    void OnConnectButton();
    void OnPortListChanged();
    void OnBaudListChanged();
    void OnParityListChanged();
    void OnModelListChanged();

    // Settings panel and live data page settings.
    void OnModeListChanged();
    void OnFrequencyListChanged();
    void OnDeviceBaudSet();
    void OnFrequencySet();
    void OnGravitySet();
    void OnSave();
    void OnItemSet();
    void OnDeclinationRadio();
    void OnDeclinationOk();
    void OnCalibrationSet();

    // Recording panel and unit switches.
    void OnRecordButton();
    void OnBrowse();
    void OnAngleUnit();
    void OnAccelUnit();
    void OnLanguageRadio();
    // A click on an output-item box of the main window (the click has toggled it).
    void LockOutputItemBox(int boxId);
    // A page-strip segment was chosen; refused items show a message.
    void OnChartItemChosen(int segment);

    void OnTimer(int timerId);

    // The window is closing: ends the poll worker, flushes and ends the recording, closes
    // the port. Safe to call more than once.
    void Close();

    // Called after every rate-timer tick and after each finished connect sequence.
    void SetRateTickListener(std::function<void()> listener) {
        rateTickListener_ = std::move(listener);
    }
    void SetConnectFinishedListener(std::function<void()> listener) {
        connectFinishedListener_ = std::move(listener);
    }
    // Called when a connection attempt ends with no port open (a failed open, which shows
    // its message, or a scan that found nothing, which shows none).
    void SetNoPortListener(std::function<void(bool messageShown)> listener) {
        noPortListener_ = std::move(listener);
    }
    // Called when a replay has played its capture to the end or to a damage (told first).
    void SetReplayEndListener(std::function<void(const recording::ReplayEnd&)> listener) {
        replayEndListener_ = std::move(listener);
    }

    // The raw bytes from now on into path: a note with the settings in force, then every
    // block handed to the receiver and every frame queued for the device. False when the
    // capture could not be started.
    bool StartCapture(const std::filesystem::path& path);
    void StopCapture();
    bool Capturing() const { return capture_.IsOpen(); }
    // The context-menu switch: while on, each recording also writes a capture beside its
    // CSV file. Stored as CAPTURE in the configuration file.
    void SetCaptureWithRecordings(bool on);
    bool CaptureWithRecordings() const { return captureWithRecordings_; }
    // Moves the echo into the monitor box now, as the echo timer does.
    void FlushEcho() { OnEchoTimer(); }

    // The program-wide data, for the pages that read it.
    AppState& State() { return state_; }
    const AppState& State() const { return state_; }
    const protocol::FrameReceiver& Receiver() const { return receiver_; }
    protocol::FrameReceiver& Receiver() { return receiver_; }
    const recording::CsvRecorder& Recorder() const { return *recorder_; }
    // The serial port; null while replaying.
    const serial::CSerialPort* SerialPort() const { return serialPort_; }
    const serial::SerialLink& Link() const { return *theSerialPort; }
    bool Replaying() const { return replay_ != nullptr; }
    std::string Text(int stringId) const;

    // Connection steps, public for the front ends and tests.
    bool SelectConfiguredPort();
    // Lists the ports with path among them and selects it; no scan follows.
    void SelectPortPath(const std::string& path);
    bool TryNextPort();
    void BeginConnection();
    void EndConnection();
    enum class LinkChange { Port, Baud, Parity, DeviceBaudAcknowledged };
    void ReopenPort(LinkChange change);
    void FinishConnect();
    void ApplyModel();
    void ApplyModelView(int index);
    void RefreshItemBoxes() override;
    void RefreshStatusLabels();
    void SendOutputMode();
    void SendFrame(const protocol::CommandFrame& frame);
    void ShowDeviceStatus(std::uint8_t status);
    void ApplyAcknowledged();

private:
    // ReceiverEffects
    int CurrentModelIndex() const override { return state_.ModelIndex.load(); }
    void PostDeviceStatus(std::uint8_t status) override;
    void KillReplyTimer() override;
    void DataFrameDecoded() override;
    void SetAutoOutputSeen() override { state_.AutoOutputSeen = true; }
    void ClearAwaitItemMask() override { state_.AwaitItemMask = false; }
    void ClearAwaitGravity() override { state_.AwaitGravity = false; }
    void ShowDeclination(std::string_view text) override;
    void EndPendingCommand() override;

    // SerialPortOwner (monitor thread, then main thread)
    void OnSerialBytes(const std::uint8_t* bytes, const serial::SerialBlockInfo& info) override;
    void OnSerialEventChar(std::string_view devicePath) override;
    void DispatchPendingDelivery() override;

    // SerialErrorReporter and RecorderMessages (other threads): queued to the main thread.
    void Report(std::string_view caption, std::string_view text) override;
    void ShowMessage(const std::string& caption, const std::string& text) override;

    // ReplayListener (replay thread, then main thread)
    void OnCapturedSend(const std::uint8_t* bytes, std::size_t length) override;
    void OnCapturedNote(const recording::CaptureNote& note) override;
    void OnReplayEnded(const recording::ReplayEnd& end) override;

    // A block for the receiver, from the port or a replay (main thread).
    void FeedDeviceBlock(const std::uint8_t* bytes, std::uint32_t count);
    // A replayed command frame: echoed and awaited as when it was sent.
    void ReplaySentFrame(const std::uint8_t* bytes, std::size_t length);
    // Puts the model, masks and units a capture's note names in force.
    void ApplyCaptureNote(const recording::CaptureNote& note, bool withModel);
    void FinishReplay(const recording::ReplayEnd& end);
    // During a replay: tells the user that a setting that sends a command is not available.
    bool RefusedDuringReplay();
    void AppendCaptureNote(const recording::CaptureNote& note);
    recording::CaptureNote CaptureStateNote() const;

    bool OnMainThread() const { return std::this_thread::get_id() == mainThread_; }
    // Hands a frame to SendFrame on the main thread, from either thread.
    void SendCommand(const protocol::CommandFrame& frame);
    // Makes the setting pending with the value its repetitions carry.
    void MakePending(PendingKind kind, const std::uint8_t* bytes = nullptr,
                     std::uint8_t length = 0);
    void SendWriteCommand(protocol::CommandCode code, const std::uint8_t* bytes,
                          std::uint8_t length);

    // The poll worker's step and its two halves (worker thread).
    void PollWorkerStep();
    bool RepeatPending();
    void PollStep();
    // Runs fn on the main thread and waits; on the main thread it runs at once.
    bool CallOnMain(const std::function<void()>& fn);

    void OnConnectTimer();
    void OnHandshakeTimer();
    void OnRateTimer();
    void OnEchoTimer();
    void OnReplyTimer();

    void RefreshLinkSettings();
    // The radio groups bound to AngleUnit, AccelUnit and LanguageFlag, read back.
    void ReadBoundControls();
    std::uint32_t SelectedHostBaud() const;
    char SelectedParity() const;
    void SetModeCaption(int mode);
    void FillList(Dialog dialog, int id, const std::vector<std::string>& entries);
    std::uint32_t ItemBoxMask() const;
    void SetItemBoxes(std::uint32_t mask);
    void RebuildCsvPath();
    void ShowPortOpenFailed();
    bool IsConsole(const std::string& path) const;
    // After a scan that opened nothing else: the configured port, silent, stays open.
    bool ReopenConfiguredPort(int position, const std::string& path);
    void NotifyNoPort(bool messageShown);

    HostUi& ui_;
    TimerService& timers_;
    HostOptions options_;
    std::thread::id mainThread_;

    AppState state_;
    CIniFile config_;
    std::unique_ptr<recording::LocalClock> ownClock_;
    std::unique_ptr<recording::Sleeper> ownSleeper_;
    std::unique_ptr<recording::CsvRecorder> recorder_;
    protocol::FrameReceiver receiver_;
    // Received blocks wait here, apart from the other calls, so that closing the port
    // can let the monitor finish its delivery without running anything else.
    serial::BlockingCallQueue deliveries_;
    serial::BlockingCallQueue mainCalls_;
    recording::CaptureWriter capture_;
    bool captureWithRecordings_ = false;
    // The program's one link, and what it is.
    std::unique_ptr<serial::SerialLink> theSerialPort;
    serial::CSerialPort* serialPort_ = nullptr;
    recording::CaptureReplay* replay_ = nullptr;
    protocol::PollWorker pollWorker_;

    std::string modeTexts_[3];
    std::string successText_;
    std::string failureText_;
    std::string portOpenFailedText_;

    std::function<void()> rateTickListener_;
    std::function<void()> connectFinishedListener_;
    std::function<void(bool)> noPortListener_;
    std::function<void(const recording::ReplayEnd&)> replayEndListener_;
    bool closed_ = false;
};

} // namespace orvanta::app
