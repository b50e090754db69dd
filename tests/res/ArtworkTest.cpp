#include "res/Artwork.h"

#include "res/DialogTemplate.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <vector>

namespace orvanta::res {
namespace {

struct Expected {
    int id;
    QSize size;
};

std::vector<Expected> AllBitmaps() {
    std::vector<Expected> all = {{bitmap_id::kBackgroundEnglish, kBackgroundSize},
                                 {bitmap_id::kBackgroundChinese, kBackgroundSize},
                                 {bitmap_id::kToolbarImages, kToolbarBitmapSize},
                                 {bitmap_id::kToolbarPlaceholder, kToolbarPlaceholderSize}};
    for (const auto* ids : {&kStripItemEnglish, &kStripItemChinese, &kStripHover}) {
        for (int id : *ids) {
            all.push_back({id, kStripSize});
        }
    }
    return all;
}

// Mean luminance of the columns [first, end), all rows.
double MeanLuma(const QImage& image, int first, int end) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = first; x < end; ++x) {
            const QRgb c = image.pixel(x, y);
            sum += 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c);
        }
    }
    return sum / (static_cast<double>(end - first) * image.height());
}

QImage And(const QImage& a, const QImage& b) {
    QImage out = a.copy();
    for (int y = 0; y < out.height(); ++y) {
        auto* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        const auto* m = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            o[x] &= m[x];
        }
    }
    return out;
}

TEST(Artwork, EveryBitmapHasItsSizeAndFormat) {
    for (const Expected& e : AllBitmaps()) {
        SCOPED_TRACE(e.id);
        const QImage image = LoadBitmap(e.id);
        EXPECT_EQ(image.size(), e.size);
        EXPECT_EQ(image.format(), QImage::Format_RGB32);
    }
}

TEST(Artwork, UnknownIdsGiveNullImages) {
    for (int id : {-1, 0, kAppIconId, 138, 141 + 1000, 158, 161, 183, 188}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(LoadBitmap(id).isNull());
    }
    EXPECT_TRUE(DrawStripItem(ArtLanguage::kEnglish, 6).isNull());
    EXPECT_TRUE(DrawStripItem(ArtLanguage::kChinese, -1).isNull());
    EXPECT_TRUE(DrawStripHover(6).isNull());
    EXPECT_TRUE(LoadStripPicture(bitmap_id::kBackgroundEnglish, QSize(600, 15)).isNull());
    EXPECT_TRUE(LoadStripPicture(kStripHover[0], QSize(0, 15)).isNull());
    EXPECT_TRUE(LoadStripPicture(kStripItemEnglish[0], QSize(100000, 15)).isNull());
    EXPECT_TRUE(DrawAppIconImage(0).isNull());
    EXPECT_TRUE(DrawAppIconImage(-16).isNull());
    EXPECT_TRUE(DrawAppIconImage(kMaxAppIconSize + 1).isNull());
}

TEST(Artwork, SegmentsTileTheStripWithoutGaps) {
    int next = 0;
    for (int s = 0; s < 6; ++s) {
        const Columns c = StripSegmentColumns(s);
        EXPECT_EQ(c.first, next);
        EXPECT_GE(c.end - c.first, kStripSize.width() / 6);
        next = c.end;
    }
    EXPECT_EQ(next, kStripSize.width());
}

// At the resource size and at a size the strip is shown at.
TEST(Artwork, HoverPicturesAreWhiteOutsideTheirSegmentOnly) {
    const QRgb white = qRgb(255, 255, 255);
    for (int s = 0; s < 12; ++s) {
        SCOPED_TRACE(s);
        const QSize size = s < 6 ? kStripSize : QSize(627, 15);
        const QImage hover = LoadStripPicture(kStripHover[s % 6], size);
        ASSERT_EQ(hover.size(), size);
        const Columns c = StripSegmentColumns(s % 6, size.width());
        int strayOutside = 0;
        int whiteInside = 0;
        for (int y = 0; y < hover.height(); ++y) {
            for (int x = 0; x < hover.width(); ++x) {
                const bool inside = x >= c.first && x < c.end;
                const bool isWhite = (hover.pixel(x, y) & 0xffffff) == (white & 0xffffff);
                strayOutside += !inside && !isWhite;
                whiteInside += inside && isWhite;
            }
        }
        EXPECT_EQ(strayOutside, 0);
        EXPECT_EQ(whiteInside, 0);
    }
}

