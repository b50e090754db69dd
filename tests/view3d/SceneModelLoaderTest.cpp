#include "view3d/SceneModelLoader.h"

#include "view3d/ThreeDsWriter.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace orvanta::view3d {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct V {
    float x, y, z;
};

struct Tri {
    std::uint16_t a, b, c;
};

// Writers for the chunks a test file needs; they nest inside whatever chunk is open.
void Material(ThreeDsWriter& w, const std::string& name, std::array<std::uint8_t, 3> rgb,
              const std::string& texture = {}) {
    w.Begin(chunk::kMaterial);
    w.TextChunk(chunk::kMaterialName, name);
    w.Begin(chunk::kDiffuse);
    w.Leaf(chunk::kColour24, rgb);
    w.End();
    if (!texture.empty()) {
        w.Begin(chunk::kTextureMap);
        w.TextChunk(chunk::kTextureFile, texture);
        w.End();
    }
    w.End();
}

void VertexList(ThreeDsWriter& w, const std::vector<V>& vertices) {
    w.Begin(chunk::kVertexList);
    w.U16(static_cast<std::uint16_t>(vertices.size()));
    for (const V& v : vertices) {
        w.F32(v.x);
        w.F32(v.y);
        w.F32(v.z);
    }
    w.End();
}

// A face list; the face-material names are written inside it, as 3DS files do.
void FaceList(ThreeDsWriter& w, const std::vector<Tri>& faces,
              const std::vector<std::string>& materials = {}) {
    w.Begin(chunk::kFaceList);
    w.U16(static_cast<std::uint16_t>(faces.size()));
    for (const Tri& f : faces) {
        w.U16(f.a);
        w.U16(f.b);
        w.U16(f.c);
        w.U16(7);
    }
    for (const std::string& name : materials) {
        w.Begin(chunk::kFaceMaterial);
        w.Text(name);
        w.U16(static_cast<std::uint16_t>(faces.size()));
        for (std::size_t i = 0; i < faces.size(); ++i) {
            w.U16(static_cast<std::uint16_t>(i));
        }
        w.End();
    }
    w.End();
}

void MeshObjectChunk(ThreeDsWriter& w, const std::string& name, const std::vector<V>& vertices,
                     const std::vector<Tri>& faces,
                     const std::vector<std::string>& materials = {}) {
    w.Begin(chunk::kNamedObject);
    w.Text(name);
    w.Begin(chunk::kTriangleMesh);
    VertexList(w, vertices);
    FaceList(w, faces, materials);
    w.End();
    w.End();
}

// A primary chunk holding an editor chunk; fill adds the editor's children.
template <typename Fill> Bytes File(Fill fill) {
    ThreeDsWriter w;
    w.Begin(chunk::kPrimary);
    w.Begin(chunk::kVersion);
    w.U32(3);
    w.End();
    w.Begin(chunk::kEditor);
    fill(w);
    w.End();
    w.End();
    return w.Bytes();
}

SceneModel Load(const Bytes& bytes) {
    SceneModel model;
    const SceneLoadResult result = LoadSceneModelFromBytes(model, bytes, "test.3DS");
    EXPECT_TRUE(result.ok) << result.failureText;
    return model;
}

