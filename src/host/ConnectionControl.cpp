#include "host/ConnectionControl.h"

#include "config/ConfigValues.h"
#include "host/DeviceCommands.h"
#include "host/HostTexts.h"
#include "protocol/CommandFrame.h"
#include "serial/PortDiscovery.h"
#include "serial/SerialMessages.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
namespace orvanta::host {

namespace {

using protocol::CommandCode;
using protocol::ReceiveState;
namespace sid = res::string_id;

constexpr int kConnectPeriod = 320;
constexpr int kStatusPeriod = 700;
constexpr int kEchoPeriod = 500;
constexpr int kHandshakePeriod = 500;

constexpr char kParityLetters[3] = {'N', 'O', 'E'};

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
    } else if (reason.errnoValue == EACCES && !reason.deviceOwner.empty()) {
        if (english) {
            text.append("\nOnly its owner, \"")
                .append(reason.deviceOwner)
                .append("\", may use ")
                .append(path)
                .append(".");
        } else {
            text.append("\n只有其所有者 \"")
                .append(reason.deviceOwner)
                .append("\" 能使用 ")
                .append(path)
                .append("。");
        }
    }
    return text;
}

std::uint32_t SelectedHostBaud(const HostUi& ui, const AppState& state) {
    const int index = ui.ListSelection(Dialog::Main, main_id::kBaudList);
    return state.HostBaudTable[static_cast<std::size_t>(
        (index >= 0 && index < static_cast<int>(state.HostBaudTable.size())) ? index : 0)];
}

char SelectedParity(const HostUi& ui) {
    const int index = ui.ListSelection(Dialog::Main, main_id::kParityList);
    return kParityLetters[(index >= 0 && index < 3) ? index : 0];
}

ConnectionControl::ConnectionControl(HostUi& ui, TimerService& timers, AppState& state,
                                     serial::SerialLink& link, serial::SerialPortOwner& owner,
                                     protocol::FrameReceiver& receiver,
                                     protocol::PollWorker& pollWorker, config::ConfigFile& config,
                                     CommandSender& commands, PortSearch search)
    : ui_(ui), timers_(timers), state_(state), link_(link), owner_(owner), receiver_(receiver),
      pollWorker_(pollWorker), config_(config), commands_(commands), search_(std::move(search)) {}

std::string ConnectionControl::Text(int stringId) const {
    return LoadText(stringId, state_.LanguageFlag);
}

void ConnectionControl::FillLists() {
    std::vector<std::string> bauds;
    for (std::uint32_t baud : state_.HostBaudTable) {
        bauds.push_back(DecimalText(baud));
    }
    FillList(ui_, Dialog::Main, main_id::kBaudList, bauds);
    FillList(ui_, Dialog::Main, main_id::kParityList, {"N", "O", "E"});
    std::vector<std::string> models;
    for (const auto& model : protocol::ModelTable) {
        models.emplace_back(model.selectorEntry);
    }
    FillList(ui_, Dialog::Main, main_id::kModelList, models);
    FillList(ui_, Dialog::Main, main_id::kProtocolList, {"ASCII"});
    ui_.SetText(Dialog::Main, main_id::kOpenButton, Text(sid::kOpen));
}

// ---------------------------------------------------------------- port discovery

bool ConnectionControl::ConnectConfiguredPort() {
    // A configured port that is now the system console is left to the scan, which skips it.
    if (SelectConfiguredPort() &&
        !IsConsole(ui_.ListItemText(Dialog::Main, main_id::kPortList,
                                    ui_.ListSelection(Dialog::Main, main_id::kPortList)))) {
        state_.ScanSkipPosition = ui_.ListSelection(Dialog::Main, main_id::kPortList);
        ToggleOpen();
    } else if (ui_.ListCount(Dialog::Main, main_id::kPortList) > 0) {
        TryNextPort();
    }
    return state_.PortOpen.load();
}

