#pragma once

#include <QString>

namespace orvanta::chart {

// What the chart page needs from the main window: the live data page it
// swaps places with, the window's readiness, the language, message boxes and the
// picture folder. Main thread only.
class ChartPageHost {
public:
    virtual ~ChartPageHost() = default;

    virtual void ShowDataPage(bool show) = 0;
    // The live data page's timer (identifier 0, 700 ms).
    virtual void StartDataPageTimer() = 0;
    virtual void KillDataPageTimer() = 0;
    // True once the main window's own initialisation has finished.
    virtual bool MainWindowReady() const = 0;
    // 0 Chinese, 1 English.
    virtual int LanguageFlag() const = 0;
    virtual void ShowMessage(const QString& text, const QString& caption) = 0;
    // Where saved chart pictures go; made when the first picture is saved.
    virtual QString PictureFolder() const = 0;
};

} // namespace orvanta::chart
