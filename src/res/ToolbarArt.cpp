// Bitmap 141: the chart toolbar's six images.

#include "res/ArtCommon.h"

#include <cmath>

namespace orvanta::res {

namespace {

using namespace art;

// White is the toolbar's transparent colour, so no image uses pure white inside.
const QColor kPaper{255, 255, 255};
const QColor kLine{36, 54, 84};

void Arrow(QPainter& p, QPointF tip, QPointF back, double half) {
    const QPointF d = (tip - back) / std::hypot(tip.x() - back.x(), tip.y() - back.y());
    const QPointF n(-d.y(), d.x());
    const QPointF base = tip - d * (half * 1.7);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccentDark);
    p.drawPolygon(QPolygonF{tip + d * 0.5, base + n * half, base - n * half});
}

void DrawPicture(QPainter& p) {
    p.setPen(QPen(kLine, 1));
    p.setBrush(QColor(206, 232, 250));
    p.drawRect(QRectF(2.5, 3.5, 13, 10));
    // Hills, then the sun.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(58, 150, 98));
    p.drawPolygon(QPolygonF{{3, 13}, {7, 8}, {10, 11}, {12, 9.5}, {15, 12.5}, {15, 13}});
    p.setBrush(QColor(245, 170, 30));
    p.drawEllipse(QPointF(12, 6.5), 1.6, 1.6);
}

// The chosen axis drawn bold with its arrow and ticks, the other one thin; the ordinate is
// the abscissa turned a quarter.
void DrawAxis(QPainter& p, bool horizontal) {
    const auto at = [horizontal](double along, double across) {
        return horizontal ? QPointF(along, across) : QPointF(17 - across, 17 - along);
    };
    p.setPen(QPen(QColor(150, 160, 176), 1));
    p.drawLine(at(3.5, 2.5), at(3.5, 12));
    p.setPen(QPen(kLine, 1));
    for (double t : {6.5, 9.5, 12.5}) {
        p.drawLine(at(t, 13), at(t, 15.5));
    }
    p.setPen(QPen(kAccentDark, 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(at(2, 12), at(13.5, 12));
    Arrow(p, at(17, 12), at(2, 12), 3);
}

void DrawLetter(QPainter& p, const QString& letter, const QColor& colour) {
    p.setPen(colour);
    p.setFont(LatinFont(15, QFont::Bold));
    p.drawText(QRectF(0, 0, 18, 17), Qt::AlignCenter, letter);
}

} // namespace

QImage DrawToolbarImages() {
    QImage image(kToolbarBitmapSize, QImage::Format_RGB32);
    image.fill(kPaper);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const int w = kToolbarImageSize.width();
    const auto cell = [&](int k, auto draw) {
        p.save();
        p.setClipRect(k * w, 0, w, kToolbarImageSize.height());
        p.translate(k * w, 0);
        draw();
        p.restore();
    };
    cell(0, [&] { DrawPicture(p); });
    cell(1, [&] { DrawAxis(p, true); });
    cell(2, [&] { DrawAxis(p, false); });
    // The usual axis colours: X red, Y green, Z blue.
    cell(3, [&] { DrawLetter(p, QStringLiteral("X"), QColor(204, 52, 52)); });
    cell(4, [&] { DrawLetter(p, QStringLiteral("Y"), QColor(36, 148, 66)); });
    cell(5, [&] { DrawLetter(p, QStringLiteral("Z"), QColor(28, 100, 204)); });
    return image;
}

} // namespace orvanta::res
