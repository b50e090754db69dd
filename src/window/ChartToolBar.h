#pragma once

#include "res/StringTable.h"
#include "window/WindowLayout.h"

#include <QString>
#include <QWidget>
#include <functional>

class QToolBar;

namespace orvanta::window {

// The chart toolbar's host: six flat buttons that send the chart commands to the main
// window, with tooltips that follow the chart's display flags. GUI thread only.
// Formerly `CMyToolBar`.
class ChartToolBar : public QWidget {
public:
    // The buttons' commands, in toolbar order.
    static constexpr int kCommands[6] = {32809, 32807, 32808, 32810, 32811, 32812};

    struct Hooks {
        std::function<void(int commandId)> command;
        std::function<ChartDisplayFlags()> displayFlags;
        // The run's language: the string table's texts keep the start-up language.
        res::Language language = res::Language::English;
        // Tells the user the toolbar could not be made (caption, text).
        std::function<void(const QString&, const QString&)> message;
    };

    ChartToolBar(Hooks hooks, QWidget* parent = nullptr);

    // The tooltip text for a command identifier, as the toolbar asks for it; false for
    // identifier 0 (no tip). Any other identifier keeps the text last loaded.
    bool TooltipText(int commandId, QString& text);
    QToolBar* ToolBar() const { return m_toolBar; }
    // The button widget of a command, or null.
    QWidget* Button(int commandId) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool CreateToolBar();

    Hooks m_hooks;
    QToolBar* m_toolBar = nullptr;
    QString m_tipText;
};

} // namespace orvanta::window
