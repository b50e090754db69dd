#pragma once

#include "chart/ChartPageHost.h"
#include "host/Host.h"
#include "window/DialogControls.h"
#include "window/WindowLayout.h"

#include <QBasicTimer>
#include <QImage>
#include <QMenu>
#include <QUrl>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>

namespace orvanta::chart {
class ChartPage;
}
namespace orvanta::view3d {
class AttitudeView;
}
namespace orvanta::publish {
class LinkPublishing;
}

namespace orvanta::window {

class PageStrip;
class PublishDialog;
class DataPage;
class ChartToolBar;
class QtTimerService;
class SkinLayer;
class WidgetHostUi;

// The web page the link at the bottom of the window opens.
inline constexpr const char* kWebAddress = "https://www.orvanta.com/";

// The main window: the controls of dialog 101 over the background picture, the display area
// with the chart and live data pages, the 3D view, the page strip and the chart toolbar,
// bound to the host that runs the program's logic. GUI thread only.
// Formerly `COrvantaDlg`.
class MainWindow : public QWidget, public chart::ChartPageHost {
public:
    struct Options {
        host::HostOptions host;                 // its languageFlag is the run's language
        std::filesystem::path modelFile;        // the 3D view's model
        std::filesystem::path pictureDirectory; // where chart pictures go
        int backgroundBitmap = 139;
        SkinLayer* skin = nullptr;                // null: no theming
        std::function<void(const QUrl&)> openUrl; // null: the desktop's browser
        std::function<void()> firstPainted;       // called once, after the first paint
        // What a port is, for the port list's drop-down; null: from /sys.
        std::function<std::string(const std::string& devicePath)> describePort;
        std::string mqttPassword; // the publishing password from the environment, if any
    };

    explicit MainWindow(Options options);
    ~MainWindow() override;

    // The window's initialisation, step by step in its fixed order; shows nothing. False when
    // it ended early.
    bool Initialise();
    bool Initialised() const { return m_initialised; }

    // Rescales every control from the last layout size to the present client size and puts
    // the pages into their frames.
    void RescaleLayout();
    // A chart command of the toolbar.
    void OnChartCommand(int commandId);
    void ShowAboutBox();
    // The context menu's items: "Capture raw bytes with recordings" and "CSV for
    // analysis (UTF-8, ISO time)" (checkable), "Publish over MQTT...", the about item.
    void FillContextMenu(QMenu& menu);
    // Opens the publishing dialog, modal to the window without blocking the caller; its OK
    // puts the settings into force.
    PublishDialog* OpenPublishDialog();

    host::Host& host() { return *m_host; }
    publish::LinkPublishing& publishing() { return *m_publishing; }
    WidgetHostUi& ui() { return *m_ui; }
    QtTimerService& timers() { return *m_timers; }
    const DialogControls& Controls() const { return *m_controls; }
    QWidget* Control(int id) const { return m_controls->Control(id); }
    DataPage& page() { return *m_page; }
    chart::ChartPage& chart() { return *m_chart; }
    view3d::AttitudeView& view() { return *m_view; }
    ChartToolBar& toolbar() { return *m_toolbar; }
    PageStrip& strip() { return *m_strip; }
    int HoverSegment() const { return m_hoverSegment; }
    LayoutRect LinkRect() const { return m_linkRect; }
    QSize SmallestSize() const { return m_smallestSize; }
    QSize LargestSize() const { return m_largestSize; }
    int BackgroundBitmap() const { return m_backgroundBitmap; }

    // ChartPageHost
    void ShowDataPage(bool show) override;
    void StartDataPageTimer() override;
    void KillDataPageTimer() override;
    bool MainWindowReady() const override { return m_initialised; }
    int LanguageFlag() const override;
    void ShowMessage(const QString& text, const QString& caption) override;
    QString PictureFolder() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void WriteBoundControls();
    // The display area's page for a chart item, and the strip's mark.
    void ShowChartItem(int chartItem);
    void CreatePages();
    void SetUpHelpTips();
    void SkinWindow();
    void PlacePages();
    QRect FrameRect(int frameId) const;
    void DrawBackgroundPicture();

    Options m_options;
    int m_startLanguage;
    int m_backgroundBitmap;
    std::unique_ptr<DialogControls> m_controls;
    std::unique_ptr<QtTimerService> m_timers;
    std::unique_ptr<WidgetHostUi> m_ui;
    std::unique_ptr<host::Host> m_host;
    std::unique_ptr<publish::LinkPublishing> m_publishing; // goes before the host
    int m_hoverSegment = 0;
    PageStrip* m_strip = nullptr;
    DataPage* m_page = nullptr;
    chart::ChartPage* m_chart = nullptr;
    ChartToolBar* m_toolbar = nullptr;
    view3d::AttitudeView* m_view = nullptr;

    QSize m_smallestSize;
    QSize m_largestSize;
    QSize m_lastClientSize;
    LayoutRect m_linkRect;
    bool m_initialised = false;
    QImage m_background; // at the window's size, or at the last one while a resize settles
    QBasicTimer m_backgroundTimer;
};

} // namespace orvanta::window
