#pragma once

#include <QPoint>
#include <QRect>

namespace orvanta::chart {

// A rectangle whose right and bottom edges lie just outside it, the way the
// chart's layout arithmetic counts. Plain value; any thread.
struct ChartRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(QPoint p) const {
        return p.x() >= left && p.x() < right && p.y() >= top && p.y() < bottom;
    }
    ChartRect Deflated(int d) const { return {left + d, top + d, right - d, bottom - d}; }
    ChartRect Moved(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    QRect ToQRect() const { return QRect(left, top, right - left, bottom - top); }

    friend bool operator==(const ChartRect&, const ChartRect&) = default;
};

} // namespace orvanta::chart
