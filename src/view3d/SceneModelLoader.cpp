#include "view3d/SceneModelLoader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace orvanta::view3d {
namespace {

constexpr std::size_t kHeaderSize = 6;
// Real files nest five or six levels; the limit only stops a crafted file from exhausting
// the stack with chunks nested in themselves.
constexpr int kMaxDepth = 32;
constexpr std::size_t kMaxFailureText = 255; // bytes including the NUL

std::string FormatFailure(const char* format, const std::string& path) {
    const int wanted = std::snprintf(nullptr, 0, format, path.c_str());
    if (wanted < 0) {
        return format;
    }
    std::string text(static_cast<std::size_t>(wanted) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, path.c_str());
    text.pop_back();
    if (text.size() >= kMaxFailureText) {
        // Cut back to a whole UTF-8 character so the text stays displayable.
        std::size_t length = kMaxFailureText - 1;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
            --length;
        }
        text.resize(length);
    }
    return text;
}

// Reads the chunks of one file. Every reader gets the byte range of its chunk's data; a
// child's range is cut to its parent's, so nothing outside the parent is ever read.
class ChunkParser {
public:
    explicit ChunkParser(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    void ReadMain(std::size_t begin, std::size_t end, SceneModel& model, int depth) {
        ForEachChild(begin, end, [&](std::uint16_t id, std::size_t data, std::size_t childEnd) {
            switch (id) {
            case chunk::kEditor:
                if (depth < kMaxDepth) {
                    ReadMain(data, childEnd, model, depth + 1);
                }
                break;
            case chunk::kMaterial:
                model.materials.emplace_back();
                ReadMaterial(data, childEnd, model.materials.back(), depth + 1);
                break;
            case chunk::kNamedObject: {
                model.objects.emplace_back();
                MeshObject& object = model.objects.back();
                const std::size_t afterName = data + ReadText(data, childEnd, object.name);
                ReadObject(afterName, childEnd, object, model.materials, depth + 1);
                break;
            }
            default:
                break;
            }
        });
    }

private:
    template <typename Visit> void ForEachChild(std::size_t begin, std::size_t end, Visit visit) {
        std::size_t pos = begin;
        while (end - pos >= kHeaderSize) {
            const std::uint16_t id = U16(pos);
            const std::uint32_t length = U32(pos + 2);
            // A length shorter than a header leaves no way to find the next sibling.
            if (length < kHeaderSize) {
                return;
            }
            const std::size_t childEnd = pos + std::min<std::size_t>(length, end - pos);
            visit(id, pos + kHeaderSize, childEnd);
            pos = childEnd;
        }
    }

    void ReadMaterial(std::size_t begin, std::size_t end, MeshMaterial& material, int depth) {
        ForEachChild(begin, end, [&](std::uint16_t id, std::size_t data, std::size_t childEnd) {
            switch (id) {
            case chunk::kMaterialName:
                ReadText(data, childEnd, material.name);
                break;
            case chunk::kDiffuse:
                ReadColour(data, childEnd, material.colour);
                break;
            case chunk::kTextureMap:
                if (depth < kMaxDepth) {
                    ReadMaterial(data, childEnd, material, depth + 1);
                }
                break;
            case chunk::kTextureFile:
                ReadText(data, childEnd, material.textureFile);
                break;
            default:
                break;
            }
        });
    }

    void ReadObject(std::size_t begin, std::size_t end, MeshObject& object,
                    const std::vector<MeshMaterial>& materials, int depth) {
        ForEachChild(begin, end, [&](std::uint16_t id, std::size_t data, std::size_t childEnd) {
            switch (id) {
            case chunk::kTriangleMesh:
                if (depth < kMaxDepth) {
                    ReadObject(data, childEnd, object, materials, depth + 1);
                }
                break;
            case chunk::kVertexList: {
                const std::size_t count = ListCount(data, childEnd, 12);
                object.vertices.resize(count);
                for (std::size_t i = 0; i < count; ++i) {
                    const std::size_t at = data + 2 + i * 12;
                    object.vertices[i] = Vec3{F32(at), F32(at + 8), -F32(at + 4)};
                }
                break;
            }
            case chunk::kFaceList: {
                const std::size_t count = ListCount(data, childEnd, 8);
                object.faces.resize(count);
                for (std::size_t i = 0; i < count; ++i) {
                    const std::size_t at = data + 2 + i * 8;
                    object.faces[i].corners = {U16(at), U16(at + 2), U16(at + 4)};
                }
                // Face materials and smoothing groups follow the faces inside this chunk.
                const std::size_t subChunks = data + 2 + count * 8;
                if (subChunks < childEnd && depth < kMaxDepth) {
                    ReadObject(subChunks, childEnd, object, materials, depth + 1);
                }
                break;
            }
            case chunk::kFaceMaterial: {
                std::string name;
                ReadText(data, childEnd, name);
                AssignMaterial(object, name, materials);
                break;
            }
            case chunk::kMappingCoords: {
                const std::size_t count = ListCount(data, childEnd, 8);
                object.texCoords.resize(count);
                for (std::size_t i = 0; i < count; ++i) {
                    const std::size_t at = data + 2 + i * 8;
                    object.texCoords[i] = TexCoord{F32(at), F32(at + 4)};
                }
                break;
            }
            default:
                break;
            }
        });
    }

    static void AssignMaterial(MeshObject& object, const std::string& name,
                               const std::vector<MeshMaterial>& materials) {
        if (materials.empty()) {
            return;
        }
        object.materialIndex = -1;
        for (std::size_t i = 0; i < materials.size(); ++i) {
            if (materials[i].name == name) {
                object.materialIndex = static_cast<std::int32_t>(i);
                if (!materials[i].textureFile.empty()) {
                    object.textured = true;
                }
                return;
            }
        }
    }

    // The count a list chunk announces, cut to the records that are really there.
    std::size_t ListCount(std::size_t data, std::size_t end, std::size_t recordSize) const {
        if (end - data < 2) {
            return 0;
        }
        return std::min<std::size_t>(U16(data), (end - data - 2) / recordSize);
    }

    // A NUL-terminated text; returns the bytes it occupies, NUL included. Text beyond the
    // name limit is passed over, a missing NUL ends the text at the chunk's end.
    std::size_t ReadText(std::size_t begin, std::size_t end, std::string& text) const {
        std::size_t pos = begin;
        while (pos < end && m_bytes[pos] != 0) {
            ++pos;
        }
        const std::size_t length = pos - begin;
        text.assign(reinterpret_cast<const char*>(m_bytes.data() + begin),
                    std::min(length, kMaxNameLength));
        return pos < end ? length + 1 : length;
    }

    void ReadColour(std::size_t begin, std::size_t end, std::array<std::uint8_t, 3>& colour) const {
        ForEachChildOnce(begin, end, [&](std::size_t data, std::size_t innerEnd) {
            const std::size_t n = std::min<std::size_t>(colour.size(), innerEnd - data);
            std::copy_n(m_bytes.begin() + data, n, colour.begin());
        });
    }

    // A colour property holds exactly one inner chunk; only the first is read.
    template <typename Visit>
    void ForEachChildOnce(std::size_t begin, std::size_t end, Visit visit) const {
        if (end - begin < kHeaderSize) {
            return;
        }
        const std::uint32_t length = U32(begin + 2);
        if (length < kHeaderSize) {
            return;
        }
        visit(begin + kHeaderSize, begin + std::min<std::size_t>(length, end - begin));
    }

    std::uint16_t U16(std::size_t at) const {
        return static_cast<std::uint16_t>(m_bytes[at] | (m_bytes[at + 1] << 8));
    }
    std::uint32_t U32(std::size_t at) const {
        return static_cast<std::uint32_t>(m_bytes[at]) |
               (static_cast<std::uint32_t>(m_bytes[at + 1]) << 8) |
               (static_cast<std::uint32_t>(m_bytes[at + 2]) << 16) |
               (static_cast<std::uint32_t>(m_bytes[at + 3]) << 24);
    }
    float F32(std::size_t at) const { return std::bit_cast<float>(U32(at)); }

    std::span<const std::uint8_t> m_bytes;
};

bool FaceInside(const MeshFace& face, std::size_t vertexCount) {
    return std::all_of(face.corners.begin(), face.corners.end(), [vertexCount](std::int32_t k) {
        return k >= 0 && static_cast<std::size_t>(k) < vertexCount;
    });
}

// Faces may name vertices the object does not have (or come without a vertex list at all);
// they are dropped so that nothing downstream indexes outside the list.
void DropFacesOutsideVertexList(MeshObject& object) {
    const std::size_t vertexCount = object.vertices.size();
    std::erase_if(object.faces,
                  [vertexCount](const MeshFace& face) { return !FaceInside(face, vertexCount); });
}

bool IsPrimaryHeader(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= kHeaderSize && bytes[0] == 0x4D && bytes[1] == 0x4D;
}

std::size_t DeclaredLength(std::span<const std::uint8_t> header) {
    return static_cast<std::size_t>(header[2]) | (static_cast<std::size_t>(header[3]) << 8) |
           (static_cast<std::size_t>(header[4]) << 16) |
           (static_cast<std::size_t>(header[5]) << 24);
}

SceneLoadResult PrimaryFailure(const std::string& name) {
    return {false, FormatFailure("Unable to load PRIMARY chuck from file: %s!", name)};
}

} // namespace

