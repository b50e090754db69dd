#include "host/ControlModel.h"

namespace orvanta::host {

const ControlModel::Control* ControlModel::Find(Dialog dialog, int id) const {
    const auto it = controls_.find(KeyOf(dialog, id));
    return it == controls_.end() ? nullptr : &it->second;
}

void ControlModel::ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) {
    if (messageSink_) {
        messageSink_(caption, text, icon);
    }
}

void ControlModel::SetText(Dialog dialog, int id, std::string_view text) {
    controls_[KeyOf(dialog, id)].text = text;
}

std::string ControlModel::Text(Dialog dialog, int id) const {
    const Control* control = Find(dialog, id);
    return control ? control->text : std::string();
}

void ControlModel::SetChecked(Dialog dialog, int id, bool checked) {
    controls_[KeyOf(dialog, id)].checked = checked;
}

bool ControlModel::IsChecked(Dialog dialog, int id) const {
    const Control* control = Find(dialog, id);
    return control && control->checked;
}

void ControlModel::SetVisible(Dialog dialog, int id, bool visible) {
    controls_[KeyOf(dialog, id)].visible = visible;
}

bool ControlModel::IsVisible(Dialog dialog, int id) const {
    const Control* control = Find(dialog, id);
    return !control || control->visible;
}

void ControlModel::ClearList(Dialog dialog, int id) {
    Control& control = controls_[KeyOf(dialog, id)];
    control.items.clear();
    control.selection = -1;
}

bool ControlModel::InsertListItem(Dialog dialog, int id, int position, std::string_view text) {
    Control& control = controls_[KeyOf(dialog, id)];
    if (position < 0 || position > static_cast<int>(control.items.size())) {
        return false;
    }
    control.items.insert(control.items.begin() + position, std::string(text));
    return true;
}

void ControlModel::SetListItemText(Dialog dialog, int id, int position, std::string_view text) {
    Control& control = controls_[KeyOf(dialog, id)];
    if (position >= 0 && position < static_cast<int>(control.items.size())) {
        control.items[static_cast<std::size_t>(position)] = text;
    }
}

int ControlModel::ListCount(Dialog dialog, int id) const {
    const Control* control = Find(dialog, id);
    return control ? static_cast<int>(control->items.size()) : 0;
}

std::string ControlModel::ListItemText(Dialog dialog, int id, int position) const {
    const Control* control = Find(dialog, id);
    if (!control || position < 0 || position >= static_cast<int>(control->items.size())) {
        return {};
    }
    return control->items[static_cast<std::size_t>(position)];
}

void ControlModel::SelectListItem(Dialog dialog, int id, int position) {
    Control& control = controls_[KeyOf(dialog, id)];
    // As with a drop-down list, a position beyond the entries leaves no selection.
    control.selection =
        (position >= 0 && position < static_cast<int>(control.items.size())) ? position : -1;
}

int ControlModel::ListSelection(Dialog dialog, int id) const {
    const Control* control = Find(dialog, id);
    return control ? control->selection : -1;
}

std::vector<std::string> ControlModel::ListItems(Dialog dialog, int id) const {
    const Control* control = Find(dialog, id);
    return control ? control->items : std::vector<std::string>{};
}

void ControlModel::AppendMonitorText(std::string_view text) {
    monitor_ += text;
    if (monitorSink_) {
        monitorSink_(text);
    }
}

void ControlModel::ShowLinkNotice(std::string_view notice, bool lasting) {
    linkNotice_ = lasting ? std::string(notice) : std::string();
    if (noticeSink_ && !notice.empty()) {
        noticeSink_(notice);
    }
}

void ControlModel::ReplaceMonitorText(std::string_view text) {
    monitor_ = text;
    if (monitorSink_) {
        monitorSink_(text);
    }
}

} // namespace orvanta::host
