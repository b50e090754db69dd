#include "window/PanelBindings.h"

#include "host/ControlIds.h"
#include "host/Host.h"
#include "window/DataPage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace orvanta::window {

namespace {

void OnClick(const ControlLookup& control, int id, std::function<void()> action) {
    if (auto* button = qobject_cast<QAbstractButton*>(control(id))) {
        QObject::connect(button, &QAbstractButton::clicked, button,
                         [action = std::move(action)] { action(); });
    }
}

// A selection the user made in a list; selections made by the program do not count.
void OnChosen(const ControlLookup& control, int id, std::function<void()> action) {
    if (auto* list = qobject_cast<QComboBox*>(control(id))) {
        QObject::connect(list, &QComboBox::activated, list,
                         [action = std::move(action)](int) { action(); });
    }
}

QString MonitorShape(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUpper();
}

} // namespace

void BindMainPanels(const ControlLookup& control, host::Host& host) {
    namespace m = host::main_id;
    host::ConnectionControl& link = host.Connection();
    OnClick(control, m::kOpenButton, [&link] { link.ToggleOpen(); });
    OnChosen(control, m::kPortList, [&link] { link.OnPortListChanged(); });
    OnChosen(control, m::kBaudList, [&link] { link.OnBaudListChanged(); });
    OnChosen(control, m::kParityList, [&link] { link.OnParityListChanged(); });
    host::ModelView& models = host.Models();
    OnChosen(control, m::kModelList, [&models] { models.OnModelListChanged(); });
    // The protocol list has one entry and no effect.
    OnClick(control, m::kConnectButton, [&link] { link.OnConnectButton(); });

    host::DeviceCommands& commands = host.Commands();
    OnChosen(control, m::kModeList, [&commands] { commands.OnModeListChanged(); });
    OnChosen(control, m::kFrequencyList, [&commands] { commands.OnFrequencyListChanged(); });
    OnClick(control, m::kDeviceBaudSet, [&commands] { commands.OnDeviceBaudSet(); });
    OnClick(control, m::kFrequencySet, [&commands] { commands.OnFrequencySet(); });
    OnClick(control, m::kGravitySet, [&commands] { commands.OnGravitySet(); });
    OnClick(control, m::kSaveButton, [&commands] { commands.OnSave(); });

    host::RecordingControl& recording = host.Recording();
    OnClick(control, m::kRecordButton, [&recording] { recording.OnRecordButton(); });
    OnClick(control, m::kBrowseButton, [&recording] { recording.OnBrowse(); });

    for (int id : {m::kAngleDegrees, m::kAngleRadians}) {
        OnClick(control, id, [&recording] { recording.OnAngleUnit(); });
    }
    for (int id : {m::kAccelG, m::kAccelMs2}) {
        OnClick(control, id, [&recording] { recording.OnAccelUnit(); });
    }
    for (int id : {m::kLanguageChinese, m::kLanguageEnglish}) {
        OnClick(control, id, [&host] { host.OnLanguageRadio(); });
    }
    host::OutputItemBoxes& boxes = host.ItemBoxes();
    for (const host::ItemBox& box : host::kMainItemBoxes) {
        OnClick(control, box.id, [&boxes, id = box.id] { boxes.LockOutputItemBox(id); });
    }
}

void BindDataPage(DataPage& page, host::Host& host) {
    host::DeviceCommands& commands = host.Commands();
    page.SetActions({[&commands] { commands.OnItemSet(); },
                     [&commands] { commands.OnCalibrationSet(); },
                     [&commands] { commands.OnDeclinationOk(); },
                     [&commands] { commands.OnDeclinationRadio(); }});
}

bool SetStatusText(QWidget& mainWindow, QLabel& label, const QString& text) {
    if (label.text() == text) {
        return false;
    }
    label.setText(text);
    // The label is transparent: the background picture under it is drawn again first.
    if (label.isVisible()) {
        const QRect area(label.mapTo(&mainWindow, QPoint(0, 0)), label.size());
        mainWindow.repaint(area);
    }
    return true;
}

int MonitorLength(const QPlainTextEdit& box) {
    // The document counts a paragraph separator after its last block.
    return std::max(0, box.document()->characterCount() - 1);
}

void AppendMonitorText(QPlainTextEdit& box, std::string_view text) {
    QString shaped = MonitorShape(text);
    const int room = host::kMonitorLimit - MonitorLength(box);
    if (room <= 0) {
        return;
    }
    if (shaped.size() > room) {
        shaped.truncate(room);
    }
    QTextCursor cursor = box.textCursor();
    cursor.movePosition(QTextCursor::End);
    box.setTextCursor(cursor);
    box.insertPlainText(shaped);
    box.ensureCursorVisible();
}

void ReplaceMonitorText(QPlainTextEdit& box, std::string_view text) {
    QString shaped = MonitorShape(text);
    if (shaped.size() > host::kMonitorLimit) {
        shaped.truncate(host::kMonitorLimit);
    }
    box.setPlainText(shaped);
    QTextCursor cursor = box.textCursor();
    cursor.movePosition(QTextCursor::End);
    box.setTextCursor(cursor);
    box.ensureCursorVisible();
}

} // namespace orvanta::window
