// The page strip's item and hover pictures.

#include "res/ArtCommon.h"

#include <QStringList>
#include <algorithm>

namespace orvanta::res {

namespace {

using namespace art;

constexpr int kSegments = 6;

// The strip is shown near 716 x 15 pixels. Drawn at twice that width, with the height that
// keeps the shown proportions, and scaled down, its letters are neither squat nor blurred.
constexpr int kDrawScale = 2;
constexpr int kCanvasWidth = 1257 * kDrawScale;
constexpr int kCanvasHeight = 53; // kCanvasWidth * 15 / 716

const QColor kLightSegment{238, 242, 247};
const QColor kDarkSegment{30, 56, 92};
const QColor kSeparator{188, 199, 214};
const QColor kRim{118, 134, 156};
// Hover grey: ANDed with the light segment it gives (200, 208, 224), a clear step darker.
const QColor kHoverGrey{216, 220, 224};

QStringList Labels(ArtLanguage language) {
    if (language == ArtLanguage::kChinese) {
        return {QStringLiteral("欧拉角"), QStringLiteral("陀螺仪"), QStringLiteral("加速度计"),
                QStringLiteral("磁力计"), QStringLiteral("速度"),   QStringLiteral("输出数据")};
    }
    return {QStringLiteral("Euler"),          QStringLiteral("Gyroscopes"),
            QStringLiteral("Accelerometers"), QStringLiteral("Magnetometers"),
            QStringLiteral("Velocity"),       QStringLiteral("Output data")};
}

bool ValidSegment(int segment) {
    return segment >= 0 && segment < kSegments;
}

} // namespace

Columns StripSegmentColumns(int segment) {
    const int width = kStripSize.width();
    return {segment * width / kSegments, (segment + 1) * width / kSegments};
}

QImage DrawStripItem(ArtLanguage language, int item) {
    if (!ValidSegment(item)) {
        return {};
    }
    QImage canvas(kCanvasWidth, kCanvasHeight, QImage::Format_RGB32);
    canvas.fill(kLightSegment);
    const QStringList labels = Labels(language);
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        for (int s = 0; s < kSegments; ++s) {
            const Columns c = StripSegmentColumns(s);
            const QRectF seg(c.first * kDrawScale, 0, (c.end - c.first) * kDrawScale,
                             kCanvasHeight);
            const bool current = s == item;
            if (current) {
                QLinearGradient fill(seg.topLeft(), seg.bottomLeft());
                fill.setColorAt(0, kDarkSegment.lighter(118));
                fill.setColorAt(1, kDarkSegment);
                p.fillRect(seg, fill);
                p.fillRect(QRectF(seg.left(), seg.bottom() - 6, seg.width(), 6), kAccent);
            } else if (s > 0 && s - 1 != item) {
                p.fillRect(QRectF(seg.left() - 1, 9, 2, kCanvasHeight - 18), kSeparator);
            }
            p.setPen(current ? QColor(255, 255, 255) : kInk);
            p.setFont(TextFont(language, language == ArtLanguage::kChinese ? 33 : 30,
                               current ? QFont::Bold : QFont::DemiBold));
            p.drawText(seg.adjusted(0, 0, 0, current ? -3 : 0), Qt::AlignCenter, labels[s]);
        }
        p.setPen(QPen(kRim, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(1, 1, kCanvasWidth - 2, kCanvasHeight - 2));
    }
    return canvas.scaled(kStripSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

QImage DrawStripHover(int segment) {
    if (!ValidSegment(segment)) {
        return {};
    }
    // Flat fills on whole columns: the AND must leave the other segments untouched.
    QImage image(kStripSize, QImage::Format_RGB32);
    image.fill(QColor(255, 255, 255));
    const Columns c = StripSegmentColumns(segment);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line + c.first, line + c.end, kHoverGrey.rgb());
    }
    return image;
}

} // namespace orvanta::res
