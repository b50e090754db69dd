#include "window/WidgetHostUi.h"

#include "window/QtText.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>

namespace orvanta::window {

namespace {

QMessageBox::Icon BoxIcon(host::MessageIcon icon) {
    switch (icon) {
    case host::MessageIcon::Information:
        return QMessageBox::Information;
    case host::MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case host::MessageIcon::Error:
        return QMessageBox::Critical;
    case host::MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

WidgetHostUi::WidgetHostUi(QWidget& mainWindow, ControlLookup mainControl,
                           ControlLookup pageControl, DisplayArea displayArea)
    : m_mainWindow(mainWindow), m_mainControl(std::move(mainControl)),
      m_pageControl(std::move(pageControl)), m_displayArea(std::move(displayArea)) {}

QWidget* WidgetHostUi::Find(host::Dialog dialog, int id) const {
    const ControlLookup& lookup = dialog == host::Dialog::Main ? m_mainControl : m_pageControl;
    return lookup ? lookup(id) : nullptr;
}

void WidgetHostUi::ShowMessage(std::string_view caption, std::string_view text,
                               host::MessageIcon icon) {
    if (m_messageSink) {
        m_messageSink(caption, text, icon);
        return;
    }
    const QString title = Utf8(caption);
    const QString body = Utf8(text);
    // The same box still open is not opened again: a repeated command acknowledged twice
    // shows one box.
    for (const QMessageBox* open :
         m_mainWindow.findChildren<QMessageBox*>(Qt::FindDirectChildrenOnly)) {
        if (open->isVisible() && open->windowTitle() == title && open->text() == body) {
            return;
        }
    }
    // Modal to the window, but the handler that reports goes on at once: no event loop of
    // its own runs the host's handlers again inside this one.
    auto* box = new QMessageBox(BoxIcon(icon), title, body, QMessageBox::Ok, &m_mainWindow);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void WidgetHostUi::SetText(host::Dialog dialog, int id, std::string_view text) {
    QWidget* widget = Find(dialog, id);
    const QString value = Utf8(text);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (dialog == host::Dialog::Main) {
            SetStatusText(m_mainWindow, *label, value);
        } else if (label->text() != value) {
            label->setText(value);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        if (button->text() != value) {
            button->setText(value);
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(value);
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        if (list->isEditable()) {
            list->setEditText(value);
        }
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) {
        window::ReplaceMonitorText(*box, text);
    }
}

std::string WidgetHostUi::Text(host::Dialog dialog, int id) const {
    QWidget* widget = Find(dialog, id);
    QString value;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        value = label->text();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        value = button->text();
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        value = edit->text();
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        value = list->currentText();
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) {
        value = box->toPlainText();
    }
    return value.toStdString();
}

void WidgetHostUi::SetChecked(host::Dialog dialog, int id, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(Find(dialog, id))) {
        button->setChecked(checked);
    }
}

bool WidgetHostUi::IsChecked(host::Dialog dialog, int id) const {
    const auto* button = qobject_cast<QAbstractButton*>(Find(dialog, id));
    return button && button->isChecked();
}

void WidgetHostUi::SetVisible(host::Dialog dialog, int id, bool visible) {
    if (QWidget* widget = Find(dialog, id)) {
        widget->setVisible(visible);
    }
}

void WidgetHostUi::ClearList(host::Dialog dialog, int id) {
    if (auto* list = qobject_cast<QComboBox*>(Find(dialog, id))) {
        list->clear();
    }
}

bool WidgetHostUi::InsertListItem(host::Dialog dialog, int id, int position,
                                  std::string_view text) {
    auto* list = qobject_cast<QComboBox*>(Find(dialog, id));
    if (!list || position < 0 || position > list->count()) {
        return false;
    }
    const bool wasEmpty = list->count() == 0;
    list->insertItem(position, Utf8(text));
    // A list of the dialog kind starts without a selection, whatever Qt chose.
    if (wasEmpty && !list->isEditable()) {
        list->setCurrentIndex(-1);
    }
    return true;
}

void WidgetHostUi::SetListItemText(host::Dialog dialog, int id, int position,
                                   std::string_view text) {
    if (auto* list = qobject_cast<QComboBox*>(Find(dialog, id))) {
        if (position >= 0 && position < list->count()) {
            list->setItemText(position, Utf8(text));
        }
    }
}

int WidgetHostUi::ListCount(host::Dialog dialog, int id) const {
    const auto* list = qobject_cast<QComboBox*>(Find(dialog, id));
    return list ? list->count() : 0;
}

std::string WidgetHostUi::ListItemText(host::Dialog dialog, int id, int position) const {
    const auto* list = qobject_cast<QComboBox*>(Find(dialog, id));
    if (!list || position < 0 || position >= list->count()) {
        return {};
    }
    return list->itemText(position).toStdString();
}

void WidgetHostUi::SelectListItem(host::Dialog dialog, int id, int position) {
    if (auto* list = qobject_cast<QComboBox*>(Find(dialog, id))) {
        list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
    }
}

int WidgetHostUi::ListSelection(host::Dialog dialog, int id) const {
    const auto* list = qobject_cast<QComboBox*>(Find(dialog, id));
    return list ? list->currentIndex() : -1;
}

std::size_t WidgetHostUi::MonitorLength() const {
    const auto* box =
        qobject_cast<QPlainTextEdit*>(Find(host::Dialog::Main, host::main_id::kMonitorBox));
    return box ? static_cast<std::size_t>(window::MonitorLength(*box)) : 0;
}

void WidgetHostUi::AppendMonitorText(std::string_view text) {
    if (auto* box =
            qobject_cast<QPlainTextEdit*>(Find(host::Dialog::Main, host::main_id::kMonitorBox))) {
        window::AppendMonitorText(*box, text);
    }
}

void WidgetHostUi::ReplaceMonitorText(std::string_view text) {
    if (auto* box =
            qobject_cast<QPlainTextEdit*>(Find(host::Dialog::Main, host::main_id::kMonitorBox))) {
        window::ReplaceMonitorText(*box, text);
    }
}

void WidgetHostUi::SelectChartItem(int chartItem) {
    if (m_displayArea.selectChartItem) {
        m_displayArea.selectChartItem(chartItem);
    }
}

void WidgetHostUi::KillPageTimers() {
    if (m_displayArea.killPageTimers) {
        m_displayArea.killPageTimers();
    }
}

std::optional<std::string> WidgetHostUi::PickFolder(std::string_view title) {
    if (m_folderPicker) {
        return m_folderPicker(title);
    }
    const QString folder = QFileDialog::getExistingDirectory(&m_mainWindow, Utf8(title));
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return folder.toStdString();
}

void WidgetHostUi::ShowLinkNotice(std::string_view notice, bool lasting) {
    if (m_notice == nullptr) {
        m_notice = new QLabel(&m_mainWindow);
        m_notice->setObjectName(QStringLiteral("linkNotice"));
        m_notice->setAutoFillBackground(true);
        m_notice->setAlignment(Qt::AlignCenter);
        QPalette palette = m_notice->palette();
        palette.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
        m_notice->setPalette(palette);
        m_notice->hide();
    }
    const QString text = Utf8(notice);
    m_noticeText = text;
    UpdateTitle();
    m_notice->setToolTip(text);
    m_notice->setVisible(!text.isEmpty());
    PlaceLinkNotice();
    if (!lasting && !text.isEmpty()) {
        QTimer::singleShot(5000, m_notice, [this, text] {
            if (m_notice->toolTip() == text) {
                ShowLinkNotice({}, true);
            }
        });
    }
}

void WidgetHostUi::ShowOpenPort(std::string_view path) {
    m_openPort = Utf8(path);
    UpdateTitle();
}

void WidgetHostUi::UpdateTitle() {
    if (m_caption.isEmpty()) {
        m_caption = m_mainWindow.windowTitle();
    }
    QString title = m_caption;
    for (const QString* part : {&m_openPort, &m_noticeText}) {
        if (!part->isEmpty()) {
            title += QStringLiteral(" - ") + *part;
        }
    }
    m_mainWindow.setWindowTitle(title);
}

void WidgetHostUi::PlaceLinkNotice() {
    const QWidget* first = Find(host::Dialog::Main, host::main_id::kModeCaption);
    const QWidget* last = Find(host::Dialog::Main, host::main_id::kMiscountLabel);
    if (m_notice == nullptr || first == nullptr || last == nullptr) {
        return;
    }
    const QRect from = first->geometry();
    const QRect to = last->geometry();
    m_notice->setGeometry(QRect(QPoint(from.left(), std::min(from.top(), to.top()) - 2),
                                QPoint(to.right(), std::max(from.bottom(), to.bottom()) + 2)));
    // A long path gives way in its middle; the whole text is in the tooltip.
    m_notice->setText(m_notice->fontMetrics().elidedText(m_notice->toolTip(), Qt::ElideMiddle,
                                                         m_notice->contentsRect().width() - 4));
    m_notice->raise();
}

} // namespace orvanta::window
