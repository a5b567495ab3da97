// The .lmd reader and writer: what is written reads back unchanged, and every kind of
// malformed file is refused with an error that names the problem.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "LmdModel.h"
#include "TestModels.h"

namespace {

using namespace Lumora::Internal;
using ModelTests::MakeSmallModel;

LmdError ErrorOf(const std::vector<std::uint8_t>& bytes) {
    return ParseLmd(bytes).error;
}

// Writes `model` without checking it first: how a faulty file reaches the reader.
std::vector<std::uint8_t> WriteUnchecked(const LmdModel& model) {
    return WriteLmd(model);
}

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

TEST(LmdFormat, RoundTripKeepsEveryField) {
    const LmdModel model = MakeSmallModel();
    const LmdParseResult parsed = ParseLmd(WriteLmd(model));
    ASSERT_TRUE(parsed.model) << parsed.message;
    EXPECT_EQ(parsed.error, LmdError::None);
    EXPECT_EQ(*parsed.model, model);
}

TEST(LmdFormat, VerticesWithoutOptionalChannelsReadBackWithDefaults) {
    LmdModel model = MakeSmallModel();
    model.meshes[0].vertexFormat = 0;
    const LmdParseResult parsed = ParseLmd(WriteLmd(model));
    ASSERT_TRUE(parsed.model) << parsed.message;
    const LmdVertex& vertex = parsed.model->meshes[0].vertices[4];
    EXPECT_EQ(vertex.texCoord, (std::array<float, 2>{0.0f, 0.0f}));
    EXPECT_EQ(vertex.color, (std::array<std::uint8_t, 4>{255, 255, 255, 255}));
    EXPECT_EQ(vertex.bone, 1);
    // Each vertex is 12 bytes shorter: no texture coordinate pair, no colour.
    EXPECT_EQ(WriteLmd(MakeSmallModel()).size() - WriteLmd(model).size(), 6u * 12u);
}

TEST(LmdFormat, AnimationsAreAddressedByIndexAndMissingOnesHaveLengthZero) {
    LmdModel model = MakeSmallModel();
    LmdAnimation extra = model.animations[0];
    extra.index = 1;
    extra.length = 7.5f;
    model.animations.push_back(extra);
    const LmdParseResult parsed = ParseLmd(WriteLmd(model));
    ASSERT_TRUE(parsed.model) << parsed.message;
    EXPECT_FLOAT_EQ(parsed.model->GetAnimationLength(3), 20.0f);
    EXPECT_FLOAT_EQ(parsed.model->GetAnimationLength(1), 7.5f);
    EXPECT_FLOAT_EQ(parsed.model->GetAnimationLength(0), 0.0f);
    EXPECT_FLOAT_EQ(parsed.model->GetAnimationLength(-1), 0.0f);
    EXPECT_FLOAT_EQ(parsed.model->GetAnimationLength(1LL << 40), 0.0f);
    // Stored sorted by index whatever order they were written in.
    EXPECT_EQ(parsed.model->animations.front().index, 1u);
}

TEST(LmdFormat, RotationsAreNormalisedOnReading) {
    LmdModel model = MakeSmallModel();
    model.bones[1].bind.rotation = {0.0f, 2.0f, 0.0f, 0.0f};
    const LmdParseResult parsed = ParseLmd(WriteUnchecked(model));
    ASSERT_TRUE(parsed.model) << parsed.message;
    EXPECT_FLOAT_EQ(parsed.model->bones[1].bind.rotation.y, 1.0f);
}

TEST(LmdFormat, BoneOrderPutsParentsFirstWhateverTheStoredOrder) {
    LmdModel model = MakeSmallModel();
    // Stored child first: bone 0's parent is bone 2, whose parent is bone 1 (a root).
    model.bones.resize(3);
    model.bones[0].parent = 2;
    model.bones[1].parent = -1;
    model.bones[2].parent = 1;
    const LmdParseResult parsed = ParseLmd(WriteUnchecked(model));
    ASSERT_TRUE(parsed.model) << parsed.message;
    EXPECT_EQ(parsed.model->boneOrder, (std::vector<std::uint32_t>{1, 2, 0}));
}

TEST(LmdFormat, EveryTruncationIsRefusedAsTruncated) {
    const std::vector<std::uint8_t> bytes = WriteLmd(MakeSmallModel());
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        const std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
        const LmdParseResult parsed = ParseLmd(prefix);
        EXPECT_FALSE(parsed.model) << "prefix of " << size << " bytes";
        EXPECT_EQ(parsed.error, LmdError::Truncated) << "prefix of " << size << " bytes";
    }
}

