#include "window/MainWindow.h"

#include "chart/ChartPage.h"
#include "publish/LinkPublishing.h"
#include "res/Artwork.h"
#include "res/StringTable.h"
#include "serial/PortDescription.h"
#include "view3d/AttitudeView.h"
#include "window/AboutDialog.h"
#include "window/ChartToolBar.h"
#include "window/DataPage.h"
#include "window/PageStrip.h"
#include "window/PanelBindings.h"
#include "window/PortListDelegate.h"
#include "window/PublishDialog.h"
#include "window/QtText.h"
#include "window/QtTimerService.h"
#include "window/SkinLayer.h"
#include "window/WidgetHostUi.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QMenu>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QTimerEvent>
#include <QToolTip>
#include <utility>

namespace orvanta::window {

namespace {

constexpr int kDisplayFrame = 1146;
constexpr int kToolbarFrame = 1147;
constexpr int kViewFrame = 1145;
constexpr int kLinkLabel = 1051;
constexpr int kPageStrip = 1151;
constexpr int kTipWidth = 159;
constexpr int kBackgroundSettleMs = 150;

struct HelpTip {
    int anchor;
    int string;
};
constexpr HelpTip kHelpTips[] = {
    {1152, 107}, {1154, 108}, {1153, 109}, {1155, 110}, {1156, 111}, {1157, 112}, {1158, 113},
};

LayoutRect ToLayout(const QRect& r) {
    return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

} // namespace

MainWindow::MainWindow(Options options)
    : m_options(std::move(options)), m_startLanguage(m_options.host.languageFlag),
      m_backgroundBitmap(m_options.backgroundBitmap) {
    const res::Language language = res::LanguageFromFlag(m_startLanguage);
    const res::DialogTemplate& dialog = *res::FindDialog(res::dialog_id::kMain, language);
    setWindowTitle(Utf8(dialog.caption));
    // The background picture covers the whole client area: nothing to erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);

    m_controls = std::make_unique<DialogControls>(
        *this, dialog, [this](const res::ControlTemplate& control, QWidget& parent) -> QWidget* {
            if (control.id != kPageStrip) {
                return nullptr;
            }
            m_strip = new PageStrip([this] { return m_host ? m_host->State().ChartItem : 0; },
                                    [this] { return LanguageFlag(); }, m_hoverSegment, &parent);
            return m_strip;
        });

    if (auto* ports = m_controls->As<QComboBox>(host::main_id::kPortList)) {
        PortListDelegate::Install(
            *ports,
            m_options.describePort ? m_options.describePort : [](const std::string& devicePath) {
                return serial::DescribePort("/sys", devicePath);
            });
    }

    m_timers = std::make_unique<QtTimerService>([this](int id) { m_host->OnTimer(id); });
    m_ui = std::make_unique<WidgetHostUi>(
        *this, [this](int id) { return Control(id); },
        [this](int id) { return m_page ? m_page->Control(id) : nullptr; },
        WidgetHostUi::DisplayArea{[this](int item) { ShowChartItem(item); },
                                  [this] {
                                      // The pages keep what was last received, however
                                      // short the run was.
                                      m_chart->RebuildSeries();
                                      m_page->RefreshDataPage();
                                      m_chart->KillChartTimer();
                                      m_page->KillPageTimer();
                                  }});
    m_host = std::make_unique<host::Host>(*m_ui, *m_timers, m_options.host);
    m_host->SetDispatchNotifier([this] {
        QMetaObject::invokeMethod(
            this, [this] { m_host->DispatchPending(); }, Qt::QueuedConnection);
    });

    m_publishing = std::make_unique<publish::LinkPublishing>(
        *m_host, *m_ui,
        publish::LinkPublishing::Options{m_options.host.configPath, m_options.host.sysfsRoot,
                                         m_options.host.deviceDir,
                                         std::exchange(m_options.mqttPassword, {})});
    m_ui->SetOpenPortListener([this](std::string_view path) {
        if (m_publishing) {
            m_publishing->LinkChanged(path);
        }
    });

    BindMainPanels([this](int id) { return Control(id); }, *m_host);
    if (m_strip) {
        connect(m_strip, &QAbstractButton::clicked, this,
                [this] { m_host->OnChartItemChosen(m_hoverSegment); });
    }
    auto* about = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(about, &QShortcut::activated, this, &MainWindow::ShowAboutBox);
}

MainWindow::~MainWindow() {
    m_host->Close();
    m_ui->SetOpenPortListener({});
    m_publishing.reset();
    // The pages read the host's state: they go before it.
    delete m_page;
    m_page = nullptr;
    delete m_chart;
    m_chart = nullptr;
    delete m_view;
    m_view = nullptr;
    delete m_toolbar;
    m_toolbar = nullptr;
}

void MainWindow::WriteBoundControls() {
    const host::AppState& state = m_host->State();
    const auto check = [this](int id, bool on) {
        if (auto* button = m_controls->As<QAbstractButton>(id)) {
            button->setChecked(on);
        }
    };
    check(state.record.AngleUnit == 0 ? host::main_id::kAngleDegrees : host::main_id::kAngleRadians,
          true);
    check(state.record.AccelUnit == 0 ? host::main_id::kAccelG : host::main_id::kAccelMs2, true);
    check(state.LanguageFlag == 0 ? host::main_id::kLanguageChinese
                                  : host::main_id::kLanguageEnglish,
          true);
}

void MainWindow::CreatePages() {
    const res::Language language = res::LanguageFromFlag(m_startLanguage);
    ChartToolBar::Hooks hooks;
    hooks.command = [this](int id) { OnChartCommand(id); };
    hooks.displayFlags = [this] {
        ChartDisplayFlags flags;
        const chart::ChartPageState& state = m_chart->State();
        flags.abscissaShown = state.abscissaShown;
        flags.ordinateShown = state.ordinateShown;
        for (int i = 0; i < 3; ++i) {
            flags.seriesShown[i] = state.seriesShown[static_cast<std::size_t>(i)];
        }
        return flags;
    };
    hooks.language = language;
    hooks.message = [this](const QString& caption, const QString& text) {
        m_ui->ShowMessage(caption.toStdString(), text.toStdString(), host::MessageIcon::None);
    };
    m_toolbar = new ChartToolBar(std::move(hooks), this);
    m_toolbar->setGeometry(FrameRect(kToolbarFrame));
    m_toolbar->show();

    host::AppState& state = m_host->State();
    m_view = new view3d::AttitudeView(&state.record.AttitudeDegrees, m_options.modelFile.string(),
                                      language == res::Language::English, this);
    // A right-button drag pans the chart; the about menu is the window's own.
    m_view->setContextMenuPolicy(Qt::PreventContextMenu);
    m_view->setGeometry(FrameRect(kViewFrame));
    // The black frame's edge shows around the view, over its outermost pixels.
    if (QWidget* frame = Control(kViewFrame)) {
        m_view->stackUnder(frame);
    }
    m_view->show();

    m_page = new DataPage(state.record, language == res::Language::English, this,
                          FrameRect(kDisplayFrame).size());
    m_page->setGeometry(FrameRect(kDisplayFrame));
    m_page->hide();
    BindDataPage(*m_page, *m_host);

    m_chart = new chart::ChartPage(state.history, *this, this);
    m_chart->setContextMenuPolicy(Qt::PreventContextMenu);
    m_chart->setGeometry(FrameRect(kDisplayFrame));
    m_chart->show();
}

bool MainWindow::Initialise() {
    // Step 1: the bound variables into their controls.
    WriteBoundControls();
    // Steps 2 and 3: the about item lives in the context menu and on F1; the icon.
    setWindowIcon(res::LoadAppIcon());
    // Step 4: the sizes the window may take.
    m_smallestSize = m_controls->TemplateSize();
    m_lastClientSize = m_controls->TemplateSize();
    const QScreen* display = screen();
    m_largestSize = display ? display->size() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    // Steps 7 to 10.
    m_host->FillLists();
    CreatePages();
    if (m_strip) {
        m_strip->LoadStripPictures();
    }
    // Steps 11 and 12.
    m_host->ReadConfiguration();
    m_host->ConnectConfiguredPort();
    m_host->ApplyModelAtStart();
    // Step 13.
    if (const QWidget* link = Control(kLinkLabel)) {
        m_linkRect = ToLayout(link->geometry());
    }
    // Steps 14 to 17.
    SetUpHelpTips();
    m_host->StartRateTimerAndWorker();
    // Step 18.
    SkinWindow();
    // Steps 19 to 21.
    m_initialised = true;
    setMinimumSize(m_smallestSize);
    setMaximumSize(m_largestSize);
    move(0, 0);
    resize(m_smallestSize);
    RescaleLayout();
    // Step 22.
    if (QWidget* open = Control(host::main_id::kOpenButton)) {
        open->setFocus();
    }
    // Adapters come and go while the window runs; the list follows them.
    m_host->FollowPorts();
    return true;
}

void MainWindow::SetUpHelpTips() {
    const res::Language language = res::LanguageFromFlag(m_startLanguage);
    const QFontMetrics metrics(QToolTip::font());
    const auto measure = [&metrics](std::string_view text) {
        return metrics.horizontalAdvance(Utf8(text));
    };
    for (const HelpTip& tip : kHelpTips) {
        if (QWidget* anchor = Control(tip.anchor)) {
            const std::string text =
                WrapTipText(res::LoadString(tip.string, language), kTipWidth, measure);
            anchor->setToolTip(QString::fromStdString(text));
        }
    }
}

void MainWindow::SkinWindow() {
    SkinLayer* skin = m_options.skin;
    if (!skin) {
        return;
    }
    skin->SkinDialog(this, "ACC_68_DL");
    skin->SkinControl(Control(1080), "Button_Save", "ACC_68_DL");
    skin->SkinControl(Control(1149), "Edit_Rec", "ACC_68_DL");
    skin->SkinControl(Control(1166), "Radio_Get", "ACC_68_DL");
    skin->SkinControl(Control(1165), "Radio_Get", "ACC_68_DL");
    skin->SetDialogValue(this, 3);
}

QRect MainWindow::FrameRect(int frameId) const {
    const QWidget* frame = Control(frameId);
    return frame ? frame->geometry() : QRect();
}

void MainWindow::PlacePages() {
    const QRect display = FrameRect(kDisplayFrame);
    m_chart->setGeometry(display);
    m_page->setGeometry(display);
    m_toolbar->setGeometry(FrameRect(kToolbarFrame));
    m_view->setGeometry(FrameRect(kViewFrame));
}

void MainWindow::RescaleLayout() {
    if (!m_initialised || isMinimized()) {
        return;
    }
    const QSize client = size();
    if (m_lastClientSize.width() <= 0 || m_lastClientSize.height() <= 0) {
        m_lastClientSize = client;
        return;
    }
    const float sx =
        static_cast<float>(client.width()) / static_cast<float>(m_lastClientSize.width());
    const float sy =
        static_cast<float>(client.height()) / static_cast<float>(m_lastClientSize.height());
    for (QWidget* widget : m_controls->Widgets()) {
        const LayoutRect now = ToLayout(widget->geometry());
        const LayoutRect next = RescaleControl(m_controls->IdOf(widget), now, sx, sy);
        widget->setGeometry(next.left, next.top, next.Width(), next.Height());
    }
    m_lastClientSize = client;
    if (m_strip) {
        m_strip->LoadStripPictures();
    }
    if (const QWidget* link = Control(kLinkLabel)) {
        m_linkRect = ToLayout(link->geometry());
    }
    PlacePages();
    update();
}

void MainWindow::ShowChartItem(int chartItem) {
    m_chart->SetChartItem(chartItem);
    m_chart->SelectChartItem();
    // The strip marks the item shown, however it was chosen.
    if (m_strip) {
        m_strip->update();
    }
}

void MainWindow::OnChartCommand(int commandId) {
    m_chart->OnChartCommand(commandId);
}

void MainWindow::ShowAboutBox() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::ShowDataPage(bool show) {
    m_page->setVisible(show);
}

void MainWindow::StartDataPageTimer() {
    m_page->StartPageTimer();
}

void MainWindow::KillDataPageTimer() {
    m_page->KillPageTimer();
}

int MainWindow::LanguageFlag() const {
    return m_host ? m_host->State().LanguageFlag : m_startLanguage;
}

void MainWindow::ShowMessage(const QString& text, const QString& caption) {
    m_ui->ShowMessage(caption.toStdString(), text.toStdString(), host::MessageIcon::None);
}

QString MainWindow::PictureFolder() const {
    return QString::fromStdString(m_options.pictureDirectory.string());
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (isMinimized()) {
        const QPixmap icon = windowIcon().pixmap(32, 32);
        painter.drawPixmap((width() - icon.width() + 1) / 2, (height() - icon.height() + 1) / 2,
                           icon);
        return;
    }
    // Only the picture at the window's size is kept, not the full-size one. After a resize
    // the last one is stretched, and drawn afresh at the new size once the size has held
    // for a moment: a drag of the window's border stays as quick as a stretch.
    if (m_background.isNull()) {
        DrawBackgroundPicture();
    } else if (m_background.deviceIndependentSize() != QSizeF(size())) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        m_backgroundTimer.start(kBackgroundSettleMs, this);
    }
    painter.drawImage(rect(), m_background);
    if (m_options.firstPainted) {
        // After this event returns the window's first picture is on its way to the screen.
        QMetaObject::invokeMethod(this, std::exchange(m_options.firstPainted, {}),
                                  Qt::QueuedConnection);
    }
}

void MainWindow::DrawBackgroundPicture() {
    const qreal ratio = devicePixelRatioF();
    m_background = res::LoadBackgroundPicture(m_backgroundBitmap, size() * ratio);
    m_background.setDevicePixelRatio(ratio);
}

void MainWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_backgroundTimer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    m_backgroundTimer.stop();
    DrawBackgroundPicture();
    update();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Without a window manager nothing holds the native window to the limits: the window
    // returns to them itself and lays out only sizes within them.
    const QSize allowed = event->size().expandedTo(minimumSize()).boundedTo(maximumSize());
    if (m_initialised && allowed != event->size()) {
        // Not from inside the resize event: Qt could then lose track of the native size.
        QMetaObject::invokeMethod(
            this, [this] { resize(size().expandedTo(minimumSize()).boundedTo(maximumSize())); },
            Qt::QueuedConnection);
        return;
    }
    RescaleLayout();
    m_ui->PlaceLinkNotice();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (StrictlyInside(m_linkRect, at.x(), at.y())) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
    QWidget::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && StrictlyInside(m_linkRect, at.x(), at.y())) {
        const QUrl url(QString::fromLatin1(kWebAddress));
        if (m_options.openUrl) {
            m_options.openUrl(url);
        } else {
            QDesktopServices::openUrl(url);
        }
    }
    QWidget::mouseReleaseEvent(event);
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !m_view) {
        return;
    }
    // The model turns only while the window is the active one.
    if (isActiveWindow()) {
        if (m_initialised) {
            m_view->StartTimer();
        }
        update();
    } else {
        m_view->KillTimer();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    m_host->Close();
    if (m_chart) {
        m_chart->KillChartTimer();
    }
    if (m_page) {
        m_page->KillPageTimer();
    }
    if (m_view) {
        m_view->KillTimer();
    }
    event->accept();
}

