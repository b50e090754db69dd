#include "res/ArtCommon.h"

#include <QPainterPath>
#include <algorithm>

namespace orvanta::res::art {

namespace {

QFont MakeFont(const QString& family, double pixelSize, int weight) {
    QFont font(family);
    font.setPixelSize(std::max(1, qRound(pixelSize)));
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace

QFont LatinFont(double pixelSize, int weight) {
    return MakeFont(QStringLiteral("Liberation Sans"), pixelSize, weight);
}

QFont ChineseFont(double pixelSize, int weight) {
    return MakeFont(QStringLiteral("WenQuanYi Micro Hei"), pixelSize, weight);
}

QFont TextFont(ArtLanguage language, double pixelSize, int weight) {
    return language == ArtLanguage::kChinese ? ChineseFont(pixelSize, weight)
                                             : LatinFont(pixelSize, weight);
}

void DrawMark(QPainter& painter, const QRectF& box, bool simple) {
    const double side = std::min(box.width(), box.height());
    const QRectF square(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    // Badge: a rounded square in the window's navy, lit from the top left.
    QLinearGradient badge(square.topLeft(), square.bottomRight());
    badge.setColorAt(0, QColor(46, 84, 132));
    badge.setColorAt(1, QColor(16, 28, 48));
    painter.setPen(Qt::NoPen);
    painter.setBrush(badge);
    painter.drawRoundedRect(square, side * 0.22, side * 0.22);

    const QPointF c = square.center();
    const double ring = side * 0.26;

    // The orbit is split in a back and a front half so that it passes round the ring.
    painter.translate(c);
    painter.rotate(-28);
    const QRectF orbit(-side * 0.40, -side * 0.14, side * 0.80, side * 0.28);
    QPen orbitPen(kAccent, std::max(1.0, side * (simple ? 0.075 : 0.05)));
    orbitPen.setCapStyle(Qt::RoundCap);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(orbitPen);
    painter.drawArc(orbit, 0, 180 * 16);
    painter.rotate(28);

    QPen ringPen(QColor(255, 255, 255), std::max(1.2, side * (simple ? 0.12 : 0.095)));
    painter.setPen(ringPen);
    painter.drawEllipse(QPointF(0, 0), ring, ring);

    painter.rotate(-28);
    painter.setPen(orbitPen);
    painter.drawArc(orbit, 180 * 16, 180 * 16);
    // The satellite rides on the front of the orbit.
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAccent);
    const double dot = side * (simple ? 0.085 : 0.065);
    painter.drawEllipse(QPointF(orbit.width() * 0.5 * 0.78, orbit.height() * 0.5 * 0.63), dot, dot);
    painter.rotate(28);

    if (!simple) {
        // Centre: the sensor's origin.
        painter.setBrush(QColor(255, 255, 255));
        painter.drawEllipse(QPointF(0, 0), side * 0.045, side * 0.045);
    }
    painter.restore();
}

void DrawHelpMark(QPainter& painter, QPointF centre, double diameter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double r = diameter / 2;
    painter.setPen(QPen(QColor(255, 255, 255, 200), std::max(1.0, diameter * 0.07)));
    QRadialGradient fill(centre - QPointF(r * 0.3, r * 0.3), r * 1.4);
    fill.setColorAt(0, kAccent.lighter(115));
    fill.setColorAt(1, kAccentDark);
    painter.setBrush(fill);
    painter.drawEllipse(centre, r, r);
    painter.setPen(QColor(255, 255, 255));
    painter.setFont(LatinFont(diameter * 0.78, QFont::Bold));
    painter.drawText(QRectF(centre.x() - r, centre.y() - r, diameter, diameter), Qt::AlignCenter,
                     QStringLiteral("?"));
    painter.restore();
}

} // namespace orvanta::res::art
