// Fuzz target: the 3DS loader from bytes, with the vertex normals it computes.
#include "view3d/SceneModelLoader.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvanta::view3d;
    SceneModel model;
    const SceneLoadResult result =
        LoadSceneModelFromBytes(model, std::span<const std::uint8_t>(data, size), "fuzz.3ds");
    if (!result.ok) {
        if (result.failureText.empty() || result.failureText.size() > 254 ||
            !model.objects.empty() || !model.materials.empty()) {
            std::abort(); // a failed load leaves the model as it was, with a text
        }
        return 0;
    }
    // What the view relies on when it draws: every face corner names a vertex, one normal
    // per vertex, every normal finite (also for vertices far out or not numbers at all).
    // A mapping list may hold more entries than there are vertices; the view only reads
    // the entries of the vertices it draws.
    for (const MeshObject& object : model.objects) {
        if (object.normals.size() != object.vertices.size()) {
            std::abort();
        }
        for (const MeshFace& face : object.faces) {
            for (auto corner : face.corners) {
                if (corner < 0 || static_cast<std::size_t>(corner) >= object.vertices.size()) {
                    std::abort();
                }
            }
        }
        for (const Vec3& n : object.normals) {
            if (!std::isfinite(n.x) || !std::isfinite(n.y) || !std::isfinite(n.z)) {
                std::abort();
            }
        }
    }
    return 0;
}
