#pragma once

#include "view3d/SceneModel.h"
#include "view3d/SceneModelLoader.h"

#include <QBasicTimer>
#include <QOpenGLWidget>
#include <QSurfaceFormat>
#include <array>
#include <string>
#include <vector>

namespace orvanta::view3d {

// The 3D attitude view: draws the device model turned by roll, pitch and yaw and redraws it
// every 100 ms while its timer runs. Main (GUI) thread only, like the attitude it reads.
class C3DShowDlg : public QOpenGLWidget {
public:
    static constexpr int kRedrawPeriodMs = 100;

    // attitudeDegrees (roll, pitch, yaw) is read on every redraw and must outlive the view;
    // null draws the model level. The model file is read once, when OpenGL is first set up.
    C3DShowDlg(const std::array<float, 3>* attitudeDegrees, std::string modelPath,
               QWidget* parent = nullptr);
    ~C3DShowDlg() override;

    // The surface the view asks for: compatibility profile, 24-bit colour, depth, double
    // buffer.
    static QSurfaceFormat SetupPixelFormat();

    // The main window runs the redraw timer while it is the active window.
    void StartTimer();
    void KillTimer();
    bool TimerActive() const { return m_timer.isActive(); }

    // Both need the view's context current (inside paintGL, or after makeCurrent()).
    void ApplyAttitude();
    void DrawScene();

    const SceneModel& Model() const { return m_model; }
    // Empty when the model loaded (or has not been tried yet).
    const std::string& LoadFailureText() const { return m_loadFailure; }

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void timerEvent(QTimerEvent* event) override;

private:
    void InitScene(int width, int height);
    void SetProjection(int width, int height);

    const std::array<float, 3>* m_attitude;
    std::string m_modelPath;
    SceneModel m_model;
    bool m_modelTried = false;
    std::string m_loadFailure;
    std::vector<unsigned int> m_textures; // one per material; no image is ever made, so all 0
    QBasicTimer m_timer;
};

} // namespace orvanta::view3d
