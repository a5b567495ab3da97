// ModelPose.h: what the renderer needs from a loaded .lmd model besides its vertices:
// the bone palette for an (animation, frame) pair, bounds for culling, and the shader
// options of each material.
//
// Posing: every bone's local transform at a frame is interpolated from its track's keys
// (translation and scale linearly, rotation by spherical interpolation along the shorter
// arc); a bone without a track keeps its bind transform. The palette entry of a bone maps
// a bind-pose model-space vertex to its posed model-space place:
//   palette[b] = posedWorld(b) * inverse(bindWorld(b)),
// so the bind pose gives identity matrices.
//
// Frames: a frame below 0 (or NaN) samples frame 0; a frame beyond the animation's length
// holds the pose at the length (clamping, not looping). The game restarts its clocks itself
// once a clock passes the length, and the leaving frog must stay gone in the one frame it is
// still drawn after its length. An animation index without data samples the bind pose.
//
// Matrices are column-major 4x4 floats, as glUniformMatrix4fv takes them with transpose off.
// Nothing here allocates once a palette span of the model's bone count is given.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include <Lumora/ModelShader.h>

#include "LmdModel.h"

namespace Lumora::Internal {

// Column-major: element (row r, column c) is m[c * 4 + r].
struct Matrix4 {
    std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    static Matrix4 FromTransform(const LmdTransform& transform);
    Matrix4 operator*(const Matrix4& other) const;
    LmdVector3 TransformPoint(const LmdVector3& point) const;
    LmdVector3 TransformDirection(const LmdVector3& direction) const;
    // Inverse of an affine matrix (bottom row 0 0 0 1); identity when it is singular.
    Matrix4 InverseAffine() const;
};

// Interpolated local transform of one track at `frame` (clamped to its first and last key).
LmdTransform SampleTrack(const LmdTrack& track, float frame);

// Spherical interpolation between unit quaternions along the shorter arc; `t` in 0..1.
LmdQuaternion Slerp(const LmdQuaternion& a, const LmdQuaternion& b, float t);

// Model-space bind transform of every bone (parents applied), indexed by bone.
void ComputeBindWorld(const LmdModel& model, std::span<Matrix4> world);

// Fills `palette` (at least model.bones.size() entries; extra entries are left alone) for
// animation `animation` at `frame`. See the top of this file for frames outside the length.
void ComputeBonePalette(const LmdModel& model, std::int64_t animation, float frame,
                        std::span<Matrix4> palette);

// An axis-aligned box and a sphere around it, in model space.
struct ModelBounds {
    LmdVector3 minimum;
    LmdVector3 maximum;
    LmdVector3 center;
    float radius = 0.0f;
    bool empty = true;  // true for a mesh without triangles
};

// Bounds of a mesh's vertices in the bind pose.
ModelBounds ComputeMeshBounds(const LmdMesh& mesh);

// Bounds of a mesh over every animation the model has, sampled at every whole frame (at
// 240 evenly spaced frames for animations longer than that), at every key frame and at
// each length; for culling an animated actor with one fixed volume. The bind pose is
// included. Rotations between samples may swing a vertex slightly outside: the renderer
// should allow a small margin.
ModelBounds ComputeAnimatedMeshBounds(const LmdModel& model, std::size_t meshIndex);

// The seven shader options material `materialIndex` of mesh `meshIndex` needs:
//   skinned      the model has an animation with at least one track;
//   textured     the material names a texture and the mesh stores texture coordinates;
//   vertexColor  the mesh stores vertex colours;
//   lit, ambient the material is not kLmdMaterialUnlit (ambient always comes with the light);
//   fog          the material is not kLmdMaterialNoFog;
//   transparent  the material is kLmdMaterialTransparent, or `forceTransparent` (an actor's
//                SetMaterialTransparent override).
// Each byte is 0 or 1.
ModelShaderOptions MaterialShaderOptions(const LmdModel& model, std::size_t meshIndex,
                                         std::size_t materialIndex, bool forceTransparent = false);

// True when any animation of the model moves a bone (so its vertices need the palette).
bool ModelIsSkinned(const LmdModel& model);

}  // namespace Lumora::Internal
