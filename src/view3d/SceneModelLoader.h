#pragma once

#include "view3d/SceneModel.h"

#include <cstdint>
#include <span>
#include <string>

namespace orvanta::view3d {

// Chunk identifiers of the 3DS format that the loader interprets.
namespace chunk {
inline constexpr std::uint16_t kPrimary = 0x4D4D;
inline constexpr std::uint16_t kVersion = 0x0002;
inline constexpr std::uint16_t kColour24 = 0x0011;
inline constexpr std::uint16_t kEditor = 0x3D3D;
inline constexpr std::uint16_t kMeshVersion = 0x3D3E;
inline constexpr std::uint16_t kNamedObject = 0x4000;
inline constexpr std::uint16_t kTriangleMesh = 0x4100;
inline constexpr std::uint16_t kVertexList = 0x4110;
inline constexpr std::uint16_t kFaceList = 0x4120;
inline constexpr std::uint16_t kFaceMaterial = 0x4130;
inline constexpr std::uint16_t kMappingCoords = 0x4140;
inline constexpr std::uint16_t kSmoothGroups = 0x4150;
inline constexpr std::uint16_t kLight = 0x4600;
inline constexpr std::uint16_t kCamera = 0x4700;
inline constexpr std::uint16_t kMaterial = 0xAFFF;
inline constexpr std::uint16_t kMaterialName = 0xA000;
inline constexpr std::uint16_t kDiffuse = 0xA020;
inline constexpr std::uint16_t kTextureMap = 0xA200;
inline constexpr std::uint16_t kTextureFile = 0xA300;
} // namespace chunk

struct SceneLoadResult {
    bool ok = false;
    std::string failureText; // empty on success, at most 254 bytes otherwise

    explicit operator bool() const { return ok; }
};

// Free functions without shared state: any thread may call them on its own model.

// Reads a 3DS file into model and computes its vertex normals. On failure the model is left
// as it was and the result carries "Unable to find the file: <path>!" or
// "Unable to load PRIMARY chuck from file: <path>!". Malformed chunks inside a valid primary
// chunk never fail the load: what lies outside a chunk, a list or the file is not read.
SceneLoadResult LoadSceneModel(SceneModel& model, const std::string& path);

// The same on bytes already in memory; name stands in for the path in the failure text.
SceneLoadResult LoadSceneModelFromBytes(SceneModel& model, std::span<const std::uint8_t> bytes,
                                        const std::string& name);

// One smoothed normal per vertex: the negated mean of the (unnormalised) face vectors
// (P - R) x (R - Q) of the faces using it, normalised.
void ComputeVertexNormals(SceneModel& model);

} // namespace orvanta::view3d
