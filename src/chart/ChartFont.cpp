#include "chart/ChartFont.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace orvanta::chart {

int PointTenthsToPixels(int tenths, double dotsPerInch) {
    return static_cast<int>(std::lround(tenths * dotsPerInch / 720.0));
}

double ScreenLogicalDpi() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const double dpi = screen->logicalDotsPerInchY();
            if (dpi > 0) {
                return dpi;
            }
        }
    }
    return 96.0;
}

QString ResolveFontFace(const QString& face) {
    if (face == QLatin1String("Times New Roman")) {
        return QStringLiteral("Liberation Serif");
    }
    if (face == QLatin1String("Microsoft Sans Serif") || face == QLatin1String("MS Shell Dlg") ||
        face == QLatin1String("Arial")) {
        return QStringLiteral("Liberation Sans");
    }
    if (face == QStringLiteral("微软雅黑")) {
        return QStringLiteral("WenQuanYi Micro Hei");
    }
    return face;
}

QFont MakeFont(const ChartFont& font) {
    QFont result(ResolveFontFace(font.face));
    result.setPixelSize(std::max(1, PointTenthsToPixels(font.pointTenths, ScreenLogicalDpi())));
    result.setWeight(font.bold ? QFont::Bold : QFont::Normal);
    result.setItalic(font.italic);
    result.setUnderline(font.underline);
    return result;
}

} // namespace orvanta::chart
