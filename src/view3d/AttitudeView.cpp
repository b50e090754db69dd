#include "view3d/AttitudeView.h"

#include "view3d/ViewGeometry.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <QLabel>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QPainter>
#include <QTimerEvent>
#include <algorithm>
#include <cmath>

namespace orvanta::view3d {

AttitudeView::AttitudeView(const std::array<float, 3>* attitudeDegrees, std::string modelPath,
                           bool english, QWidget* parent)
    : QWidget(parent), m_attitude(attitudeDegrees), m_modelPath(std::move(modelPath)),
      m_english(english) {
    // The picture (or the white ground of the notice) covers the whole view.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

AttitudeView::~AttitudeView() {
    m_timer.stop();
    ReleaseOpenGL();
}

QSurfaceFormat AttitudeView::SetupPixelFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(0);
    // The view draws into a framebuffer object whose depth attachment has 24 bits.
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(0);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return format;
}

QString AttitudeView::UnavailableNotice(bool english) {
    return english ? QStringLiteral("3D view unavailable: this display offers no OpenGL.")
                   : QStringLiteral("3D视图不可用：当前显示环境不支持 OpenGL。");
}

void AttitudeView::StartTimer() {
    m_timer.start(kRedrawPeriodMs, this);
}

void AttitudeView::KillTimer() {
    m_timer.stop();
}

void AttitudeView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_timer.timerId()) {
        Render();
        return;
    }
    QWidget::timerEvent(event);
}

void AttitudeView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_setUpTried) {
        return;
    }
    m_setUpTried = true;
    if (!SetUpOpenGL()) {
        ShowUnavailableNotice();
        return;
    }
    Render();
    StartTimer();
}

void AttitudeView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_notice) {
        m_notice->setGeometry(rect().adjusted(4, 4, -4, -4));
    }
    if (!makeCurrent()) {
        return;
    }
    if (m_framebuffer->size() != FramebufferSize() && !MakeFramebuffer()) {
        ReleaseOpenGL();
        ShowUnavailableNotice();
        return;
    }
    SetProjection(width(), height());
    doneCurrent();
    Render();
}

void AttitudeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_picture.isNull() || m_picture.deviceIndependentSize() != QSizeF(size())) {
        painter.fillRect(rect(), Qt::white);
    }
    if (!m_picture.isNull()) {
        painter.drawImage(QPoint(0, 0), m_picture);
    }
}

bool AttitudeView::SetUpOpenGL() {
    auto context = std::make_unique<QOpenGLContext>();
    context->setFormat(SetupPixelFormat());
    // Without OpenGL on the display (no GLX, a broken driver, QT_XCB_GL_INTEGRATION=none) no
    // context is made, and no surface may be asked for then: Qt cannot make one either.
    // The drawing calls are immediate mode, which OpenGL ES and core profiles lack.
    if (!context->create() || context->isOpenGLES() ||
        context->format().profile() == QSurfaceFormat::CoreProfile) {
        return false;
    }
    auto surface = std::make_unique<QOffscreenSurface>(screen());
    surface->setFormat(context->format());
    surface->create();
    if (!surface->isValid() || !context->makeCurrent(surface.get())) {
        return false;
    }
    m_context = std::move(context);
    m_surface = std::move(surface);
    if (!QOpenGLFramebufferObject::hasOpenGLFramebufferObjects() || !MakeFramebuffer()) {
        ReleaseOpenGL();
        return false;
    }
    InitScene(width(), height());
    doneCurrent();
    return true;
}

void AttitudeView::ReleaseOpenGL() {
    if (m_context && m_context->makeCurrent(m_surface.get())) {
        // The framebuffer's objects live in the context.
        m_framebuffer.reset();
        m_context->doneCurrent();
    }
    m_framebuffer.reset();
    m_context.reset();
    m_surface.reset();
    m_picture = QImage();
}

void AttitudeView::ShowUnavailableNotice() {
    if (m_notice) {
        return;
    }
    m_notice = new QLabel(UnavailableNotice(m_english), this);
    m_notice->setAlignment(Qt::AlignCenter);
    m_notice->setWordWrap(true);
    m_notice->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_notice->setGeometry(rect().adjusted(4, 4, -4, -4));
    m_notice->show();
    update();
}

QSize AttitudeView::FramebufferSize() const {
    const qreal ratio = devicePixelRatioF();
    return QSize(std::max(1, static_cast<int>(std::lround(width() * ratio))),
                 std::max(1, static_cast<int>(std::lround(height() * ratio))));
}

bool AttitudeView::MakeFramebuffer() {
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::CombinedDepthStencil);
    // No alpha: the picture read back is opaque whatever alpha the clear colour has.
    format.setInternalTextureFormat(GL_RGB8);
    m_framebuffer = std::make_unique<QOpenGLFramebufferObject>(FramebufferSize(), format);
    return m_framebuffer->isValid() && m_framebuffer->bind();
}

bool AttitudeView::makeCurrent() {
    if (!m_context || !m_framebuffer || !m_context->makeCurrent(m_surface.get())) {
        return false;
    }
    return m_framebuffer->bind();
}

void AttitudeView::doneCurrent() {
    if (m_context) {
        m_context->doneCurrent();
    }
}

QImage AttitudeView::grabFramebuffer() {
    Render();
    return m_picture;
}

void AttitudeView::Render() {
    if (!makeCurrent()) {
        return;
    }
    DrawScene();
    const QSize size = m_framebuffer->size();
    if (m_picture.size() != size) {
        m_picture = QImage(size, QImage::Format_RGB32);
    }
    // Packed this way the pixels land as Format_RGB32 on either byte order.
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, size.width(), size.height(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 m_picture.bits());
    doneCurrent();
    m_picture.mirror(); // OpenGL's rows run bottom up
    m_picture.setDevicePixelRatio(devicePixelRatioF());
    update();
}

void AttitudeView::SetProjection(int width, int height) {
    const QSize pixels = FramebufferSize();
    glViewport(0, 0, pixels.width(), pixels.height());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFieldOfViewDegrees, PerspectiveAspect(width, height), kNearPlane, kFarPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void AttitudeView::InitScene(int width, int height) {
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

    const SceneLoadResult result = LoadSceneModel(m_model, m_modelPath);
    m_loadFailure = result.failureText;
    m_textures.assign(m_model.materials.size(), 0);
}
void AttitudeView::ApplyAttitude() {
    static constexpr std::array<float, 3> kLevel{0.0f, 0.0f, 0.0f};
    for (const TransformCall& call : AttitudeCalls(m_attitude ? *m_attitude : kLevel)) {
        if (call.kind == TransformCall::Kind::Translate) {
            glTranslatef(call.x, call.y, call.z);
        } else {
            glRotatef(call.angle, call.x, call.y, call.z);
        }
    }
}

void AttitudeView::DrawScene() {
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
}

} // namespace orvanta::view3d