const std::vector<V> kSquare{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
const std::vector<Tri> kSquareFaces{{0, 1, 2}, {0, 2, 3}};

// What every load must leave behind, however bad the file.
void ExpectSound(const SceneModel& model) {
    for (const MeshMaterial& m : model.materials) {
        EXPECT_LE(m.name.size(), kMaxNameLength);
        EXPECT_LE(m.textureFile.size(), kMaxNameLength);
    }
    for (const MeshObject& o : model.objects) {
        EXPECT_LE(o.name.size(), kMaxNameLength);
        ASSERT_EQ(o.normals.size(), o.vertices.size());
        for (const MeshFace& f : o.faces) {
            for (const std::int32_t k : f.corners) {
                ASSERT_GE(k, 0);
                ASSERT_LT(static_cast<std::size_t>(k), o.vertices.size());
            }
        }
        EXPECT_TRUE(o.materialIndex == 0 ||
                    (o.materialIndex >= -1 &&
                     o.materialIndex < static_cast<std::int32_t>(model.materials.size())));
    }
}

TEST(SceneModelLoader, FilesThatDoNotStartWithThePrimaryChunkFailAndLeaveTheModel) {
    const std::vector<Bytes> files{
        {},
        {0x4D},
        {0x4D, 0x4D, 0x06, 0x00, 0x00}, // header cut short
        {0x3D, 0x3D, 0x06, 0x00, 0x00, 0x00},
        {0x4D, 0x4C, 0x06, 0x00, 0x00, 0x00},
    };
    for (const Bytes& bytes : files) {
        SceneModel model;
        model.objects.emplace_back().name = "kept";
        const SceneLoadResult result = LoadSceneModelFromBytes(model, bytes, "../config/Mod.3DS");
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.failureText, "Unable to load PRIMARY chuck from file: ../config/Mod.3DS!");
        ASSERT_EQ(model.objects.size(), 1u);
        EXPECT_EQ(model.objects[0].name, "kept");
    }
}

class LoaderFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir =
            std::filesystem::temp_directory_path() /
            ("view3d_loader_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Write(const std::string& name, const Bytes& bytes) {
        const std::string path = (m_dir / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::filesystem::path m_dir;
};

TEST_F(LoaderFileTest, AMissingFileNamesThePath) {
    SceneModel model;
    const std::string path = (m_dir / "absent.3DS").string();
    const SceneLoadResult result = LoadSceneModel(model, path);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.failureText, "Unable to find the file: " + path + "!");
    EXPECT_TRUE(model.empty());
}

TEST_F(LoaderFileTest, AnEmptyFileIsNotAModel) {
    SceneModel model;
    const std::string path = Write("empty.3DS", {});
    EXPECT_EQ(LoadSceneModel(model, path).failureText,
              "Unable to load PRIMARY chuck from file: " + path + "!");
}

TEST_F(LoaderFileTest, LongPathsAreCutToWholeCharactersWithinTheTextLimit) {
    // The odd prefix puts the 254-byte limit in the middle of a two-byte character.
    const std::string prefix = "Unable to find the file: /nonexistent/x";
    std::string path = "/nonexistent/x";
    while (path.size() < 400) {
        path += "\xC3\xA9"; // é
    }
    SceneModel model;
    const std::string text = LoadSceneModel(model, path).failureText;
    EXPECT_EQ(text.size(), 253u);
    EXPECT_EQ(text.rfind(prefix, 0), 0u);
    EXPECT_EQ((text.size() - prefix.size()) % 2, 0u);
    EXPECT_EQ(text.substr(text.size() - 2), "\xC3\xA9");
}

TEST_F(LoaderFileTest, ReadsAFileAndStopsWhereATruncatedFileEnds) {
    const Bytes bytes = File([](ThreeDsWriter& w) {
        MeshObjectChunk(w, "first", kSquare, kSquareFaces);
        MeshObjectChunk(w, "second", kSquare, kSquareFaces);
    });
    SceneModel whole;
    ASSERT_TRUE(LoadSceneModel(whole, Write("whole.3DS", bytes)));
    ASSERT_EQ(whole.objects.size(), 2u);
    EXPECT_EQ(whole.objects[1].faces.size(), 2u);

    // Cut inside the second object's vertex list: the first object loads whole.
    const Bytes cut(bytes.begin(), bytes.end() - 60);
    SceneModel partial;
    ASSERT_TRUE(LoadSceneModel(partial, Write("cut.3DS", cut)));
    ASSERT_EQ(partial.objects.size(), 2u);
    EXPECT_EQ(partial.objects[0].faces.size(), 2u);
    EXPECT_EQ(partial.objects[1].name, "second");
    EXPECT_LT(partial.objects[1].vertices.size(), 4u);
    EXPECT_TRUE(partial.objects[1].faces.empty());
    ExpectSound(partial);
}

