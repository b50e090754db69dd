#include "window/ChartToolBar.h"

#include "res/Artwork.h"

#include <QAction>
#include <QBitmap>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QLayout>
#include <QPainter>
#include <QToolBar>
#include <QToolTip>
#include <QVBoxLayout>

namespace orvanta::window {

ChartToolBar::ChartToolBar(Hooks hooks, QWidget* parent)
    : QWidget(parent), m_hooks(std::move(hooks)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (!CreateToolBar() && m_hooks.message) {
        m_hooks.message(QCoreApplication::applicationName(), QString::fromUtf8("未能创建工具栏\n"));
    }
}

bool ChartToolBar::CreateToolBar() {
    // The toolbar resource: without it there is no toolbar at all.
    if (res::LoadBitmap(res::bitmap_id::kToolbarPlaceholder).isNull()) {
        return false;
    }
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("toolbar0xE800"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(res::kToolbarImageSize);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Flat buttons, tight enough for all six to fit the host's frame.
    m_toolBar->setStyleSheet(
        QStringLiteral("QToolBar { border: none; background: white; spacing: 0px; padding: 0px; }"
                       "QToolButton { border: none; padding: 1px; margin: 0px; }"
                       "QToolButton:hover { background: #dde8f6; }"
                       "QToolButton:pressed { background: #b9cde9; }"));
    m_toolBar->layout()->setContentsMargins(0, 0, 0, 0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar, 0, Qt::AlignTop | Qt::AlignLeft);

    // White is the images' transparent colour.
    const QImage strip = res::LoadBitmap(res::bitmap_id::kToolbarImages);
    for (int i = 0; i < 6; ++i) {
        QIcon icon;
        if (!strip.isNull()) {
            QPixmap image = QPixmap::fromImage(strip.copy(i * res::kToolbarImageSize.width(), 0,
                                                          res::kToolbarImageSize.width(),
                                                          res::kToolbarImageSize.height()));
            image.setMask(image.createMaskFromColor(Qt::white));
            icon = QIcon(image);
        }
        const int id = kCommands[i];
        QAction* action = m_toolBar->addAction(icon, QString());
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] {
            if (m_hooks.command) {
                m_hooks.command(id);
            }
        });
        if (QWidget* button = m_toolBar->widgetForAction(action)) {
            button->setProperty("controlId", id);
            button->installEventFilter(this);
        }
    }
    return true;
}

QWidget* ChartToolBar::Button(int commandId) const {
    if (!m_toolBar) {
        return nullptr;
    }
    for (QAction* action : m_toolBar->actions()) {
        if (action->data().toInt() == commandId) {
            return m_toolBar->widgetForAction(action);
        }
    }
    return nullptr;
}

bool ChartToolBar::TooltipText(int commandId, QString& text) {
    const ChartDisplayFlags flags =
        m_hooks.displayFlags ? m_hooks.displayFlags() : ChartDisplayFlags{};
    const int entry = ToolbarTipString(commandId, flags);
    if (entry == 0) {
        return false;
    }
    if (entry > 0) {
        const std::string_view loaded = res::LoadString(entry, m_hooks.language);
        m_tipText = QString::fromUtf8(loaded.data(), static_cast<qsizetype>(loaded.size()));
    }
    text = m_tipText;
    return true;
}

bool ChartToolBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* widget = qobject_cast<QWidget*>(watched);
        QString text;
        if (widget && TooltipText(widget->property("controlId").toInt(), text)) {
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, widget);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ChartToolBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
}

} // namespace orvanta::window
