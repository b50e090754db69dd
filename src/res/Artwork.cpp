#include "res/Artwork.h"

#include <QPainter>
#include <algorithm>
#include <map>

namespace orvanta::res {

namespace {

QImage Filled(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QImage Draw(int id) {
    if (id == bitmap_id::kBackgroundEnglish || id == bitmap_id::kBackgroundChinese) {
        return Filled(kBackgroundSize, QColor(40, 48, 64));
    }
    if (id == bitmap_id::kToolbarImages || id == bitmap_id::kToolbarPlaceholder) {
        return Filled(kToolbarBitmapSize, Qt::white);
    }
    const auto in = [id](const std::array<int, 6>& ids) {
        return std::find(ids.begin(), ids.end(), id) != ids.end();
    };
    if (in(kStripItemEnglish) || in(kStripItemChinese)) {
        return Filled(kStripSize, QColor(200, 200, 200));
    }
    if (in(kStripHover)) {
        return Filled(kStripSize, Qt::white);
    }
    return {};
}

} // namespace

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

QIcon LoadAppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        icon.addPixmap(QPixmap::fromImage(Filled(QSize(size, size), QColor(40, 48, 64))));
    }
    return icon;
}

} // namespace orvanta::res
