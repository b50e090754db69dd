#pragma once

#include "host/HostUi.h"
#include "window/PanelBindings.h"

#include <QString>
#include <functional>
#include <optional>
#include <string>

class QLabel;
class QWidget;

namespace orvanta::window {

// The host's view of the real window: controls of the main window and the live data page
// found by identifier, message boxes over the main window (modal to it, without blocking
// the caller, one at a time per caption and text), the folder picker and the display area.
// Labels of the main window follow SetStatusText. GUI thread only.
class WidgetHostUi : public host::HostUi {
public:
    struct DisplayArea {
        std::function<void(int chartItem)> selectChartItem;
        std::function<void()> killPageTimers;
    };
    using MessageSink =
        std::function<void(std::string_view caption, std::string_view text, host::MessageIcon)>;
    using FolderPicker = std::function<std::optional<std::string>(std::string_view title)>;

    WidgetHostUi(QWidget& mainWindow, ControlLookup mainControl, ControlLookup pageControl,
                 DisplayArea displayArea);

    // Tests and scripted runs: messages and folder choices without modal dialogs.
    void SetMessageSink(MessageSink sink) { m_messageSink = std::move(sink); }
    void SetFolderPicker(FolderPicker picker) { m_folderPicker = std::move(picker); }

    void ShowMessage(std::string_view caption, std::string_view text,
                     host::MessageIcon icon) override;
    void SetText(host::Dialog dialog, int id, std::string_view text) override;
    std::string Text(host::Dialog dialog, int id) const override;
    void SetChecked(host::Dialog dialog, int id, bool checked) override;
    bool IsChecked(host::Dialog dialog, int id) const override;
    void SetVisible(host::Dialog dialog, int id, bool visible) override;

    void ClearList(host::Dialog dialog, int id) override;
    bool InsertListItem(host::Dialog dialog, int id, int position, std::string_view text) override;
    void SetListItemText(host::Dialog dialog, int id, int position, std::string_view text) override;
    int ListCount(host::Dialog dialog, int id) const override;
    std::string ListItemText(host::Dialog dialog, int id, int position) const override;
    void SelectListItem(host::Dialog dialog, int id, int position) override;
    int ListSelection(host::Dialog dialog, int id) const override;

    std::size_t MonitorLength() const override;
    void AppendMonitorText(std::string_view text) override;
    void ReplaceMonitorText(std::string_view text) override;

    void SelectChartItem(int chartItem) override;
    void KillPageTimers() override;

    std::optional<std::string> PickFolder(std::string_view title) override;
    // In the title and over the status row (mode, rate and Miscount), where it stays in
    // place as the window is resized; a notice that does not last goes after 5 s.
    void ShowLinkNotice(std::string_view notice, bool lasting) override;
    // The title: the dialog's caption, " - PATH" while a port is open, " - NOTICE".
    void ShowOpenPort(std::string_view path) override;
    // The notice's place again, after the window's controls moved.
    void PlaceLinkNotice();
    const QLabel* LinkNoticeLabel() const { return m_notice; }

private:
    void UpdateTitle();
    QWidget* Find(host::Dialog dialog, int id) const;

    QWidget& m_mainWindow;
    ControlLookup m_mainControl;
    ControlLookup m_pageControl;
    DisplayArea m_displayArea;
    MessageSink m_messageSink;
    FolderPicker m_folderPicker;
    QLabel* m_notice = nullptr; // owned by the main window
    QString m_caption;          // the title as the window was made
    QString m_openPort;
    QString m_noticeText;
};

} // namespace orvanta::window
