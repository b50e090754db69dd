#include "app/Host.h"

#include "app/ConfigValues.h"
#include "app/LanguageChoice.h"
#include "protocol/ItemDecoderTable.h"
#include "protocol/NumberText.h"
#include "res/StringTable.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace orvanta::app {

namespace {

using protocol::CommandCode;
using protocol::ReceiveState;
namespace sid = res::string_id;

constexpr int kConnectPeriod = 320;
constexpr int kStatusPeriod = 700;
constexpr int kRatePeriod = 1000;
constexpr int kReplyPeriod = 300;
constexpr int kEchoPeriod = 500;
constexpr int kHandshakePeriod = 500;
constexpr std::size_t kMonitorLimit = 65535;
constexpr std::size_t kEchoPieceBytes = 1 << 20;
constexpr const char* kMessageCaption = "Message";
constexpr const char* kApplicationName = "Orvanta";
constexpr const char* kBrowseTitle = "Please select the data storage path";
constexpr const char* kProgramVersion = ORVANTA_VERSION;

constexpr char kParityLetters[3] = {'N', 'O', 'E'};
// The poll worker's sleep per frequency index; index 0 stops polling.
constexpr int kPollIntervalTable[10] = {0, 1000, 200, 100, 50, 40, 20, 10, 5, 5};
constexpr std::uint8_t kCalibrationActions[3] = {0x08, 0x0A, 0x09};

std::string DecimalText(std::int64_t value) {
    std::string text;
    protocol::AssignDecimal(text, value);
    return text;
}

std::string FixedText(double value, int precision) {
    std::string text;
    protocol::AssignFixed(text, value, precision);
    return text;
}

// Standard decimal conversion: leading blanks skipped, stops at the first character
// that does not belong to a number, no number gives 0; "." whatever the locale.
float ParseFloat(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = protocol::ParseDecimal(begin, &end);
    return end == begin ? 0.0f : static_cast<float>(value);
}

void LittleEndian(std::uint32_t value, std::uint8_t out[4]) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

} // namespace

std::vector<std::string> SystemPortList(const std::string& sysfsRoot, const std::string& deviceDir,
                                        const std::string& configuredPath) {
    serial::PortTable table;
    return serial::FillPortList(table, sysfsRoot, serial::ProbeRealUart, configuredPath, deviceDir);
}

std::string PortOpenFailedText(std::string_view failedText, int languageFlag, std::string_view path,
                               const serial::SerialError& reason) {
    const bool english = languageFlag == 1;
    std::string text(failedText);
    if (reason.kind == serial::SerialErrorKind::NotATerminal) {
        text.append("\n").append(path).append(english ? " is not a serial port." : " 不是串口。");
    } else if (reason.errnoValue == EACCES && !reason.deviceGroup.empty()) {
        if (english) {
            text.append("\nYour user must be in the group \"")
                .append(reason.deviceGroup)
                .append("\", which owns ")
                .append(path)
                .append(".");
        } else {
            text.append("\n当前用户必须属于拥有 ")
                .append(path)
                .append(" 的用户组 \"")
                .append(reason.deviceGroup)
                .append("\"。");
        }
    }
    return text;
}

Host::Host(HostUi& ui, TimerService& timers, HostOptions options)
    : ui_(ui), timers_(timers), options_(std::move(options)),
      mainThread_(std::this_thread::get_id()), config_(options_.configPath),
      receiver_(state_.record, state_.history, *this), capture_(*this) {
    state_.LanguageFlag = options_.languageFlag;
    const protocol::ModelProfile& first = protocol::ModelRow(0);
    for (std::size_t i = 0; i < state_.FrequencyTable.size(); ++i) {
        state_.FrequencyTable[i] = first.frequencies[i];
    }
    if (!options_.listPorts) {
        options_.listPorts = [sysfsRoot = options_.sysfsRoot,
                              deviceDir = options_.deviceDir](const std::string& configured) {
            return SystemPortList(sysfsRoot, deviceDir, configured);
        };
    }
    if (!options_.clock) {
        ownClock_ = std::make_unique<recording::SystemLocalClock>();
        options_.clock = ownClock_.get();
    }
    if (!options_.recorderSleeper) {
        ownSleeper_ = std::make_unique<recording::SystemSleeper>();
        options_.recorderSleeper = ownSleeper_.get();
    }
    recording::RecorderMessages& messages = *this;
    recorder_ = std::make_unique<recording::CsvRecorder>(*options_.clock, *options_.recorderSleeper,
                                                         messages);
    recorder_->SetLanguageFlag(state_.LanguageFlag);
    capture_.SetLanguageFlag(state_.LanguageFlag);
    if (options_.replayPath.empty()) {
        serial::SerialErrorReporter& reporter = *this;
        auto port = std::make_unique<serial::CSerialPort>(&reporter);
        serialPort_ = port.get();
        theSerialPort = std::move(port);
    } else {
        recording::ReplayListener& listener = *this;
        auto replay = std::make_unique<recording::CaptureReplay>(listener, options_.replayClock);
        replay->SetSpeed(options_.replaySpeed);
        // As fast as possible the rows come quicker than the writer's period: wait for it.
        replay->SetBackPressure([this] { recorder_->WaitForWriter(); });
        replay_ = replay.get();
        theSerialPort = std::move(replay);
    }

    // What happens when the main window is created: the data directory, every item
    // text cleared, the language's message texts loaded.
    recorder_->SetDataDirectory(options_.dataDirectory);
    recorder_->SetModelName(state_.ModelName);
    protocol::ClearAllItems(state_.record);
    for (int mode = 0; mode < 3; ++mode) {
        modeTexts_[mode] = Text(sid::kModeDefaultAnswer + mode);
    }
    successText_ = Text(sid::kOperationSucceeded);
    failureText_ = Text(sid::kOperationFailed);
    portOpenFailedText_ = Text(sid::kPortOpenFailed);
}

Host::~Host() {
    Close();
}

std::string Host::Text(int stringId) const {
    return std::string(res::LoadString(stringId, res::LanguageFromFlag(state_.LanguageFlag)));
}

void Host::DispatchPending() {
    deliveries_.DispatchAll();
    mainCalls_.DispatchAll();
}

