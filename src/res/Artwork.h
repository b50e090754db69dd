#pragma once

#include <QIcon>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <array>

namespace orvanta::res {

// Bitmap resources of the program. All pictures are drawn by code of ours, the same
// way on every run.
namespace bitmap_id {
inline constexpr int kBackgroundEnglish = 139;
inline constexpr int kBackgroundChinese = 140;
inline constexpr int kToolbarImages = 141;
inline constexpr int kToolbarPlaceholder = 142;
} // namespace bitmap_id

// The application icon.
inline constexpr int kAppIconId = 128;

// Page-strip pictures, by chart item (item pictures) or segment (hover pictures).
inline constexpr std::array<int, 6> kStripItemEnglish = {159, 162, 156, 175, 167, 165};
inline constexpr std::array<int, 6> kStripItemChinese = {185, 184, 187, 182, 181, 186};
inline constexpr std::array<int, 6> kStripHover = {160, 163, 157, 176, 168, 170};

inline constexpr QSize kBackgroundSize{1834, 1011};
inline constexpr QSize kStripSize{1257, 30};
inline constexpr QSize kToolbarBitmapSize{153, 17};
inline constexpr QSize kToolbarPlaceholderSize{102, 17};
inline constexpr QSize kToolbarImageSize{18, 17};
inline constexpr int kToolbarImageCount = 6;

// The picture of a bitmap resource (24-bit colour, Format_RGB32); a null image for an id
// that is no bitmap of ours. Each picture is drawn on first use and kept for the run.
// GUI thread only: drawing text needs the application's fonts.
QImage LoadBitmap(int id);

// A page-strip picture (item or hover) drawn at the size it is shown, rather than shrunk
// from its resource size; a null image for any other id or a size DrawStripItem refuses.
// Drawn afresh at each call. GUI thread only.
QImage LoadStripPicture(int id, QSize size);

// A background picture (139 or 140) drawn at the size it is shown, rather than stretched
// from its resource size; a null image for any other id or a size DrawBackground refuses.
// Drawn afresh at each call. GUI thread only.
QImage LoadBackgroundPicture(int id, QSize size);

// Icon 128 in the sizes a window system asks for. GUI thread only.
QIcon LoadAppIcon();

// The drawings behind the ids, one call per picture, each drawn afresh. GUI thread only.
enum class ArtLanguage { kEnglish, kChinese };
QImage DrawBackground(ArtLanguage language);
// The same drawing straight at any size up to 8192 x 8192 (any screen's); a null image for an
// empty size or one beyond that.
QImage DrawBackground(ArtLanguage language, QSize size);
inline constexpr int kMaxBackgroundSide = 8192;
// The page-strip pictures at any size up to 16384 x 1024; a null image for an item or
// segment outside 0..5 or a size outside that range.
QImage DrawStripItem(ArtLanguage language, int item, QSize size = kStripSize);
QImage DrawStripHover(int segment, QSize size = kStripSize);
QImage DrawToolbarImages();
// Format_ARGB32_Premultiplied, size x size; a null image for sizes outside 1..kMaxAppIconSize.
QImage DrawAppIconImage(int size);
inline constexpr int kMaxAppIconSize = 1024;

// Where the background puts things: a rectangle of the main window in dialog units, as
// pixels of the 1834 x 1011 picture.
QRectF DialogToPicture(const QRectF& dialogUnits);

// The framed panels of the background pictures, in dialog units of the main window: serial
// port, device, device settings, recording, display area, 3D view, monitor. The controls of
// each panel, in both languages, lie inside its frame.
inline constexpr std::array<QRectF, 7> kPanelFrames = {{
    {94, 39, 140, 45},
    {236, 39, 184.5, 45},
    {421.8, 39, 141.7, 45},
    {565.2, 39, 100.8, 45},
    {16, 85.5, 516.5, 224.5},
    {534, 85.5, 132, 83},
    {534, 169.5, 132, 140.5},
}};

// The pixel columns [first, end) of a page-strip segment 0..5 on a strip width pixels wide:
// the columns the strip finds that segment under.
struct Columns {
    int first;
    int end;
};
Columns StripSegmentColumns(int segment, int width = kStripSize.width());

inline constexpr std::array<int, 7> kAppIconSizes = {16, 24, 32, 48, 64, 128, 256};

} // namespace orvanta::res
