#pragma once

#include "window/AnchorWindowSystem.h"

#include <functional>

class QWidget;

namespace orvanta::window {

// The anchor layout's window system over Qt widgets: a handle is a QWidget pointer, the
// control identifier comes from a lookup the dialog supplies, and a batch of moves is
// applied with the parent's updates held, so it repaints once. GUI thread only.
class WidgetAnchorSystem : public AnchorWindowSystem {
public:
    using IdLookup = std::function<int(const QWidget*)>;

    explicit WidgetAnchorSystem(IdLookup controlId);

    static AnchorWindow Handle(const QWidget* widget) { return widget; }
    static QWidget* Widget(AnchorWindow window);

    std::vector<AnchorWindow> Descendants(AnchorWindow dialog) const override;
    AnchorWindow Parent(AnchorWindow window) const override;
    int ControlId(AnchorWindow window) const override;
    AnchorRect WindowRect(AnchorWindow window) const override;
    bool ScreenToClient(AnchorWindow dialog, AnchorRect& rect) const override;
    AnchorRect NonClientFrame(AnchorWindow dialog) const override;
    void MoveWindows(std::span<const AnchorMove> moves) override;

private:
    IdLookup m_controlId;
};

} // namespace orvanta::window
