// Regression tests of the faults fuzzing found, and of the simulator's fault
// switches. Each fuzz finding also stays in fuzz/corpus/<target>/regress-*.
#include "devsim/DeviceBehaviour.h"
#include "devsim/DeviceFrame.h"
#include "devsim/SensorGenerator.h"
#include "headless/HeadlessOptions.h"
#include "view3d/SceneModelLoader.h"
#include "view3d/ThreeDsWriter.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace orvanta::hardening {
namespace {

// fuzz_headless_args: a second --model with an unknown name was accepted, the first one's
// model kept ("--model VN300 --model V\x0e300" gave VN300).
TEST(HeadlessArgsRegression, ALaterUnknownModelIsRefused) {
    using headless::ParseHeadlessArgs;
    EXPECT_FALSE(ParseHeadlessArgs({"--headless", "--model", "VN300", "--model",
                                    "V\x0e"
                                    "300"})
                     .options);
    EXPECT_FALSE(ParseHeadlessArgs({"--headless", "--model", "VN300", "--model", ""}).options);
    const auto last = ParseHeadlessArgs({"--headless", "--model", "VN300", "--model", "VK100"});
    ASSERT_TRUE(last.options);
    EXPECT_EQ(*last.options->model, 0);
}

// One triangle object with the given corners.
std::vector<std::uint8_t> TriangleFile(const std::array<float, 9>& corners) {
    using namespace view3d;
    ThreeDsWriter w;
    w.Begin(chunk::kPrimary);
    w.Begin(chunk::kEditor);
    w.Begin(chunk::kNamedObject);
    w.Text("T");
    w.Begin(chunk::kTriangleMesh);
    w.Begin(chunk::kVertexList);
    w.U16(3);
    for (float f : corners) {
        w.F32(f);
    }
    w.End();
    w.Begin(chunk::kFaceList);
    w.U16(1);
    w.U16(0);
    w.U16(1);
    w.U16(2);
    w.U16(0);
    w.End();
    w.End();
    w.End();
    w.End();
    w.End();
    return w.Bytes();
}

// fuzz_scene_loader: vertices far from the origin overflowed the float cross product to
// infinity and the normals to NaN; NaN vertices gave NaN normals. Normals are now summed
// in double and a normal without a direction stays zero.
TEST(SceneLoaderRegression, NormalsStayFiniteForHugeAndNanVertices) {
    using namespace view3d;
    const float big = 3.0e38f;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const auto& corners : {std::array<float, 9>{-big, 0, 0, big, 0, 0, 0, big, 0},
                                std::array<float, 9>{0, 0, 0, nan, 0, 0, 0, 1, 0},
                                std::array<float, 9>{0, 0, 0, inf, 0, 0, 0, 1, 0}}) {
        SceneModel model;
        ASSERT_TRUE(LoadSceneModelFromBytes(model, TriangleFile(corners), "t.3ds"));
        ASSERT_EQ(model.objects.size(), 1u);
        ASSERT_EQ(model.objects[0].normals.size(), 3u);
        for (const Vec3& n : model.objects[0].normals) {
            EXPECT_TRUE(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
        }
    }
    // The huge triangle lies in the x-y plane of the file: its normal is a unit vector.
    SceneModel model;
    ASSERT_TRUE(
        LoadSceneModelFromBytes(model, TriangleFile({-big, 0, 0, big, 0, 0, 0, big, 0}), "t.3ds"));
    const Vec3 n = model.objects[0].normals[0];
    EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0, 1e-5);
    // An ordinary triangle keeps the normal it always had.
    ASSERT_TRUE(LoadSceneModelFromBytes(model, TriangleFile({0, 0, 0, 1, 0, 0, 0, 1, 0}), "t.3ds"));
    const Vec3 small = model.objects[0].normals[1];
    EXPECT_FLOAT_EQ(small.x, 0.0f);
    EXPECT_FLOAT_EQ(std::abs(small.y), 1.0f);
    EXPECT_FLOAT_EQ(small.z, 0.0f);
}

// The simulator's setting answers for fault injection.
TEST(DevsimFaultSwitches, SettingsRejectedOrUnanswered) {
    using namespace devsim;
    const SensorGenerator generator(1);
    const SensorSample sample = generator.Sample(0, std::chrono::system_clock::now(), 9.8f, 0);
    const ParsedCommand setMode{0x53, {0, 1, 2}};
    const ParsedCommand query{0x51, {}};
    const ParsedCommand poll{0x56, {}};

    DeviceBehaviour rejecting(Model::VK100, PowerUpSettings(Model::VK100, 115200, 0),
                              SettingAnswer::Reject);
    const auto rejected = rejecting.Handle(setMode, sample);
    ASSERT_EQ(rejected.size(), 1u);
    EXPECT_EQ(rejected[0].frame, BuildDeviceFrame(0x01, std::vector<std::uint8_t>{9}));
    EXPECT_FALSE(rejecting.settings().autoOutput);
    EXPECT_EQ(rejecting.Handle(query, sample).size(), 1u);

    DeviceBehaviour mute(Model::VK100, PowerUpSettings(Model::VK100, 115200, 0),
                         SettingAnswer::Mute);
    EXPECT_TRUE(mute.Handle(setMode, sample).empty());
    EXPECT_TRUE(mute.Handle(ParsedCommand{0x24, {}}, sample).empty());
    ASSERT_EQ(mute.Handle(poll, sample).size(), 1u);
    EXPECT_TRUE(mute.Handle(poll, sample)[0].isData);
    for (std::uint8_t code : {0x12, 0x24, 0x40, 0x50, 0x53, 0x70, 0xB1}) {
        EXPECT_TRUE(IsSettingCommand(code)) << int{code};
    }
    for (std::uint8_t code : {0x41, 0x51, 0x56, 0x58, 0xB2}) {
        EXPECT_FALSE(IsSettingCommand(code)) << int{code};
    }
}

} // namespace
} // namespace orvanta::hardening
