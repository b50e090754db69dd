#pragma once

#include <QFont>
#include <QSize>
#include <QString>

namespace orvanta::chart {

// Measures text for the chart's layout, so the layout arithmetic can run
// against fixed sizes in tests. Main thread only.
class ChartTextMeasure {
public:
    virtual ~ChartTextMeasure() = default;
    // Width of the text and the font's line height, in pixels.
    virtual QSize Extent(const QFont& font, const QString& text) const = 0;
};

// Real font metrics. Needs a QGuiApplication. Main thread only.
class FontTextMeasure final : public ChartTextMeasure {
public:
    QSize Extent(const QFont& font, const QString& text) const override;
};

} // namespace orvanta::chart
