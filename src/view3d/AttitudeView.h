#pragma once

#include "view3d/SceneModel.h"
#include "view3d/SceneModelLoader.h"

#include <QBasicTimer>
#include <QImage>
#include <QSurfaceFormat>
#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;

namespace orvanta::view3d {

// The 3D attitude view: draws the device model turned by roll, pitch and yaw and redraws it
// every 100 ms while its timer runs. OpenGL draws off screen, into a framebuffer object of
// the view's size, and the widget shows the picture read back: the window around it stays a
// plain raster window that never composes through OpenGL. Where no OpenGL context can be
// had, the view shows a notice instead of the model. Main (GUI) thread only, like the
// attitude it reads.
// Formerly `C3DShowDlg`.
class AttitudeView : public QWidget {
public:
    static constexpr int kRedrawPeriodMs = 100;

    // attitudeDegrees (roll, pitch, yaw) is read on every redraw and must outlive the view;
    // null draws the model level. OpenGL is set up, and the model file read, on the first
    // show. english picks the language of the notice.
    AttitudeView(const std::array<float, 3>* attitudeDegrees, std::string modelPath,
                 bool english = true, QWidget* parent = nullptr);
    ~AttitudeView() override;

    // The context the view asks for: compatibility profile, 24-bit colour, depth.
    static QSurfaceFormat SetupPixelFormat();
    // What the view says in place of the model when OpenGL cannot be used.
    static QString UnavailableNotice(bool english);

    // The main window runs the redraw timer while it is the active window.
    void StartTimer();
    void KillTimer();
    bool TimerActive() const { return m_timer.isActive(); }

    // False until the first show, and for good once setting up OpenGL has failed.
    bool HasOpenGL() const { return m_context != nullptr; }

    // Draws the scene now and returns the picture; null without OpenGL.
    QImage grabFramebuffer();
    // Makes the view's context current with its framebuffer bound, for DrawScene and for
    // reading the context's state; false without OpenGL.
    bool makeCurrent();
    void doneCurrent();

    // Both need the view's context current.
    void ApplyAttitude();
    void DrawScene();

    const SceneModel& Model() const { return m_model; }
    // Empty when the model loaded (or has not been tried yet).
    const std::string& LoadFailureText() const { return m_loadFailure; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    bool SetUpOpenGL();
    void ReleaseOpenGL();
    void ShowUnavailableNotice();
    bool MakeFramebuffer();
    QSize FramebufferSize() const;
    void InitScene(int width, int height);
    void SetProjection(int width, int height);
    // DrawScene into the framebuffer, the picture read back, the widget repainted.
    void Render();

    const std::array<float, 3>* m_attitude;
    std::string m_modelPath;
    bool m_english;
    SceneModel m_model;
    std::string m_loadFailure;
    std::vector<unsigned int> m_textures; // one per material; no image is ever made, so all 0
    QBasicTimer m_timer;
    bool m_setUpTried = false;
    std::unique_ptr<QOpenGLContext> m_context;
    std::unique_ptr<QOffscreenSurface> m_surface;
    std::unique_ptr<QOpenGLFramebufferObject> m_framebuffer;
    QImage m_picture;
    QLabel* m_notice = nullptr;
};

} // namespace orvanta::view3d
