#pragma once

#include <QImage>
#include <QPushButton>
#include <array>
#include <functional>

namespace orvanta::window {

// The page strip: a picture button of six segments that shows the current chart item dark,
// darkens the segment under the mouse as well, and reports a click; the window applies the
// segment last hovered. GUI thread only.
// Formerly `CBmpButton`.
class PageStrip : public QPushButton {
public:
    // The current chart item and language are read at each drawing and loading; the
    // segment under the mouse is written to hoverSegment, which outlives the button.
    PageStrip(std::function<int()> chartItem, std::function<int()> languageFlag, int& hoverSegment,
              QWidget* parent = nullptr);

    // Loads the base pictures and draws the twelve slot pictures at the button's size, in
    // the language chosen last.
    void LoadStripPictures();
    // Replaces one slot's picture with the resource drawn at the button's size; a resource
    // that cannot be drawn leaves the slot empty.
    void StretchPicture(int slot, int resource);

    bool Hovering() const { return m_hover == 1; }
    const QImage& Slot(int slot) const { return m_slots.at(static_cast<std::size_t>(slot)); }
    // What the strip shows now, as drawn by the last paint.
    QImage Composed() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // Draws the current picture with its overlay into canvas; returns the overlay.
    const QImage* Compose(QImage& canvas) const;

    enum Base { kNormal, kPressed, kFocused, kDisabled };
    static constexpr int kHoverSlot = 6;

    std::function<int()> m_chartItem;
    std::function<int()> m_languageFlag;
    int& m_hoverSegment;
    int m_hover = 0;
    // Which slot the next drawing starts from; -1 for a base picture or none.
    const QImage* m_current = nullptr;
    std::array<QImage, 12> m_slots;
    std::array<QImage, 4> m_base;
    QSize m_size;
};

} // namespace orvanta::window
