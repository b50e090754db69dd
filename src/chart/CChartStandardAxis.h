#pragma once

#include "chart/CChartAxis.h"

namespace orvanta::chart {

// A linear numeric axis with evenly stepped, fixed-point tick labels. Main thread only.
class CChartStandardAxis : public CChartAxis {
public:
    CChartStandardAxis(double firstTickValue = 0, double tickStep = 1, unsigned decimals = 0);

    double FirstTick() const override;
    bool NextTick(double& tick) const override;
    int TickPixel(double value) const override;
    int DiscreteValueToPixel(double value) const override;
    QString TickLabel(double value) const override;
    void RecomputeTickStep() override;
    void RecomputeFirstTick() override;

    // A fixed step turns the automatic step off.
    void SetTickIncrement(bool automatic, double step);
    double TickStep() const { return m_tickStep; }
    unsigned Decimals() const { return m_decimals; }
    void SetDecimals(unsigned decimals);
    double FirstTickValue() const { return m_firstTickValue; }

private:
    double m_firstTickValue;
    double m_tickStep;
    unsigned m_decimals;
};

} // namespace orvanta::chart