TEST(LmdFormat, HeaderFaultsAreRefused) {
    const std::vector<std::uint8_t> good = WriteLmd(MakeSmallModel());

    std::vector<std::uint8_t> bytes = good;
    bytes[0] = 'X';
    EXPECT_EQ(ErrorOf(bytes), LmdError::BadMagic);

    bytes = good;
    bytes[4] = 2;
    EXPECT_EQ(ErrorOf(bytes), LmdError::UnsupportedVersion);

    bytes = good;
    bytes.push_back(0);
    const LmdParseResult trailing = ParseLmd(bytes);
    EXPECT_EQ(trailing.error, LmdError::TrailingData);
    EXPECT_NE(trailing.message.find(std::to_string(good.size())), std::string::npos) << trailing.message;

    bytes = good;
    PutU32(bytes, 8, kLmdMaxBones + 1);  // bone count
    EXPECT_EQ(ErrorOf(bytes), LmdError::TooManyItems);

    bytes = good;
    PutU32(bytes, 12, 0xFFFFFFFFu);  // mesh count
    EXPECT_EQ(ErrorOf(bytes), LmdError::TooManyItems);

    bytes = good;
    PutU32(bytes, 8, 40);  // forty bones promised, two present
    EXPECT_EQ(ErrorOf(bytes), LmdError::Truncated);
}

TEST(LmdFormat, CountsBeyondTheFileAreRefusedBeforeAllocating) {
    // The last record of a model without animations is the last triangle group:
    // material (4 bytes), index count (4), then the indices.
    LmdModel model = MakeSmallModel();
    model.animations.clear();
    const std::vector<std::uint8_t> good = WriteLmd(model);
    const std::size_t lastGroup = good.size() - 4 * 3 - 8;

    std::vector<std::uint8_t> bytes = good;
    PutU32(bytes, lastGroup + 4, 0x7FFFFFFFu);
    EXPECT_EQ(ErrorOf(bytes), LmdError::Truncated);

    bytes = good;
    PutU32(bytes, lastGroup, 2);  // the mesh has materials 0 and 1 only
    const LmdParseResult parsed = ParseLmd(bytes);
    EXPECT_EQ(parsed.error, LmdError::MaterialIndexOutOfRange);
    EXPECT_NE(parsed.message.find("mesh 0"), std::string::npos) << parsed.message;
}

TEST(LmdFormat, IndicesOutOfRangeAreRefused) {
    LmdModel model = MakeSmallModel();
    model.meshes[0].vertices[2].bone = 2;
    LmdParseResult parsed = ParseLmd(WriteUnchecked(model));
    EXPECT_EQ(parsed.error, LmdError::BoneIndexOutOfRange);
    EXPECT_NE(parsed.message.find("vertex 2"), std::string::npos) << parsed.message;

    model = MakeSmallModel();
    model.bones[1].parent = 7;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::BoneIndexOutOfRange);

    model = MakeSmallModel();
    model.bones[1].parent = -2;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::BoneIndexOutOfRange);

    model = MakeSmallModel();
    model.animations[0].tracks[0].bone = 2;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::BoneIndexOutOfRange);

    model = MakeSmallModel();
    model.meshes[0].triangles[1][2] = 6;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::VertexIndexOutOfRange);

    model = MakeSmallModel();
    model.meshes[0].triangles[1].push_back(0);
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::BadTriangleList);

    model = MakeSmallModel();
    model.meshes[0].vertexFormat |= 4;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::BadVertexFormat);
}