void MainWindow::FillContextMenu(QMenu& menu) {
    QAction* capture =
        menu.addAction(m_startLanguage == 1 ? QStringLiteral("Capture raw bytes with recordings")
                                            : QStringLiteral("记录时同时保存原始数据"));
    capture->setCheckable(true);
    capture->setChecked(m_host->Recording().CaptureWithRecordings());
    connect(capture, &QAction::toggled, this,
            [this](bool on) { m_host->Recording().SetCaptureWithRecordings(on); });
    QAction* analysis =
        menu.addAction(m_startLanguage == 1 ? QStringLiteral("CSV for analysis (UTF-8, ISO time)")
                                            : QStringLiteral("分析用 CSV（UTF-8，ISO 时间）"));
    analysis->setCheckable(true);
    analysis->setChecked(m_host->Recording().CsvFileFormat() == recording::CsvFormat::Utf8);
    connect(analysis, &QAction::toggled, this, [this](bool on) {
        m_host->Recording().SetCsvFormat(on ? recording::CsvFormat::Utf8
                                            : recording::CsvFormat::Designed);
    });
    menu.addAction(m_startLanguage == 1 ? QStringLiteral("Publish over MQTT...")
                                        : QStringLiteral("通过 MQTT 发布..."),
                   this, &MainWindow::OpenPublishDialog);
    const std::string_view aboutText =
        res::LoadString(res::string_id::kAboutMenu, res::LanguageFromFlag(m_startLanguage));
    if (!aboutText.empty()) {
        menu.addSeparator();
        menu.addAction(Utf8(aboutText), this, &MainWindow::ShowAboutBox);
    }
}

PublishDialog* MainWindow::OpenPublishDialog() {
    auto* dialog = new PublishDialog({m_publishing->Settings(), m_publishing->Password()},
                                     m_publishing->DefaultDevice(),
                                     res::LanguageFromFlag(m_startLanguage), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        PublishDialog::Values values = dialog->Result();
        m_publishing->Apply(values.settings, std::move(values.password));
    });
    dialog->open();
    return dialog;
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    FillContextMenu(menu);
    menu.exec(event->globalPos());
}

} // namespace orvanta::window
