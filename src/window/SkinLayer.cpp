#include "window/SkinLayer.h"

#include <QWidget>

namespace orvanta::window {

void SkinLayer::Start(const void*, const char* applicationTag, int, int) {
    m_started = true;
    m_tag = applicationTag ? applicationTag : "";
}

void SkinLayer::LoadSkinFile(const char* path) {
    m_skin = path ? config::SkinFile::Load(path) : std::nullopt;
}

void SkinLayer::SkinDialog(QWidget* dialog, const char* skinObject) {
    if (!m_started || !m_skin || !dialog || !skinObject) {
        return;
    }
    dialog->setStyleSheet(QString::fromStdString(m_skin->Section(skinObject)));
}

void SkinLayer::SkinControl(QWidget* control, const char* skinObject, const char*) {
    if (!m_started || !m_skin || !control || !skinObject) {
        return;
    }
    control->setStyleSheet(QString::fromStdString(m_skin->Section(skinObject)));
}

void SkinLayer::SetDialogValue(QWidget* dialog, int value) {
    if (!m_started || !dialog) {
        return;
    }
    dialog->setProperty("skinValue", value);
    // Property selectors are matched when the sheet is applied: apply it again.
    dialog->setStyleSheet(dialog->styleSheet());
}

void SkinLayer::Stop() {
    m_skin.reset();
    m_started = false;
}

} // namespace orvanta::window
