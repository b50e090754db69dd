// The model file the build generates and ships in dist/config.

#include "view3d/SceneModelLoader.h"
#include "view3d/ViewGeometry.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <numbers>

namespace orvanta::view3d {
namespace {

float Length(const Vec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

class ShippedModel : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_model = new SceneModel;
        s_result = LoadSceneModel(*s_model, ORVANTA_MODEL_FILE);
    }
    static void TearDownTestSuite() { delete s_model; }

    static SceneModel* s_model;
    static SceneLoadResult s_result;
};

SceneModel* ShippedModel::s_model = nullptr;
SceneLoadResult ShippedModel::s_result;

TEST_F(ShippedModel, HasNinePartsEachWithItsOwnMaterial) {
    ASSERT_TRUE(s_result.ok) << s_result.failureText;
    ASSERT_EQ(s_model->objects.size(), 9u);
    ASSERT_EQ(s_model->materials.size(), 9u);
    for (std::size_t i = 0; i < 9; ++i) {
        const MeshObject& o = s_model->objects[i];
        EXPECT_FALSE(o.name.empty());
        EXPECT_FALSE(o.faces.empty()) << o.name;
        EXPECT_EQ(o.materialIndex, static_cast<std::int32_t>(i)) << o.name;
        EXPECT_FALSE(o.textured);
        // Other viewers colour by material; keep them in step with the view's table.
        EXPECT_EQ(s_model->materials[i].colour, ObjectColour(i)) << o.name;
    }
}

TEST_F(ShippedModel, FitsTheViewAtAnyAttitude) {
    // A sphere at the viewing distance that stays inside the 40 degree vertical field.
    const float limit =
        kModelDistance * std::sin(kFieldOfViewDegrees / 2 * std::numbers::pi_v<float> / 180);
    float largest = 0.0f;
    for (const MeshObject& o : s_model->objects) {
        for (const Vec3& v : o.vertices) {
            largest = std::max(largest, Length(v));
        }
    }
    EXPECT_LT(largest, limit);
    EXPECT_GT(largest, 0.7f * limit); // and does not shrink to a dot
}

TEST_F(ShippedModel, NormalsAreUnitAndTheHousingsPointOutwards) {
    for (const MeshObject& o : s_model->objects) {
        std::vector<bool> used(o.vertices.size());
        for (const MeshFace& f : o.faces) {
            for (const std::int32_t k : f.corners) {
                used[k] = true;
            }
        }
        for (std::size_t k = 0; k < o.vertices.size(); ++k) {
            if (used[k]) {
                EXPECT_NEAR(Length(o.normals[k]), 1.0f, 1e-4f) << o.name << " vertex " << k;
            }
        }
    }
    // The housing is a rounded box around the origin: every normal leaves it.
    const MeshObject& housing = s_model->objects.at(0);
    for (std::size_t k = 0; k < housing.vertices.size(); ++k) {
        const Vec3& p = housing.vertices[k];
        const Vec3& n = housing.normals[k];
        EXPECT_GT(p.x * n.x + p.y * n.y + p.z * n.z, 0.0f) << "vertex " << k;
    }
}

std::vector<char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ShippedModelGenerator, WritesTheSameBytesEveryTime) {
    const std::string again =
        (std::filesystem::temp_directory_path() / "view3d_model_again.3DS").string();
    const std::string command = std::string(ORVANTA_MODEL_GENERATOR) + " " + again;
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadAll(again), ReadAll(ORVANTA_MODEL_FILE));
    std::filesystem::remove(again);
}

} // namespace
} // namespace orvanta::view3d
