// Posing loaded models: bone palettes at and between key frames, frames outside the
// length, hierarchies, bounds for culling, and the shader options of materials.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ModelPose.h"
#include "TestModels.h"

namespace {

using namespace Lumora::Internal;
using Lumora::ModelShaderOptions;
using ModelTests::MakeSmallModel;
using ModelTests::RotationAboutY;

void ExpectNear(const LmdVector3& actual, const LmdVector3& expected, float tolerance = 1.0e-4f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// Where the palette puts a bind-pose point that follows `bone`.
LmdVector3 Posed(const LmdModel& model, std::int64_t animation, float frame, std::uint32_t bone, LmdVector3 point) {
    std::vector<Matrix4> palette(model.bones.size());
    ComputeBonePalette(model, animation, frame, palette);
    return palette[bone].TransformPoint(point);
}

// A root and a child at (0, 5, 0); animation 0 turns the child about Y from 0 at frame 0
// to 90° at frame 30 (length 30).
LmdModel MakeTurningModel() {
    LmdModel model = MakeSmallModel();
    LmdAnimation turn;
    turn.index = 0;
    turn.length = 30.0f;
    LmdTrack track;
    track.bone = 1;
    LmdKey a;
    a.transform.translation = {0.0f, 5.0f, 0.0f};
    LmdKey b = a;
    b.frame = 30.0f;
    b.transform.rotation = RotationAboutY(90.0f);
    track.keys = {a, b};
    turn.tracks = {track};
    model.animations.push_back(turn);
    FinishLmdModel(model);
    return model;
}

TEST(BonePalette, KeyFramesGiveTheirPosesAndFramesBetweenInterpolate) {
    const LmdModel model = MakeSmallModel();  // child moves x 0 -> 10 over frames 0..10
    const LmdVector3 vertex{1.0f, 5.0f, -1.0f};
    ExpectNear(Posed(model, 3, 0.0f, 1, vertex), {1.0f, 5.0f, -1.0f});
    ExpectNear(Posed(model, 3, 10.0f, 1, vertex), {11.0f, 5.0f, -1.0f});
    ExpectNear(Posed(model, 3, 2.5f, 1, vertex), {3.5f, 5.0f, -1.0f});
    // After the last key (frame 10) the pose holds until the length (20).
    ExpectNear(Posed(model, 3, 15.0f, 1, vertex), {11.0f, 5.0f, -1.0f});
    // The root has no track: it stays in its bind pose.
    ExpectNear(Posed(model, 3, 5.0f, 0, vertex), vertex);
}

TEST(BonePalette, FramesOutsideTheLengthClamp) {
    LmdModel model = MakeSmallModel();
    model.animations[0].length = 5.0f;  // keys run to 10, the animation stops at 5
    const LmdVector3 vertex{0.0f, 5.0f, 0.0f};
    ExpectNear(Posed(model, 3, 5.0f, 1, vertex), {5.0f, 5.0f, 0.0f});
    ExpectNear(Posed(model, 3, 6.0f, 1, vertex), {5.0f, 5.0f, 0.0f});
    ExpectNear(Posed(model, 3, 1.0e9f, 1, vertex), {5.0f, 5.0f, 0.0f});
    ExpectNear(Posed(model, 3, -3.0f, 1, vertex), {0.0f, 5.0f, 0.0f});
    ExpectNear(Posed(model, 3, std::numeric_limits<float>::quiet_NaN(), 1, vertex), {0.0f, 5.0f, 0.0f});
    ExpectNear(Posed(model, 3, std::numeric_limits<float>::infinity(), 1, vertex), {5.0f, 5.0f, 0.0f});
}

TEST(BonePalette, AnIndexWithoutDataPlaysTheBindPose) {
    const LmdModel model = MakeSmallModel();
    for (std::int64_t index : {-1LL, 0LL, 2LL, 4LL, 1000000LL}) {
        std::vector<Matrix4> palette(model.bones.size());
        palette[1].m[12] = 99.0f;  // a stale value that must be overwritten
        ComputeBonePalette(model, index, 7.0f, palette);
        for (const Matrix4& matrix : palette) {
            EXPECT_EQ(matrix.m, Matrix4{}.m) << "animation " << index;
        }
    }
}

TEST(BonePalette, RotationsTurnAboutTheBonePivotAlongTheShorterArc) {
    const LmdModel model = MakeTurningModel();
    // A point one unit towards -Z from the child's pivot (0, 5, 0). Turning about +Y by
    // 90° takes -Z to -X: the convention the puzzle's facing angles rely on.
    const LmdVector3 front{0.0f, 5.0f, -1.0f};
    ExpectNear(Posed(model, 0, 30.0f, 1, front), {-1.0f, 5.0f, 0.0f});
    const float s = std::sqrt(0.5f);
    ExpectNear(Posed(model, 0, 15.0f, 1, front), {-s, 5.0f, -s});
    // One third of the way is 30°, not a straight-line blend of the end points.
    ExpectNear(Posed(model, 0, 10.0f, 1, front), {-0.5f, 5.0f, -std::sqrt(0.75f)});

    // Slerp between q and a rotation stored with the opposite sign goes the short way.
    const LmdQuaternion a = RotationAboutY(10.0f);
    LmdQuaternion b = RotationAboutY(30.0f);
    b = {-b.x, -b.y, -b.z, -b.w};
    const LmdQuaternion half = Slerp(a, b, 0.5f);
    const LmdQuaternion expected = RotationAboutY(20.0f);
    EXPECT_NEAR(std::fabs(half.y * expected.y + half.w * expected.w), 1.0f, 1.0e-5f);
}

TEST(BonePalette, ChildrenFollowTheirParents) {
    // Root turns 90° about Y at frame 10; the child at (0, 5, 0) has no track of its own.
    LmdModel model = MakeSmallModel();
    model.animations[0].tracks[0].bone = 0;
    model.animations[0].tracks[0].keys[0].transform = {};
    model.animations[0].tracks[0].keys[1].transform = {};
    model.animations[0].tracks[0].keys[1].transform.rotation = RotationAboutY(90.0f);
    ASSERT_EQ(FinishLmdModel(model), LmdError::None);
    ExpectNear(Posed(model, 3, 10.0f, 1, {0.0f, 6.0f, -2.0f}), {-2.0f, 6.0f, 0.0f});
}

TEST(BonePalette, BindPoseIsIdentityWhateverTheBindTransforms) {
    LmdModel model = MakeTurningModel();
    model.bones[0].bind.translation = {3.0f, 1.0f, -2.0f};
    model.bones[0].bind.rotation = RotationAboutY(40.0f);
    model.bones[0].bind.scale = {2.0f, 1.0f, 0.5f};
    model.bones[1].bind.rotation = RotationAboutY(-70.0f);
    ASSERT_EQ(FinishLmdModel(model), LmdError::None);
    // An animation whose keys repeat the bind transforms leaves every vertex in place.
    LmdAnimation still;
    still.index = 9;
    still.length = 1.0f;
    for (std::uint32_t b = 0; b < 2; ++b) {
        LmdTrack track;
        track.bone = b;
        track.keys = {{0.0f, model.bones[b].bind}};
        still.tracks.push_back(track);
    }
    model.animations.push_back(still);
    ASSERT_EQ(FinishLmdModel(model), LmdError::None);
    for (std::uint32_t bone = 0; bone < 2; ++bone) {
        ExpectNear(Posed(model, 9, 0.5f, bone, {1.0f, 2.0f, 3.0f}), {1.0f, 2.0f, 3.0f});
    }
}

TEST(BonePalette, ScaleZeroCollapsesOntoThePivot) {
    LmdModel model = MakeSmallModel();
    model.animations[0].tracks[0].keys[1].transform.scale = {0.0f, 0.0f, 0.0f};
    ASSERT_EQ(FinishLmdModel(model), LmdError::None);
    ExpectNear(Posed(model, 3, 10.0f, 1, {3.0f, 8.0f, -4.0f}), {10.0f, 5.0f, 0.0f});
}

TEST(ModelBounds, MeshBoundsHoldEveryDrawnVertex) {
    LmdModel model = MakeSmallModel();
    LmdVertex unused;
    unused.position = {100.0f, 0.0f, 0.0f};  // named by no triangle
    model.meshes[0].vertices.push_back(unused);
    const ModelBounds bounds = ComputeMeshBounds(model.meshes[0]);
    ASSERT_FALSE(bounds.empty);
    ExpectNear(bounds.minimum, {0.0f, 0.0f, -1.0f});
    ExpectNear(bounds.maximum, {2.0f, 5.0f, -1.0f});
    for (std::size_t v = 0; v < 6; ++v) {
        const LmdVector3 p = model.meshes[0].vertices[v].position;
        const float dx = p.x - bounds.center.x, dy = p.y - bounds.center.y, dz = p.z - bounds.center.z;
        EXPECT_LE(std::sqrt(dx * dx + dy * dy + dz * dz), bounds.radius + 1.0e-4f);
    }
    EXPECT_TRUE(ComputeMeshBounds(LmdMesh{}).empty);
}

TEST(ModelBounds, AnimatedBoundsCoverEveryPose) {
    const LmdModel model = MakeSmallModel();  // the child's vertices travel 10 units along +X
    const ModelBounds bounds = ComputeAnimatedMeshBounds(model, 0);
    ExpectNear(bounds.minimum, {0.0f, 0.0f, -1.0f});
    ExpectNear(bounds.maximum, {12.0f, 5.0f, -1.0f});
    EXPECT_TRUE(ComputeAnimatedMeshBounds(model, 1).empty);
}

TEST(ShaderOptions, FollowTheMeshAndTheMaterial) {
    LmdModel model = MakeSmallModel();
    // Material 0: textured with texture coordinates, vertex colours, lit, fogged, opaque.
    ModelShaderOptions options = MaterialShaderOptions(model, 0, 0);
    EXPECT_EQ(options.skinned, 1);
    EXPECT_EQ(options.textured, 1);
    EXPECT_EQ(options.vertexColor, 1);
    EXPECT_EQ(options.lit, 1);
    EXPECT_EQ(options.ambient, 1);
    EXPECT_EQ(options.fog, 1);
    EXPECT_EQ(options.transparent, 0);
    EXPECT_EQ(MaterialShaderOptions(model, 0, 0, true).transparent, 1);

    // Material 1: untextured, transparent, outside the fog.
    options = MaterialShaderOptions(model, 0, 1);
    EXPECT_EQ(options.textured, 0);
    EXPECT_EQ(options.fog, 0);
    EXPECT_EQ(options.transparent, 1);

    // A texture name without texture coordinates cannot be sampled.
    model.meshes[0].vertexFormat = 0;
    options = MaterialShaderOptions(model, 0, 0);
    EXPECT_EQ(options.textured, 0);
    EXPECT_EQ(options.vertexColor, 0);

    // Unlit: neither the light nor the ambient term, drawn at full brightness.
    model.meshes[0].materials[0].flags = kLmdMaterialUnlit;
    options = MaterialShaderOptions(model, 0, 0);
    EXPECT_EQ(options.lit, 0);
    EXPECT_EQ(options.ambient, 0);

    // Without any animation track the vertices need no palette.
    model.animations.clear();
    EXPECT_EQ(MaterialShaderOptions(model, 0, 0).skinned, 0);

    // Out-of-range requests give the all-off record, never a read past the model.
    options = MaterialShaderOptions(model, 0, 2);
    EXPECT_EQ(options.lit + options.fog + options.skinned, 0);
    options = MaterialShaderOptions(model, 1, 0);
    EXPECT_EQ(options.lit + options.fog + options.skinned, 0);
}

}  // namespace
