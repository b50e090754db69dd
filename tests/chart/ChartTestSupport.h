#pragma once

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

namespace orvanta::chart {

// Delivers one mouse event to the widget, as the window system would.
inline void SendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(at), QPointF(widget.mapToGlobal(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

inline void Drag(QWidget& widget, QPoint from, QPoint to, Qt::MouseButton button) {
    SendMouse(widget, QEvent::MouseButtonPress, from, button);
    SendMouse(widget, QEvent::MouseMove, (from + to) / 2, button);
    SendMouse(widget, QEvent::MouseMove, to, button);
    SendMouse(widget, QEvent::MouseButtonRelease, to, button);
}

inline QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

} // namespace orvanta::chart
