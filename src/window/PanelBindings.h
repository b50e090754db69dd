#pragma once

#include "host/HostUi.h"

#include <QString>
#include <functional>
#include <string_view>

class QLabel;
class QPlainTextEdit;
class QWidget;

namespace orvanta::host {
class Host;
}

namespace orvanta::window {

class DataPage;

// Finds a control of the main window (dialog 101) by its identifier; null when absent.
using ControlLookup = std::function<QWidget*(int id)>;

// Connects the main window's connection, settings, recording, unit and language controls and the
// thirteen output-item boxes to the host's operations, and the live data page's buttons.
// GUI thread only.
void BindMainPanels(const ControlLookup& control, host::Host& host);
void BindDataPage(DataPage& page, host::Host& host);

// A status label of the main window: only a changed text is set, and then the picture
// under the label is repainted at once. True when the text changed.
bool SetStatusText(QWidget& mainWindow, QLabel& label, const QString& text);

// The monitor box shows upper case and holds at most kMonitorLimit characters.
// Inserts at the end and scrolls there; text past the limit is cut, as a limited edit box
// does.
void AppendMonitorText(QPlainTextEdit& box, std::string_view text);
void ReplaceMonitorText(QPlainTextEdit& box, std::string_view text);
int MonitorLength(const QPlainTextEdit& box);

} // namespace orvanta::window