SceneLoadResult LoadSceneModelFromBytes(SceneModel& model, std::span<const std::uint8_t> bytes,
                                        const std::string& name) {
    if (!IsPrimaryHeader(bytes)) {
        return PrimaryFailure(name);
    }
    // A primary chunk longer than the file is read as far as the file goes.
    const std::size_t end =
        std::clamp<std::size_t>(DeclaredLength(bytes), kHeaderSize, bytes.size());
    SceneModel loaded;
    ChunkParser(bytes.first(end)).ReadMain(kHeaderSize, end, loaded, 1);
    for (MeshObject& object : loaded.objects) {
        DropFacesOutsideVertexList(object);
    }
    ComputeVertexNormals(loaded);
    model = std::move(loaded);
    return {true, {}};
}

SceneLoadResult LoadSceneModel(SceneModel& model, const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) {
        return {false, FormatFailure("Unable to find the file: %s!", path)};
    }
    std::vector<std::uint8_t> bytes(kHeaderSize);
    if (std::fread(bytes.data(), 1, kHeaderSize, file.get()) != kHeaderSize ||
        !IsPrimaryHeader(bytes)) {
        return PrimaryFailure(path);
    }
    // Read no more than the primary chunk claims, in steps, so a bogus length does not
    // allocate gigabytes up front.
    const std::size_t wanted = DeclaredLength(bytes);
    constexpr std::size_t kStep = 1 << 16;
    while (bytes.size() < wanted) {
        const std::size_t at = bytes.size();
        const std::size_t step = std::min(kStep, wanted - at);
        bytes.resize(at + step);
        const std::size_t got = std::fread(bytes.data() + at, 1, step, file.get());
        if (got < step) {
            bytes.resize(at + got);
            break;
        }
    }
    return LoadSceneModelFromBytes(model, bytes, path);
}

