#include "window/PortListDelegate.h"

#include "window/QtText.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QStyle>
#include <algorithm>

namespace orvanta::window {

PortListDelegate::PortListDelegate(QComboBox& list) : QStyledItemDelegate(&list), m_list(list) {}

void PortListDelegate::Install(QComboBox& list, Describe describe) {
    auto* delegate = new PortListDelegate(list);
    list.setItemDelegate(delegate);
    list.view()->installEventFilter(delegate);
    QObject::connect(
        list.model(), &QAbstractItemModel::rowsInserted, delegate,
        [delegate, describe = std::move(describe)](const QModelIndex&, int first, int last) {
            QComboBox& list = delegate->m_list;
            for (int row = first; row <= last; ++row) {
                const std::string path = list.itemText(row).toStdString();
                list.setItemData(row, Utf8(describe(path)), kDescriptionRole);
            }
            delegate->FitDropDown();
        });
}

QString PortListDelegate::EntryText(const QModelIndex& index) {
    const QString path = index.data(Qt::DisplayRole).toString();
    const QString description = index.data(kDescriptionRole).toString();
    return description.isEmpty() ? path : path + QStringLiteral("  ") + description;
}

void PortListDelegate::initStyleOption(QStyleOptionViewItem* option,
                                       const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = EntryText(index);
}

bool PortListDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        FitDropDown();
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

void PortListDelegate::FitDropDown() {
    QAbstractItemView& view = *m_list.view();
    // The item's text margins, the frame and room for a scroll bar.
    const int margins =
        4 * (view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1) +
        2 * view.frameWidth() + view.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    int widest = 0;
    for (int row = 0; row < m_list.count(); ++row) {
        widest = std::max(
            widest, view.fontMetrics().horizontalAdvance(EntryText(m_list.model()->index(row, 0))));
    }
    // The drop-down grows to show whole entries; the closed list keeps its size.
    view.setMinimumWidth(widest + margins);
}

} // namespace orvanta::window
