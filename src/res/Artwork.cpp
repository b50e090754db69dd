#include "res/Artwork.h"

#include "res/ArtCommon.h"

#include <QPainter>
#include <algorithm>
#include <map>

namespace orvanta::res {

namespace {

int IndexIn(const std::array<int, 6>& ids, int id) {
    const auto it = std::find(ids.begin(), ids.end(), id);
    return it == ids.end() ? -1 : static_cast<int>(it - ids.begin());
}

QImage Draw(int id) {
    switch (id) {
    case bitmap_id::kBackgroundEnglish:
        return DrawBackground(ArtLanguage::kEnglish);
    case bitmap_id::kBackgroundChinese:
        return DrawBackground(ArtLanguage::kChinese);
    case bitmap_id::kToolbarImages:
        return DrawToolbarImages();
    case bitmap_id::kToolbarPlaceholder: {
        QImage image(kToolbarPlaceholderSize, QImage::Format_RGB32);
        image.fill(QColor(255, 255, 255));
        return image;
    }
    default:
        return LoadStripPicture(id, kStripSize);
    }
}

} // namespace

QImage DrawAppIconImage(int size) {
    // Window systems ask for at most 256; a wild size must not allocate gigabytes.
    if (size <= 0 || size > kMaxAppIconSize) {
        return {};
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    const double inset = size >= 32 ? size * 0.04 : 0;
    art::DrawMark(p, QRectF(inset, inset, size - 2 * inset, size - 2 * inset), size < 32);
    return image;
}

QImage LoadBitmap(int id) {
    static std::map<int, QImage> drawn;
    const auto it = drawn.find(id);
    if (it != drawn.end()) {
        return it->second;
    }
    QImage image = Draw(id);
    if (!image.isNull()) {
        drawn.emplace(id, image);
    }
    return image;
}

QImage LoadStripPicture(int id, QSize size) {
    if (const int i = IndexIn(kStripItemEnglish, id); i >= 0) {
        return DrawStripItem(ArtLanguage::kEnglish, i, size);
    }
    if (const int i = IndexIn(kStripItemChinese, id); i >= 0) {
        return DrawStripItem(ArtLanguage::kChinese, i, size);
    }
    if (const int i = IndexIn(kStripHover, id); i >= 0) {
        return DrawStripHover(i, size);
    }
    return {};
}

QImage LoadBackgroundPicture(int id, QSize size) {
    switch (id) {
    case bitmap_id::kBackgroundEnglish:
        return DrawBackground(ArtLanguage::kEnglish, size);
    case bitmap_id::kBackgroundChinese:
        return DrawBackground(ArtLanguage::kChinese, size);
    default:
        return {};
    }
}

QIcon LoadAppIcon() {
    QIcon icon;
    for (int size : kAppIconSizes) {
        icon.addPixmap(QPixmap::fromImage(DrawAppIconImage(size)));
    }
    return icon;
}

} // namespace orvanta::res
