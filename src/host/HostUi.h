#pragma once

#include "host/ControlIds.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta::host {

enum class MessageIcon { None, Information, Exclamation, Error };

// What the host logic touches of the user interface: message boxes, the controls of
// the main window and the live data page (by dialog and identifier), the monitor box
// and the display-area pages. The window implements it with widgets, the headless
// front end with an in-memory model, tests record it. Main thread only.
class HostUi {
public:
    virtual ~HostUi() = default;

    virtual void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) = 0;

    // Labels, buttons, edit boxes. On the main window a changed label repaints the
    // picture under it; an unchanged text touches nothing.
    virtual void SetText(Dialog dialog, int id, std::string_view text) = 0;
    virtual std::string Text(Dialog dialog, int id) const = 0;

    virtual void SetChecked(Dialog dialog, int id, bool checked) = 0;
    virtual bool IsChecked(Dialog dialog, int id) const = 0;
    virtual void SetVisible(Dialog dialog, int id, bool visible) = 0;

    // Drop-down lists. A selection of -1 means none.
    virtual void ClearList(Dialog dialog, int id) = 0;
    virtual bool InsertListItem(Dialog dialog, int id, int position, std::string_view text) = 0;
    virtual void SetListItemText(Dialog dialog, int id, int position, std::string_view text) = 0;
    virtual int ListCount(Dialog dialog, int id) const = 0;
    virtual std::string ListItemText(Dialog dialog, int id, int position) const = 0;
    virtual void SelectListItem(Dialog dialog, int id, int position) = 0;
    virtual int ListSelection(Dialog dialog, int id) const = 0;

    // The monitor box (upper case, at most kMonitorLimit characters).
    virtual std::size_t MonitorLength() const = 0;
    virtual void AppendMonitorText(std::string_view text) = 0;
    virtual void ReplaceMonitorText(std::string_view text) = 0;

    // The display area: shows the chart or the live data page for the chart item and
    // runs their timers; KillPageTimers stops both page timers.
    virtual void SelectChartItem(int chartItem) = 0;
    virtual void KillPageTimers() = 0;

    // What the link is doing beyond the status row's own texts: "Device lost: PATH. Waiting
    // for it to come back." while it is away (lasting), how long it was away once it is
    // back (not lasting: the window lets it go after a while). An empty text clears it.
    virtual void ShowLinkNotice(std::string_view notice, bool lasting) = 0;
    // The port (or played file) the link has open, empty when none: two windows on two
    // ports tell themselves apart by it.
    virtual void ShowOpenPort(std::string_view path) = 0;

    // The folder picker; nothing when the user cancels or there is no picker.
    virtual std::optional<std::string> PickFolder(std::string_view title) = 0;
};

// What the monitor box holds at the most, in characters.
inline constexpr int kMonitorLimit = 65535;

// Empties a list, inserts entries in their order and selects the first.
inline void FillList(HostUi& ui, Dialog dialog, int id, const std::vector<std::string>& entries) {
    ui.ClearList(dialog, id);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ui.InsertListItem(dialog, id, static_cast<int>(i), entries[i]);
    }
    ui.SelectListItem(dialog, id, 0);
}

// The main window's timers, keyed by their fixed ids; the host gets OnTimer(id).
enum TimerId : int {
    kConnectTimer = 0,
    kStatusTimer = 1,
    kRateTimer = 2,
    kReplyTimer = 3,
    kEchoTimer = 4,
    kHandshakeTimer = 5,
};

// Main thread only. Starting a running timer restarts it with the new period.
class TimerService {
public:
    virtual ~TimerService() = default;
    virtual void StartTimer(int id, int milliseconds) = 0;
    virtual void KillTimer(int id) = 0;
};

} // namespace orvanta::host
