#include "window/AboutDialog.h"

#include <QPushButton>

namespace orvanta::window {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    // The box exists in Chinese only.
    const res::DialogTemplate& dialog =
        *res::FindDialog(res::dialog_id::kAbout, res::Language::Chinese);
    m_controls = std::make_unique<DialogControls>(*this, dialog);
    setWindowTitle(
        QString::fromUtf8(dialog.caption.data(), static_cast<qsizetype>(dialog.caption.size())));
    setFixedSize(m_controls->TemplateSize());
    if (auto* ok = m_controls->As<QPushButton>(1)) {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}

AboutDialog::~AboutDialog() = default;

} // namespace orvanta::window
