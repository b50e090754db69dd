#pragma once

// Shared by the drawings of this folder: colours, fonts and small painting helpers.

#include "res/Artwork.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>

namespace orvanta::res::art {

// One palette for all pictures so the window, strip and icon read as one product.
inline const QColor kNavyDeep{14, 22, 36};
inline const QColor kNavy{23, 35, 56};
inline const QColor kHeaderTop{40, 70, 110};
inline const QColor kHeaderBottom{27, 49, 82};
inline const QColor kAccent{28, 176, 228};
inline const QColor kAccentDark{12, 128, 178};
inline const QColor kCanvasTop{226, 231, 238};
inline const QColor kCanvasBottom{214, 220, 229};
inline const QColor kCard{250, 251, 253};
inline const QColor kCardLow{240, 243, 248};
inline const QColor kCardBorder{128, 143, 165};
inline const QColor kInk{24, 36, 58};
inline const QColor kMutedOnDark{150, 170, 198};

// Latin text in Liberation Sans, Chinese in WenQuanYi Micro Hei; sizes in pixels so the
// pictures do not depend on the screen's resolution.
QFont LatinFont(double pixelSize, int weight = QFont::Normal);
QFont ChineseFont(double pixelSize, int weight = QFont::Normal);
QFont TextFont(ArtLanguage language, double pixelSize, int weight = QFont::Normal);

// The Orvanta mark inside `box` (kept square and centred). `simple` drops the details
// that blur away at icon sizes below 32 pixels.
void DrawMark(QPainter& painter, const QRectF& box, bool simple);

// A circled question mark: the help anchors lie over these.
void DrawHelpMark(QPainter& painter, QPointF centre, double diameter);

} // namespace orvanta::res::art
