#include "window/WidgetAnchorSystem.h"

#include <QWidget>
#include <utility>

namespace orvanta::window {

WidgetAnchorSystem::WidgetAnchorSystem(IdLookup controlId) : m_controlId(std::move(controlId)) {}

QWidget* WidgetAnchorSystem::Widget(AnchorWindow window) {
    return const_cast<QWidget*>(static_cast<const QWidget*>(window));
}

std::vector<AnchorWindow> WidgetAnchorSystem::Descendants(AnchorWindow dialog) const {
    std::vector<AnchorWindow> out;
    if (QWidget* widget = Widget(dialog)) {
        for (const QWidget* child : widget->findChildren<QWidget*>()) {
            out.push_back(child);
        }
    }
    return out;
}

AnchorWindow WidgetAnchorSystem::Parent(AnchorWindow window) const {
    const QWidget* widget = Widget(window);
    return widget ? widget->parentWidget() : nullptr;
}

int WidgetAnchorSystem::ControlId(AnchorWindow window) const {
    return m_controlId ? m_controlId(Widget(window)) : 0;
}

AnchorRect WidgetAnchorSystem::WindowRect(AnchorWindow window) const {
    const QWidget* widget = Widget(window);
    if (!widget) {
        return {};
    }
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    return {origin.x(), origin.y(), origin.x() + widget->width(), origin.y() + widget->height()};
}

bool WidgetAnchorSystem::ScreenToClient(AnchorWindow dialog, AnchorRect& rect) const {
    const QWidget* widget = Widget(dialog);
    if (!widget) {
        return false;
    }
    const QPoint topLeft = widget->mapFromGlobal(QPoint(rect.left, rect.top));
    const int dx = topLeft.x() - rect.left;
    const int dy = topLeft.y() - rect.top;
    rect = {rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
    return true;
}

AnchorRect WidgetAnchorSystem::NonClientFrame(AnchorWindow) const {
    // A widget's geometry is its client area; the window manager draws any frame outside.
    return {};
}

void WidgetAnchorSystem::MoveWindows(std::span<const AnchorMove> moves) {
    if (moves.empty()) {
        return;
    }
    QWidget* parent = Widget(moves.front().window)->parentWidget();
    const bool held = parent && parent->updatesEnabled();
    if (held) {
        parent->setUpdatesEnabled(false);
    }
    for (const AnchorMove& move : moves) {
        if (QWidget* widget = Widget(move.window)) {
            widget->setGeometry(move.x, move.y, move.width, move.height);
        }
    }
    if (held) {
        parent->setUpdatesEnabled(true);
    }
}

} // namespace orvanta::window
