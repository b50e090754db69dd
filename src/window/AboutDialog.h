#pragma once

#include "window/DialogControls.h"

#include <QDialog>
#include <memory>

namespace orvanta::window {

// The about box: the program's name and version; OK or Esc closes it. GUI thread only.
// Formerly `CAboutDlg`.
class AboutDialog : public QDialog {
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

    const DialogControls& Controls() const { return *m_controls; }

private:
    std::unique_ptr<DialogControls> m_controls;
};

} // namespace orvanta::window
