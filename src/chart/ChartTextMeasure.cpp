#include "chart/ChartTextMeasure.h"

#include <QFontMetrics>

namespace orvanta::chart {

QSize FontTextMeasure::Extent(const QFont& font, const QString& text) const {
    const QFontMetrics metrics(font);
    return QSize(metrics.horizontalAdvance(text), metrics.height());
}

} // namespace orvanta::chart
