// Writes the device model file in the 3DS chunk format: orvanta_modelgen <output path>.
// The output depends on nothing but this program, so every build writes the same bytes.

#include "SensorUnit.h"
#include "view3d/SceneModelLoader.h"
#include "view3d/ThreeDsWriter.h"

#include <cstdio>
#include <limits>

namespace {

using orvanta::tools::SensorPart;
using orvanta::view3d::ThreeDsWriter;
namespace chunk = orvanta::view3d::chunk;

bool WriteObject(ThreeDsWriter& w, const SensorPart& part) {
    const auto& vertices = part.mesh.Vertices();
    const auto& faces = part.mesh.Faces();
    constexpr std::size_t kLimit = std::numeric_limits<std::uint16_t>::max();
    if (vertices.size() > kLimit || faces.size() > kLimit) {
        std::fprintf(stderr, "%s: too many vertices or faces for one object\n", part.name.c_str());
        return false;
    }
    w.Begin(chunk::kNamedObject);
    w.Text(part.name);
    w.Begin(chunk::kTriangleMesh);

    w.Begin(chunk::kVertexList);
    w.U16(static_cast<std::uint16_t>(vertices.size()));
    for (const auto& v : vertices) {
        w.F32(static_cast<float>(v.x));
        w.F32(static_cast<float>(v.y));
        w.F32(static_cast<float>(v.z));
    }
    w.End();

    w.Begin(chunk::kFaceList);
    w.U16(static_cast<std::uint16_t>(faces.size()));
    for (const auto& f : faces) {
        w.U16(static_cast<std::uint16_t>(f[0]));
        w.U16(static_cast<std::uint16_t>(f[1]));
        w.U16(static_cast<std::uint16_t>(f[2]));
        w.U16(0x0007); // all three edges visible
    }
    w.Begin(chunk::kFaceMaterial);
    w.Text(part.material);
    w.U16(static_cast<std::uint16_t>(faces.size()));
    for (std::size_t i = 0; i < faces.size(); ++i) {
        w.U16(static_cast<std::uint16_t>(i));
    }
    w.End();
    w.End(); // face list

    w.End(); // triangle mesh
    w.End(); // named object
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.3DS>\n", argv[0]);
        return 2;
    }
    const auto parts = orvanta::tools::BuildSensorUnit();

    ThreeDsWriter w;
    w.Begin(chunk::kPrimary);
    w.Begin(chunk::kVersion);
    w.U32(3);
    w.End();
    w.Begin(chunk::kEditor);
    w.Begin(chunk::kMeshVersion);
    w.U32(3);
    w.End();
    for (const SensorPart& part : parts) {
        w.Begin(chunk::kMaterial);
        w.TextChunk(chunk::kMaterialName, part.material);
        w.Begin(chunk::kDiffuse);
        w.Leaf(chunk::kColour24, part.colour);
        w.End();
        w.End();
    }
    for (const SensorPart& part : parts) {
        if (!WriteObject(w, part)) {
            return 1;
        }
    }
    w.End(); // editor
    w.End(); // primary

    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const auto& bytes = w.Bytes();
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "%s: write failed\n", argv[1]);
        return 1;
    }
    return 0;
}
