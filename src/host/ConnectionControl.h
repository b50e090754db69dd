#pragma once

#include "config/ConfigFile.h"
#include "host/AppState.h"
#include "host/HostUi.h"
#include "protocol/FrameReceiver.h"
#include "protocol/PollWorker.h"
#include "serial/SerialError.h"
#include "serial/SerialLink.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta::host {

class CommandSender;

// The system's serial ports under sysfsRoot (device nodes in deviceDir), with the configured
// path when it is a terminal and was not found: what the port list offers.
std::vector<std::string> SystemPortList(const std::string& sysfsRoot, const std::string& deviceDir,
                                        const std::string& configuredPath);

// The text of the failed-open box: failedText ("Serial port open failed" in the language of
// languageFlag), and for a path that is no terminal or a device the user has no rights to,
// one more sentence that names the path (and the group that owns the device).
std::string PortOpenFailedText(std::string_view failedText, int languageFlag, std::string_view path,
                               const serial::SerialError& reason);

// The rate behind the host baud list's selection and the letter of the parity list's.
std::uint32_t SelectedHostBaud(const HostUi& ui, const AppState& state);
char SelectedParity(const HostUi& ui);

// Where the port list's entries come from.
struct PortSearch {
    // The serial port list for a configured path.
    std::function<std::vector<std::string>(const std::string& configuredPath)> listPorts;
    // Where the active consoles are read: the scan never opens one.
    std::string sysfsRoot;
    std::string deviceDir;
    // Not empty: the file (or remote device) the link plays instead of the ports; the list
    // names only it, as playedName or else by the file's name.
    std::filesystem::path playedFile;
    // The failed-open box's text for a path the link did not open.
    std::function<std::string(const std::string& path)> openFailedText;
    std::string playedName;
};

// The connection panel and the link: the port list and the scan for the device, opening and
// closing the link, the connect and handshake sequences, and the reopening when a list
// changes. It talks to the link only through SerialLink. Main thread only.
class ConnectionControl {
public:
    ConnectionControl(HostUi& ui, TimerService& timers, AppState& state, serial::SerialLink& link,
                      serial::SerialPortOwner& owner, protocol::FrameReceiver& receiver,
                      protocol::PollWorker& pollWorker, config::ConfigFile& config,
                      CommandSender& commands, PortSearch search);

    // The baud, parity, model and protocol lists, and the Open button's text.
    void FillLists();
    // Opens the configured port, or starts the port scan. True when a port is open.
    bool ConnectConfiguredPort();
    bool SelectConfiguredPort();
    // Lists the ports with path among them and selects it; no scan follows.
    void SelectPortPath(const std::string& path);
    bool TryNextPort();

    // The Open/Close and Connect buttons, and the lists that reopen an open link.
    void ToggleOpen();
    void OnConnectButton();
    void OnPortListChanged();
    void OnBaudListChanged();
    void OnParityListChanged();

    void BeginConnection();
    void EndConnection();
    enum class LinkChange { Port, Baud, Parity, DeviceBaudAcknowledged };
    void ReopenPort(LinkChange change);
    void FinishConnect();

    void OnConnectTimer();
    void OnHandshakeTimer();

    // Called after each finished connect sequence.
    void SetConnectFinishedListener(std::function<void()> listener) {
        connectFinishedListener_ = std::move(listener);
    }
    // The open port's device dropped off (monitor thread's news, posted here): the user is
    // told until it is back or the port is closed.
    void OnDeviceLost(const std::string& devicePath);
    // The device may be back: reopened with the same line settings, the connect sequence
    // runs again if it had been through (nothing is resent); false while still away.
    bool OnDeviceBack();
    bool WaitingForDevice() const { return m_lostAt.has_value(); }
    // How a lost device is reopened (the serial port's Reopen); unset for a replay.
    void SetLostDeviceReopener(std::function<bool()> reopen) { m_reopen = std::move(reopen); }
    // Called when a lost device is back, with the seconds it was away.
    void SetDeviceBackListener(std::function<void(double secondsAway)> listener) {
        m_deviceBackListener = std::move(listener);
    }
    // The port list again (adapters come and go); the selection stays where it was when
    // that entry still exists, and an open port's entry always stays.
    void RefreshPortList();

    // Called when a connection attempt ends with no port open (a failed open, which shows
    // its message, or a scan that found nothing, which shows none).
    void SetNoPortListener(std::function<void(bool messageShown)> listener) {
        noPortListener_ = std::move(listener);
    }

private:
    void RefreshLinkSettings();
    bool OpenLink();
    void ShowPortOpenFailed();
    bool IsConsole(const std::string& path) const;
    // After a scan that opened nothing else: the configured port, silent, stays open.
    bool ReopenConfiguredPort(int position, const std::string& path);
    void NotifyNoPort(bool messageShown);
    std::string Text(int stringId) const;

    HostUi& ui_;
    TimerService& timers_;
    AppState& state_;
    serial::SerialLink& link_;
    serial::SerialPortOwner& owner_;
    protocol::FrameReceiver& receiver_;
    protocol::PollWorker& pollWorker_;
    config::ConfigFile& config_;
    CommandSender& commands_;
    PortSearch search_;
    std::function<void()> connectFinishedListener_;
    std::function<void(bool)> noPortListener_;
    // The device's loss and return.
    std::optional<std::chrono::steady_clock::time_point> m_lostAt;
    std::string m_lostPath;
    bool m_connected = false;    // the connect or handshake sequence finished
    bool m_reconnecting = false; // asking again after a return: nothing is resent
    bool m_connectedBeforeLoss = false;
    std::function<bool()> m_reopen;
    std::function<void(double)> m_deviceBackListener;
};

} // namespace orvanta::host
