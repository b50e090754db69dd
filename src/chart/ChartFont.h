#pragma once

#include <QFont>
#include <QString>

namespace orvanta::chart {

// A font as the chart stores it: a face name and a size in tenths of a point.
struct ChartFont {
    QString face;
    int pointTenths = 100;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool vertical = false; // kept with the font; text is drawn level

    friend bool operator==(const ChartFont&, const ChartFont&) = default;
};

// Tenths of a point to pixels at the given dots per inch, rounded.
int PointTenthsToPixels(int tenths, double dotsPerInch);

// The primary screen's logical DPI; 96 when there is no screen (image-only renders).
double ScreenLogicalDpi();

// Maps the Windows face names the chart uses to the fonts installed here.
QString ResolveFontFace(const QString& face);

// The Qt font for a chart font at the screen's logical DPI. Needs a QGuiApplication.
QFont MakeFont(const ChartFont& font);

} // namespace orvanta::chart