TEST(SceneModelLoader, MaterialsUnderThePrimaryAndTheEditorChunkAreReadAlike) {
    ThreeDsWriter w;
    w.Begin(chunk::kPrimary);
    Material(w, "outer", {10, 20, 30}, "skin.bmp");
    w.Begin(chunk::kEditor);
    Material(w, "inner", {40, 50, 60});
    w.End();
    w.End();
    const SceneModel model = Load(w.Bytes());
    ASSERT_EQ(model.materials.size(), 2u);
    EXPECT_EQ(model.materials[0].name, "outer");
    EXPECT_EQ(model.materials[0].textureFile, "skin.bmp");
    EXPECT_EQ(model.materials[0].colour, (std::array<std::uint8_t, 3>{10, 20, 30}));
    EXPECT_EQ(model.materials[1].name, "inner");
    EXPECT_EQ(model.materials[1].textureFile, "");
    EXPECT_EQ(model.materials[1].colour, (std::array<std::uint8_t, 3>{40, 50, 60}));
}

TEST(SceneModelLoader, VerticesTurnIntoTheViewsAxesAndCoordinatesAreKept) {
    const SceneModel model = Load(File([](ThreeDsWriter& w) {
        w.Begin(chunk::kNamedObject);
        w.Text("box");
        w.Begin(chunk::kTriangleMesh);
        VertexList(w, {{1, 2, 3}, {-4.5f, 0.25f, 8}});
        w.Begin(chunk::kMappingCoords);
        w.U16(1);
        w.F32(0.5f);
        w.F32(0.75f);
        w.End();
        w.End();
        w.End();
    }));
    ASSERT_EQ(model.objects.size(), 1u);
    const MeshObject& box = model.objects[0];
    EXPECT_EQ(box.name, "box");
    ASSERT_EQ(box.vertices.size(), 2u);
    EXPECT_EQ(box.vertices[0].x, 1.0f);
    EXPECT_EQ(box.vertices[0].y, 3.0f);
    EXPECT_EQ(box.vertices[0].z, -2.0f);
    EXPECT_EQ(box.vertices[1].x, -4.5f);
    EXPECT_EQ(box.vertices[1].y, 8.0f);
    EXPECT_EQ(box.vertices[1].z, -0.25f);
    ASSERT_EQ(box.texCoords.size(), 1u);
    EXPECT_EQ(box.texCoords[0].u, 0.5f);
    EXPECT_EQ(box.texCoords[0].v, 0.75f);
}