TEST(LmdFormat, ModelsWithoutBonesDrawUnskinnedWithBoneZeroOnly) {
    LmdModel model = MakeSmallModel();
    model.bones.clear();
    model.animations.clear();
    for (LmdVertex& vertex : model.meshes[0].vertices) {
        vertex.bone = 0;
    }
    EXPECT_TRUE(ParseLmd(WriteUnchecked(model)).model);
    model.meshes[0].vertices[0].bone = 1;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::BoneIndexOutOfRange);
}

TEST(LmdFormat, ParentCyclesAreRefused) {
    LmdModel model = MakeSmallModel();
    model.bones[1].parent = 1;  // its own parent
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::ParentCycle);

    model = MakeSmallModel();
    model.bones[0].parent = 1;  // 0 -> 1 -> 0
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::ParentCycle);

    // A cycle that hangs off a healthy chain: 0 root, 1 -> 0, 2 -> 3 -> 2.
    model = MakeSmallModel();
    model.bones.resize(4);
    model.bones[2].parent = 3;
    model.bones[3].parent = 2;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::ParentCycle);
}

TEST(LmdFormat, NonFiniteAndAbsurdNumbersAreRefused) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();

    LmdModel model = MakeSmallModel();
    model.meshes[0].vertices[1].position.y = nan;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::NonFiniteNumber);

    model = MakeSmallModel();
    model.meshes[0].vertices[1].texCoord[1] = infinity;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::NonFiniteNumber);

    model = MakeSmallModel();
    model.meshes[0].materials[1].color[3] = nan;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::NonFiniteNumber);

    model = MakeSmallModel();
    model.bones[0].bind.scale.x = 1.0e30f;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::NonFiniteNumber);

    model = MakeSmallModel();
    model.animations[0].tracks[0].keys[1].transform.rotation.w = -infinity;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::NonFiniteNumber);

    model = MakeSmallModel();
    model.animations[0].length = nan;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::NonFiniteNumber);
}

TEST(LmdFormat, AnimationFaultsAreRefused) {
    LmdModel model = MakeSmallModel();
    model.animations[0].tracks[0].keys[1].transform.rotation = {0.0f, 0.0f, 0.0f, 0.0f};
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::BadQuaternion);

    model = MakeSmallModel();
    model.animations[0].tracks[0].keys[1].frame = 0.0f;  // same frame twice
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::BadKeyOrder);

    model = MakeSmallModel();
    model.animations[0].tracks[0].keys[0].frame = -1.0f;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::BadKeyOrder);

    model = MakeSmallModel();
    model.animations[0].length = -1.0f;
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::BadAnimation);

    model = MakeSmallModel();
    model.animations.push_back(model.animations[0]);  // index 3 twice
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::BadAnimation);

    model = MakeSmallModel();
    model.animations[0].tracks.push_back(model.animations[0].tracks[0]);  // bone 1 twice
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::BadAnimation);

    model = MakeSmallModel();
    model.animations[0].tracks[0].keys.clear();
    EXPECT_EQ(ErrorOf(WriteUnchecked(model)), LmdError::BadAnimation);
}

TEST(LmdFormat, EveryErrorHasItsOwnDescription) {
    std::vector<std::string> seen;
    for (int e = static_cast<int>(LmdError::None); e <= static_cast<int>(LmdError::BadAnimation); ++e) {
        const std::string text = DescribeLmdError(static_cast<LmdError>(e));
        EXPECT_EQ(std::find(seen.begin(), seen.end(), text), seen.end()) << text;
        seen.push_back(text);
    }
}

}  // namespace