bool ConnectionControl::SelectConfiguredPort() {
    if (!search_.playedFile.empty()) {
        FillList(ui_, Dialog::Main, main_id::kPortList, {search_.playedFile.filename().string()});
        state_.ScanIndex = 0;
        state_.ScanSkipPosition = -1;
        return true;
    }
    const std::string configured =
        config_.ReadString(config::config_key::kCom, config::kDefaultComPath);
    const std::vector<std::string> ports = search_.listPorts(configured);
    ui_.ClearList(Dialog::Main, main_id::kPortList);
    for (std::size_t i = 0; i < ports.size() && i < serial::PortTable::kSlots + 1; ++i) {
        ui_.InsertListItem(Dialog::Main, main_id::kPortList, static_cast<int>(i), ports[i]);
    }
    const int n = ui_.ListCount(Dialog::Main, main_id::kPortList);
    state_.ScanIndex = static_cast<unsigned>(n);
    state_.ScanSkipPosition = -1;
    if (n == 0) {
        FillList(ui_, Dialog::Main, main_id::kPortList, serial::FallbackPortList());
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

void ConnectionControl::SelectPortPath(const std::string& path) {
    std::vector<std::string> ports = search_.listPorts(path);
    if (std::find(ports.begin(), ports.end(), path) == ports.end()) {
        ports.push_back(path);
    }
    FillList(ui_, Dialog::Main, main_id::kPortList, ports);
    const auto at = std::find(ports.begin(), ports.end(), path);
    ui_.SelectListItem(Dialog::Main, main_id::kPortList, static_cast<int>(at - ports.begin()));
    state_.ScanIndex = 0;
    state_.ScanSkipPosition = -1;
}

bool ConnectionControl::TryNextPort() {
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
        if (OpenLink()) {
            BeginConnection();
            return true;
        }
    }
    return false;
}

bool ConnectionControl::IsConsole(const std::string& path) const {
    return serial::IsActiveConsole(path, search_.sysfsRoot, search_.deviceDir);
}

bool ConnectionControl::ReopenConfiguredPort(int position, const std::string& path) {
    ui_.SelectListItem(Dialog::Main, main_id::kPortList, position);
    state_.Link.port = path;
    if (!OpenLink()) {
        return false;
    }
    link_.StartMonitor();
    timers_.KillTimer(kConnectTimer);
    return true;
}

// ---------------------------------------------------------------- opening and closing

void ConnectionControl::RefreshLinkSettings() {
    state_.Link.baud = SelectedHostBaud(ui_, state_);
    state_.Link.parity = SelectedParity(ui_);
}

bool ConnectionControl::OpenLink() {
    if (!link_.OpenLink(&owner_, state_.Link.port, state_.Link.baud, state_.Link.parity)) {
        return false;
    }
    // A start bit, eight data bits, the parity bit if any and a stop bit per byte.
    const std::int64_t bits = state_.Link.parity == 'N' ? 10 : 11;
    receiver_.StartLine(link_.TalksToDevice() && state_.Link.baud > 0
                            ? bits * 1'000'000'000 / state_.Link.baud
                            : 0);
    return true;
}

void ConnectionControl::NotifyNoPort(bool messageShown) {
    if (noPortListener_) {
        noPortListener_(messageShown);
    }
}

void ConnectionControl::ShowPortOpenFailed() {
    ui_.ShowMessage(kMessageCaption, search_.openFailedText(state_.Link.port),
                    MessageIcon::Exclamation);
    NotifyNoPort(true);
}

void ConnectionControl::ToggleOpen() {
    const int position = ui_.ListSelection(Dialog::Main, main_id::kPortList);
    // A played file's list names the file only.
    state_.Link.port = !search_.playedFile.empty()
                           ? search_.playedFile.string()
                           : ui_.ListItemText(Dialog::Main, main_id::kPortList, position);
    RefreshLinkSettings();
    if (state_.PortOpen) {
        EndConnection();
        return;
    }
    if (OpenLink()) {
        BeginConnection();
    } else {
        ShowPortOpenFailed();
    }
}

void ConnectionControl::BeginConnection() {
    m_connected = false;
    receiver_.SetState(ReceiveState::Idle);
    state_.PortOpen = true;
    state_.AutoOutputSeen = false;
    link_.StartMonitor();
    // A played capture holds the connect sequence it had, if any; nothing is asked.
    if (link_.TalksToDevice()) {
        timers_.StartTimer(kConnectTimer, kConnectPeriod);
        if (state_.ModelIndex != 1) {
            commands_.SendFrame(protocol::BuildBareCommand(CommandCode::QueryItemMask));
        }
    }
    ui_.SetText(Dialog::Main, main_id::kOpenButton, Text(sid::kClose));
    ui_.ShowOpenPort(state_.Link.port);
    timers_.StartTimer(kStatusTimer, kStatusPeriod);
    timers_.StartTimer(kEchoTimer, kEchoPeriod);
    ui_.SelectChartItem(state_.ChartItem);
}

void ConnectionControl::EndConnection() {
    link_.CloseLink(); // also ends the waiting for a lost device
    if (m_lostAt) {
        m_lostAt.reset();
        ui_.ShowLinkNotice({}, true);
    }
    m_connected = false;
    m_reconnecting = false;
    state_.AutoOutputSeen = false;
    (void)receiver_.TakeDataFrameCount();
    state_.ScanIndex = 0;
    state_.PortOpen = false;
    ui_.SetText(Dialog::Main, main_id::kOpenButton, Text(sid::kOpen));
    ui_.ShowOpenPort({});
    pollWorker_.Suspend();
    state_.PollingActive = false;
    ui_.KillPageTimers();
    timers_.KillTimer(kConnectTimer);
    timers_.KillTimer(kStatusTimer);
    timers_.KillTimer(kEchoTimer);
    timers_.KillTimer(kHandshakeTimer);
}

void ConnectionControl::ReopenPort(LinkChange change) {
    if (!state_.PortOpen || !link_.TalksToDevice()) {
        return; // a played capture has no line settings to change
    }
    switch (change) {
    case LinkChange::Port:
        state_.Link.port = ui_.ListItemText(Dialog::Main, main_id::kPortList,
                                            ui_.ListSelection(Dialog::Main, main_id::kPortList));
        break;
    case LinkChange::Baud:
    case LinkChange::DeviceBaudAcknowledged:
        state_.Link.baud = SelectedHostBaud(ui_, state_);
        break;
    case LinkChange::Parity:
        state_.Link.parity = SelectedParity(ui_);
        break;
    }
    link_.CloseLink();
    if (!OpenLink()) {
        EndConnection();
        ShowPortOpenFailed();
        return;
    }
    link_.StartMonitor();
    if (change == LinkChange::DeviceBaudAcknowledged) {
        return;
    }
    if (state_.ModelIndex != 1) {
        commands_.SendFrame(protocol::BuildBareCommand(CommandCode::QueryItemMask));
    }
    state_.AutoOutputSeen = false;
    timers_.StartTimer(kConnectTimer, kConnectPeriod);
}

void ConnectionControl::OnPortListChanged() {
    ReopenPort(LinkChange::Port);
}
void ConnectionControl::OnBaudListChanged() {
    ReopenPort(LinkChange::Baud);
}
void ConnectionControl::OnParityListChanged() {
    ReopenPort(LinkChange::Parity);
}

// ---------------------------------------------------------------- connect sequence

void ConnectionControl::OnConnectButton() {
    if (!state_.PortOpen || commands_.RefusedWithoutDevice()) {
        return;
    }
    const bool ask = state_.ModelIndex != 1;
    state_.AwaitItemMask = ask;
    state_.AwaitGravity = ask;
    timers_.StartTimer(kHandshakeTimer, kHandshakePeriod);
}

void ConnectionControl::OnConnectTimer() {
    if (state_.AwaitItemMask) {
        // The scan moves on from a silent port while listed entries remain untried.
        if (state_.ScanIndex > 0 && !(state_.ScanIndex == 1 && state_.ScanSkipPosition == 0)) {
            const int position = ui_.ListSelection(Dialog::Main, main_id::kPortList);
            const std::string silentPort = state_.Link.port;
            link_.CloseLink();
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
        commands_.SendFrame(protocol::BuildBareCommand(CommandCode::QueryGravity));
        return;
    }
    timers_.KillTimer(kConnectTimer);
    // The three together; a failure reaches the user through the file's listener.
    const config::ProfileEntry link[] = {
        {config::config_key::kCom, state_.Link.port},
        {config::config_key::kBaud,
         DecimalText(ui_.ListSelection(Dialog::Main, main_id::kBaudList))},
        {config::config_key::kParity,
         DecimalText(ui_.ListSelection(Dialog::Main, main_id::kParityList))},
    };
    (void)config_.WriteValues(link);
    FinishConnect();
}

void ConnectionControl::OnHandshakeTimer() {
    if (state_.AwaitItemMask) {
        commands_.SendFrame(protocol::BuildBareCommand(CommandCode::QueryItemMask));
    } else if (state_.AwaitGravity) {
        commands_.SendFrame(protocol::BuildBareCommand(CommandCode::QueryGravity));
    } else {
        timers_.KillTimer(kHandshakeTimer);
        FinishConnect();
    }
}

void ConnectionControl::FinishConnect() {
    m_connected = true;
    if (m_reconnecting) {
        m_reconnecting = false; // the device keeps the mode and settings it had
        return;
    }
    if (!state_.AutoOutputSeen) {
        commands_.OnModeListChanged();
        commands_.ShowOutputMode(0);
    } else {
        commands_.ShowOutputMode(2);
    }
    if (connectFinishedListener_) {
        connectFinishedListener_();
    }
}

// ---------------------------------------------------------------- a device that drops off

void ConnectionControl::OnDeviceLost(const std::string& devicePath) {
    if (!state_.PortOpen || m_lostAt) {
        return;
    }
    m_lostAt = std::chrono::steady_clock::now();
    m_lostPath = devicePath;
    m_connectedBeforeLoss = m_connected;
    ui_.ShowLinkNotice(
        serial::DeviceLostMessage(devicePath, static_cast<serial::Language>(state_.LanguageFlag))
            .text,
        true);
}

bool ConnectionControl::OnDeviceBack() {
    if (!m_lostAt || !state_.PortOpen || !m_reopen || !m_reopen()) {
        return false;
    }
    const double away =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - *m_lostAt).count();
    m_lostAt.reset();
    receiver_.SetState(ReceiveState::Idle);
    ui_.ShowOpenPort(link_.DevicePath()); // ttyUSB0 may have come back as ttyUSB1
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", away);
    const bool english = state_.LanguageFlag == 1;
    ui_.ShowLinkNotice(english
                           ? "Device back: " + link_.DevicePath() + ", away " + seconds + " s."
                           : "设备已恢复：" + link_.DevicePath() + "，断开 " + seconds + " 秒。",
                       false);
    if (m_deviceBackListener) {
        m_deviceBackListener(away);
    }
    if (m_connectedBeforeLoss) {
        // The handshake again, as the Connect button runs it; it never scans other ports.
        m_reconnecting = true;
        m_connected = false;
        const bool ask = state_.ModelIndex != 1;
        state_.AwaitItemMask = ask;
        state_.AwaitGravity = ask;
        timers_.StartTimer(kHandshakeTimer, kHandshakePeriod);
    }
    return true;
}

void ConnectionControl::RefreshPortList() {
    if (!search_.playedFile.empty() || !search_.listPorts) {
        return;
    }
    const int selection = ui_.ListSelection(Dialog::Main, main_id::kPortList);
    const std::string selected =
        selection >= 0 ? ui_.ListItemText(Dialog::Main, main_id::kPortList, selection) : "";
    std::vector<std::string> ports =
        search_.listPorts(config_.ReadString(config::config_key::kCom, config::kDefaultComPath));
    const bool keep = state_.PortOpen && !selected.empty();
    if (keep && std::find(ports.begin(), ports.end(), selected) == ports.end()) {
        ports.push_back(selected); // the open port's entry, even while its device is away
    }
    std::vector<std::string> shown;
    for (int i = 0; i < ui_.ListCount(Dialog::Main, main_id::kPortList); ++i) {
        shown.push_back(ui_.ListItemText(Dialog::Main, main_id::kPortList, i));
    }
    if (ports == shown) {
        return;
    }
    FillList(ui_, Dialog::Main, main_id::kPortList, ports);
    const auto at = std::find(ports.begin(), ports.end(), selected);
    ui_.SelectListItem(Dialog::Main, main_id::kPortList,
                       at != ports.end() ? static_cast<int>(at - ports.begin()) : 0);
}

} // namespace orvanta::host
