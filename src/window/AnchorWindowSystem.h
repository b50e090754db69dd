#pragma once

#include <span>
#include <vector>

namespace orvanta::window {

// A window of the toolkit, as the anchor layout sees it: an opaque handle.
using AnchorWindow = const void*;

struct AnchorRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const AnchorRect&) const = default;
};

// One queued move: position and size in the parent's client coordinates.
struct AnchorMove {
    AnchorWindow window = nullptr;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// What the anchor layout needs of a window system: walking a dialog's descendants, their
// identifiers and rectangles, and moving several windows in one batch. Called on the thread
// that owns the windows.
class AnchorWindowSystem {
public:
    virtual ~AnchorWindowSystem() = default;

    // Every descendant of the dialog, in walk order (children before grandchildren is not
    // required).
    virtual std::vector<AnchorWindow> Descendants(AnchorWindow dialog) const = 0;
    virtual AnchorWindow Parent(AnchorWindow window) const = 0;
    virtual int ControlId(AnchorWindow window) const = 0;
    // The window's rectangle in screen coordinates.
    virtual AnchorRect WindowRect(AnchorWindow window) const = 0;
    // Converts a screen rectangle to the dialog's client coordinates; false when it cannot.
    virtual bool ScreenToClient(AnchorWindow dialog, AnchorRect& rect) const = 0;
    // The frame around the client area that the dialog's style implies (none for a
    // frameless child); added to each side of the controls' extent.
    virtual AnchorRect NonClientFrame(AnchorWindow dialog) const = 0;
    // Applies all moves together, so the dialog repaints once.
    virtual void MoveWindows(std::span<const AnchorMove> moves) = 0;
};

} // namespace orvanta::window
