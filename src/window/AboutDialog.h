#pragma once

#include "window/DialogControls.h"

#include <QDialog>
#include <memory>

namespace orvanta::app {

// The about box: the program's name and version; OK or Esc closes it. GUI thread only.
class CAboutDlg : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    const DialogControls& Controls() const { return *m_controls; }

private:
    std::unique_ptr<DialogControls> m_controls;
};

} // namespace orvanta::app
