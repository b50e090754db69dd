#pragma once

// A plain main window with the controls of dialog 101 that the host and the bindings use,
// the chart page, the live data page and the 3D view: enough to run the program's logic
// against the simulator through real widgets.
#include "QtTimers.h"
#include "app/CDataShowDlg.h"
#include "app/ControlIds.h"
#include "app/Host.h"
#include "app/PanelBindings.h"
#include "app/WidgetHostUi.h"
#include "chart/CChartDlg.h"
#include "chart/ChartPageHost.h"
#include "view3d/C3DShowDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <map>
#include <memory>

namespace orvanta::app::testing {

class StandInWindow : public QWidget, public chart::ChartPageHost {
public:
    explicit StandInWindow(HostOptions options) {
        resize(1400, 800);
        const bool english = options.languageFlag == 1;
        BuildControls();
        m_timers = std::make_unique<QtTimers>([this](int id) { m_host->OnTimer(id); });
        m_ui = std::make_unique<WidgetHostUi>(
            *this, [this](int id) { return Main(id); },
            [this](int id) { return m_page ? m_page->Control(id) : nullptr; },
            WidgetHostUi::DisplayArea{[this](int item) {
                                          m_chart->SetChartItem(item);
                                          m_chart->SelectChartItem();
                                      },
                                      [this] {
                                          m_chart->KillChartTimer();
                                          m_page->KillPageTimer();
                                      }});
        m_host = std::make_unique<Host>(*m_ui, *m_timers, std::move(options));
        m_host->SetDispatchNotifier([this] {
            QMetaObject::invokeMethod(
                this, [this] { m_host->DispatchPending(); }, Qt::QueuedConnection);
        });
        m_page = new CDataShowDlg(m_host->State().record, english, this);
        m_page->setGeometry(10, 200, 900, 300);
        m_page->hide();
        m_chart = new chart::CChartDlg(m_host->State().history, *this, this);
        m_chart->setGeometry(10, 200, 900, 300);
        m_view = new view3d::C3DShowDlg(&m_host->State().record.AttitudeDegrees, this);
        m_view->setGeometry(920, 200, 300, 200);
        BindMainPanels([this](int id) { return Main(id); }, *m_host);
        BindDataPage(*m_page, *m_host);
    }
    ~StandInWindow() override {
        m_host->Close();
        m_chart->KillChartTimer();
        m_page->KillPageTimer();
    }

    void Initialise() {
        m_host->Initialise();
        m_ready = true;
    }

    QWidget* Main(int id) const {
        const auto it = m_controls.find(id);
        return it == m_controls.end() ? nullptr : it->second;
    }
    Host& host() { return *m_host; }
    WidgetHostUi& ui() { return *m_ui; }
    CDataShowDlg& page() { return *m_page; }
    chart::CChartDlg& chart() { return *m_chart; }
    QtTimers& timers() { return *m_timers; }

    // ChartPageHost
    void ShowDataPage(bool show) override { m_page->setVisible(show); }
    void StartDataPageTimer() override { m_page->StartPageTimer(); }
    void KillDataPageTimer() override { m_page->KillPageTimer(); }
    bool MainWindowReady() const override { return m_ready; }
    int LanguageFlag() const override { return m_host->State().LanguageFlag; }
    void ShowMessage(const QString& text, const QString& caption) override {
        m_ui->ShowMessage(caption.toStdString(), text.toStdString(), MessageIcon::None);
    }

private:
    template <typename W> W* Add(int id, W* widget, int x, int y, int w = 90, int h = 22) {
        widget->setGeometry(x, y, w, h);
        m_controls[id] = widget;
        return widget;
    }

    void BuildControls() {
        namespace m = main_id;
        int x = 10;
        for (int id : {m::kPortList, m::kBaudList, m::kParityList, m::kModelList, m::kProtocolList,
                       m::kModeList, m::kDeviceBaudList, m::kFrequencyList}) {
            Add(id, new QComboBox(this), x, 10, 150);
            x += 160;
        }
        auto* gravity = Add(m::kGravityBox, new QComboBox(this), 10, 40);
        gravity->setEditable(true);
        x = 110;
        for (int id : {m::kOpenButton, m::kConnectButton, m::kSaveButton, m::kFrequencySet,
                       m::kDeviceBaudSet, m::kGravitySet, m::kRecordButton, m::kBrowseButton}) {
            Add(id, new QPushButton("Set", this), x, 40);
            x += 100;
        }
        Add(m::kCsvPathBox, new QLineEdit(this), 10, 70, 800);
        auto* monitor = Add(m::kMonitorBox, new QPlainTextEdit(this), 920, 410, 300, 300);
        monitor->setReadOnly(true);
        x = 10;
        for (const auto& group :
             {std::pair{m::kAngleDegrees, m::kAngleRadians}, std::pair{m::kAccelG, m::kAccelMs2},
              std::pair{m::kLanguageChinese, m::kLanguageEnglish}}) {
            auto* buttons = new QButtonGroup(this);
            for (int id : {group.first, group.second}) {
                buttons->addButton(Add(id, new QRadioButton(QString::number(id), this), x, 100));
                x += 100;
            }
        }
        static_cast<QRadioButton*>(Main(m::kAngleDegrees))->setChecked(true);
        static_cast<QRadioButton*>(Main(m::kAccelG))->setChecked(true);
        static_cast<QRadioButton*>(Main(m::kLanguageEnglish))->setChecked(true);
        x = 10;
        int y = 130;
        for (int id :
             {1043, 1046, 1102, 1103, 1095, 1094, 1096, 1098, 1113, 1104, 1108, 1110, 1106,
              1107, 1100, 1160, 1099, 1101, 1092, 1091, 1105, 1109, 1093, 1097, 1159, 1176}) {
            Add(id, new QLabel(this), x, y, 95);
            x += 100;
            if (x > 1300) {
                x = 10;
                y += 25;
            }
        }
        x = 10;
        for (const ItemBox& box : kMainItemBoxes) {
            Add(box.id, new QCheckBox(QString::number(box.id), this), x, 520);
            x += 95;
        }
    }

    std::map<int, QWidget*> m_controls;
    std::unique_ptr<QtTimers> m_timers;
    std::unique_ptr<WidgetHostUi> m_ui;
    std::unique_ptr<Host> m_host;
    CDataShowDlg* m_page = nullptr;
    chart::CChartDlg* m_chart = nullptr;
    view3d::C3DShowDlg* m_view = nullptr;
    bool m_ready = false;
};

} // namespace orvanta::app::testing