void ComputeVertexNormals(SceneModel& model) {
    // Sums in double: float vertices far from the origin (a hostile or broken file) overflow
    // a float cross product to infinity and the normal to NaN; in double they cannot.
    struct Sum {
        double x = 0, y = 0, z = 0;
    };
    for (MeshObject& object : model.objects) {
        const std::size_t vertexCount = object.vertices.size();
        std::vector<Sum> sum(vertexCount);
        std::vector<int> uses(vertexCount, 0);
        for (const MeshFace& face : object.faces) {
            if (!FaceInside(face, vertexCount)) {
                continue;
            }
            const Vec3& p = object.vertices[face.corners[0]];
            const Vec3& q = object.vertices[face.corners[1]];
            const Vec3& r = object.vertices[face.corners[2]];
            const Sum a{double{p.x} - r.x, double{p.y} - r.y, double{p.z} - r.z};
            const Sum b{double{r.x} - q.x, double{r.y} - q.y, double{r.z} - q.z};
            const Sum n{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
            for (int c = 0; c < 3; ++c) {
                const std::int32_t k = face.corners[c];
                // A face naming a vertex twice still counts once for it.
                if ((c > 0 && face.corners[0] == k) || (c > 1 && face.corners[1] == k)) {
                    continue;
                }
                sum[k].x += n.x;
                sum[k].y += n.y;
                sum[k].z += n.z;
                ++uses[k];
            }
        }
        object.normals.assign(vertexCount, Vec3{});
        for (std::size_t k = 0; k < vertexCount; ++k) {
            if (uses[k] == 0) {
                continue;
            }
            const double divisor = -static_cast<double>(uses[k]);
            const Sum v{sum[k].x / divisor, sum[k].y / divisor, sum[k].z / divisor};
            // Scale by the largest component first so the squares cannot overflow either.
            const double scale = std::max({std::abs(v.x), std::abs(v.y), std::abs(v.z)});
            // Degenerate faces alone give no direction (and NaN vertices none either):
            // keep zero rather than NaN.
            if (!(scale > 0.0) || !std::isfinite(v.x) || !std::isfinite(v.y) ||
                !std::isfinite(v.z)) {
                continue;
            }
            const Sum u{v.x / scale, v.y / scale, v.z / scale};
            const double length = std::sqrt(u.x * u.x + u.y * u.y + u.z * u.z);
            object.normals[k] =
                Vec3{static_cast<float>(u.x / length), static_cast<float>(u.y / length),
                     static_cast<float>(u.z / length)};
        }
    }
}

} // namespace orvanta::view3d
