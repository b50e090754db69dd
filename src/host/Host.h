#pragma once

#include "config/ConfigFile.h"
#include "config/ConfigValues.h"
#include "host/AppState.h"
#include "host/CapturePlayback.h"
#include "host/ConnectionControl.h"
#include "host/DeviceCommands.h"
#include "host/HostUi.h"
#include "host/ModelView.h"
#include "host/OutputItemBoxes.h"
#include "host/RecordingControl.h"
#include "host/RemoteSource.h"
#include "host/SessionObserver.h"
#include "host/StatusDisplay.h"
#include "protocol/FrameReceiver.h"
#include "protocol/PollWorker.h"
#include "recording/CaptureReplay.h"
#include "recording/CaptureWriter.h"
#include "recording/CsvRecorder.h"
#include "serial/BlockingCallQueue.h"
#include "serial/DeviceWatcher.h"
#include "serial/ReceivedBlockQueue.h"
#include "serial/SerialPort.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvanta::host {

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
    // A remote device to watch instead of the serial ports (set: no replay); the port list
    // offers only remoteName.
    RemoteSourceFactory remoteSource;
    std::string remoteName;
    // Named in the CSV files' names, for a run that records several ports; empty: not.
    std::string portName;
};

// The composition root of the program's logic: owns the program-wide state, the frame
// receiver, the link (the serial port, or the replay of a capture), the CSV recorder, the
// capture writer, the poll worker and the configuration file, and the panels that work with
// them, each handed only the parts it uses: the connection (port scan, open and close,
// connect sequence), the device commands (settings, sending, polling), the model, the
// output-item boxes, the recording, the status display and the playback of a capture. It
// answers what the lower layers call back and runs the window's initialisation and timers.
//
// Threads: every public method, and every panel, belongs to the main thread (the one that
// constructs the host), except DispatchPending's notifier, which fires on whichever thread
// queued something. The monitor (or replay) thread, the poll worker and the writers reach
// the host only through its queues: the monitor's blocks are posted to a bounded hand-over
// (the monitor waits only while it is full) and fed in batches; replayed blocks, frames and
// notes and the worker's frames are blocking calls; acknowledgements, messages and the
// device's loss and return are posted calls, run after the blocks read before them.
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
    // Reads the configuration file, or creates it with the settings this run shows.
    void ReadConfiguration();
    // Opens the configured port, or starts the port scan. True when a port is open.
    bool ConnectConfiguredPort() { return connection_.ConnectConfiguredPort(); }
    // Applies the model in force and builds the first CSV path.
    void ApplyModelAtStart();
    void StartRateTimerAndWorker();
    // All of the above in order, as the window's initialisation runs them.
    void Initialise();

    void OnTimer(int timerId);
    // A page-strip segment was chosen; refused items show a message.
    void OnChartItemChosen(int segment);
    // A language button: stores the choice for the next start and says so.
    void OnLanguageRadio();

    // The window is closing: ends the poll worker, flushes and ends the recording, closes
    // the port. Safe to call more than once.
    void Close();

    // Called when a replay has played its capture to the end or to a damage (told first).
    void SetReplayEndListener(std::function<void(const recording::ReplayEnd&)> listener) {
        replayEndListener_ = std::move(listener);
    }

    // Follows the session from now on (null: nobody); the observer outlives its setting.
    void SetSessionObserver(SessionObserver* observer) {
        observer_ = observer;
        capture_.SetMirror(observer);
    }

    // The panels, for the front ends that bind their controls to them.
    ConnectionControl& Connection() { return connection_; }
    DeviceCommands& Commands() { return commands_; }
    ModelView& Models() { return models_; }
    OutputItemBoxes& ItemBoxes() { return itemBoxes_; }
    RecordingControl& Recording() { return recording_; }
    const RecordingControl& Recording() const { return recording_; }
    StatusDisplay& Status() { return status_; }

    // The program-wide data, for the pages that read it.
    AppState& State() { return state_; }
    const AppState& State() const { return state_; }
    const protocol::FrameReceiver& Receiver() const { return receiver_; }
    protocol::FrameReceiver& Receiver() { return receiver_; }
    const recording::CsvRecorder& Recorder() const { return *recorder_; }
    // The serial port; null while replaying.
    const serial::SerialPort* SerialPort() const { return serialPort_; }
    const serial::SerialLink& Link() const { return *theSerialPort; }
    bool Replaying() const { return replay_ != nullptr; }
    bool Remote() const { return remote_ != nullptr; }
    std::string Text(int stringId) const;

    // While the window runs, the port list follows adapters coming and going (device
    // nodes under the device folder). False when the folders cannot be watched.
    bool FollowPorts();