void Host::SetDispatchNotifier(std::function<void()> notifier) {
    deliveries_.SetNotifier(notifier);
    mainCalls_.SetNotifier(std::move(notifier));
}

bool Host::CallOnMain(const std::function<void()>& fn) {
    if (OnMainThread()) {
        fn();
        return true;
    }
    return mainCalls_.CallBlocking(fn);
}

// ---------------------------------------------------------------- initialisation

void Host::FillList(Dialog dialog, int id, const std::vector<std::string>& entries) {
    ui_.ClearList(dialog, id);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ui_.InsertListItem(dialog, id, static_cast<int>(i), entries[i]);
    }
    ui_.SelectListItem(dialog, id, 0);
}

void Host::FillLists() {
    std::vector<std::string> bauds;
    for (std::uint32_t baud : state_.HostBaudTable) {
        bauds.push_back(DecimalText(baud));
    }
    FillList(Dialog::Main, main_id::kBaudList, bauds);
    FillList(Dialog::Main, main_id::kParityList, {"N", "O", "E"});
    std::vector<std::string> models;
    for (const auto& model : protocol::ModelTable) {
        models.emplace_back(model.selectorEntry);
    }
    FillList(Dialog::Main, main_id::kModelList, models);
    FillList(Dialog::Main, main_id::kProtocolList, {"ASCII"});
    FillList(Dialog::Main, main_id::kModeList, {modeTexts_[0], modeTexts_[1], modeTexts_[2]});

    const protocol::ModelProfile& model = protocol::ModelRow(0);
    std::vector<std::string> frequencies;
    for (int i = 0; i < model.frequencyEntries; ++i) {
        frequencies.push_back(DecimalText(model.frequencies[static_cast<std::size_t>(i)]));
    }
    FillList(Dialog::Main, main_id::kFrequencyList, frequencies);
    std::vector<std::string> deviceBauds;
    for (std::uint32_t baud : model.deviceBauds) {
        deviceBauds.push_back(DecimalText(baud));
    }
    FillList(Dialog::Main, main_id::kDeviceBaudList, deviceBauds);

    FillList(
        Dialog::DataPage, page_id::kCalibrationList,
        {Text(sid::kCalibrationStart), Text(sid::kCalibrationStop), Text(sid::kCalibrationGiveUp)});
    ui_.SetChecked(Dialog::DataPage, page_id::kDeclinationWrite, true);
    ui_.SetText(Dialog::Main, main_id::kOpenButton, Text(sid::kOpen));
    ui_.SetText(Dialog::Main, main_id::kRecordButton, Text(sid::kStart));
}

void Host::ReadConfiguration() {
    const std::string dataDirectory = recorder_->DataDirectory().generic_string();
    if (!config_.Exists()) {
        // Created with its defaults; the lists keep their first entries this run.
        (void)CreateConfigFile(config_, dataDirectory);
        return;
    }
    const ConfigValues values = ReadConfigValues(config_, dataDirectory);
    captureWithRecordings_ = values.capture;
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
            ApplyModelView(i);
            break;
        }
    }
}

bool Host::ConnectConfiguredPort() {
    // A configured port that is now the system console is left to the scan, which skips it.
    if (SelectConfiguredPort() &&
        !IsConsole(ui_.ListItemText(Dialog::Main, main_id::kPortList,
                                    ui_.ListSelection(Dialog::Main, main_id::kPortList)))) {
        state_.ScanSkipPosition = ui_.ListSelection(Dialog::Main, main_id::kPortList);
        ToggleOpen();
    } else if (ui_.ListCount(Dialog::Main, main_id::kPortList) > 0 && TryNextPort()) {
        // The scan opened a port.
    }
    return state_.PortOpen.load();
}

void Host::ApplyModelAtStart() {
    ApplyModel();
    if (replay_ != nullptr && state_.PortOpen) {
        // Its masks again: the model's defaults just replaced them.
        ApplyCaptureNote(replay_->Note(), false);
    }
    RebuildCsvPath();
}

void Host::StartRateTimerAndWorker() {
    timers_.StartTimer(kRateTimer, kRatePeriod);
    pollWorker_.Start([this] { PollWorkerStep(); });
}

void Host::Initialise() {
    FillLists();
    ReadConfiguration();
    ConnectConfiguredPort();
    ApplyModelAtStart();
    StartRateTimerAndWorker();
}

// ---------------------------------------------------------------- port discovery

bool Host::SelectConfiguredPort() {
    if (replay_ != nullptr) {
        FillList(Dialog::Main, main_id::kPortList, {options_.replayPath.filename().string()});
        state_.ScanIndex = 0;
        state_.ScanSkipPosition = -1;
        return true;
    }
    const std::string configured = config_.ReadString(config_key::kCom, kDefaultComPath);
    const std::vector<std::string> ports = options_.listPorts(configured);
    ui_.ClearList(Dialog::Main, main_id::kPortList);
    for (std::size_t i = 0; i < ports.size() && i < serial::PortTable::kSlots + 1; ++i) {
        ui_.InsertListItem(Dialog::Main, main_id::kPortList, static_cast<int>(i), ports[i]);
    }
    const int n = ui_.ListCount(Dialog::Main, main_id::kPortList);
    state_.ScanIndex = static_cast<unsigned>(n);
    state_.ScanSkipPosition = -1;
    if (n == 0) {
        FillList(Dialog::Main, main_id::kPortList, serial::FallbackPortList());
        return false;
    }
    for (int i = 0; i < n; ++i) {
        ui_.SelectListItem(Dialog::Main, main_id::kPortList, i);
        if (ui_.ListItemText(Dialog::Main, main_id::kPortList, i) == configured) {
            return true;
        }
    }
    return false;
}

void Host::SelectPortPath(const std::string& path) {
    std::vector<std::string> ports = options_.listPorts(path);
    if (std::find(ports.begin(), ports.end(), path) == ports.end()) {
        ports.push_back(path);
    }
    FillList(Dialog::Main, main_id::kPortList, ports);
    const auto at = std::find(ports.begin(), ports.end(), path);
    ui_.SelectListItem(Dialog::Main, main_id::kPortList, static_cast<int>(at - ports.begin()));
    state_.ScanIndex = 0;
    state_.ScanSkipPosition = -1;
}

