#pragma once

#include <QStyledItemDelegate>
#include <functional>
#include <string>

class QComboBox;

namespace orvanta::window {

// The port list's drop-down shows each port's path followed by what the port is ("FTDI
// FT232R USB UART (A50285BI)", "serial8250"), and is wide enough for whole entries; the
// closed list, and every text the host reads from the list, keep the path alone. A port is
// described once, when its entry is added. GUI thread only.
class PortListDelegate : public QStyledItemDelegate {
public:
    using Describe = std::function<std::string(const std::string& devicePath)>;
    static constexpr int kDescriptionRole = Qt::UserRole + 1;

    // Dresses list with the delegate (list owns it) and describes every entry added later.
    static void Install(QComboBox& list, Describe describe);
    // What the drop-down shows for an entry.
    static QString EntryText(const QModelIndex& index);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    // Refits the drop-down when its font or style changes (the skin sets them late).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit PortListDelegate(QComboBox& list);
    void FitDropDown();

    QComboBox& m_list;
};

} // namespace orvanta::window
