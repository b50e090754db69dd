#pragma once

#include <QString>

namespace orvanta::chart {

// printf("%.*f", decimals, value) as in the "C" locale, whatever locale the program runs
// in: axis labels and legend values always read "0.8", never "0,8". Any thread.
QString FixedText(double value, int decimals);

} // namespace orvanta::chart
