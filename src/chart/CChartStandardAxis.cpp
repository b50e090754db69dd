#include "chart/CChartStandardAxis.h"

#include "chart/ChartNumberText.h"

#include <algorithm>
#include <cmath>

namespace orvanta::chart {

CChartStandardAxis::CChartStandardAxis(double firstTickValue, double tickStep, unsigned decimals)
    : m_firstTickValue(firstTickValue), m_tickStep(tickStep), m_decimals(decimals) {}

double CChartStandardAxis::FirstTick() const {
    return m_discrete ? m_firstTickValue - m_tickStep : m_firstTickValue;
}

bool CChartStandardAxis::NextTick(double& tick) const {
    if (m_tickStep == 0) {
        return false;
    }
    tick += m_tickStep;
    return tick <= m_maximum;
}

int CChartStandardAxis::TickPixel(double value) const {
    return ValueToPixel(value);
}

int CChartStandardAxis::DiscreteValueToPixel(double value) const {
    if (!(m_tickStep > 0)) {
        return ValueToPixel(value);
    }
    // The middle of the tick interval the value falls in.
    const double interval = std::floor((value - m_firstTickValue) / m_tickStep);
    if (!std::isfinite(interval)) {
        return ValueToPixel(value);
    }
    return ValueToPixel(m_firstTickValue + (interval + 0.5) * m_tickStep);
}

QString CChartStandardAxis::TickLabel(double value) const {
    QString text = FixedText(value, static_cast<int>(std::min(m_decimals, 340u)));
    // A tick at zero (or a step's rounding error below it) reads "0.0", not "-0.0".
    if (text.startsWith(QLatin1Char('-')) && std::all_of(text.begin() + 1, text.end(), [](QChar c) {
            return c == QLatin1Char('0') || c == QLatin1Char('.');
        })) {
        text.remove(0, 1);
    }
    return text;
}

void CChartStandardAxis::RecomputeTickStep() {
    if (!m_automaticTicks) {
        return;
    }
    if (m_maximum == m_minimum) {
        m_tickStep = 0;
        return;
    }
    // At most one tick per 30 (horizontal) or 20 (vertical) pixels. An axis too
    // short for one gets step 0: a single tick at the minimum.
    const int count = std::abs((m_end - m_start) / (m_horizontal ? 30 : 20));
    if (count == 0) {
        m_tickStep = 0;
        return;
    }
    const double raw = (m_maximum - m_minimum) / count;
    if (!std::isfinite(raw) || !(raw > 0)) {
        m_tickStep = 0;
        return;
    }
    const int exponent = static_cast<int>(std::floor(std::log10(raw)));
    const double base = std::pow(10.0, exponent);
    m_decimals = exponent < 0 ? static_cast<unsigned>(-exponent) : 0u;
    if (raw <= base) {
        m_tickStep = base;
    } else if (raw <= 2 * base) {
        m_tickStep = 2 * base;
    } else if (raw <= 5 * base) {
        m_tickStep = 5 * base;
    } else {
        m_tickStep = 10 * base;
        if (m_decimals > 0) {
            --m_decimals;
        }
    }
}

void CChartStandardAxis::RecomputeFirstTick() {
    if (m_tickStep == 0) {
        m_firstTickValue = m_minimum;
        return;
    }
    if (m_minimum == 0) {
        m_firstTickValue = 0;
        return;
    }
    // The smallest multiple of the step not below the minimum. Each loop runs
    // at most a few times; the bound only matters when the step is lost in the
    // minimum's rounding.
    double tick = std::trunc(m_minimum / m_tickStep) * m_tickStep;
    for (int i = 0; i < 4 && tick < m_minimum; ++i) {
        tick += m_tickStep;
    }
    for (int i = 0; i < 4 && tick - m_tickStep >= m_minimum; ++i) {
        tick -= m_tickStep;
    }
    m_firstTickValue = tick;
}

void CChartStandardAxis::SetTickIncrement(bool automatic, double step) {
    m_automaticTicks = automatic;
    if (!automatic && std::isfinite(step) && step >= 0) {
        m_tickStep = step;
    }
    RedrawControl();
}

void CChartStandardAxis::SetDecimals(unsigned decimals) {
    m_decimals = decimals;
    RedrawControl();
}

} // namespace orvanta::chart
