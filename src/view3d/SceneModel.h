#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvanta::view3d {

// Texts read from a model file keep at most this many bytes (255 with the NUL).
inline constexpr std::size_t kMaxNameLength = 254;

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

struct TexCoord {
    float u = 0.0f, v = 0.0f;
};

struct MeshMaterial {
    std::string name;
    std::string textureFile;                     // empty without a texture map
    std::array<std::uint8_t, 3> colour{0, 0, 0}; // diffuse red, green, blue
};

// Corners are indices into the object's vertex list, in file order. The loader keeps only
// faces whose three corners lie inside that list.
struct MeshFace {
    std::array<std::int32_t, 3> corners{0, 0, 0};
};

struct MeshObject {
    std::string name;
    std::int32_t materialIndex = 0; // -1 when the face-material name matched no material
    bool textured = false;
    std::vector<Vec3> vertices;      // in the view's axes: (x, z, -y) of the file
    std::vector<Vec3> normals;       // one per vertex, zero for a vertex no face uses
    std::vector<TexCoord> texCoords; // may be shorter than vertices, or empty
    std::vector<MeshFace> faces;
};

// The device model as read from a 3DS file. Plain data: filled once by the loader on the
// thread that owns the 3D view, then only read.
struct SceneModel {
    std::vector<MeshMaterial> materials;
    std::vector<MeshObject> objects;

    bool empty() const { return materials.empty() && objects.empty(); }
};

} // namespace orvanta::view3d
