#include "host/Host.h"

#include "config/ConfigValues.h"
#include "config/LanguageChoice.h"
#include "host/HostTexts.h"
#include "protocol/ItemDecoderTable.h"

#include <algorithm>

namespace orvanta::host {

namespace {
namespace sid = res::string_id;
constexpr int kRatePeriod = 1000;
constexpr std::size_t kEchoPieceBytes = 1 << 20;

std::string ConfigFailureText(config::ProfileStatus status, const std::string& path,
                              int languageFlag) {
    const bool english = languageFlag == 1;
    switch (status) {
    case config::ProfileStatus::CannotRead:
        return english ? "Unable to read the configuration file " + path +
                             "; this run keeps its settings in memory only."
                       : "无法读取配置文件 " + path + "，本次运行的设置只保存在内存中。";
    case config::ProfileStatus::TooLarge:
        return english ? "The configuration file " + path +
                             " is too large to be read whole; it is left as it is and this run "
                             "keeps its settings in memory only."
                       : "配置文件 " + path +
                             " 过大，无法完整读取；文件保持不变，本次运行的设置只保存在内存中。";
    default:
        return english ? "Unable to write the configuration file " + path +
                             "; this run keeps its settings in memory only."
                       : "无法写入配置文件 " + path + "，本次运行的设置只保存在内存中。";
    }
}
} // namespace

Host::Host(HostUi& ui, TimerService& timers, HostOptions options)
    : ui_(ui), timers_(timers), options_(WithDefaults(std::move(options))),
      config_(options_.configPath), recorder_(MakeRecorder()),
      receiver_(state_.record, state_.history, *this), capture_(*this), theSerialPort(MakeLink()),
      status_(ui_, state_, receiver_), itemBoxes_(ui_, state_),
      recording_(ui_, state_, *recorder_, capture_, config_),
      commands_(ui_, timers_, state_, *theSerialPort, receiver_, capture_, pollWorker_, mainCalls_,
                itemBoxes_, recording_, options_.languageFlag),
      models_(ui_, state_, *recorder_, config_, *theSerialPort, commands_, itemBoxes_, recording_),
      connection_(ui_, timers_, state_, *theSerialPort, *this, receiver_, pollWorker_, config_,
                  commands_, MakePortSearch()),
      playback_(ui_, state_, receiver_, capture_, models_, commands_, itemBoxes_, recording_,
                options_.replayModelFromCapture) {
    state_.LanguageFlag = options_.languageFlag;
    const protocol::ModelProfile& first = protocol::ModelRow(0);
    for (std::size_t i = 0; i < state_.FrequencyTable.size(); ++i) {
        state_.FrequencyTable[i] = first.frequencies[i];
    }
    recorder_->SetLanguageFlag(state_.LanguageFlag);
    recorder_->SetPortName(options_.portName);
    capture_.SetLanguageFlag(state_.LanguageFlag);
    config_.SetFailureListener(
        [this](config::ProfileStatus status) { ReportConfigFailure(status); });
    connection_.SetLostDeviceReopener(
        // A remote device resumes by itself: its source tells when it is back.
        [this] { return serialPort_ != nullptr ? serialPort_->Reopen() : remote_ != nullptr; });
    connection_.SetDeviceBackListener([this](double secondsAway) {
        recording_.AppendCaptureNote({{recording::note_key::kGap, FixedText(secondsAway, 3)}});
    });
    commands_.SetRemoteSource(remote_ != nullptr);
    commands_.SetLinkReopener(
        [this] { connection_.ReopenPort(ConnectionControl::LinkChange::DeviceBaudAcknowledged); });

    // What happens when the main window is created: the data directory, every item
    // text cleared.
    recorder_->SetDataDirectory(options_.dataDirectory);
    recorder_->SetModelName(state_.ModelName);
    protocol::ClearAllItems(state_.record);
}

Host::~Host() {
    Close();
}

HostOptions Host::WithDefaults(HostOptions options) {
    if (!options.listPorts) {
        options.listPorts = [sysfsRoot = options.sysfsRoot,
                             deviceDir = options.deviceDir](const std::string& configured) {
            return SystemPortList(sysfsRoot, deviceDir, configured);
        };
    }
    return options;
}

std::unique_ptr<recording::CsvRecorder> Host::MakeRecorder() {
    if (!options_.clock) {
        ownClock_ = std::make_unique<recording::SystemLocalClock>();
        options_.clock = ownClock_.get();
    }
    if (!options_.recorderSleeper) {
        ownSleeper_ = std::make_unique<recording::SystemSleeper>();
        options_.recorderSleeper = ownSleeper_.get();
    }
    recording::RecorderMessages& messages = *this;
    return std::make_unique<recording::CsvRecorder>(*options_.clock, *options_.recorderSleeper,
                                                    messages);
}

std::unique_ptr<serial::SerialLink> Host::MakeLink() {
    if (options_.remoteSource) {
        recording::ReplayListener& listener = *this;
        serial::SerialErrorReporter& reporter = *this;
        std::unique_ptr<RemoteSource> remote = options_.remoteSource(listener, reporter);
        remote_ = remote.get();
        return remote;
    }
    if (options_.replayPath.empty()) {
        serial::SerialErrorReporter& reporter = *this;
        serial::PortEnvironment environment;
        environment.language = static_cast<serial::Language>(options_.languageFlag);
        environment.sysfsRoot = options_.sysfsRoot;
        environment.deviceDir = options_.deviceDir;
        auto port = std::make_unique<serial::SerialPort>(&reporter, environment);
        serialPort_ = port.get();
        return port;
    }
    recording::ReplayListener& listener = *this;
    auto replay = std::make_unique<recording::CaptureReplay>(listener, options_.replayClock);
    replay->SetSpeed(options_.replaySpeed);
    // As fast as possible the rows come quicker than the writer's period: wait for it.
    replay->SetBackPressure([this] { recorder_->WaitForWriter(); });
    replay_ = replay.get();
    return replay;
}

PortSearch Host::MakePortSearch() const {
    PortSearch search{
        options_.listPorts, options_.sysfsRoot, options_.deviceDir, options_.replayPath, {}, {}};
    if (remote_ != nullptr) {
        search.playedFile = options_.remoteName;
        search.playedName = options_.remoteName;
        search.openFailedText = [this](const std::string&) { return remote_->OpenError(); };
    } else if (replay_ != nullptr) {
        search.openFailedText = [this](const std::string& path) {
            return recording::NotACaptureText(path, replay_->OpenError(), state_.LanguageFlag);
        };
    } else {
        search.openFailedText = [this,
                                 failed = LoadText(sid::kPortOpenFailed, options_.languageFlag)](
                                    const std::string& path) {
            return PortOpenFailedText(failed, state_.LanguageFlag, path,
                                      serialPort_->LastOpenError());
        };
    }
    return search;
}

std::string Host::Text(int stringId) const {
    return LoadText(stringId, state_.LanguageFlag);
}

void Host::DispatchPending() {
    // Counted first: a device loss posted after some blocks then runs after them.
    const std::size_t calls = mainCalls_.Pending();
    FeedReceivedBlocks();
    deliveries_.DispatchAll();
    for (std::size_t i = 0; i < calls && mainCalls_.DispatchOne(); ++i) {
    }
}

void Host::SetDispatchNotifier(std::function<void()> notifier) {
    received_.SetNotifier(notifier);
    deliveries_.SetNotifier(notifier);
    mainCalls_.SetNotifier(std::move(notifier));
}

// ---------------------------------------------------------------- initialisation

void Host::FillLists() {
    connection_.FillLists();
    commands_.FillLists();
    ui_.SetText(Dialog::Main, main_id::kRecordButton, Text(sid::kStart));
}

config::ConfigValues Host::SettingsInForce() const {
    config::ConfigValues values;
    values.model = state_.ModelName;
    values.protocol = state_.ProtocolName;
    const int port = ui_.ListSelection(Dialog::Main, main_id::kPortList);
    // No port is listed before the port step, which then looks for this one.
    values.com = port >= 0 ? ui_.ListItemText(Dialog::Main, main_id::kPortList, port)
                           : config::kDefaultComPath;
    values.baud = std::max(0, ui_.ListSelection(Dialog::Main, main_id::kBaudList));
    values.parity = std::max(0, ui_.ListSelection(Dialog::Main, main_id::kParityList));
    values.path = recorder_->DataDirectory().generic_string();
    return values;
}

void Host::ReportConfigFailure(config::ProfileStatus status) {
    if (status == config::ProfileStatus::Ok || configFailureShown_) {
        return;
    }
    configFailureShown_ = true;
    ui_.ShowMessage(kMessageCaption,
                    ConfigFailureText(status, config_.Path().string(), state_.LanguageFlag),
                    MessageIcon::Exclamation);
}

void Host::ReadConfiguration() {
    const std::string dataDirectory = recorder_->DataDirectory().generic_string();
    if (!config_.Exists()) {
        // What this run shows, so that the next start looks the same; the lists keep
        // their entries. A failure reaches the user through the file's listener.
        (void)config::CreateConfigFile(config_, SettingsInForce(), state_.LanguageFlag);
        return;
    }
    (void)config_.CheckReadable();
    const config::ConfigValues values = config::ReadConfigValues(config_, dataDirectory);
    recording_.RestoreCaptureWithRecordings(values.capture);
    recording_.UseCsvFormat(values.csvForAnalysis ? recording::CsvFormat::Utf8
                                                  : recording::CsvFormat::Designed);
    state_.ModelName = values.model;
    recorder_->SetModelName(values.model);
    state_.ProtocolName = values.protocol;
    if (!values.path.empty()) {
        recorder_->SetDataDirectory(values.path);
    }
    // Indexes outside the lists select their first entry.
    const auto clampIndex = [this](int index, int id) {
        return (index >= 0 && index < ui_.ListCount(Dialog::Main, id)) ? index : 0;
    };
    ui_.SelectListItem(Dialog::Main, main_id::kBaudList,
                       clampIndex(values.baud, main_id::kBaudList));
    ui_.SelectListItem(Dialog::Main, main_id::kParityList,
                       clampIndex(values.parity, main_id::kParityList));
    for (int i = 0; i < protocol::kModelCount; ++i) {
        if (values.model == protocol::ModelTable[static_cast<std::size_t>(i)].name) {
            ui_.SelectListItem(Dialog::Main, main_id::kModelList, i);
            models_.ApplyModelView(i);
            break;
        }
    }
}

void Host::ApplyModelAtStart() {
    models_.ApplyModel();
    // A replay's masks again: the model's defaults just replaced them.
    playback_.ReapplyStartNote();
    recording_.RebuildCsvPath();
}

void Host::StartRateTimerAndWorker() {
    timers_.StartTimer(kRateTimer, kRatePeriod);
    pollWorker_.Start([this] { commands_.PollWorkerStep(); });
}

void Host::Initialise() {
    FillLists();
    ReadConfiguration();
    ConnectConfiguredPort();
    ApplyModelAtStart();
    StartRateTimerAndWorker();
}

void Host::OnTimer(int timerId) {
    switch (timerId) {
    case kConnectTimer:
        connection_.OnConnectTimer();
        break;
    case kStatusTimer:
        status_.RefreshStatusLabels();
        break;
    case kRateTimer:
        status_.OnRateTimer();
        if (observer_ != nullptr) {
            observer_->RateTick();
        }
        break;
    case kReplyTimer:
        commands_.OnReplyTimer();
        break;
    case kEchoTimer:
        status_.FlushEcho();
        break;
    case kHandshakeTimer:
        connection_.OnHandshakeTimer();
        break;
    default:
        break;
    }
}

void Host::OnLanguageRadio() {
    recording_.ReadBoundControls();
    if (const auto message = config::StoreLanguageChoice(config_, state_.LanguageFlag)) {
        ui_.ShowMessage(message->caption, message->text, MessageIcon::None);
    }
}

void Host::OnChartItemChosen(int segment) {
    const int model = state_.ModelIndex;
    const bool accepted = model == 1   ? (segment >= 0 && segment <= 2)
                          : model == 2 ? (segment != 3)
                                       : true;
    if (!accepted) {
        ui_.ShowMessage(kMessageCaption, Text(sid::kEquipmentNotSupported),
                        MessageIcon::Exclamation);
        return;
    }
    state_.ChartItem = segment;
    ui_.SelectChartItem(segment);
}

// ---------------------------------------------------------------- lower layers

void Host::PostDeviceStatus(std::uint8_t status) {
    mainCalls_.Post([this, status] { commands_.ShowDeviceStatus(status); });
}

void Host::DataFrameDecoded(const protocol::ArrivalTime& arrival) {
    if (recorder_->RecordingState() != 0) {
        recorder_->AppendRow(state_.record.ItemText, state_.ModelIndex, arrival);
    }
    if (observer_ != nullptr) {
        observer_->DataFrameDecoded(receiver_.CurrentDataFrame(), arrival);
    }
}

void Host::ShowDeclination(std::string_view text) {
    ui_.SetText(Dialog::DataPage, page_id::kDeclinationBox, text);
}

void Host::EndPendingCommand() {
    state_.AwaitingAck = false;
    state_.PendingCommand = static_cast<int>(PendingKind::None);
}

void Host::OnSerialBytes(const std::uint8_t* bytes, const serial::SerialBlockInfo& info) {
    if (replay_ != nullptr || remote_ != nullptr) {
        // A replay's or a remote device's sent frames and notes are blocking calls: their
        // blocks keep their order with them by being blocking calls too.
        deliveries_.CallBlocking([this, bytes, &info] { FeedDeviceBlock(bytes, info); });
        return;
    }
    // Refused only once the host has closed, when nothing takes blocks any more.
    (void)received_.Push(bytes, info);
}

void Host::FeedReceivedBlocks() {
    received_.FeedAll([this](const std::uint8_t* bytes, const serial::SerialBlockInfo& info) {
        FeedDeviceBlock(bytes, info);
    });
}

void Host::DispatchPendingDelivery() {
    FeedReceivedBlocks();
    deliveries_.DispatchOne();
}

void Host::FeedDeviceBlock(const std::uint8_t* bytes, const serial::SerialBlockInfo& info) {
    // Captured where the receiver takes it, so the capture's order is the echo's; stamped
    // when it was read, not when this thread got to it.
    capture_.Append(recording::CaptureDirection::DeviceToHost, bytes, info.byteCount,
                    capture_.TimeAtMonotonic(info.monotonicNs));
    receiver_.FeedBytes(bytes, info.byteCount, {info.realtimeNs, info.monotonicNs});
    // A replay at full speed echoes megabytes per timer period: moved out in pieces, the
    // text stays small. A line never comes near this.
    if (receiver_.MonitorText().size() >= kEchoPieceBytes) {
        status_.FlushEcho();
    }
}

void Host::OnSerialEventChar(std::string_view) {
    // Left to default processing, as the window does.
}

void Host::Report(std::string_view caption, std::string_view text) {
    mainCalls_.Post([this, caption = std::string(caption), text = std::string(text)] {
        ui_.ShowMessage(caption, text, MessageIcon::Error);
    });
}

void Host::ShowMessage(const std::string& caption, const std::string& text) {
    mainCalls_.Post(
        [this, caption, text] { ui_.ShowMessage(caption, text, MessageIcon::Exclamation); });
}

void Host::OnReplayStarting(const recording::CaptureNote& note) {
    // The capture holds the connect sequence it had, if any; its note stands for the rest.
    playback_.ApplyStartNote(note);
}

void Host::OnCapturedSend(const std::uint8_t* bytes, std::size_t length) {
    deliveries_.CallBlocking([this, bytes, length] { playback_.ReplaySentFrame(bytes, length); });
}

void Host::OnCapturedNote(const recording::CaptureNote& note) {
    deliveries_.CallBlocking([this, &note] { playback_.ApplyCaptureNote(note, true); });
}

void Host::OnReplayEnded(const recording::ReplayEnd& end) {
    mainCalls_.Post([this, end] { FinishReplay(end); });
}

void Host::OnTimeLeap(double seconds) {
    mainCalls_.Post([this, seconds] {
        const std::string span = std::to_string(static_cast<long long>(seconds));
        ui_.ShowMessage(kMessageCaption,
                        state_.LanguageFlag == 1
                            ? "The capture's time jumps " + span +
                                  " s ahead (a damaged time stamp); it is played without waiting."
                            : "原始数据的时间向前跳跃了" + span +
                                  "秒（时间戳损坏），已不等待直接回放。",
                        MessageIcon::Exclamation);
    });
}

bool Host::OnDeviceLost(std::string_view devicePath) {
    mainCalls_.Post([this, path = std::string(devicePath)] { connection_.OnDeviceLost(path); });
    return true;
}

void Host::OnDeviceBack(std::string_view) {
    mainCalls_.Post([this] { connection_.OnDeviceBack(); });
}

bool Host::FollowPorts() {
    const std::string dev = options_.deviceDir;
    return portWatcher_
        .Start({dev, dev + "/serial", dev + "/serial/by-id"},
               [this] { mainCalls_.Post([this] { connection_.RefreshPortList(); }); })
        .ok();
}

void Host::FinishReplay(const recording::ReplayEnd& end) {
    if (end.stopped || !state_.PortOpen) {
        return;
    }
    if (end.damaged) {
        ui_.ShowMessage(
            kMessageCaption,
            recording::CaptureDamageText(end.recordsRead, end.damageOffset, state_.LanguageFlag),
            MessageIcon::Exclamation);
    }
    status_.FlushEcho();
    // The status row keeps the state the capture left, as after a live port: a fast replay
    // may end before its timer ever ran.
    status_.RefreshStatusLabels();
    connection_.EndConnection(); // Open plays the capture again
    if (replayEndListener_) {
        replayEndListener_(end);
    }
}

// ---------------------------------------------------------------- closing

void Host::Close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    portWatcher_.Stop();
    // The worker may be waiting for the main thread inside a send: keep serving it.
    pollWorker_.Stop([this] { mainCalls_.DispatchAll(); });
    if (serialPort_ != nullptr) {
        // What the monitor has read goes into the recording before it ends.
        theSerialPort->CloseLink();
    }
    recorder_->Shutdown();
    theSerialPort->CloseLink();
    capture_.Close();
    for (const int id :
         {kConnectTimer, kStatusTimer, kRateTimer, kReplyTimer, kEchoTimer, kHandshakeTimer}) {
        timers_.KillTimer(id);
    }
    // Messages the writer or the monitor queued on their way out.
    DispatchPending();
    received_.Shutdown();
    deliveries_.Shutdown();
    mainCalls_.Shutdown();
}

} // namespace orvanta::host
