#include "view3d/C3DShowDlg.h"

#include "view3d/ViewGeometry.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <QTimerEvent>
#include <algorithm>

namespace orvanta::view3d {

C3DShowDlg::C3DShowDlg(const std::array<float, 3>* attitudeDegrees, std::string modelPath,
                       QWidget* parent)
    : QOpenGLWidget(parent), m_attitude(attitudeDegrees), m_modelPath(std::move(modelPath)) {
    setFormat(SetupPixelFormat());
    setFocusPolicy(Qt::NoFocus);
}

C3DShowDlg::~C3DShowDlg() {
    m_timer.stop();
    // Nothing of ours lives in the context; QOpenGLWidget deletes the context itself once
    // it is no longer current.
    if (context() != nullptr) {
        makeCurrent();
        doneCurrent();
    }
}

QSurfaceFormat C3DShowDlg::SetupPixelFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(0);
    // The widget draws into a framebuffer object whose depth attachment has 24 bits.
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(0);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return format;
}

void C3DShowDlg::StartTimer() {
    m_timer.start(kRedrawPeriodMs, this);
}

void C3DShowDlg::KillTimer() {
    m_timer.stop();
}

void C3DShowDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_timer.timerId()) {
        update(); // paintGL runs DrawScene
        return;
    }
    QOpenGLWidget::timerEvent(event);
}

void C3DShowDlg::initializeGL() {
    InitScene(width(), height());
    StartTimer();
}

void C3DShowDlg::resizeGL(int width, int height) {
    SetProjection(width, height);
}

void C3DShowDlg::paintGL() {
    DrawScene();
}

void C3DShowDlg::SetProjection(int width, int height) {
    const qreal ratio = devicePixelRatioF();
    glViewport(0, 0, static_cast<GLsizei>(width * ratio), static_cast<GLsizei>(height * ratio));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFieldOfViewDegrees, PerspectiveAspect(width, height), kNearPlane, kFarPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void C3DShowDlg::InitScene(int width, int height) {
    glShadeModel(GL_SMOOTH);
    glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    SetProjection(width, height);

    glColorMaterial(GL_FRONT, GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    // Set while the model-view matrix is the identity, so the light stays with the viewer.
    const GLfloat position[] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat ambient[] = {0.5f, 0.5f, 0.5f, 1.0f};
    const GLfloat white[] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);

    // The context can be set up again (when the widget moves to another window); the model
    // is read only once.
    if (!m_modelTried) {
        m_modelTried = true;
        const SceneLoadResult result = LoadSceneModel(m_model, m_modelPath);
        m_loadFailure = result.failureText;
        m_textures.assign(m_model.materials.size(), 0);
    }
}

void C3DShowDlg::ApplyAttitude() {
    static constexpr std::array<float, 3> kLevel{0.0f, 0.0f, 0.0f};
    for (const TransformCall& call : AttitudeCalls(m_attitude ? *m_attitude : kLevel)) {
        if (call.kind == TransformCall::Kind::Translate) {
            glTranslatef(call.x, call.y, call.z);
        } else {
            glRotatef(call.angle, call.x, call.y, call.z);
        }
    }
}

void C3DShowDlg::DrawScene() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    ApplyAttitude();

    for (std::size_t i = 0; i < m_model.objects.size(); ++i) {
        const MeshObject& object = m_model.objects[i];
        if (object.textured) {
            glEnable(GL_TEXTURE_2D);
            // A later face-material chunk can leave a textured object without a material.
            const auto material = static_cast<std::size_t>(object.materialIndex);
            glBindTexture(GL_TEXTURE_2D, material < m_textures.size() ? m_textures[material] : 0);
        } else {
            glDisable(GL_TEXTURE_2D);
        }
        const bool sendCoords = object.textured && !object.texCoords.empty();
        const std::array<std::uint8_t, 3> colour = ObjectColour(i);
        const std::size_t vertexCount = std::min(object.vertices.size(), object.normals.size());

        glBegin(GL_TRIANGLES);
        for (const MeshFace& face : object.faces) {
            // The loader drops such faces; a model built by other code may still hold them.
            if (std::any_of(face.corners.begin(), face.corners.end(), [&](std::int32_t k) {
                    return static_cast<std::size_t>(k) >= vertexCount;
                })) {
                continue;
            }
            for (const std::int32_t corner : face.corners) {
                const auto k = static_cast<std::size_t>(corner);
                const Vec3& n = object.normals[k];
                glNormal3f(n.x, n.y, n.z);
                if (sendCoords && k < object.texCoords.size()) {
                    glTexCoord2f(object.texCoords[k].u, object.texCoords[k].v);
                }
                glColor3ub(colour[0], colour[1], colour[2]);
                const Vec3& v = object.vertices[k];
                glVertex3f(v.x, v.y, v.z);
            }
        }
        glEnd();
    }
    // QOpenGLWidget presents the frame itself once paintGL returns.
}

} // namespace orvanta::view3d
