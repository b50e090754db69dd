// The main window's background pictures 139 and 140.

#include "res/ArtCommon.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace orvanta::res {

namespace {

using namespace art;

// Dialog 101's client area in dialog units.
constexpr double kDialogWidth = 686;
constexpr double kDialogHeight = 345;

// The window is usually shown near 1030 x 650 pixels, which stretches the picture less
// vertically than horizontally. Drawing on a canvas of the shown proportions and scaling
// it to the picture's size keeps circles round and letters upright on screen.
constexpr int kCanvasWidth = 1834;
constexpr int kCanvasHeight = 1157; // 1834 * 650 / 1030

QRectF Du(double x, double y, double w, double h) {
    const double sx = kCanvasWidth / kDialogWidth;
    const double sy = kCanvasHeight / kDialogHeight;
    return {x * sx, y * sy, w * sx, h * sy};
}

struct Texts {
    QString tagline;
    QString serial, device, settings, recording, display, attitude, monitor;
};

Texts TextsFor(ArtLanguage language) {
    if (language == ArtLanguage::kChinese) {
        return {QStringLiteral("惯性传感器上位机"), QStringLiteral("串口设置"),
                QStringLiteral("设备型号"),         QStringLiteral("设备设置"),
                QStringLiteral("数据保存"),         QStringLiteral("数据显示"),
                QStringLiteral("3D姿态"),           QStringLiteral("串口监视")};
    }
    return {QStringLiteral("Inertial Sensor Host"),
            QStringLiteral("Serial port"),
            QStringLiteral("Device"),
            QStringLiteral("Device settings"),
            QStringLiteral("Data saving"),
            QStringLiteral("Data display"),
            QStringLiteral("3D attitude"),
            QStringLiteral("Serial monitor")};
}

// A panel: a light card with a navy caption band and a help mark over its anchor.
struct Panel {
    QRectF box;          // dialog units
    double headerBottom; // dialog units
    QPointF anchor;      // top left of the 8 x 8 help anchor, dialog units
    QString caption;
    double captionX; // dialog units, where the caption starts
};

void DrawCard(QPainter& p, const QRectF& r, double radius) {
    p.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        p.setBrush(QColor(10, 20, 40, 14 * (4 - i)));
        p.drawRoundedRect(r.translated(0, i * 1.2).adjusted(-i * 0.6, 0, i * 0.6, i * 0.6),
                          radius + i, radius + i);
    }
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, kCard);
    fill.setColorAt(1, kCardLow);
    p.setBrush(fill);
    p.setPen(QPen(kCardBorder, 1.6));
    p.drawRoundedRect(r, radius, radius);
}

void DrawPanel(QPainter& p, const Panel& panel, ArtLanguage language) {
    const QRectF box = Du(panel.box.x(), panel.box.y(), panel.box.width(), panel.box.height());
    const double radius = 7;
    DrawCard(p, box, radius);

    const QRectF header(box.left(), box.top(), box.width(),
                        Du(0, panel.headerBottom, 0, 0).y() - box.top());
    QPainterPath card;
    card.addRoundedRect(box.adjusted(0.8, 0.8, -0.8, -0.8), radius - 0.8, radius - 0.8);
    QPainterPath band;
    band.addRect(header);
    QLinearGradient headerFill(header.topLeft(), header.bottomLeft());
    headerFill.setColorAt(0, kHeaderTop);
    headerFill.setColorAt(1, kHeaderBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(headerFill);
    p.drawPath(card.intersected(band));
    // A thin accent under the band, as on the title band.
    p.setBrush(kAccent);
    p.drawRect(QRectF(header.left() + 1, header.bottom() - 2.4, header.width() - 2, 2.4));

    // The caption, with a small accent tick before it.
    const double x = Du(panel.captionX, 0, 0, 0).x();
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(x, header.center().y() - 8.5, 4.5, 15), 2, 2);
    p.setPen(QColor(255, 255, 255));
    p.setFont(TextFont(language, language == ArtLanguage::kChinese ? 23 : 22, QFont::Bold));
    p.drawText(QRectF(x + 11, header.top(), box.right() - x - 40, header.height() - 2),
               Qt::AlignLeft | Qt::AlignVCenter, panel.caption);

    const QRectF anchor = Du(panel.anchor.x(), panel.anchor.y(), 8, 8);
    DrawHelpMark(p, anchor.center(), std::min(anchor.width(), anchor.height()) * 0.95);
}