class StripItems : public ::testing::TestWithParam<const std::array<int, 6>*> {};

TEST_P(StripItems, CurrentSegmentIsDarkestAndHoverDarkensOnlyItsSegment) {
    const auto& ids = *GetParam();
    for (int item = 0; item < 6; ++item) {
        const QImage picture = LoadBitmap(ids[item]);
        std::array<double, 6> luma{};
        for (int s = 0; s < 6; ++s) {
            const Columns c = StripSegmentColumns(s);
            luma[s] = MeanLuma(picture, c.first, c.end);
        }
        for (int s = 0; s < 6; ++s) {
            if (s != item) {
                EXPECT_LT(luma[item] + 60, luma[s]) << "item " << item << " segment " << s;
            }
        }
        // The hover darkens exactly its segment; the current one stays the darkest of the rest.
        for (int h = 0; h < 6; ++h) {
            const QImage both = And(picture, LoadBitmap(kStripHover[h]));
            for (int s = 0; s < 6; ++s) {
                const Columns c = StripSegmentColumns(s);
                const double after = MeanLuma(both, c.first, c.end);
                if (s == h) {
                    EXPECT_LT(after, luma[s] - 3) << "item " << item << " hover " << h;
                } else {
                    EXPECT_DOUBLE_EQ(after, luma[s]) << "item " << item << " hover " << h;
                }
                if (s != item && s != h) {
                    EXPECT_LT(MeanLuma(both, StripSegmentColumns(item).first,
                                       StripSegmentColumns(item).end),
                              after);
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, StripItems,
                         ::testing::Values(&kStripItemEnglish, &kStripItemChinese));

TEST(Artwork, EachLanguageHasItsOwnTexts) {
    EXPECT_NE(LoadBitmap(bitmap_id::kBackgroundEnglish), LoadBitmap(bitmap_id::kBackgroundChinese));
    EXPECT_NE(LoadBitmap(kStripItemEnglish[0]), LoadBitmap(kStripItemChinese[0]));
}

TEST(Artwork, ToolbarImagesAreInkedAndTheTailIsBlank) {
    const QImage bar = LoadBitmap(bitmap_id::kToolbarImages);
    const QRgb white = qRgb(255, 255, 255);
    const int w = kToolbarImageSize.width();
    for (int k = 0; k < kToolbarImageCount; ++k) {
        int inked = 0;
        for (int y = 0; y < bar.height(); ++y) {
            for (int x = k * w; x < (k + 1) * w; ++x) {
                inked += qGray(bar.pixel(x, y)) < 160;
            }
        }
        EXPECT_GT(inked, 8) << "image " << k;
    }
    const int tail = kToolbarBitmapSize.width() - kToolbarImageCount * w;
    EXPECT_EQ(tail, 45);
    for (int y = 0; y < bar.height(); ++y) {
        for (int x = kToolbarImageCount * w; x < bar.width(); ++x) {
            ASSERT_EQ(bar.pixel(x, y), white) << x << "," << y;
        }
    }
    const QImage placeholder = LoadBitmap(bitmap_id::kToolbarPlaceholder);
    for (int y = 0; y < placeholder.height(); ++y) {
        for (int x = 0; x < placeholder.width(); ++x) {
            ASSERT_EQ(placeholder.pixel(x, y), white);
        }
    }
}

TEST(Artwork, DrawingTwiceGivesTheSamePicture) {
    EXPECT_EQ(DrawBackground(ArtLanguage::kEnglish), DrawBackground(ArtLanguage::kEnglish));
    EXPECT_EQ(DrawBackground(ArtLanguage::kChinese), DrawBackground(ArtLanguage::kChinese));
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(DrawStripItem(ArtLanguage::kChinese, i), DrawStripItem(ArtLanguage::kChinese, i));
        EXPECT_EQ(DrawStripHover(i), DrawStripHover(i));
    }
    EXPECT_EQ(DrawToolbarImages(), DrawToolbarImages());
    EXPECT_EQ(DrawAppIconImage(48), DrawAppIconImage(48));
}

TEST(Artwork, DialogUnitsMapOntoThePicture) {
    const QRectF whole = DialogToPicture(QRectF(0, 0, 686, 345));
    EXPECT_DOUBLE_EQ(whole.width(), kBackgroundSize.width());
    EXPECT_DOUBLE_EQ(whole.height(), kBackgroundSize.height());
    const QRectF link = DialogToPicture(QRectF(300, 326, 86, 8));
    EXPECT_NEAR(link.x(), 300.0 * 1834 / 686, 1e-9);
    EXPECT_NEAR(link.bottom(), 334.0 * 1011 / 345, 1e-9);
}

// Each help anchor lies on a "?" mark: the anchor's centre is lit by the mark's accent blue
// and the mark fills most of the anchor.
TEST(Artwork, HelpMarksSitUnderTheAnchors) {
    const QPoint anchors[] = {{224, 40}, {411, 40}, {554, 40}, {653, 40},
                              {521, 86}, {653, 86}, {653, 170}};
    for (int id : {bitmap_id::kBackgroundEnglish, bitmap_id::kBackgroundChinese}) {
        const QImage bg = LoadBitmap(id);
        for (QPoint a : anchors) {
            SCOPED_TRACE(QStringLiteral("%1 at %2,%3").arg(id).arg(a.x()).arg(a.y()).toStdString());
            const QRect r = DialogToPicture(QRectF(a, QSizeF(8, 8))).toRect();
            int blue = 0;
            for (int y = r.top(); y <= r.bottom(); ++y) {
                for (int x = r.left(); x <= r.right(); ++x) {
                    const QColor c = bg.pixelColor(x, y);
                    blue += c.blue() > 150 && c.red() < 120;
                }
            }
            EXPECT_GT(blue, r.width() * r.height() / 3);
        }
    }
}

// Places where transparent labels with black text sit must be light.
TEST(Artwork, LabelPlacesAreLightEnoughForBlackText) {
    struct Spot {
        const char* what;
        QRectF du;
    };
    const Spot spots[] = {
        {"UTC line", {25, 26, 84, 9}},         {"Chinese radio", {573, 23, 37, 14}},
        {"English radio", {617, 23, 37, 14}},  {"Com label", {102, 54, 20, 8}},
        {"Baud label", {102, 70, 20, 8}},      {"Model label", {239, 54, 28, 8}},
        {"Mode label", {325, 54, 24, 8}},      {"Fre label", {423, 70, 18, 8}},
        {"Gravity label", {492, 54, 24, 8}},   {"Unit row", {37, 238, 140, 10}},
        {"Miscount row", {275, 238, 140, 10}}, {"Device row", {30, 263, 490, 10}},
        {"Position row", {30, 278, 490, 10}},  {"Output items", {26, 293, 514, 13}},
    };
    for (int id : {bitmap_id::kBackgroundEnglish, bitmap_id::kBackgroundChinese}) {
        const QImage bg = LoadBitmap(id);
        for (const Spot& s : spots) {
            const QRect r = DialogToPicture(s.du).toRect();
            int dark = 0;
            for (int y = r.top(); y <= r.bottom(); ++y) {
                for (int x = r.left(); x <= r.right(); ++x) {
                    dark += qGray(bg.pixel(x, y)) < 170;
                }
            }
            // A few glyph or rule pixels are fine; a dark ground is not.
            EXPECT_LT(dark, r.width() * r.height() / 25) << s.what << " on " << id;
        }
    }
}

// A control that lies on a panel of the picture lies inside its frame, at least one dialog
// unit from the edge, in both languages; the top band and the footer hold no panel.
TEST(Artwork, PanelsHoldTheirControls) {
    for (Language language : {Language::English, Language::Chinese}) {
        const DialogTemplate& dialog = *FindDialog(dialog_id::kMain, language);
        for (const ControlTemplate& c : dialog.controls) {
            if (c.style & control_style::kHidden) {
                continue;
            }
            const bool dropDown =
                c.kind == ControlKind::DropList || c.kind == ControlKind::DropDown;
            const QRectF box(c.x, c.y, c.width, dropDown ? dialog.dropDownHeight : c.height);
            for (const QRectF& panel : kPanelFrames) {
                if (panel.intersects(box)) {
                    EXPECT_TRUE(panel.adjusted(1, 0, -1, 0).contains(box))
                        << c.id << (language == Language::English ? " EN" : " CH");
                }
            }
        }
    }
}

TEST(Artwork, AppIconIsTransparentAroundTheMarkInEverySize) {
    const QIcon icon = LoadAppIcon();
    EXPECT_FALSE(icon.isNull());
    for (int size : kAppIconSizes) {
        SCOPED_TRACE(size);
        const QImage image = DrawAppIconImage(size);
        EXPECT_EQ(image.size(), QSize(size, size));
        EXPECT_TRUE(image.hasAlphaChannel());
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
    }
}

// The English variant's controls outlined over a picture of the window's size, to see
// that the panels hold them.
QImage WithControls(QImage shown) {
    const QRectF controls[] = {
        {25, 26, 84, 9},    {573, 23, 37, 14},    {617, 23, 37, 14},  {102, 54, 20, 8},
        {123, 52, 38, 12},  {102, 70, 20, 8},     {123, 68, 38, 12},  {166, 54, 24, 8},
        {191, 52, 35, 12},  {191, 69, 35, 11},    {239, 54, 28, 8},   {269, 52, 52, 12},
        {239, 70, 28, 8},   {269, 68, 52, 12},    {325, 54, 24, 8},   {350, 52, 58, 12},
        {376, 69, 32, 11},  {423, 54, 18, 8},     {443, 52, 31, 12},  {476, 52, 12, 12},
        {423, 70, 18, 8},   {443, 68, 31, 12},    {476, 68, 12, 12},  {492, 54, 24, 8},
        {517, 52, 30, 12},  {547, 52, 12, 12},    {533, 69, 25, 11},  {572, 52, 83, 13},
        {573, 69, 30, 11},  {632, 69, 23, 11},    {23, 88, 358, 8},   {24, 97, 507, 135},
        {536, 97, 125, 70}, {537, 181, 126, 123}, {418, 237, 93, 12}, {37, 238, 370, 10},
        {26, 263, 494, 10}, {26, 278, 494, 10},   {26, 293, 514, 13}, {300, 326, 86, 8},
    };
    QPainter p(&shown);
    p.setPen(QPen(QColor(230, 30, 30), 1));
    const double sx = shown.width() / 686.0;
    const double sy = shown.height() / 345.0;
    for (const QRectF& c : controls) {
        p.drawRect(QRectF(c.x() * sx, c.y() * sy, c.width() * sx, c.height() * sy));
    }
    return shown;
}

// Writes every picture, and the background at the window's usual size, for people to look at.
TEST(Artwork, WritesPicturesToTheArtifactsFolder) {
    const QDir dir(QStringLiteral(ORVANTA_ARTIFACTS_DIR));
    ASSERT_TRUE(dir.mkpath(QStringLiteral(".")));
    const auto save = [&](const QImage& image, const QString& name) {
        EXPECT_TRUE(image.save(dir.filePath(name))) << name.toStdString();
    };
    const QImage en = LoadBitmap(bitmap_id::kBackgroundEnglish);
    const QImage zh = LoadBitmap(bitmap_id::kBackgroundChinese);
    save(en, QStringLiteral("art-background-en.png"));
    save(zh, QStringLiteral("art-background-zh.png"));
    const QSize shown(1030, 650);
    save(en.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
         QStringLiteral("art-background-en-1030x650.png"));
    save(zh.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
         QStringLiteral("art-background-zh-1030x650.png"));
    save(WithControls(en.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)),
         QStringLiteral("art-background-en-controls.png"));
    for (int i = 0; i < 6; ++i) {
        const QImage strips[] = {LoadBitmap(kStripItemEnglish[i]),
                                 LoadBitmap(kStripItemChinese[i])};
        const char* tags[] = {"en", "zh"};
        for (int l = 0; l < 2; ++l) {
            save(strips[l], QStringLiteral("art-strip-%1-item%2.png").arg(tags[l]).arg(i));
            save(strips[l].scaled(716, 15, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                 QStringLiteral("art-strip-%1-item%2-716x15.png").arg(tags[l]).arg(i));
        }
        save(LoadBitmap(kStripHover[i]), QStringLiteral("art-strip-hover%1.png").arg(i));
    }
    save(And(LoadBitmap(kStripItemEnglish[0]), LoadBitmap(kStripHover[1])),
         QStringLiteral("art-strip-en-item0-and-hover1.png"));
    save(LoadBitmap(bitmap_id::kToolbarImages), QStringLiteral("art-toolbar.png"));
    save(LoadBitmap(bitmap_id::kToolbarImages).scaled(153 * 6, 17 * 6),
         QStringLiteral("art-toolbar-x6.png"));
    for (int size : kAppIconSizes) {
        save(DrawAppIconImage(size), QStringLiteral("art-icon-%1.png").arg(size));
    }
}

} // namespace
} // namespace orvanta::res
