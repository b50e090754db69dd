#pragma once

#include "window/AnchorWindowSystem.h"

#include <array>
#include <cstddef>
#include <optional>

namespace orvanta::window {

// Keeps a dialog's child windows in place when the dialog changes size: each child moves,
// stretches or stays by the change in width and height as its flag word says. Rectangles
// are kept in double precision so repeated half-pixel moves do not drift. Used only on the
// thread of the dialog it serves.
// Formerly `CAnchorLayout`.
class AnchorLayout {
public:
    static constexpr std::size_t kMaxEntries = 256;

    // Flag word bits: horizontal behaviour in 0xC0, vertical in 0x30.
    static constexpr int kHorizontalMask = 0xC0;
    static constexpr int kVerticalMask = 0x30;
    static constexpr int kLeftAnchored = 0x40;
    static constexpr int kMoveWithRight = 0x80;
    static constexpr int kStretchHorizontal = 0xC0;
    static constexpr int kTopAnchored = 0x10;
    static constexpr int kMoveWithBottom = 0x20;
    static constexpr int kStretchVertical = 0x30;
    // 0x00 in either field: moves by half the change, staying centred.

    struct Rect {
        double left = 0.0;
        double top = 0.0;
        double right = 0.0;
        double bottom = 0.0;
    };

    struct Entry {
        int id = 0;
        int flags = 0;
        Rect rect;
        AnchorWindow window = nullptr;
    };

    explicit AnchorLayout(AnchorWindowSystem& windows) : m_windows(windows) {}

    // Set before Attach.
    void SetEnumerateChildren(bool on) { m_enumerateChildren = on; }
    void SetDefaultFlags(int flags) { m_defaultFlags = flags; }

    // Records the dialog and its direct children. Called once the controls exist.
    void Attach(AnchorWindow dialog);
    // Moves the recorded children by the change from the last rectangle's size; only width
    // and height of the rectangle count.
    void Resize(const AnchorRect& newRect);

    // Applies a size change to one rectangle by the flag rules; true when it changed.
    static bool ShiftRect(Rect& rect, int flags, int dx, int dy);
    // The whole-pixel move for a rectangle: each coordinate truncated toward zero.
    static AnchorMove MoveFor(AnchorWindow window, const Rect& rect);

    std::size_t EntryCount() const { return m_count; }
    const Entry& EntryAt(std::size_t index) const { return m_entries[index]; }
    const AnchorRect& LastRect() const { return m_lastRect; }
    int LastDx() const { return m_dx; }
    int LastDy() const { return m_dy; }

private:
    bool Contains(AnchorWindow window) const;

    AnchorWindowSystem& m_windows;
    AnchorRect m_lastRect;
    int m_dx = 0;
    int m_dy = 0;
    AnchorWindow m_dialog = nullptr;
    bool m_enumerateChildren = false;
    int m_defaultFlags = 0;
    std::size_t m_count = 0;
    std::array<Entry, kMaxEntries> m_entries{};
};

} // namespace orvanta::window
