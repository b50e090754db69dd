#pragma once

#include "view3d/SceneModel.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvanta::view3d {

// The arithmetic of the 3D view, free of OpenGL so it can be checked without a display.
// Pure functions: any thread.

inline constexpr float kFieldOfViewDegrees = 40.0f;
inline constexpr double kNearPlane = 0.1;
inline constexpr double kFarPlane = 400.0;
inline constexpr float kModelDistance = 15.0f;

// One glTranslatef or glRotatef call (angle in degrees, axis x, y, z).
struct TransformCall {
    enum class Kind { Translate, Rotate };
    Kind kind;
    float angle; // unused for a translation
    float x, y, z;
};

// The calls that place the model, in call order, for roll, pitch and yaw in degrees. Each
// call multiplies the model-view matrix on the right, so the last acts first on a vertex.
std::array<TransformCall, 6> AttitudeCalls(const std::array<float, 3>& rollPitchYaw);

// 4 x 4 matrices in OpenGL's column-major order, as glGetFloatv returns them.
using Matrix4 = std::array<float, 16>;

Matrix4 IdentityMatrix();
Matrix4 Multiply(const Matrix4& left, const Matrix4& right);
// The matrices glTranslatef and glRotatef multiply by.
Matrix4 TranslationMatrix(float x, float y, float z);
Matrix4 RotationMatrix(float angleDegrees, float x, float y, float z);
// The model-view matrix after loading the identity and making the calls of AttitudeCalls.
Matrix4 AttitudeMatrix(const std::array<float, 3>& rollPitchYaw);
Vec3 TransformPoint(const Matrix4& matrix, const Vec3& point);

// The colour object index is drawn with; the nine entries of the table repeat for further objects.
std::array<std::uint8_t, 3> ObjectColour(std::size_t objectIndex);

// Width over height for gluPerspective; a collapsed (zero) size counts as one pixel, so the
// projection stays finite while the view is minimised.
float PerspectiveAspect(int width, int height);

} // namespace orvanta::view3d
