#pragma once

#include "chart/ChartTextMeasure.h"

namespace orvanta::chart {

// Every character 6 pixels wide, every line 12 high: layout sums become exact.
class FixedTextMeasure final : public ChartTextMeasure {
public:
    QSize Extent(const QFont&, const QString& text) const override {
        return QSize(6 * static_cast<int>(text.size()), 12);
    }
};

} // namespace orvanta::chart
