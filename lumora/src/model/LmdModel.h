// LmdModel.h: the engine's model format (.lmd), its reader and its writer.
//
// A .lmd file holds meshes (materials, vertices, triangles per material), a bone hierarchy
// for rigid skinning and keyframed animations addressed by index. The layout is written
// down byte by byte in docs/MODELS.md.
//
// This module only reads and writes bytes: it opens no file and touches no GPU. The core's
// IModel feeds it the bytes of a file and uploads what it returns; the model generator
// (tools/modelgen) writes its files through WriteLmd. Posing (bone palettes), bounds and
// shader options live in ModelPose.h.
//
// Use:
//   LmdParseResult parsed = ParseLmd(bytes);           // bytes of the whole .lmd file
//   if (!parsed.model) report parsed.message with the file name;
//
// Units: positions in world units (a board cell is 20 units wide), the model standing on
// y = 0 with its front towards -Z; colours linear 0..1; animation frames are drawn frames
// at 60 per second. Ownership: LmdModel is a plain value holding its own copies.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace Lumora::Internal {

// File magic "LMDL" and the one version this reader understands.
inline constexpr std::uint8_t kLmdMagic[4] = {'L', 'M', 'D', 'L'};
inline constexpr std::uint16_t kLmdVersion = 1;

// Bounds beyond which a file is refused. The bone bound is the shader's palette size, so
// every bone of a loaded model can be drawn.
inline constexpr std::uint32_t kLmdMaxBones = 48;
inline constexpr std::uint32_t kLmdMaxMeshes = 256;
inline constexpr std::uint32_t kLmdMaxMaterialsPerMesh = 256;
inline constexpr std::uint32_t kLmdMaxAnimationIndex = 1023;
inline constexpr std::size_t kLmdMaxNameLength = 255;  // bytes, for mesh/bone/texture names
// Coordinates, frames and lengths beyond this magnitude are refused as absurd.
inline constexpr float kLmdMaxMagnitude = 1.0e6f;

// Vertex format flags of a mesh.
inline constexpr std::uint32_t kLmdVertexHasTexCoord = 1u << 0;
inline constexpr std::uint32_t kLmdVertexHasColor = 1u << 1;

// Material flags.
inline constexpr std::uint8_t kLmdMaterialTransparent = 1u << 0;  // drawn blended, after opaque
inline constexpr std::uint8_t kLmdMaterialUnlit = 1u << 1;        // full brightness, no light
inline constexpr std::uint8_t kLmdMaterialNoFog = 1u << 2;        // untouched by distance fog

struct LmdVector3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    bool operator==(const LmdVector3&) const = default;
};

// A unit quaternion (x, y, z, w); identity is (0, 0, 0, 1).
struct LmdQuaternion {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;
    bool operator==(const LmdQuaternion&) const = default;
};

// A local transform: scale first, then rotation, then translation, relative to the parent.
struct LmdTransform {
    LmdVector3 translation;
    LmdQuaternion rotation;
    LmdVector3 scale{1.0f, 1.0f, 1.0f};
    bool operator==(const LmdTransform&) const = default;
};

struct LmdMaterial {
    std::array<float, 4> color{1.0f, 1.0f, 1.0f, 1.0f};  // RGBA 0..1, multiplies everything
    std::uint8_t flags = 0;                               // kLmdMaterial* bits
    std::string textureName;                              // empty = untextured
    bool operator==(const LmdMaterial&) const = default;
};

struct LmdVertex {
    LmdVector3 position;                           // model space, bind pose
    LmdVector3 normal;                             // model space, unit length
    std::array<float, 2> texCoord{0.0f, 0.0f};     // stored when the mesh has kLmdVertexHasTexCoord
    std::array<std::uint8_t, 4> color{255, 255, 255, 255};  // stored with kLmdVertexHasColor
    std::uint16_t bone = 0;                        // the one bone this vertex follows
    bool operator==(const LmdVertex&) const = default;
};

