#pragma once

#include "config/SkinFile.h"

#include <optional>
#include <string>

class QWidget;

namespace orvanta::window {

// The theming layer: six entry points called at fixed points of the program's life, which
// dress windows and controls with the named sections of the skin file. No result is
// returned and nothing depends on the layer: without a skin file the program runs in the
// platform's plain look. GUI thread only.
class SkinLayer {
public:
    // At the very start: the application's name tag and two reserved values.
    void Start(const void* instance, const char* applicationTag, int reserved1, int reserved2);
    // Hands the skin file to the layer; a missing or unreadable file leaves it empty.
    void LoadSkinFile(const char* path);
    // Dresses a dialog with a skin object.
    void SkinDialog(QWidget* dialog, const char* skinObject);
    // Dresses one control with a skin object inside its dialog's skin.
    void SkinControl(QWidget* control, const char* skinObject, const char* dialogSkinObject);
    // Sets the dialog's skin value, which the style sheets can select on as the property
    // [skinValue="N"].
    void SetDialogValue(QWidget* dialog, int value);
    // At the end: releases the skin.
    void Stop();

    bool Started() const { return m_started; }
    bool HasSkin() const { return m_skin.has_value(); }

private:
    bool m_started = false;
    std::string m_tag;
    std::optional<config::SkinFile> m_skin;
};

} // namespace orvanta::window