TEST(SceneModelLoader, FaceMaterialsPickTheObjectsMaterial) {
    struct Case {
        const char* what;
        std::vector<std::string> faceMaterials;
        bool withMaterials;
        std::int32_t index;
        bool textured;
    };
    const std::vector<Case> cases{
        {"no face material", {}, true, 0, false},
        {"plain material", {"grey"}, true, 1, false},
        {"textured material", {"decal"}, true, 2, true},
        {"names compare case-sensitively", {"Grey"}, true, -1, false},
        {"no material in the model yet", {"grey"}, false, 0, false},
        {"the last chunk decides the index", {"grey", "body"}, true, 0, false},
        {"the textured flag stays once set", {"decal", "grey"}, true, 1, true},
        {"a later miss keeps the flag", {"decal", "nothing"}, true, -1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SceneModel model = Load(File([&](ThreeDsWriter& w) {
            if (c.withMaterials) {
                Material(w, "body", {1, 2, 3});
                Material(w, "grey", {4, 5, 6});
                Material(w, "decal", {7, 8, 9}, "decal.bmp");
            }
            MeshObjectChunk(w, "part", kSquare, kSquareFaces, c.faceMaterials);
        }));
        ASSERT_EQ(model.objects.size(), 1u);
        EXPECT_EQ(model.objects[0].materialIndex, c.index);
        EXPECT_EQ(model.objects[0].textured, c.textured);
        EXPECT_EQ(model.objects[0].faces.size(), 2u);
    }
}

TEST(SceneModelLoader, ANamedObjectWithoutMeshIsAnEmptyObject) {
    const SceneModel model = Load(File([](ThreeDsWriter& w) {
        w.Begin(chunk::kNamedObject);
        w.Text("Light01");
        w.Begin(chunk::kLight);
        w.F32(10);
        w.F32(20);
        w.F32(30);
        w.End();
        w.End();
        MeshObjectChunk(w, "after", kSquare, kSquareFaces);
    }));
    ASSERT_EQ(model.objects.size(), 2u);
    EXPECT_EQ(model.objects[0].name, "Light01");
    EXPECT_TRUE(model.objects[0].vertices.empty());
    EXPECT_TRUE(model.objects[0].faces.empty());
    EXPECT_EQ(model.objects[1].name, "after");
    EXPECT_EQ(model.objects[1].faces.size(), 2u);
}

void ExpectVec(const Vec3& actual, float x, float y, float z) {
    EXPECT_NEAR(actual.x, x, 1e-6f);
    EXPECT_NEAR(actual.y, y, 1e-6f);
    EXPECT_NEAR(actual.z, z, 1e-6f);
}

TEST(SceneModelLoader, AFlatSquarePointsItsNormalsOutOfItsFrontFace) {
    // Counter-clockwise seen from +z in the file, which is +y in the view's axes.
    const SceneModel model =
        Load(File([](ThreeDsWriter& w) { MeshObjectChunk(w, "square", kSquare, kSquareFaces); }));
    const MeshObject& square = model.objects.at(0);
    ASSERT_EQ(square.normals.size(), 4u);
    for (const Vec3& n : square.normals) {
        ExpectVec(n, 0, 1, 0);
    }
}

TEST(SceneModelLoader, LargerFacesWeighMoreInASharedNormal) {
    // A roof: a big face tilted towards +x and a small one tilted towards -x share the
    // ridge from vertex 0 to vertex 1.
    const std::vector<V> roof{{0, 0, 1}, {0, 2, 1}, {4, 0, 0}, {-1, 0, 0}, {-1, 1, 0}, {4, 2, 0}};
    const SceneModel model = Load(File([&](ThreeDsWriter& w) {
        MeshObjectChunk(w, "roof", roof, {{0, 2, 5}, {0, 4, 3}});
    }));
    const MeshObject& o = model.objects.at(0);
    // Face vectors in the view's axes: (P - R) x (R - Q), then the sum over -count.
    auto faceVector = [&](int p, int q, int r) {
        const Vec3 &P = o.vertices[p], &Q = o.vertices[q], &R = o.vertices[r];
        const Vec3 a{P.x - R.x, P.y - R.y, P.z - R.z}, b{R.x - Q.x, R.y - Q.y, R.z - Q.z};
        return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    };
    const Vec3 big = faceVector(0, 2, 5), small = faceVector(0, 4, 3);
    Vec3 sum{-(big.x + small.x) / 2, -(big.y + small.y) / 2, -(big.z + small.z) / 2};
    const float length = std::sqrt(sum.x * sum.x + sum.y * sum.y + sum.z * sum.z);
    ExpectVec(o.normals[0], sum.x / length, sum.y / length, sum.z / length);
    // Both faces face upwards (+y in the view); weighted by area the big one wins the tilt
    // towards +x, where an average of unit vectors would lean towards -x.
    EXPECT_GT(o.normals[0].y, 0.0f);
    EXPECT_GT(o.normals[0].x, 0.0f);
    // Vertex 1 is used by no face: no normal.
    ExpectVec(o.normals[1], 0, 0, 0);
    // A vertex of one face only carries that face's own direction.
    const float bigLength = std::sqrt(big.x * big.x + big.y * big.y + big.z * big.z);
    ExpectVec(o.normals[2], -big.x / bigLength, -big.y / bigLength, -big.z / bigLength);
}

TEST(SceneModelLoader, FacesOutsideTheVertexListAreDropped) {
    const SceneModel model = Load(File([](ThreeDsWriter& w) {
        MeshObjectChunk(w, "bad", kSquare, {{0, 1, 2}, {0, 2, 4}, {65535, 0, 1}, {0, 2, 3}});
        w.Begin(chunk::kNamedObject);
        w.Text("no vertices");
        w.Begin(chunk::kTriangleMesh);
        FaceList(w, kSquareFaces);
        w.End();
        w.End();
    }));
    ASSERT_EQ(model.objects.size(), 2u);
    ASSERT_EQ(model.objects[0].faces.size(), 2u);
    EXPECT_EQ(model.objects[0].faces[1].corners, (std::array<std::int32_t, 3>{0, 2, 3}));
    EXPECT_TRUE(model.objects[1].faces.empty());
}

// Files that lie about their sizes. Each must load without reading outside the bytes.
TEST(SceneModelLoader, MalformedChunksLoadWhatIsThere) {
    struct Case {
        const char* what;
        std::function<Bytes()> build;
        std::size_t objects, vertices, faces;
    };
    const std::vector<Case> cases{
        {"a vertex count far above the list",
         [] {
             return File([](ThreeDsWriter& w) {
                 w.Begin(chunk::kNamedObject);
                 w.Text("o");
                 w.Begin(chunk::kVertexList);
                 w.U16(65535);
                 w.F32(1), w.F32(2), w.F32(3), w.F32(4), w.F32(5), w.F32(6), w.F32(7);
                 w.End();
                 w.End();
             });
         },
         1, 2, 0},
        {"a face count far above the list",
         [] {
             return File([](ThreeDsWriter& w) {
                 w.Begin(chunk::kNamedObject);
                 w.Text("o");
                 VertexList(w, kSquare);
                 w.Begin(chunk::kFaceList);
                 w.U16(40000);
                 w.U16(0), w.U16(1), w.U16(2), w.U16(0), w.U16(3);
                 w.End();
                 w.End();
             });
         },
         1, 4, 1},
        {"a child longer than its parent",
         [] {
             ThreeDsWriter w;
             w.Begin(chunk::kPrimary);
             w.Begin(chunk::kEditor);
             MeshObjectChunk(w, "o", kSquare, kSquareFaces);
             w.End();
             w.End();
             w.PatchU32(6 + 2, 0x7FFFFFF0); // the editor chunk
             return w.Bytes();
         },
         1, 4, 2},
        {"a primary chunk longer than the file",
         [] {
             Bytes b =
                 File([](ThreeDsWriter& w) { MeshObjectChunk(w, "o", kSquare, kSquareFaces); });
             b[2] = b[3] = b[4] = b[5] = 0xFF;
             return b;
         },
         1, 4, 2},
        {"a zero-length chunk ends its parent",
         [] {
             return File([](ThreeDsWriter& w) {
                 MeshObjectChunk(w, "before", kSquare, kSquareFaces);
                 w.U16(0x1234);
                 w.U32(0);
                 MeshObjectChunk(w, "after", kSquare, kSquareFaces);
             });
         },
         1, 4, 2},
        {"a length below the header size ends its parent",
         [] {
             return File([](ThreeDsWriter& w) {
                 w.Begin(chunk::kNamedObject);
                 w.Text("o");
                 w.U16(chunk::kVertexList);
                 w.U32(5);
                 VertexList(w, kSquare);
                 w.End();
             });
         },
         1, 0, 0},
        {"an object name without its NUL",
         [] {
             ThreeDsWriter w;
             w.Begin(chunk::kPrimary);
             w.Begin(chunk::kNamedObject);
             const std::string name = "unterminated";
             w.Raw(std::span(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()));
             w.End();
             w.End();
             return w.Bytes();
         },
         1, 0, 0},
        {"lists in chunks too short for their count",
         [] {
             return File([](ThreeDsWriter& w) {
                 w.Begin(chunk::kNamedObject);
                 w.Text("o");
                 w.Begin(chunk::kVertexList);
                 w.U8(9);
                 w.End();
                 w.Begin(chunk::kFaceList);
                 w.End();
                 w.Begin(chunk::kMappingCoords);
                 w.U16(3);
                 w.End();
                 w.End();
             });
         },
         1, 0, 0},
        {"chunks nested far deeper than any model",
         [] {
             ThreeDsWriter w;
             w.Begin(chunk::kPrimary);
             for (int i = 0; i < 100000; ++i) {
                 w.Begin(chunk::kEditor);
             }
             MeshObjectChunk(w, "deep", kSquare, kSquareFaces);
             for (int i = 0; i < 100000; ++i) {
                 w.End();
             }
             w.End();
             return w.Bytes();
         },
         0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes bytes = c.build();
        const SceneModel model = Load(bytes);
        ExpectSound(model);
        ASSERT_EQ(model.objects.size(), c.objects);
        if (c.objects > 0) {
            EXPECT_EQ(model.objects[0].vertices.size(), c.vertices);
            EXPECT_EQ(model.objects[0].faces.size(), c.faces);
        }
    }
}

TEST(SceneModelLoader, LongTextsAreCutToTheNameLimit) {
    const std::string longName(600, 'n');
    const SceneModel model = Load(File([&](ThreeDsWriter& w) {
        Material(w, longName, {1, 2, 3}, longName);
        MeshObjectChunk(w, longName, kSquare, kSquareFaces, {longName});
    }));
    ASSERT_EQ(model.objects.size(), 1u);
    EXPECT_EQ(model.objects[0].name, longName.substr(0, kMaxNameLength));
    EXPECT_EQ(model.materials[0].name, longName.substr(0, kMaxNameLength));
    EXPECT_EQ(model.materials[0].textureFile, longName.substr(0, kMaxNameLength));
    // The name's full length is passed over, so the mesh after it is still found.
    EXPECT_EQ(model.objects[0].faces.size(), 2u);
    EXPECT_EQ(model.objects[0].materialIndex, 0);
}

TEST(SceneModelLoader, AColourChunkShorterThanThreeBytesSetsOnlyWhatItHas) {
    const SceneModel model = Load(File([](ThreeDsWriter& w) {
        w.Begin(chunk::kMaterial);
        w.Begin(chunk::kDiffuse);
        w.Begin(chunk::kColour24);
        w.U8(200);
        w.End();
        w.End();
        w.End();
    }));
    ASSERT_EQ(model.materials.size(), 1u);
    EXPECT_EQ(model.materials[0].colour, (std::array<std::uint8_t, 3>{200, 0, 0}));
}

// Every prefix of a valid file, and files with random bytes overwritten, load soundly.
TEST(SceneModelLoader, CutAndGarbledFilesLoadSoundly) {
    const Bytes good = File([](ThreeDsWriter& w) {
        Material(w, "body", {1, 2, 3}, "tex.bmp");
        MeshObjectChunk(w, "first", kSquare, kSquareFaces, {"body"});
        w.Begin(chunk::kNamedObject);
        w.Text("second");
        w.Begin(chunk::kTriangleMesh);
        VertexList(w, kSquare);
        w.Begin(chunk::kMappingCoords);
        w.U16(2);
        w.F32(0), w.F32(0), w.F32(1), w.F32(1);
        w.End();
        FaceList(w, kSquareFaces, {"body"});
        w.End();
        w.End();
    });
    for (std::size_t size = 6; size <= good.size(); ++size) {
        SceneModel model;
        ASSERT_TRUE(LoadSceneModelFromBytes(model, std::span(good).first(size), "cut"));
        ExpectSound(model);
    }
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        Bytes garbled = good;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i) {
            garbled[6 + random() % (garbled.size() - 6)] = static_cast<std::uint8_t>(random());
        }
        SceneModel model;
        ASSERT_TRUE(LoadSceneModelFromBytes(model, garbled, "garbled"));
        ExpectSound(model);
    }
}

} // namespace
} // namespace orvanta::view3d