struct LmdMesh {
    std::string name;
    std::uint32_t vertexFormat = 0;  // kLmdVertex* bits
    std::vector<LmdMaterial> materials;
    std::vector<LmdVertex> vertices;
    // Triangle corner indices into `vertices`, three per triangle, one list per material
    // (same length as `materials`); counter-clockwise seen from outside.
    std::vector<std::vector<std::uint32_t>> triangles;
    bool operator==(const LmdMesh&) const = default;
};

struct LmdBone {
    std::string name;
    std::int32_t parent = -1;  // index of the parent bone, -1 for a root
    LmdTransform bind;         // local transform in the bind pose
    bool operator==(const LmdBone&) const = default;
};

struct LmdKey {
    float frame = 0.0f;        // drawn frames from the animation's start
    LmdTransform transform;    // the bone's local transform at that frame (replaces the bind)
    bool operator==(const LmdKey&) const = default;
};

struct LmdTrack {
    std::uint32_t bone = 0;
    std::vector<LmdKey> keys;  // frames strictly increasing
    bool operator==(const LmdTrack&) const = default;
};

struct LmdAnimation {
    std::uint32_t index = 0;   // the number SetAnimation and GetAnimationLength take
    float length = 0.0f;       // in drawn frames
    std::vector<LmdTrack> tracks;  // bones without a track keep their bind transform
    bool operator==(const LmdAnimation&) const = default;
};

struct LmdModel {
    std::vector<LmdMesh> meshes;
    std::vector<LmdBone> bones;
    std::vector<LmdAnimation> animations;  // sorted by index, indices unique
    // Bones ordered so that every parent comes before its children (filled by ParseLmd
    // and by FinishLmdModel).
    std::vector<std::uint32_t> boneOrder;

    // The animation stored under `index`, or null when the model has none there.
    const LmdAnimation* FindAnimation(std::int64_t index) const;
    // Length in frames of animation `index`; 0 for an index without data.
    float GetAnimationLength(std::int64_t index) const;

    bool operator==(const LmdModel&) const = default;
};

enum class LmdError {
    None,
    Truncated,             // a count or a record runs past the end of the file
    BadMagic,
    UnsupportedVersion,
    TrailingData,          // bytes after the last record
    TooManyItems,          // a count beyond the format's bounds
    NameTooLong,
    NonFiniteNumber,       // NaN, infinity, or a magnitude beyond kLmdMaxMagnitude
    BadVertexFormat,       // unknown vertex format bits
    BoneIndexOutOfRange,   // a vertex, track or parent names a bone that does not exist
    ParentCycle,           // following parents from some bone never reaches a root
    MaterialIndexOutOfRange,  // a triangle group names a material that does not exist
    VertexIndexOutOfRange, // a triangle corner names a vertex that does not exist
    BadTriangleList,       // an index count that is not a multiple of three
    BadQuaternion,         // a rotation of zero length
    BadKeyOrder,           // key frames negative or not strictly increasing
    BadAnimation,          // a negative length, or an index used twice or beyond the bound
};

// A short English description of `error`, for messages such as
// "nuiko.lmd: parent cycle in the bone hierarchy".
const char* DescribeLmdError(LmdError error);

struct LmdParseResult {
    std::optional<LmdModel> model;  // empty when the file was refused
    LmdError error = LmdError::None;
    std::string message;  // the description plus where it happened, e.g. "mesh 0, vertex 12"
};

// Reads a whole .lmd file. Never reads outside `bytes`, never allocates more than the file
// could describe; refuses any file that breaks a rule of docs/MODELS.md. Quaternions are
// normalised on reading.
LmdParseResult ParseLmd(std::span<const std::uint8_t> bytes);

// Checks an in-memory model against the same rules ParseLmd applies, and fills its
// `boneOrder`. The writer's callers use it so that a generator never writes a file the
// reader would refuse.
LmdError FinishLmdModel(LmdModel& model, std::string* where = nullptr);

// Serialises `model` (which FinishLmdModel accepted) into the bytes of a .lmd file.
std::vector<std::uint8_t> WriteLmd(const LmdModel& model);

}  // namespace Lumora::Internal
