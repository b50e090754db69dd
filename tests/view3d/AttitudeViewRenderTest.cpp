// Renders the shipped model in a real X window (Xvfb, Mesa) and checks the picture and the
// matrices the view leaves in its context.

#include "view3d/AttitudeView.h"
#include "view3d/ViewGeometry.h"

#include <GL/gl.h>
#include <QApplication>
#include <QImage>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace orvanta::view3d {
namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
            std::puts("skipped: no display server (DISPLAY unset)");
            std::exit(77);
        }
        static int argc = 1;
        static char name[] = "view3d_render_tests";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const kQt =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

constexpr int kWidth = 460, kHeight = 290; // the view's 307 x 194 dialog units

bool IsWhite(QRgb pixel) {
    return qRed(pixel) == 255 && qGreen(pixel) == 255 && qBlue(pixel) == 255;
}

int DifferingPixels(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            count += a.pixel(x, y) != b.pixel(x, y);
        }
    }
    return count;
}

Matrix4 CurrentMatrix(AttitudeView& view, GLenum which) {
    view.makeCurrent();
    Matrix4 m{};
    glGetFloatv(which, m.data());
    view.doneCurrent();
    return m;
}

void SaveArtifact(const QImage& image, const char* name) {
    if (const char* dir = std::getenv("ORVANTA_ARTIFACTS")) {
        image.save(QString::fromUtf8(dir) + "/" + name);
    }
}

class RenderTest : public ::testing::Test {
protected:
    void Show(int width = kWidth, int height = kHeight, std::string path = ORVANTA_MODEL_FILE) {
        view = std::make_unique<AttitudeView>(&attitude, std::move(path));
        view->resize(width, height);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    std::array<float, 3> attitude{0.0f, 0.0f, 0.0f};
    std::unique_ptr<AttitudeView> view;
};

TEST_F(RenderTest, WhiteBackgroundAndTheModelInTheCentre) {
    Show();
    ASSERT_TRUE(view->LoadFailureText().empty()) << view->LoadFailureText();
    EXPECT_EQ(view->Model().objects.size(), 9u);
    const QImage image = view->grabFramebuffer();
    ASSERT_EQ(image.size(), QSize(kWidth, kHeight));
    SaveArtifact(image, "view3d_level.png");

    for (const QPoint corner : {QPoint(2, 2), QPoint(kWidth - 3, 2), QPoint(2, kHeight - 3),
                                QPoint(kWidth - 3, kHeight - 3)}) {
        EXPECT_TRUE(IsWhite(image.pixel(corner))) << corner.x() << "," << corner.y();
    }
    for (int dy = -4; dy <= 4; ++dy) {
        for (int dx = -4; dx <= 4; ++dx) {
            EXPECT_FALSE(IsWhite(image.pixel(kWidth / 2 + dx, kHeight / 2 + dy)));
        }
    }
}

TEST_F(RenderTest, ThePictureTurnsWithRoll) {
    Show();
    const QImage level = view->grabFramebuffer();
    attitude = {30.0f, 0.0f, 0.0f};
    const QImage rolled = view->grabFramebuffer();
    EXPECT_GT(DifferingPixels(level, rolled), kWidth * kHeight / 50);
    attitude = {0.0f, 0.0f, 0.0f};
    EXPECT_EQ(DifferingPixels(level, view->grabFramebuffer()), 0);
}

TEST_F(RenderTest, DrawingLeavesTheAttitudeMatrixAndTheProjection) {
    Show();
    for (const std::array<float, 3> a : {std::array<float, 3>{0, 0, 0},
                                         {90, 0, 0},
                                         {0, 90, 0},
                                         {0, 0, 90},
                                         {-35.5f, 12.25f, 170}}) {
        attitude = a;
        view->grabFramebuffer();
        const Matrix4 actual = CurrentMatrix(*view, GL_MODELVIEW_MATRIX);
        const Matrix4 expected = AttitudeMatrix(a);
        for (int i = 0; i < 16; ++i) {
            EXPECT_NEAR(actual[i], expected[i], 1e-5f) << "element " << i;
        }
    }
    const Matrix4 projection = CurrentMatrix(*view, GL_PROJECTION_MATRIX);
    const float f = 1.0f / std::tan(kFieldOfViewDegrees / 2 * 3.14159265f / 180);
    EXPECT_NEAR(projection[5], f, 1e-5f);
    EXPECT_NEAR(projection[0], f / (float(kWidth) / float(kHeight)), 1e-5f);
}

TEST_F(RenderTest, TheTimerRedrawsUntilItIsKilled) {
    Show();
    EXPECT_TRUE(view->TimerActive());
    attitude = {0.0f, 0.0f, 45.0f};
    QTest::qWait(4 * AttitudeView::kRedrawPeriodMs);
    EXPECT_NEAR(CurrentMatrix(*view, GL_MODELVIEW_MATRIX)[0], AttitudeMatrix(attitude)[0], 1e-5f);

    view->KillTimer();
    EXPECT_FALSE(view->TimerActive());
    const std::array<float, 3> frozen = attitude;
    attitude = {0.0f, 0.0f, -60.0f};
    QTest::qWait(4 * AttitudeView::kRedrawPeriodMs);
    EXPECT_NEAR(CurrentMatrix(*view, GL_MODELVIEW_MATRIX)[0], AttitudeMatrix(frozen)[0], 1e-5f);

    view->StartTimer();
    QTest::qWait(4 * AttitudeView::kRedrawPeriodMs);
    EXPECT_NEAR(CurrentMatrix(*view, GL_MODELVIEW_MATRIX)[0], AttitudeMatrix(attitude)[0], 1e-5f);
}

TEST_F(RenderTest, AMissingModelShowsOnlyTheBackground) {
    Show(kWidth, kHeight, "/nonexistent/Mod.3DS");
    EXPECT_EQ(view->LoadFailureText(), "Unable to find the file: /nonexistent/Mod.3DS!");
    EXPECT_TRUE(view->Model().empty());
    const QImage image = view->grabFramebuffer();
    int coloured = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            coloured += !IsWhite(image.pixel(x, y));
        }
    }
    EXPECT_EQ(coloured, 0);
}

TEST_F(RenderTest, Screenshot) {
    Show(800, 504);
    attitude = {-20.0f, 28.0f, 35.0f};
    const QImage image = view->grabFramebuffer();
    SaveArtifact(image, "view3d.png");
    EXPECT_FALSE(IsWhite(image.pixel(400, 252)));
}

} // namespace
} // namespace orvanta::view3d
