#include "window/AnchorLayout.h"

#include <algorithm>
#include <vector>

namespace orvanta::window {

bool AnchorLayout::Contains(AnchorWindow window) const {
    for (std::size_t i = 0; i < m_count; ++i) {
        if (m_entries[i].window == window) {
            return true;
        }
    }
    return false;
}

void AnchorLayout::Attach(AnchorWindow dialog) {
    if (dialog == nullptr) {
        m_count = 0;
        return;
    }
    m_dialog = dialog;
    m_lastRect = m_windows.WindowRect(dialog);

    if (m_enumerateChildren) {
        for (AnchorWindow child : m_windows.Descendants(dialog)) {
            if (m_count >= kMaxEntries) {
                break;
            }
            if (m_windows.Parent(child) != dialog || Contains(child)) {
                continue;
            }
            const AnchorRect screen = m_windows.WindowRect(child);
            AnchorRect client = screen;
            if (!m_windows.ScreenToClient(dialog, client)) {
                client = screen;
            }
            Entry& entry = m_entries[m_count++];
            entry.id = m_windows.ControlId(child);
            entry.flags = m_defaultFlags;
            entry.rect = {static_cast<double>(client.left), static_cast<double>(client.top),
                          static_cast<double>(client.right), static_cast<double>(client.bottom)};
            entry.window = child;
        }
    }

    // From now on the controls' extent counts as the dialog's size.
    double maxRight = 0.0;
    double maxBottom = 0.0;
    for (std::size_t i = 0; i < m_count; ++i) {
        maxRight = std::max(maxRight, m_entries[i].rect.right);
        maxBottom = std::max(maxBottom, m_entries[i].rect.bottom);
    }
    m_lastRect.right = m_lastRect.left + static_cast<int>(maxRight);
    m_lastRect.bottom = m_lastRect.top + static_cast<int>(maxBottom);
    const AnchorRect frame = m_windows.NonClientFrame(dialog);
    m_lastRect.left -= frame.left;
    m_lastRect.top -= frame.top;
    m_lastRect.right += frame.right;
    m_lastRect.bottom += frame.bottom;
}

bool AnchorLayout::ShiftRect(Rect& rect, int flags, int dx, int dy) {
    bool changed = false;
    const double width = rect.right - rect.left;
    const double height = rect.bottom - rect.top;
    const int horizontal = flags & kHorizontalMask;
    if (dx != 0 && horizontal != kLeftAnchored) {
        switch (horizontal) {
        case kMoveWithRight:
            rect.left += dx;
            rect.right = rect.left + width;
            break;
        case kStretchHorizontal:
            rect.right += dx;
            break;
        default:
            rect.left += dx * 0.5;
            rect.right = rect.left + width;
            break;
        }
        changed = true;
    }
    const int vertical = flags & kVerticalMask;
    if (dy != 0 && vertical != kTopAnchored) {
        switch (vertical) {
        case kMoveWithBottom:
            rect.top += dy;
            rect.bottom = rect.top + height;
            break;
        case kStretchVertical:
            rect.bottom += dy;
            break;
        default:
            rect.top += dy * 0.5;
            rect.bottom = rect.top + height;
            break;
        }
        changed = true;
    }
    return changed;
}

AnchorMove AnchorLayout::MoveFor(AnchorWindow window, const Rect& rect) {
    return {window, static_cast<int>(rect.left), static_cast<int>(rect.top),
            static_cast<int>(rect.right - rect.left), static_cast<int>(rect.bottom - rect.top)};
}

void AnchorLayout::Resize(const AnchorRect& newRect) {
    m_dx = newRect.Width() - m_lastRect.Width();
    m_dy = newRect.Height() - m_lastRect.Height();

    std::vector<AnchorMove> batch;
    batch.reserve(m_count);
    for (std::size_t i = 0; i < m_count; ++i) {
        Entry& entry = m_entries[i];
        if (entry.window == nullptr) {
            continue;
        }
        if (ShiftRect(entry.rect, entry.flags, m_dx, m_dy)) {
            batch.push_back(MoveFor(entry.window, entry.rect));
        }
    }
    if (!batch.empty()) {
        m_windows.MoveWindows(batch);
    }
    m_lastRect = newRect;
}

} // namespace orvanta::window
