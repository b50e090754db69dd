#pragma once

#include "host/HostUi.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace orvanta::host {

// An in-memory stand-in for the window's controls: texts, check states, visibility
// and lists by dialog and identifier. The headless front end and the tests use it;
// messages go to a sink. Main thread only.
class ControlModel : public HostUi {
public:
    using MessageSink =
        std::function<void(std::string_view caption, std::string_view text, MessageIcon)>;
    using MonitorSink = std::function<void(std::string_view text)>;

    void SetMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }
    void SetMonitorSink(MonitorSink sink) { monitorSink_ = std::move(sink); }
    // Where link notices go besides LinkNotice() (the headless run prints them).
    void SetNoticeSink(std::function<void(std::string_view)> sink) {
        noticeSink_ = std::move(sink);
    }
    const std::string& LinkNotice() const { return linkNotice_; }
    void ShowLinkNotice(std::string_view notice, bool lasting) override;
    const std::string& OpenPort() const { return openPort_; }
    void ShowOpenPort(std::string_view path) override { openPort_ = path; }

    void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) override;
    void SetText(Dialog dialog, int id, std::string_view text) override;
    std::string Text(Dialog dialog, int id) const override;
    void SetChecked(Dialog dialog, int id, bool checked) override;
    bool IsChecked(Dialog dialog, int id) const override;
    void SetVisible(Dialog dialog, int id, bool visible) override;
    bool IsVisible(Dialog dialog, int id) const;

    void ClearList(Dialog dialog, int id) override;
    bool InsertListItem(Dialog dialog, int id, int position, std::string_view text) override;
    void SetListItemText(Dialog dialog, int id, int position, std::string_view text) override;
    int ListCount(Dialog dialog, int id) const override;
    std::string ListItemText(Dialog dialog, int id, int position) const override;
    void SelectListItem(Dialog dialog, int id, int position) override;
    int ListSelection(Dialog dialog, int id) const override;
    std::vector<std::string> ListItems(Dialog dialog, int id) const;

    std::size_t MonitorLength() const override { return monitor_.size(); }
    void AppendMonitorText(std::string_view text) override;
    void ReplaceMonitorText(std::string_view text) override;
    const std::string& MonitorContent() const { return monitor_; }

    void SelectChartItem(int chartItem) override {
        chartItem_ = chartItem;
        pageTimersRunning_ = true;
    }
    void KillPageTimers() override { pageTimersRunning_ = false; }
    int ShownChartItem() const { return chartItem_; }
    bool PageTimersRunning() const { return pageTimersRunning_; }

    std::optional<std::string> PickFolder(std::string_view) override { return pickedFolder_; }
    void SetPickedFolder(std::optional<std::string> folder) { pickedFolder_ = std::move(folder); }

private:
    using Key = std::pair<int, int>;
    struct Control {
        std::string text;
        bool checked = false;
        bool visible = true;
        std::vector<std::string> items;
        int selection = -1;
    };

    static Key KeyOf(Dialog dialog, int id) { return {static_cast<int>(dialog), id}; }
    const Control* Find(Dialog dialog, int id) const;

    std::map<Key, Control> controls_;
    std::string monitor_;
    MessageSink messageSink_;
    MonitorSink monitorSink_;
    std::function<void(std::string_view)> noticeSink_;
    std::string linkNotice_;
    std::string openPort_;
    int chartItem_ = -1;
    bool pageTimersRunning_ = false;
    std::optional<std::string> pickedFolder_;
};

} // namespace orvanta::host