bool Host::TryNextPort() {
    RefreshLinkSettings();
    while (state_.ScanIndex > 0) {
        --state_.ScanIndex;
        const int position = static_cast<int>(state_.ScanIndex);
        if (position == state_.ScanSkipPosition) {
            continue; // already tried before the scan began
        }
        const std::string port = ui_.ListItemText(Dialog::Main, main_id::kPortList, position);
        if (IsConsole(port)) {
            continue; // never a byte to the system console
        }
        ui_.SelectListItem(Dialog::Main, main_id::kPortList, position);
        state_.Link.port = port;
        if (theSerialPort->OpenLink(this, state_.Link.port, state_.Link.baud, state_.Link.parity)) {
            BeginConnection();
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- connection panel

std::uint32_t Host::SelectedHostBaud() const {
    const int index = ui_.ListSelection(Dialog::Main, main_id::kBaudList);
    return state_.HostBaudTable[static_cast<std::size_t>(
        (index >= 0 && index < static_cast<int>(state_.HostBaudTable.size())) ? index : 0)];
}

char Host::SelectedParity() const {
    const int index = ui_.ListSelection(Dialog::Main, main_id::kParityList);
    return kParityLetters[(index >= 0 && index < 3) ? index : 0];
}

void Host::RefreshLinkSettings() {
    state_.Link.baud = SelectedHostBaud();
    state_.Link.parity = SelectedParity();
}

void Host::NotifyNoPort(bool messageShown) {
    if (noPortListener_) {
        noPortListener_(messageShown);
    }
}

void Host::ShowPortOpenFailed() {
    ui_.ShowMessage(kMessageCaption,
                    replay_ != nullptr
                        ? recording::NotACaptureText(state_.Link.port, replay_->OpenError(),
                                                     state_.LanguageFlag)
                        : PortOpenFailedText(portOpenFailedText_, state_.LanguageFlag,
                                             state_.Link.port, serialPort_->LastOpenError()),
                    MessageIcon::Exclamation);
    NotifyNoPort(true);
}

bool Host::IsConsole(const std::string& path) const {
    return serial::IsActiveConsole(path, options_.sysfsRoot, options_.deviceDir);
}

bool Host::ReopenConfiguredPort(int position, const std::string& path) {
    ui_.SelectListItem(Dialog::Main, main_id::kPortList, position);
    state_.Link.port = path;
    if (!theSerialPort->OpenLink(this, path, state_.Link.baud, state_.Link.parity)) {
        return false;
    }
    theSerialPort->StartMonitor();
    timers_.KillTimer(kConnectTimer);
    return true;
}

void Host::ToggleOpen() {
    const int position = ui_.ListSelection(Dialog::Main, main_id::kPortList);
    // A replay's list names the file only.
    state_.Link.port = replay_ != nullptr
                           ? options_.replayPath.string()
                           : ui_.ListItemText(Dialog::Main, main_id::kPortList, position);
    RefreshLinkSettings();
    if (state_.PortOpen) {
        EndConnection();
        return;
    }
    if (theSerialPort->OpenLink(this, state_.Link.port, state_.Link.baud, state_.Link.parity)) {
        BeginConnection();
    } else {
        ShowPortOpenFailed();
    }
}

void Host::BeginConnection() {
    receiver_.SetState(ReceiveState::Idle);
    state_.PortOpen = true;
    state_.AutoOutputSeen = false;
    if (replay_ != nullptr) {
        // The capture holds the connect sequence it had, if any; nothing is asked.
        ApplyCaptureNote(replay_->Note(), options_.replayModelFromCapture);
        theSerialPort->StartMonitor();
    } else {
        theSerialPort->StartMonitor();
        timers_.StartTimer(kConnectTimer, kConnectPeriod);
        if (state_.ModelIndex != 1) {
            SendFrame(protocol::BuildBareCommand(CommandCode::QueryItemMask));
        }
    }
    ui_.SetText(Dialog::Main, main_id::kOpenButton, Text(sid::kClose));
    timers_.StartTimer(kStatusTimer, kStatusPeriod);
    timers_.StartTimer(kEchoTimer, kEchoPeriod);
    ui_.SelectChartItem(state_.ChartItem);
}

void Host::EndConnection() {
    theSerialPort->CloseLink();
    state_.AutoOutputSeen = false;
    (void)receiver_.TakeDataFrameCount();
    state_.ScanIndex = 0;
    state_.PortOpen = false;
    ui_.SetText(Dialog::Main, main_id::kOpenButton, Text(sid::kOpen));
    pollWorker_.Suspend();
    state_.PollingActive = false;
    ui_.KillPageTimers();
    timers_.KillTimer(kConnectTimer);
    timers_.KillTimer(kStatusTimer);
    timers_.KillTimer(kEchoTimer);
    timers_.KillTimer(kHandshakeTimer);
}

void Host::ReopenPort(LinkChange change) {
    if (!state_.PortOpen || replay_ != nullptr) {
        return; // a capture has no line settings to change
    }
    switch (change) {
    case LinkChange::Port:
        state_.Link.port = ui_.ListItemText(Dialog::Main, main_id::kPortList,
                                            ui_.ListSelection(Dialog::Main, main_id::kPortList));
        break;
    case LinkChange::Baud:
    case LinkChange::DeviceBaudAcknowledged:
        state_.Link.baud = SelectedHostBaud();
        break;
    case LinkChange::Parity:
        state_.Link.parity = SelectedParity();
        break;
    }
    theSerialPort->CloseLink();
    if (!theSerialPort->OpenLink(this, state_.Link.port, state_.Link.baud, state_.Link.parity)) {
        EndConnection();
        ShowPortOpenFailed();
        return;
    }
    theSerialPort->StartMonitor();
    if (change == LinkChange::DeviceBaudAcknowledged) {
        return;
    }
    if (state_.ModelIndex != 1) {
        SendFrame(protocol::BuildBareCommand(CommandCode::QueryItemMask));
    }
    state_.AutoOutputSeen = false;
    timers_.StartTimer(kConnectTimer, kConnectPeriod);
}

void Host::OnPortListChanged() {
    ReopenPort(LinkChange::Port);
}
void Host::OnBaudListChanged() {
    ReopenPort(LinkChange::Baud);
}
void Host::OnParityListChanged() {
    ReopenPort(LinkChange::Parity);
}

void Host::OnConnectButton() {
    if (!state_.PortOpen || RefusedDuringReplay()) {
        return;
    }
    const bool ask = state_.ModelIndex != 1;
    state_.AwaitItemMask = ask;
    state_.AwaitGravity = ask;
    timers_.StartTimer(kHandshakeTimer, kHandshakePeriod);
}

void Host::OnModelListChanged() {
    ApplyModelView(ui_.ListSelection(Dialog::Main, main_id::kModelList));
    state_.ModelName = std::string(protocol::ModelRow(state_.ModelIndex).name);
    recorder_->SetModelName(state_.ModelName);
    if (replay_ == nullptr) {
        (void)config_.WriteString(config_key::kModel, state_.ModelName);
    }
    ApplyModel();
}

void Host::OnConnectTimer() {
    if (state_.AwaitItemMask) {
        // The scan moves on from a silent port while listed entries remain untried.
        if (state_.ScanIndex > 0 && !(state_.ScanIndex == 1 && state_.ScanSkipPosition == 0)) {
            const int position = ui_.ListSelection(Dialog::Main, main_id::kPortList);
            const std::string silentPort = state_.Link.port;
            theSerialPort->CloseLink();
            if (TryNextPort() || (position == state_.ScanSkipPosition &&
                                  ReopenConfiguredPort(position, silentPort))) {
                return;
            }
            EndConnection();
            NotifyNoPort(false);
            return;
        }
        timers_.KillTimer(kConnectTimer);
        return;
    }
    if (state_.AwaitGravity) {
        SendFrame(protocol::BuildBareCommand(CommandCode::QueryGravity));
        return;
    }
    timers_.KillTimer(kConnectTimer);
    (void)config_.WriteString(config_key::kCom, state_.Link.port);
    (void)config_.WriteInt(config_key::kBaud, ui_.ListSelection(Dialog::Main, main_id::kBaudList));
    (void)config_.WriteInt(config_key::kParity,
                           ui_.ListSelection(Dialog::Main, main_id::kParityList));
    FinishConnect();
}

void Host::OnHandshakeTimer() {
    if (state_.AwaitItemMask) {
        SendFrame(protocol::BuildBareCommand(CommandCode::QueryItemMask));
    } else if (state_.AwaitGravity) {
        SendFrame(protocol::BuildBareCommand(CommandCode::QueryGravity));
    } else {
        timers_.KillTimer(kHandshakeTimer);
        FinishConnect();
    }
}

void Host::SetModeCaption(int mode) {
    ui_.SetText(Dialog::Main, main_id::kModeCaption, modeTexts_[std::clamp(mode, 0, 2)] + ":");
    // Called whenever the output mode changes, which the byte stream does not show.
    AppendCaptureNote({{recording::note_key::kMode, DecimalText(mode)}});
}

void Host::FinishConnect() {
    if (!state_.AutoOutputSeen) {
        OnModeListChanged();
        ui_.SelectListItem(Dialog::Main, main_id::kModeList, 0);
        state_.OutputMode = 0;
        SetModeCaption(0);
    } else {
        ui_.SelectListItem(Dialog::Main, main_id::kModeList, 2);
        state_.OutputMode = 2;
        SetModeCaption(2);
    }
    if (connectFinishedListener_) {
        connectFinishedListener_();
    }
}

// ---------------------------------------------------------------- models

void Host::ApplyModelView(int index) {
    const bool english = state_.LanguageFlag == 1;
    const auto showAll = [this](const auto& ids, Dialog dialog, bool visible) {
        for (int id : ids) {
            ui_.SetVisible(dialog, id, visible);
        }
    };
    switch (index) {
    case 0:
        state_.ModelIndex = 0;
        showAll(kModelListM, Dialog::Main, true);
        showAll(kModelListD, Dialog::DataPage, true);
        ui_.SetText(Dialog::DataPage, page_id::kCaption1110, english ? "WKN :" : "周数 :");
        ui_.SetText(Dialog::DataPage, page_id::kCaption1105,
                    english ? "Ext fix info   :" : "扩展定位      :");
        ui_.SetText(Dialog::DataPage, page_id::kCaption1109,
                    english ? "Gps fix info   :" : "Gps定位       :");
        break;
    case 1:
        state_.ModelIndex = 1;
        if (state_.ChartItem != 1 && state_.ChartItem != 2) {
            state_.ChartItem = 0;
        }
        ui_.SelectChartItem(state_.ChartItem);
        showAll(kModelListM, Dialog::Main, false);
        break;
    case 2:
        state_.ModelIndex = 2;
        showAll(kModelListM, Dialog::Main, true);
        showAll(kVn300HiddenMain, Dialog::Main, false);
        showAll(kModelListD, Dialog::DataPage, false);
        ui_.SetText(Dialog::DataPage, page_id::kCaption1110, english ? "VEL.:" : "速度 :");
        ui_.SetText(Dialog::DataPage, page_id::kCaption1105,
                    english ? "Position      :" : "位置       :");
        ui_.SetText(Dialog::DataPage, page_id::kCaption1109,
                    english ? "RTK           :" : "RTK        :");
        break;
    default:
        state_.ModelIndex = 0;
        showAll(kModelListM, Dialog::Main, true);
        break;
    }
}

void Host::ApplyModel() {
    const int modelIndex = state_.ModelIndex;
    const protocol::ModelProfile& model = protocol::ModelRow(modelIndex);
    const auto reportRefused = [this](bool inserted) {
        if (!inserted) {
            ui_.ShowMessage(kApplicationName, "Build baud error!", MessageIcon::None);
        }
    };

    int frequencyIndex = ui_.ListSelection(Dialog::Main, main_id::kFrequencyList);
    frequencyIndex = std::max(frequencyIndex, 0);
    ui_.ClearList(Dialog::Main, main_id::kFrequencyList);

    auto& record = state_.record;
    if (model.queryItemMask) {
        state_.AwaitItemMask = false;
        record.DefaultItemMask = 0;
        RefreshItemBoxes();
        record.SpecifiedItemMask = 0;
        state_.AwaitItemMask = model.awaitItemMask;
        state_.AwaitGravity = model.awaitGravity;
        SendFrame(protocol::BuildBareCommand(CommandCode::QueryItemMask));
    } else {
        state_.AwaitGravity = model.awaitGravity;
        state_.AwaitItemMask = model.awaitItemMask;
        record.DefaultItemMask = model.itemMask;
        RefreshItemBoxes();
        record.SpecifiedItemMask = model.itemMask;
    }
    recorder_->SetCsvHeader(std::string(model.csvHeader));

    for (std::size_t i = 0; i < model.frequencies.size(); ++i) {
        state_.FrequencyTable[i] = model.frequencies[i];
    }
    for (int i = 0; i < model.frequencyEntries; ++i) {
        reportRefused(
            ui_.InsertListItem(Dialog::Main, main_id::kFrequencyList, i,
                               DecimalText(model.frequencies[static_cast<std::size_t>(i)])));
    }
    ui_.SelectListItem(Dialog::Main, main_id::kFrequencyList, frequencyIndex);

    int deviceBaudIndex = std::max(ui_.ListSelection(Dialog::Main, main_id::kDeviceBaudList), 0);
    ui_.ClearList(Dialog::Main, main_id::kDeviceBaudList);
    for (std::size_t i = 0; i < model.deviceBauds.size(); ++i) {
        state_.HostBaudTable[i] = model.deviceBauds[i];
        reportRefused(ui_.InsertListItem(Dialog::Main, main_id::kDeviceBaudList,
                                         static_cast<int>(i), DecimalText(model.deviceBauds[i])));
    }
    ui_.SelectListItem(Dialog::Main, main_id::kDeviceBaudList, deviceBaudIndex);
    // The host list names the rates it really opens with.
    for (std::size_t i = 0; i < model.deviceBauds.size(); ++i) {
        ui_.SetListItemText(Dialog::Main, main_id::kBaudList, static_cast<int>(i),
                            DecimalText(state_.HostBaudTable[i]));
    }
    // The masks were reset outside the byte stream: a replay learns it from the note.
    AppendCaptureNote(CaptureStateNote());
}

void Host::RefreshItemBoxes() {
    const auto& record = state_.record;
    SetItemBoxes(state_.OutputMode == 1 ? record.SpecifiedItemMask.load()
                                        : record.DefaultItemMask.load());
}

void Host::SetItemBoxes(std::uint32_t mask) {
    for (const ItemBox& box : kMainItemBoxes) {
        ui_.SetChecked(Dialog::Main, box.id, (mask & box.bit) != 0);
    }
}

std::uint32_t Host::ItemBoxMask() const {
    std::uint32_t mask = 0;
    for (const ItemBox& box : kMainItemBoxes) {
        if (ui_.IsChecked(Dialog::Main, box.id)) {
            mask |= box.bit;
        }
    }
    return mask;
}

void Host::LockOutputItemBox(int boxId) {
    if (state_.OutputMode != 1) {
        ui_.SetChecked(Dialog::Main, boxId, !ui_.IsChecked(Dialog::Main, boxId));
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

// ---------------------------------------------------------------- sending

void Host::SendFrame(const protocol::CommandFrame& frame) {
    if (!state_.PortOpen || replay_ != nullptr) {
        return; // a replay sends nothing, and its own frames leave no echo
    }
    const ReceiveState receiving = receiver_.State();
    if (state_.PollingActive && receiving != ReceiveState::Idle &&
        receiving != ReceiveState::ReplyTimedOut) {
        return;
    }
    if (theSerialPort->QueueSend(frame.bytes.data(), frame.length)) {
        capture_.Append(recording::CaptureDirection::HostToDevice, frame.bytes.data(),
                        frame.length);
    }
    std::string& monitor = receiver_.MonitorText();
    monitor += "Tx: ";
    protocol::AppendHexEcho(monitor, frame.bytes.data(), frame.length);
    monitor += "\r\n";
    receiver_.SetState(ReceiveState::AwaitingReply);
    timers_.StartTimer(kReplyTimer, kReplyPeriod);
}

void Host::SendCommand(const protocol::CommandFrame& frame) {
    CallOnMain([this, &frame] { SendFrame(frame); });
}

void Host::SendWriteCommand(CommandCode code, const std::uint8_t* bytes, std::uint8_t length) {
    SendCommand(protocol::BuildWriteCommand(code, std::span<const std::uint8_t>(bytes, length)));
}

void Host::MakePending(PendingKind kind, const std::uint8_t* bytes, std::uint8_t length) {
    state_.Payload.Store(kind, bytes, length);
    state_.PendingCommand = static_cast<int>(kind);
    state_.AwaitingAck = true;
}

void Host::OnReplyTimer() {
    timers_.KillTimer(kReplyTimer);
    receiver_.SetState(ReceiveState::ReplyTimedOut);
}

void Host::ShowDeviceStatus(std::uint8_t status) {
    ApplyAcknowledged();
    std::string text;
    switch (status) {
    case 0:
        text = successText_;
        break;
    case 1:
        text = "Operation failure!!";
        break;
    case 4:
        text = "Command error!!";
        break;
    case 9:
        text = "Param error!!";
        break;
    default:
        text = failureText_;
        break;
    }
    ui_.ShowMessage(kMessageCaption, text, MessageIcon::None);
}

void Host::ApplyAcknowledged() {
    state_.AwaitingAck = false;
    switch (static_cast<PendingKind>(state_.PendingCommand.load())) {
    case PendingKind::DeviceBaud: {
        int index = ui_.ListSelection(Dialog::Main, main_id::kDeviceBaudList);
        index = std::max(index, 0);
        if (index == 5 && (state_.ModelIndex == 1 || state_.ModelIndex == 2)) {
            index = 6;
        }
        ui_.SelectListItem(Dialog::Main, main_id::kBaudList, index);
        ReopenPort(LinkChange::DeviceBaudAcknowledged);
        break;
    }
    case PendingKind::Gravity:
        if (state_.StagedGravity != state_.record.GravityValue) {
            state_.record.GravityValue = state_.StagedGravity;
            state_.record.GravityText = FixedText(state_.StagedGravity, 3);
            AppendCaptureNote(CaptureStateNote());
        }
        break;
    case PendingKind::OutputItems:
        state_.AwaitItemMask = false;
        state_.record.DefaultItemMask = state_.PageItemMask;
        RefreshItemBoxes();
        // Not in the byte stream: a replay learns it from the capture's note.
        AppendCaptureNote(CaptureStateNote());
        break;
    default:
        break;
    }
    state_.PendingCommand = static_cast<int>(PendingKind::None);
}

// ---------------------------------------------------------------- settings

void Host::SendOutputMode() {
    if (!state_.PortOpen) {
        return;
    }
    std::uint8_t parameter[2] = {0, 0};
    int f = state_.FrequencyIndex;
    if (f < 0 || f > 9) {
        f = 0; // no valid frequency: stop polling
    }
    if (f == 0) {
        pollWorker_.Suspend();
        state_.PollingActive = false;
    } else if (state_.OutputMode == 2) {
        pollWorker_.Suspend();
        state_.PollingActive = false;
        const float ratio = static_cast<float>(
            static_cast<double>(state_.Frequency(9)) /
            static_cast<double>(std::max<std::uint32_t>(state_.Frequency(f), 1)));
        parameter[0] = 1;
        parameter[1] = static_cast<std::uint8_t>(static_cast<std::int64_t>(ratio + 0.2) & 0xFF);
    } else {
        pollWorker_.SetInterval(std::chrono::milliseconds(kPollIntervalTable[f]));
        pollWorker_.Resume();
        state_.PollingActive = true;
    }
    SendWriteCommand(CommandCode::SetOutputMode, parameter, 2);
}

void Host::OnModeListChanged() {
    if (RefusedDuringReplay()) {
        ui_.SelectListItem(Dialog::Main, main_id::kModeList, state_.OutputMode);
        return;
    }
    const int mode = std::clamp(ui_.ListSelection(Dialog::Main, main_id::kModeList), 0, 2);
    state_.OutputMode = mode;
    SetModeCaption(mode);
    ui_.SelectListItem(Dialog::Main, main_id::kFrequencyList, 3);
    state_.FrequencyIndex = 3;
    SendOutputMode();
    MakePending(PendingKind::OutputMode);
}

void Host::OnFrequencyListChanged() {
    state_.FrequencyIndex = ui_.ListSelection(Dialog::Main, main_id::kFrequencyList);
}

void Host::OnFrequencySet() {
    if (RefusedDuringReplay()) {
        return;
    }
    SendOutputMode();
    MakePending(PendingKind::OutputMode);
}

void Host::OnDeviceBaudSet() {
    if (RefusedDuringReplay()) {
        return;
    }
    const int index = std::clamp(ui_.ListSelection(Dialog::Main, main_id::kDeviceBaudList), 0, 5);
    std::uint8_t bytes[4];
    LittleEndian(state_.HostBaudTable[static_cast<std::size_t>(index)], bytes);
    SendWriteCommand(CommandCode::SetDeviceBaud, bytes, 4);
    MakePending(PendingKind::DeviceBaud, bytes, 4);
}

void Host::OnGravitySet() {
    if (RefusedDuringReplay()) {
        return;
    }
    state_.StagedGravity = ParseFloat(ui_.Text(Dialog::Main, main_id::kGravityBox));
    std::uint8_t bytes[4];
    std::memcpy(bytes, &state_.StagedGravity, 4);
    SendWriteCommand(CommandCode::SetGravity, bytes, 4);
    MakePending(PendingKind::Gravity, bytes, 4);
}

void Host::OnSave() {
    if (RefusedDuringReplay()) {
        return;
    }
    SendCommand(protocol::BuildBareCommand(CommandCode::SaveSettings));
    MakePending(PendingKind::Save);
}

void Host::OnItemSet() {
    if (RefusedDuringReplay()) {
        return;
    }
    std::uint32_t mask = state_.PageItemMask;
    for (const ItemBox& box : kPageItemBoxes) {
        if (ui_.IsChecked(Dialog::DataPage, box.id)) {
            mask |= box.bit;
        } else {
            mask &= ~box.bit;
        }
    }
    state_.PageItemMask = mask;
    std::uint8_t bytes[4];
    LittleEndian(mask, bytes);
    SendWriteCommand(CommandCode::SetItemMask, bytes, 4);
    MakePending(PendingKind::OutputItems, bytes, 4);
}

void Host::OnDeclinationRadio() {
    state_.DeclinationDirection =
        ui_.IsChecked(Dialog::DataPage, page_id::kDeclinationRead) ? 1 : 0;
}

void Host::OnDeclinationOk() {
    if (RefusedDuringReplay()) {
        return;
    }
    if (state_.DeclinationDirection != 0) {
        SendCommand(protocol::BuildBareCommand(CommandCode::QueryDeclination));
        MakePending(PendingKind::DeclinationRead);
        return;
    }
    state_.DeclinationValue = ParseFloat(ui_.Text(Dialog::DataPage, page_id::kDeclinationBox));
    std::uint8_t bytes[4];
    std::memcpy(bytes, &state_.DeclinationValue, 4);
    SendWriteCommand(CommandCode::SetDeclination, bytes, 4);
    MakePending(PendingKind::DeclinationWrite, bytes, 4);
}

void Host::OnCalibrationSet() {
    if (RefusedDuringReplay()) {
        return;
    }
    const int entry =
        std::clamp(ui_.ListSelection(Dialog::DataPage, page_id::kCalibrationList), 0, 2);
    const std::uint8_t action = kCalibrationActions[entry];
    SendCommand(protocol::BuildByteCommand(CommandCode::Calibrate, action));
    MakePending(PendingKind::Calibration, &action, 1);
}

// ---------------------------------------------------------------- poll worker

void Host::PollWorkerStep() {
    if (!RepeatPending()) {
        PollStep();
    }
}

bool Host::RepeatPending() {
    if (!state_.AwaitingAck) {
        return false;
    }
    // Kind and bytes are read as one pair: a setting made meanwhile replaces both.
    const PayloadBuffer::Value payload = state_.Payload.Load();
    switch (payload.kind) {
    case PendingKind::DeviceBaud:
        // The rate comes from the list as it stands now, which only the main thread reads.
        CallOnMain([this] {
            const int index =
                std::clamp(ui_.ListSelection(Dialog::Main, main_id::kDeviceBaudList), 0, 5);
            std::uint8_t bytes[4];
            LittleEndian(state_.HostBaudTable[static_cast<std::size_t>(index)], bytes);
            SendFrame(protocol::BuildWriteCommand(CommandCode::SetDeviceBaud, bytes));
        });
        break;
    case PendingKind::OutputMode:
        // Built on the main thread from the mode and frequency in force when it is sent: a
        // frame built here could carry a frequency the user changed meanwhile and, sent
        // after the newer command, put the device back at the old rate.
        CallOnMain([this] {
            if (state_.AwaitingAck &&
                static_cast<PendingKind>(state_.PendingCommand.load()) == PendingKind::OutputMode) {
                SendOutputMode();
            }
        });
        break;
    case PendingKind::Save:
        SendCommand(protocol::BuildBareCommand(CommandCode::SaveSettings));
        break;
    case PendingKind::Gravity:
        SendWriteCommand(CommandCode::SetGravity, payload.bytes.data(), 4);
        break;
    case PendingKind::DeclinationWrite:
        SendWriteCommand(CommandCode::SetDeclination, payload.bytes.data(), 4);
        break;
    case PendingKind::DeclinationRead:
        SendCommand(protocol::BuildBareCommand(CommandCode::QueryDeclination));
        break;
    case PendingKind::Calibration:
        SendCommand(protocol::BuildByteCommand(CommandCode::Calibrate, payload.bytes[0]));
        break;
    case PendingKind::OutputItems:
        SendWriteCommand(CommandCode::SetItemMask, payload.bytes.data(), 4);
        break;
    case PendingKind::None:
        break;
    }
    return true;
}

void Host::PollStep() {
    auto& record = state_.record;
    switch (state_.OutputMode.load()) {
    case 0: {
        const std::uint32_t mask = record.DefaultItemMask;
        if (mask != 0) {
            CallOnMain([this, mask] {
                // The user may have changed the mode since the worker looked.
                if (state_.OutputMode == 0) {
                    SetItemBoxes(mask);
                }
                SendFrame(protocol::BuildBareCommand(CommandCode::PollDefault));
            });
        } else if (state_.ModelIndex != 1) {
            SendCommand(protocol::BuildBareCommand(CommandCode::QueryItemMask));
        }
        break;
    }
    case 1:
        CallOnMain([this, &record] {
            const std::uint32_t mask = ItemBoxMask();
            record.SpecifiedItemMask = mask;
            SendFrame(protocol::BuildMaskCommand(CommandCode::PollSpecified, mask));
        });
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------- timers

void Host::OnTimer(int timerId) {
    switch (timerId) {
    case kConnectTimer:
        OnConnectTimer();
        break;
    case kStatusTimer:
        RefreshStatusLabels();
        break;
    case kRateTimer:
        OnRateTimer();
        break;
    case kReplyTimer:
        OnReplyTimer();
        break;
    case kEchoTimer:
        OnEchoTimer();
        break;
    case kHandshakeTimer:
        OnHandshakeTimer();
        break;
    default:
        break;
    }
}

void Host::OnRateTimer() {
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

void Host::OnEchoTimer() {
    std::string& monitor = receiver_.MonitorText();
    if (monitor.empty()) {
        return;
    }
    if (ui_.MonitorLength() < kMonitorLimit) {
        ui_.AppendMonitorText(monitor);
    } else {
        ui_.ReplaceMonitorText(monitor);
    }
    monitor.clear();
}

void Host::RefreshStatusLabels() {
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

// ---------------------------------------------------------------- recording and units

void Host::RebuildCsvPath() {
    ui_.SetText(Dialog::Main, main_id::kCsvPathBox, recorder_->RebuildCsvPath().generic_string());
}

void Host::OnRecordButton() {
    if (!recorder_->Recording()) {
        ui_.SetText(Dialog::Main, main_id::kRecordButton, Text(sid::kStop));
        recorder_->Start();
        ui_.SetText(Dialog::Main, main_id::kCsvPathBox, recorder_->CsvPath().generic_string());
        if (captureWithRecordings_) {
            // One capture per recording, also across the CSV file's roll-over.
            StartCapture(recorder_->CsvPath().replace_extension(".pcap"));
        }
    } else {
        ui_.SetText(Dialog::Main, main_id::kRecordButton, Text(sid::kStart));
        recorder_->Stop();
        if (captureWithRecordings_) {
            StopCapture();
        }
    }
}

void Host::SetCaptureWithRecordings(bool on) {
    captureWithRecordings_ = on;
    (void)config_.WriteInt(config_key::kCapture, on ? 1 : 0);
}

recording::CaptureNote Host::CaptureStateNote() const {
    namespace key = recording::note_key;
    const auto hex = [](std::uint32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", value);
        return std::string(text);
    };
    const auto& record = state_.record;
    return {{key::kModel, state_.ModelName},
            {key::kBaud, DecimalText(SelectedHostBaud())},
            {key::kParity, std::string(1, SelectedParity())},
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

bool Host::StartCapture(const std::filesystem::path& path) {
    return capture_.Open(path, CaptureStateNote());
}

void Host::StopCapture() {
    capture_.Close();
}

void Host::AppendCaptureNote(const recording::CaptureNote& note) {
    if (capture_.IsOpen()) {
        const std::string text = recording::FormatCaptureNote(note);
        capture_.Append(recording::CaptureDirection::Note,
                        reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
}

void Host::OnBrowse() {
    if (const auto folder = ui_.PickFolder(kBrowseTitle)) {
        recorder_->SetDataDirectory(*folder);
    }
    RebuildCsvPath();
}

void Host::ReadBoundControls() {
    state_.record.AngleUnit = ui_.IsChecked(Dialog::Main, main_id::kAngleRadians) ? 1 : 0;
    state_.record.AccelUnit = ui_.IsChecked(Dialog::Main, main_id::kAccelMs2) ? 1 : 0;
    state_.LanguageFlag = ui_.IsChecked(Dialog::Main, main_id::kLanguageEnglish) ? 1 : 0;
}

void Host::OnAngleUnit() {
    ReadBoundControls();
    recorder_->RewriteHeaderForAngleUnit(state_.record.AngleUnit);
    AppendCaptureNote({{recording::note_key::kAngleUnit, DecimalText(state_.record.AngleUnit)}});
}

void Host::OnAccelUnit() {
    ReadBoundControls();
    recorder_->RewriteHeaderForAccelUnit(state_.record.AccelUnit);
    AppendCaptureNote({{recording::note_key::kAccelUnit, DecimalText(state_.record.AccelUnit)}});
}

void Host::OnLanguageRadio() {
    ReadBoundControls();
    if (const auto message = StoreLanguageChoice(options_.configPath, state_.LanguageFlag)) {
        ui_.ShowMessage(message->caption, message->text, MessageIcon::None);
    }
}

// ---------------------------------------------------------------- receiver effects

void Host::PostDeviceStatus(std::uint8_t status) {
    mainCalls_.Post([this, status] { ShowDeviceStatus(status); });
}

void Host::KillReplyTimer() {
    timers_.KillTimer(kReplyTimer);
}

void Host::DataFrameDecoded() {
    if (recorder_->RecordingState() != 0) {
        recorder_->AppendRow(state_.record.ItemText, state_.ModelIndex);
    }
}

void Host::ShowDeclination(std::string_view text) {
    ui_.SetText(Dialog::DataPage, page_id::kDeclinationBox, text);
}

void Host::EndPendingCommand() {
    state_.AwaitingAck = false;
    state_.PendingCommand = static_cast<int>(PendingKind::None);
}

// ---------------------------------------------------------------- serial port owner

void Host::OnSerialBytes(const std::uint8_t* bytes, const serial::SerialBlockInfo& info) {
    deliveries_.CallBlocking([this, bytes, &info] { FeedDeviceBlock(bytes, info.byteCount); });
}

void Host::FeedDeviceBlock(const std::uint8_t* bytes, std::uint32_t count) {
    // Captured where the receiver takes it, so the capture's order is the echo's.
    capture_.Append(recording::CaptureDirection::DeviceToHost, bytes, count);
    receiver_.FeedBytes(bytes, count);
    // A replay at full speed echoes megabytes per timer period: moved out in pieces, the
    // text stays small. A line never comes near this.
    if (receiver_.MonitorText().size() >= kEchoPieceBytes) {
        OnEchoTimer();
    }
}

void Host::OnSerialEventChar(std::string_view) {
    // Left to default processing, as the window does.
}

void Host::DispatchPendingDelivery() {
    deliveries_.DispatchOne();
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

// ---------------------------------------------------------------- replay

void Host::OnCapturedSend(const std::uint8_t* bytes, std::size_t length) {
    deliveries_.CallBlocking([this, bytes, length] { ReplaySentFrame(bytes, length); });
}

void Host::OnCapturedNote(const recording::CaptureNote& note) {
    deliveries_.CallBlocking([this, &note] { ApplyCaptureNote(note, true); });
}

void Host::OnReplayEnded(const recording::ReplayEnd& end) {
    mainCalls_.Post([this, end] { FinishReplay(end); });
}

void Host::ReplaySentFrame(const std::uint8_t* bytes, std::size_t length) {
    capture_.Append(recording::CaptureDirection::HostToDevice, bytes, length);
    std::string& monitor = receiver_.MonitorText();
    monitor += "Tx: ";
    protocol::AppendHexEcho(monitor, bytes, length);
    monitor += "\r\n";
    // What sending did to the receiver; the reply timer stays off, as its time-out would
    // land elsewhere in the stream than it did.
    receiver_.SetState(ReceiveState::AwaitingReply);
    // The specified-items poll carries the mask its reply is decoded with.
    constexpr std::size_t kMaskPollLength = 12;
    if (length == kMaskPollLength &&
        bytes[2] == static_cast<std::uint8_t>(CommandCode::PollSpecified)) {
        state_.record.SpecifiedItemMask = std::uint32_t{bytes[5]} | std::uint32_t{bytes[6]} << 8 |
                                          std::uint32_t{bytes[7]} << 16 |
                                          std::uint32_t{bytes[8]} << 24;
    }
}

void Host::ApplyCaptureNote(const recording::CaptureNote& note, bool withModel) {
    namespace key = recording::note_key;
    if (withModel) {
        if (const auto model = recording::NoteValue(note, key::kModel)) {
            for (int i = 0; i < protocol::kModelCount; ++i) {
                if (*model == protocol::ModelTable[static_cast<std::size_t>(i)].name &&
                    i != state_.ModelIndex.load()) {
                    ui_.SelectListItem(Dialog::Main, main_id::kModelList, i);
                    OnModelListChanged();
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
        state_.OutputMode = static_cast<int>(*mode);
        ui_.SelectListItem(Dialog::Main, main_id::kModeList, state_.OutputMode);
        SetModeCaption(state_.OutputMode);
    }
    auto& record = state_.record;
    if (const auto mask = number(key::kDefaultItemMask)) {
        record.DefaultItemMask = *mask;
    }
    if (const auto mask = number(key::kSpecifiedItemMask)) {
        record.SpecifiedItemMask = *mask;
    }
    RefreshItemBoxes();
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
            OnAngleUnit();
        }
    }
    if (const auto unit = number(key::kAccelUnit); unit && *unit <= 1) {
        ui_.SetChecked(Dialog::Main, main_id::kAccelMs2, *unit == 1);
        ui_.SetChecked(Dialog::Main, main_id::kAccelG, *unit == 0);
        if (static_cast<std::uint32_t>(record.AccelUnit) != *unit) {
            OnAccelUnit();
        }
    }
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
    FlushEcho();
    EndConnection(); // Open plays the capture again
    if (replayEndListener_) {
        replayEndListener_(end);
    }
}

bool Host::RefusedDuringReplay() {
    if (replay_ == nullptr) {
        return false;
    }
    ui_.ShowMessage(kMessageCaption,
                    state_.LanguageFlag == 1 ? "Not available during a replay" : "回放时不可用",
                    MessageIcon::Exclamation);
    return true;
}

// ---------------------------------------------------------------- closing

void Host::Close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    // The worker may be waiting for the main thread inside a send: keep serving it.
    pollWorker_.Stop([this] { mainCalls_.DispatchAll(); });
    recorder_->Shutdown();
    theSerialPort->CloseLink();
    capture_.Close();
    for (const int id :
         {kConnectTimer, kStatusTimer, kRateTimer, kReplyTimer, kEchoTimer, kHandshakeTimer}) {
        timers_.KillTimer(id);
    }
    // Messages the writer or the monitor queued on their way out.
    DispatchPending();
    deliveries_.Shutdown();
    mainCalls_.Shutdown();
}

} // namespace orvanta::app
