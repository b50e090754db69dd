#include "window/DataPage.h"

#include "host/ControlIds.h"
#include "res/StringTable.h"
#include "window/QtText.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QTimerEvent>

namespace orvanta::window {

namespace {

constexpr int kBlueLabels[23] = {1012, 1015, 1016, 1052, 1054, 1056, 1059, 1061,
                                 1063, 1065, 1067, 1069, 1071, 1080, 1082, 1124,
                                 1125, 1126, 1127, 1128, 1129, 1131, 1138};

const res::DialogTemplate& PageTemplate(bool english) {
    return *res::FindDialog(res::dialog_id::kDataPage,
                            english ? res::Language::English : res::Language::Chinese);
}

} // namespace

DataPage::DataPage(const protocol::MeasurementRecord& record, bool english, QWidget* parent,
                   QSize room)
    : QWidget(parent), m_record(record),
      m_dialog(*this, PageTemplate(english), {},
               DialogControls::FittingFont(PageTemplate(english), room)),
      m_windows([this](const QWidget* w) { return ControlIdOf(w); }), m_layout(m_windows) {
    // The page paints itself white; nothing is erased behind it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    ApplyColours();
    BindActions();
    // The declination direction starts at write.
    if (auto* write = qobject_cast<QAbstractButton*>(Control(host::page_id::kDeclinationWrite))) {
        write->setChecked(true);
    }

    // The calibration actions, first one selected.
    if (auto* calibration = qobject_cast<QComboBox*>(Control(host::page_id::kCalibrationList))) {
        const res::Language language = english ? res::Language::English : res::Language::Chinese;
        calibration->clear();
        for (int i = 0; i < 3; ++i) {
            calibration->insertItem(
                i, Utf8(res::LoadString(res::string_id::kCalibrationStart + i, language)));
        }
        calibration->setCurrentIndex(0);
    }

    m_layout.SetEnumerateChildren(true);
    m_layout.SetDefaultFlags(AnchorLayout::kTopAnchored);
    m_layout.Attach(WidgetAnchorSystem::Handle(this));
    m_layout.Resize({0, 0, width(), height()});
}

DataPage::~DataPage() = default;

void DataPage::ApplyColours() {
    QPalette page = palette();
    page.setColor(QPalette::Window, kPageColor);
    setPalette(page);
    for (int id : kBlueLabels) {
        if (QWidget* label = Control(id)) {
            QPalette p = label->palette();
            p.setColor(QPalette::WindowText, kValueColor);
            label->setPalette(p);
        }
    }
    if (QWidget* box = Control(host::page_id::kDeclinationBox)) {
        QPalette p = box->palette();
        p.setColor(QPalette::Base, kDeclinationBoxColor);
        box->setPalette(p);
    }
}

void DataPage::BindActions() {
    const auto onClick = [this](int id, auto member) {
        if (auto* button = qobject_cast<QAbstractButton*>(Control(id))) {
            QObject::connect(button, &QAbstractButton::clicked, this, [this, member] {
                if (m_actions.*member) {
                    (m_actions.*member)();
                }
            });
        }
    };
    onClick(host::page_id::kItemSet, &DataPageActions::itemSet);
    onClick(host::page_id::kCalibrationSet, &DataPageActions::calibrationSet);
    onClick(host::page_id::kDeclinationOk, &DataPageActions::declinationOk);
    onClick(host::page_id::kDeclinationWrite, &DataPageActions::declinationRadio);
    onClick(host::page_id::kDeclinationRead, &DataPageActions::declinationRadio);
}

QWidget* DataPage::Control(int id) const {
    return m_dialog.Control(id);
}

int DataPage::ControlIdOf(const QWidget* widget) const {
    return m_dialog.IdOf(widget);
}

std::string DataPage::LabelText(int id) const {
    if (const auto* label = qobject_cast<const QLabel*>(Control(id))) {
        return label->text().toStdString();
    }
    return {};
}

void DataPage::SetLabelText(int id, std::string_view text) {
    if (auto* label = qobject_cast<QLabel*>(Control(id))) {
        label->setText(Utf8(text));
    }
}

void DataPage::RefreshDataPage() {
    window::RefreshDataPage(m_record, *this);
}

void DataPage::StartPageTimer() {
    KillPageTimer();
    m_timerId = startTimer(kPageTimerPeriodMs);
}

void DataPage::KillPageTimer() {
    if (m_timerId != 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
}

void DataPage::timerEvent(QTimerEvent* event) {
    // Every timer the page receives refreshes it.
    RefreshDataPage();
    QWidget::timerEvent(event);
}

void DataPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_layout.Resize({0, 0, event->size().width(), event->size().height()});
}

void DataPage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kPageColor);
}

} // namespace orvanta::window
