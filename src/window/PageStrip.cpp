#include "window/PageStrip.h"

#include "res/Artwork.h"
#include "window/WindowLayout.h"

#include <QMouseEvent>
#include <QPainter>

namespace orvanta::window {

PageStrip::PageStrip(std::function<int()> chartItem, std::function<int()> languageFlag,
                     int& hoverSegment, QWidget* parent)
    : QPushButton(parent), m_chartItem(std::move(chartItem)),
      m_languageFlag(std::move(languageFlag)), m_hoverSegment(hoverSegment) {
    setMouseTracking(true);
    setAutoDefault(false);
    // The pictures cover every pixel.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PageStrip::LoadStripPictures() {
    m_size = size();
    const bool english = m_languageFlag() == 1;
    m_base[kNormal] = res::LoadBitmap(res::kStripHover[0]);
    m_base[kPressed] =
        res::LoadBitmap(english ? res::kStripItemEnglish[0] : res::kStripItemChinese[0]);
    m_base[kFocused] = res::LoadBitmap(res::kStripHover[0]);
    m_base[kDisabled] = res::LoadBitmap(res::kStripHover[0]);
    const auto& items = english ? res::kStripItemEnglish : res::kStripItemChinese;
    for (int i = 0; i < 6; ++i) {
        StretchPicture(i, items[static_cast<std::size_t>(i)]);
        StretchPicture(kHoverSlot + i, res::kStripHover[static_cast<std::size_t>(i)]);
    }
    m_current = nullptr;
    update();
}

void PageStrip::StretchPicture(int slot, int resource) {
    // Drawn at the button's size: a picture shrunk to a strip this low loses its captions.
    m_slots.at(static_cast<std::size_t>(slot)) = res::LoadStripPicture(resource, m_size);
}

QImage PageStrip::Composed() const {
    QImage canvas;
    Compose(canvas);
    return canvas;
}

const QImage* PageStrip::Compose(QImage& canvas) const {
    const int item = m_chartItem();
    const QImage* current = m_current;
    if (item >= 0 && item <= 5) {
        current = &m_slots[static_cast<std::size_t>(item)];
    }
    if (!current || current->isNull()) {
        return current;
    }
    canvas = current->copy();
    const QImage* overlay = current;
    if (isDown() && !m_base[kPressed].isNull()) {
        overlay = current;
    } else if (!isEnabled() && !m_base[kDisabled].isNull()) {
        overlay = &m_base[kDisabled];
    } else if (m_hover == 1 && !m_base[kFocused].isNull()) {
        overlay = (m_hoverSegment >= 0 && m_hoverSegment <= 5)
                      ? &m_slots[static_cast<std::size_t>(kHoverSlot + m_hoverSegment)]
                      : current;
    }
    if (!overlay->isNull()) {
        QPainter painter(&canvas);
        painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        painter.drawImage(0, 0, *overlay);
    }
    return overlay;
}

void PageStrip::paintEvent(QPaintEvent*) {
    QImage canvas;
    // The overlay becomes the picture the next drawing starts from.
    m_current = Compose(canvas);
    if (canvas.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, canvas);
}

void PageStrip::mouseMoveEvent(QMouseEvent* event) {
    const auto x = static_cast<unsigned>(static_cast<int>(event->position().x()));
    m_hoverSegment = StripSegment(x, static_cast<unsigned>(m_size.width()), m_hoverSegment);
    m_hover = 1;
    update();
    QPushButton::mouseMoveEvent(event);
}

void PageStrip::leaveEvent(QEvent* event) {
    m_hover = 0;
    update();
    QPushButton::leaveEvent(event);
}

} // namespace orvanta::window