private:
    static HostOptions WithDefaults(HostOptions options);
    std::unique_ptr<recording::CsvRecorder> MakeRecorder();
    std::unique_ptr<serial::SerialLink> MakeLink();
    PortSearch MakePortSearch() const;
    // The language, model, link and data directory in force, as a new file stores them.
    config::ConfigValues SettingsInForce() const;
    // Shows the first failure of the configuration file in a run; the run goes on with its
    // settings in memory, and later failures of the same file would only repeat it.
    void ReportConfigFailure(config::ProfileStatus status);

    // ReceiverEffects
    int CurrentModelIndex() const override { return state_.ModelIndex.load(); }
    void PostDeviceStatus(std::uint8_t status) override;
    void KillReplyTimer() override { timers_.KillTimer(kReplyTimer); }
    void DataFrameDecoded(const protocol::ArrivalTime& arrival) override;
    void SetAutoOutputSeen() override { state_.AutoOutputSeen = true; }
    void ClearAwaitItemMask() override { state_.AwaitItemMask = false; }
    void RefreshItemBoxes() override { itemBoxes_.RefreshItemBoxes(); }
    void ClearAwaitGravity() override { state_.AwaitGravity = false; }
    void ShowDeclination(std::string_view text) override;
    void EndPendingCommand() override;

    // SerialPortOwner (monitor thread, then main thread)
    void OnSerialBytes(const std::uint8_t* bytes, const serial::SerialBlockInfo& info) override;
    void OnSerialEventChar(std::string_view devicePath) override;
    void DispatchPendingDelivery() override;
    bool OnDeviceLost(std::string_view devicePath) override;
    void OnDeviceBack(std::string_view devicePath) override;

    // SerialErrorReporter and RecorderMessages (other threads): queued to the main thread.
    void Report(std::string_view caption, std::string_view text) override;
    void ShowMessage(const std::string& caption, const std::string& text) override;

    // ReplayListener (main thread for the start, then the replay thread)
    void OnReplayStarting(const recording::CaptureNote& note) override;
    void OnCapturedSend(const std::uint8_t* bytes, std::size_t length) override;
    void OnCapturedNote(const recording::CaptureNote& note) override;
    void OnReplayEnded(const recording::ReplayEnd& end) override;
    void OnTimeLeap(double seconds) override;

    // A block for the receiver, from the port or a replay (main thread).
    void FeedDeviceBlock(const std::uint8_t* bytes, const serial::SerialBlockInfo& info);
    // Feeds the blocks the monitor handed over (main thread).
    void FeedReceivedBlocks();
    void FinishReplay(const recording::ReplayEnd& end);

    HostUi& ui_;
    TimerService& timers_;
    HostOptions options_;

    AppState state_;
    config::ConfigFile config_;
    std::unique_ptr<recording::LocalClock> ownClock_;
    std::unique_ptr<recording::Sleeper> ownSleeper_;
    std::unique_ptr<recording::CsvRecorder> recorder_;
    protocol::FrameReceiver receiver_;
    // Received blocks, and the replay's calls, wait here apart from the other calls, so
    // that closing the link can let the monitor or the replay finish its delivery without
    // running anything else.
    serial::ReceivedBlockQueue received_;
    serial::BlockingCallQueue deliveries_;
    serial::BlockingCallQueue mainCalls_;
    recording::CaptureWriter capture_;
    // The program's one link, and what it is; the panels know it only as a SerialLink.
    serial::SerialPort* serialPort_ = nullptr;
    recording::CaptureReplay* replay_ = nullptr;
    RemoteSource* remote_ = nullptr;
    std::unique_ptr<serial::SerialLink> theSerialPort;
    protocol::PollWorker pollWorker_;

    serial::DeviceWatcher portWatcher_;

    StatusDisplay status_;
    OutputItemBoxes itemBoxes_;
    RecordingControl recording_;
    DeviceCommands commands_;
    ModelView models_;
    ConnectionControl connection_;
    CapturePlayback playback_;

    std::function<void(const recording::ReplayEnd&)> replayEndListener_;
    SessionObserver* observer_ = nullptr;
    bool closed_ = false;
    bool configFailureShown_ = false;
};

} // namespace orvanta::host