void DrawFrame(QPainter& p) {
    QLinearGradient frame(0, 0, 0, kCanvasHeight);
    frame.setColorAt(0, kNavyDeep);
    frame.setColorAt(1, kNavy);
    p.fillRect(QRectF(0, 0, kCanvasWidth, kCanvasHeight), frame);

    // The working surface: everything from the info row to the panels' feet is light, so
    // that dark text of the controls reads anywhere on it.
    const QRectF surface = Du(9, 20, 667, 293);
    QLinearGradient light(surface.topLeft(), surface.bottomLeft());
    light.setColorAt(0, kCanvasTop);
    light.setColorAt(1, kCanvasBottom);
    p.setPen(QPen(QColor(60, 80, 110), 2));
    p.setBrush(light);
    p.drawRoundedRect(surface, 10, 10);
}

// Faint sensor traces behind the title band's right half.
void DrawTraces(QPainter& p, const QRectF& band) {
    p.save();
    p.setClipRect(band);
    const double left = band.left() + band.width() * 0.42;
    for (int k = 0; k < 3; ++k) {
        QPainterPath path;
        bool first = true;
        const double amp = band.height() * (0.10 + 0.05 * k);
        const double mid = band.center().y() + (k - 1) * band.height() * 0.12;
        for (double x = left; x <= band.right(); x += 4) {
            const double t = (x - left) / band.width();
            const double fade = std::min(1.0, t * 6);
            const double y = mid + fade * amp * std::sin(t * (18 + 7 * k) + k * 1.7);
            if (first) {
                path.moveTo(x, y);
                first = false;
            } else {
                path.lineTo(x, y);
            }
        }
        QLinearGradient pen(left, 0, band.right(), 0);
        QColor a = kAccent;
        a.setAlpha(0);
        QColor b = kAccent;
        b.setAlpha(70 - 18 * k);
        pen.setColorAt(0, a);
        pen.setColorAt(0.5, b);
        pen.setColorAt(1, a);
        p.setPen(QPen(QBrush(pen), 2.2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
    p.restore();
}

void DrawTitleBand(QPainter& p, const Texts& texts, ArtLanguage language) {
    const QRectF band = Du(0, 0, kDialogWidth, 19.5);
    QLinearGradient fill(band.topLeft(), band.bottomLeft());
    fill.setColorAt(0, QColor(30, 48, 78));
    fill.setColorAt(1, QColor(17, 28, 46));
    p.fillRect(band, fill);
    DrawTraces(p, band);
    p.fillRect(QRectF(band.left(), band.bottom() - 3, band.width(), 3), kAccent);

    // Logo: the mark and the word.
    const double markSide = band.height() * 0.74;
    const QRectF mark(Du(12, 0, 0, 0).x(), band.center().y() - markSide / 2 - 1.5, markSide,
                      markSide);
    // A light rim keeps the navy badge from sinking into the navy band.
    p.setPen(QPen(QColor(120, 170, 215), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(mark.adjusted(-2, -2, 2, 2), markSide * 0.24, markSide * 0.24);
    DrawMark(p, mark, false);
    const QFont word = LatinFont(44, QFont::Bold);
    p.setFont(word);
    p.setPen(QColor(255, 255, 255));
    const QRectF wordBox(mark.right() + 14, band.top(), 260, band.height() - 3);
    QRectF used;
    p.drawText(wordBox, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Orvanta"), &used);

    // Divider and tagline.
    const double dx = used.right() + 20;
    p.fillRect(QRectF(dx, band.center().y() - 17, 2, 31), QColor(90, 115, 150));
    p.setPen(kMutedOnDark);
    p.setFont(TextFont(language, 24, QFont::DemiBold));
    p.drawText(QRectF(dx + 20, band.top(), 500, band.height() - 3),
               Qt::AlignLeft | Qt::AlignVCenter, texts.tagline);
}

// A clock face and a globe: small glyphs that say what the label or radios beside mean.
void DrawClock(QPainter& p, QPointF c, double r) {
    p.setPen(QPen(kHeaderTop, 2.4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r, r);
    p.setPen(QPen(kHeaderTop, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(0, -r * 0.6));
    p.drawLine(c, c + QPointF(r * 0.45, r * 0.2));
}

void DrawGlobe(QPainter& p, QPointF c, double r, const QColor& colour) {
    p.setPen(QPen(colour, 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r, r);
    p.drawEllipse(c, r * 0.45, r);
    p.drawLine(c + QPointF(-r, 0), c + QPointF(r, 0));
    p.drawLine(c + QPointF(0, -r), c + QPointF(0, r));
}

void DrawInfoRow(QPainter& p) {
    // Chips behind the UTC line and the language radios.
    const QRectF utc = Du(13, 22.5, 128, 14);
    const QRectF lang = Du(559, 22, 107, 15);
    for (const QRectF& chip : {utc, lang}) {
        p.setPen(QPen(QColor(170, 182, 200), 1.4));
        p.setBrush(QColor(248, 250, 252));
        p.drawRoundedRect(chip, chip.height() / 2, chip.height() / 2);
    }
    const QRectF clock = Du(15.5, 24.5, 8, 10);
    DrawClock(p, clock.center(), 11);
    const QRectF globe = Du(562, 24.5, 9, 10);
    DrawGlobe(p, globe.center(), 11, kHeaderTop);
}

// The tile left of the serial port panel: an attitude indicator, the product's subject.
void DrawAttitudeTile(QPainter& p) {
    const QRectF tile = Du(16, 39, 76, 45);
    p.setPen(QPen(QColor(50, 72, 104), 1.6));
    QLinearGradient fill(tile.topLeft(), tile.bottomRight());
    fill.setColorAt(0, QColor(34, 56, 90));
    fill.setColorAt(1, QColor(16, 27, 45));
    p.setBrush(fill);
    p.drawRoundedRect(tile, 7, 7);

    const double r = tile.height() * 0.40;
    const QPointF c = tile.center();
    p.save();
    QPainterPath dial;
    dial.addEllipse(c, r, r);
    p.setClipPath(dial);
    p.translate(c);
    p.rotate(-12);
    const double pitch = r * 0.12;
    p.fillRect(QRectF(-2 * r, -2 * r + pitch, 4 * r, 2 * r), QColor(46, 132, 200));
    p.fillRect(QRectF(-2 * r, pitch, 4 * r, 2 * r), QColor(132, 92, 52));
    p.setPen(QPen(QColor(255, 255, 255), 2.4));
    p.drawLine(QPointF(-2 * r, pitch), QPointF(2 * r, pitch));
    p.setPen(QPen(QColor(255, 255, 255, 210), 1.8));
    for (int k = -2; k <= 2; ++k) {
        if (k == 0) {
            continue;
        }
        const double y = pitch - k * r * 0.22;
        const double half = (k % 2 == 0) ? r * 0.30 : r * 0.16;
        p.drawLine(QPointF(-half, y), QPointF(half, y));
    }
    p.restore();

    // Bezel with roll ticks.
    p.setPen(QPen(QColor(210, 222, 238), 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(210, 222, 238), 2));
    for (int deg : {-60, -45, -30, -20, -10, 10, 20, 30, 45, 60}) {
        const double a = (deg - 90) * std::numbers::pi / 180;
        const double inner = (std::abs(deg) % 30 == 0) ? r * 0.80 : r * 0.88;
        p.drawLine(c + QPointF(std::cos(a) * inner, std::sin(a) * inner),
                   c + QPointF(std::cos(a) * r, std::sin(a) * r));
    }
    // Aircraft symbol.
    p.setPen(QPen(QColor(255, 196, 40), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(c + QPointF(-r * 0.62, 0), c + QPointF(-r * 0.22, 0));
    p.drawPolyline(
        QPolygonF{c + QPointF(-r * 0.22, 0), c + QPointF(0, r * 0.14), c + QPointF(r * 0.22, 0)});
    p.drawLine(c + QPointF(r * 0.22, 0), c + QPointF(r * 0.62, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 196, 40));
    p.drawEllipse(c, 3.5, 3.5);
    // Roll pointer at the top.
    p.drawPolygon(QPolygonF{c + QPointF(0, -r * 0.78), c + QPointF(-7, -r * 0.62),
                            c + QPointF(7, -r * 0.62)});
}

void DrawDisplayDetails(QPainter& p) {
    // The display frame: the pages cover it, the rim shows around them.
    p.setPen(QPen(QColor(150, 163, 182), 1.4));
    p.setBrush(QColor(255, 255, 255));
    p.drawRect(Du(24, 97, 507, 135).adjusted(-1.5, -1.5, 1.5, 1.5));

    // Status rows: a faint divider above, a sunken bed for the chart toolbar.
    p.fillRect(Du(20, 234, 508, 0).adjusted(0, 0, 0, 1.6), QColor(190, 200, 214));
    p.setPen(QPen(QColor(170, 182, 200), 1.4));
    p.setBrush(QColor(255, 255, 255));
    p.drawRoundedRect(Du(416, 236, 97, 14), 5, 5);

    // The output-item row sits on a tinted strip.
    const QRectF row = Du(20, 291.5, 508, 16);
    p.setPen(QPen(QColor(190, 204, 222), 1.2));
    p.setBrush(QColor(234, 240, 248));
    p.drawRoundedRect(row, 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(row.left() + 3, row.top() + 7, 4, row.height() - 14), 2, 2);
}

void DrawFooter(QPainter& p) {
    const QRectF link = Du(300, 326, 86, 8);
    p.setFont(LatinFont(21, QFont::DemiBold));
    p.setPen(QColor(196, 214, 236));
    QRectF used;
    p.drawText(link.adjusted(-40, -4, 40, 4), Qt::AlignCenter, QStringLiteral("www.orvanta.com"),
               &used);
    DrawGlobe(p, QPointF(used.left() - 18, used.center().y()), 10, QColor(120, 190, 230));

    // Thin rules to both sides of the address.
    QColor rule = kAccent;
    rule.setAlpha(110);
    const double y = used.center().y();
    p.fillRect(QRectF(Du(180, 0, 0, 0).x(), y - 0.8, used.left() - 40 - Du(180, 0, 0, 0).x(), 1.6),
               rule);
    p.fillRect(QRectF(used.right() + 18, y - 0.8, Du(506, 0, 0, 0).x() - used.right() - 18, 1.6),
               rule);
}

} // namespace

QRectF DialogToPicture(const QRectF& dialogUnits) {
    const double sx = kBackgroundSize.width() / kDialogWidth;
    const double sy = kBackgroundSize.height() / kDialogHeight;
    return {dialogUnits.x() * sx, dialogUnits.y() * sy, dialogUnits.width() * sx,
            dialogUnits.height() * sy};
}

QImage DrawBackground(ArtLanguage language, QSize size) {
    if (size.isEmpty() || size.width() > kMaxBackgroundSide || size.height() > kMaxBackgroundSide) {
        return {};
    }
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(kNavyDeep);
    const Texts texts = TextsFor(language);
    {
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.scale(static_cast<double>(size.width()) / kCanvasWidth,
                static_cast<double>(size.height()) / kCanvasHeight);
        DrawFrame(p);
        DrawTitleBand(p, texts, language);
        DrawInfoRow(p);
        DrawAttitudeTile(p);

        const Panel panels[] = {
            {kPanelFrames[0], 49.5, {224, 40}, texts.serial, 98},
            {kPanelFrames[1], 49.5, {411, 40}, texts.device, 240},
            {kPanelFrames[2], 49.5, {554, 40}, texts.settings, 425.5},
            {kPanelFrames[3], 49.5, {653, 40}, texts.recording, 569},
            {kPanelFrames[4], 96.8, {521, 86}, texts.display, 386},
            {kPanelFrames[5], 96.8, {653, 86}, texts.attitude, 538},
            {kPanelFrames[6], 180.6, {653, 170}, texts.monitor, 538},
        };
        for (const Panel& panel : panels) {
            DrawPanel(p, panel, language);
        }
        DrawDisplayDetails(p);
        DrawFooter(p);
    }
    return picture;
}

QImage DrawBackground(ArtLanguage language) {
    return DrawBackground(language, QSize(kCanvasWidth, kCanvasHeight))
        .scaled(kBackgroundSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace orvanta::res
