// The page strip's item and hover pictures.

#include "res/ArtCommon.h"

#include <QFontMetrics>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace orvanta::res {

namespace {

using namespace art;

constexpr int kSegments = 6;
// A wild size must not allocate gigabytes.
constexpr QSize kLargestStrip{16384, 1024};

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

bool DrawableStripSize(QSize size) {
    return !size.isEmpty() && size.width() <= kLargestStrip.width() &&
           size.height() <= kLargestStrip.height();
}

} // namespace

Columns StripSegmentColumns(int segment, int width) {
    return {segment * width / kSegments, (segment + 1) * width / kSegments};
}

QImage DrawStripItem(ArtLanguage language, int item, QSize size) {
    if (!ValidSegment(item) || !DrawableStripSize(size)) {
        return {};
    }
    const int width = size.width();
    const int height = size.height();
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(kLightSegment);
    const QStringList labels = Labels(language);
    // Drawn at the size it is shown, the captions keep their height and sharpness: as tall
    // as the strip allows, smaller only where the widest would not fit its segment.
    // Chinese has no bold face: a made-up bold smears its strokes at this size.
    const bool chinese = language == ArtLanguage::kChinese;
    QFont current = TextFont(language, std::round(height * (chinese ? 0.86 : 0.8)),
                             chinese ? QFont::Normal : QFont::Bold);
    current.setHintingPreference(QFont::PreferDefaultHinting);
    const auto widest = [&labels](const QFont& font) {
        int most = 0;
        for (const QString& label : labels) {
            most = std::max(most, QFontMetrics(font).horizontalAdvance(label));
        }
        return most;
    };
    while (current.pixelSize() > 6 && widest(current) > width / kSegments - 6) {
        current.setPixelSize(current.pixelSize() - 1);
    }
    QFont font = current;
    font.setWeight(chinese ? QFont::Normal : QFont::DemiBold);
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::TextAntialiasing);
        const int rule = std::max(1, height / 12);
        for (int s = 0; s < kSegments; ++s) {
            const Columns c = StripSegmentColumns(s, width);
            const QRect seg(c.first, 0, c.end - c.first, height);
            const bool isCurrent = s == item;
            if (isCurrent) {
                QLinearGradient fill(seg.topLeft(), seg.bottomLeft());
                fill.setColorAt(0, kDarkSegment.lighter(118));
                fill.setColorAt(1, kDarkSegment);
                p.fillRect(seg, fill);
                p.fillRect(QRect(seg.left(), seg.bottom() - rule + 1, seg.width(), rule), kAccent);
            } else if (s > 0 && s - 1 != item) {
                p.fillRect(QRect(seg.left(), height / 5, 1, height - 2 * (height / 5)), kSeparator);
            }
            p.setPen(isCurrent ? QColor(255, 255, 255) : kInk);
            p.setFont(isCurrent ? current : font);
            p.drawText(seg, Qt::AlignCenter, labels[s]);
        }
        p.setPen(kRim);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(0, 0, width - 1, height - 1));
    }
    return canvas;
}

QImage DrawStripHover(int segment, QSize size) {
    if (!ValidSegment(segment) || !DrawableStripSize(size)) {
        return {};
    }
    // Flat fills on whole columns: the AND must leave the other segments untouched.
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(255, 255, 255));
    const Columns c = StripSegmentColumns(segment, size.width());
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line + c.first, line + c.end, kHoverGrey.rgb());
    }
    return image;
}

} // namespace orvanta::res
