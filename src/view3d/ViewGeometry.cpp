#include "view3d/ViewGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvanta::view3d {
namespace {

// Entry t gives red t + 77 and green = blue 3t + 77, modulo 256.
constexpr std::array<std::uint8_t, 9> kObjectColourEntries{48, 18, 27, 82, 32, 38, 60, 32, 4};

float& At(Matrix4& m, int row, int column) {
    return m[column * 4 + row];
}
float At(const Matrix4& m, int row, int column) {
    return m[column * 4 + row];
}

} // namespace

std::array<TransformCall, 6> AttitudeCalls(const std::array<float, 3>& rollPitchYaw) {
    const float roll = rollPitchYaw[0], pitch = rollPitchYaw[1], yaw = rollPitchYaw[2];
    using K = TransformCall::Kind;
    return {{
        {K::Translate, 0.0f, 0.0f, 0.0f, -kModelDistance},
        {K::Rotate, 180.0f, 1.0f, 0.0f, 0.0f},
        {K::Rotate, 180.0f, 0.0f, 0.0f, 1.0f},
        {K::Rotate, -pitch, 1.0f, 0.0f, 0.0f},
        {K::Rotate, -yaw, 0.0f, 1.0f, 0.0f},
        {K::Rotate, roll, 0.0f, 0.0f, 1.0f},
    }};
}

Matrix4 IdentityMatrix() {
    Matrix4 m{};
    for (int i = 0; i < 4; ++i) {
        At(m, i, i) = 1.0f;
    }
    return m;
}

Matrix4 Multiply(const Matrix4& left, const Matrix4& right) {
    Matrix4 m{};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += At(left, row, k) * At(right, k, column);
            }
            At(m, row, column) = sum;
        }
    }
    return m;
}

Matrix4 TranslationMatrix(float x, float y, float z) {
    Matrix4 m = IdentityMatrix();
    At(m, 0, 3) = x;
    At(m, 1, 3) = y;
    At(m, 2, 3) = z;
    return m;
}

Matrix4 RotationMatrix(float angleDegrees, float x, float y, float z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length > 0.0f) {
        x /= length;
        y /= length;
        z /= length;
    }
    const float radians = angleDegrees * std::numbers::pi_v<float> / 180.0f;
    const float c = std::cos(radians), s = std::sin(radians), t = 1.0f - c;
    Matrix4 m = IdentityMatrix();
    At(m, 0, 0) = x * x * t + c;
    At(m, 0, 1) = x * y * t - z * s;
    At(m, 0, 2) = x * z * t + y * s;
    At(m, 1, 0) = y * x * t + z * s;
    At(m, 1, 1) = y * y * t + c;
    At(m, 1, 2) = y * z * t - x * s;
    At(m, 2, 0) = x * z * t - y * s;
    At(m, 2, 1) = y * z * t + x * s;
    At(m, 2, 2) = z * z * t + c;
    return m;
}

Matrix4 AttitudeMatrix(const std::array<float, 3>& rollPitchYaw) {
    Matrix4 m = IdentityMatrix();
    for (const TransformCall& call : AttitudeCalls(rollPitchYaw)) {
        m = Multiply(m, call.kind == TransformCall::Kind::Translate
                            ? TranslationMatrix(call.x, call.y, call.z)
                            : RotationMatrix(call.angle, call.x, call.y, call.z));
    }
    return m;
}

Vec3 TransformPoint(const Matrix4& m, const Vec3& p) {
    auto row = [&](int r) {
        return At(m, r, 0) * p.x + At(m, r, 1) * p.y + At(m, r, 2) * p.z + At(m, r, 3);
    };
    return Vec3{row(0), row(1), row(2)};
}

std::array<std::uint8_t, 3> ObjectColour(std::size_t objectIndex) {
    const unsigned t = kObjectColourEntries[objectIndex % kObjectColourEntries.size()];
    const auto red = static_cast<std::uint8_t>((t + 77) % 256);
    const auto greenBlue = static_cast<std::uint8_t>((3 * t + 77) % 256);
    return {red, greenBlue, greenBlue};
}

float PerspectiveAspect(int width, int height) {
    return static_cast<float>(std::max(width, 1)) / static_cast<float>(std::max(height, 1));
}

} // namespace orvanta::view3d
