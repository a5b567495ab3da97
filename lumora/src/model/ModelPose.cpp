// ModelPose.cpp: bone palettes, bounds and shader options of .lmd models.
#include "ModelPose.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Lumora::Internal {

namespace {

// Animated bounds sample at most this many evenly spaced frames per animation (besides
// its keys), so that an absurd length in a file cannot stall the loader.
constexpr float kMaxBoundsSamples = 240.0f;

float Lerp(float a, float b, float t) {
    return a + (b - a) * t;
}

LmdVector3 Lerp(const LmdVector3& a, const LmdVector3& b, float t) {
    return {Lerp(a.x, b.x, t), Lerp(a.y, b.y, t), Lerp(a.z, b.z, t)};
}

void Include(ModelBounds& bounds, const LmdVector3& p) {
    if (bounds.empty) {
        bounds.minimum = bounds.maximum = p;
        bounds.empty = false;
        return;
    }
    bounds.minimum = {std::min(bounds.minimum.x, p.x), std::min(bounds.minimum.y, p.y),
                      std::min(bounds.minimum.z, p.z)};
    bounds.maximum = {std::max(bounds.maximum.x, p.x), std::max(bounds.maximum.y, p.y),
                      std::max(bounds.maximum.z, p.z)};
}

// The sphere around the box's centre that holds every point the box was built from.
template <typename ForEachPoint>
void FinishSphere(ModelBounds& bounds, ForEachPoint forEachPoint) {
    if (bounds.empty) {
        return;
    }
    bounds.center = {(bounds.minimum.x + bounds.maximum.x) * 0.5f, (bounds.minimum.y + bounds.maximum.y) * 0.5f,
                     (bounds.minimum.z + bounds.maximum.z) * 0.5f};
    float radiusSquared = 0.0f;
    forEachPoint([&](const LmdVector3& p) {
        const float dx = p.x - bounds.center.x, dy = p.y - bounds.center.y, dz = p.z - bounds.center.z;
        radiusSquared = std::max(radiusSquared, dx * dx + dy * dy + dz * dz);
    });
    bounds.radius = std::sqrt(radiusSquared);
}

// Vertices that some triangle uses; a vertex no triangle names is never drawn.
std::vector<bool> UsedVertices(const LmdMesh& mesh) {
    std::vector<bool> used(mesh.vertices.size(), false);
    for (const auto& list : mesh.triangles) {
        for (std::uint32_t index : list) {
            used[index] = true;
        }
    }
    return used;
}

}  // namespace

Matrix4 Matrix4::FromTransform(const LmdTransform& transform) {
    const LmdQuaternion& q = transform.rotation;
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    const float rotation[3][3] = {
        {1 - 2 * (yy + zz), 2 * (xy - wz), 2 * (xz + wy)},
        {2 * (xy + wz), 1 - 2 * (xx + zz), 2 * (yz - wx)},
        {2 * (xz - wy), 2 * (yz + wx), 1 - 2 * (xx + yy)},
    };
    const float scale[3] = {transform.scale.x, transform.scale.y, transform.scale.z};
    Matrix4 result;
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) {
            result.m[c * 4 + r] = rotation[r][c] * scale[c];
        }
        result.m[c * 4 + 3] = 0.0f;
    }
    result.m[12] = transform.translation.x;
    result.m[13] = transform.translation.y;
    result.m[14] = transform.translation.z;
    result.m[15] = 1.0f;
    return result;
}

Matrix4 Matrix4::operator*(const Matrix4& other) const {
    Matrix4 result;
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += m[k * 4 + r] * other.m[c * 4 + k];
            }
            result.m[c * 4 + r] = sum;
        }
    }
    return result;
}

LmdVector3 Matrix4::TransformPoint(const LmdVector3& p) const {
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

LmdVector3 Matrix4::TransformDirection(const LmdVector3& d) const {
    return {m[0] * d.x + m[4] * d.y + m[8] * d.z, m[1] * d.x + m[5] * d.y + m[9] * d.z,
            m[2] * d.x + m[6] * d.y + m[10] * d.z};
}

Matrix4 Matrix4::InverseAffine() const {
    // Inverse of the upper 3x3 by cofactors, then the translation moved through it.
    const float a = m[0], b = m[4], c = m[8];
    const float d = m[1], e = m[5], f = m[9];
    const float g = m[2], h = m[6], i = m[10];
    const float cofactor00 = e * i - f * h, cofactor01 = -(d * i - f * g), cofactor02 = d * h - e * g;
    const float determinant = a * cofactor00 + b * cofactor01 + c * cofactor02;
    if (std::fabs(determinant) < 1.0e-12f) {
        return Matrix4{};
    }
    const float s = 1.0f / determinant;
    const float inverse[3][3] = {
        {cofactor00 * s, -(b * i - c * h) * s, (b * f - c * e) * s},
        {cofactor01 * s, (a * i - c * g) * s, -(a * f - c * d) * s},
        {cofactor02 * s, -(a * h - b * g) * s, (a * e - b * d) * s},
    };
    Matrix4 result;
    for (int r = 0; r < 3; ++r) {
        for (int col = 0; col < 3; ++col) {
            result.m[col * 4 + r] = inverse[r][col];
        }
    }
    const float tx = m[12], ty = m[13], tz = m[14];
    for (int r = 0; r < 3; ++r) {
        result.m[12 + r] = -(inverse[r][0] * tx + inverse[r][1] * ty + inverse[r][2] * tz);
    }
    return result;
}

LmdQuaternion Slerp(const LmdQuaternion& a, const LmdQuaternion& b0, float t) {
    LmdQuaternion b = b0;
    float cosine = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (cosine < 0.0f) {  // the shorter arc
        b = {-b.x, -b.y, -b.z, -b.w};
        cosine = -cosine;
    }
    float wa, wb;
    if (cosine > 0.9995f) {
        // Nearly the same rotation: a normalised linear blend is exact enough and stable.
        wa = 1.0f - t;
        wb = t;
    } else {
        const float angle = std::acos(std::min(cosine, 1.0f));
        const float sine = std::sin(angle);
        wa = std::sin((1.0f - t) * angle) / sine;
        wb = std::sin(t * angle) / sine;
    }
    LmdQuaternion q{wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w};
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (length > 0.0f) {
        q = {q.x / length, q.y / length, q.z / length, q.w / length};
    }
    return q;
}

LmdTransform SampleTrack(const LmdTrack& track, float frame) {
    const std::vector<LmdKey>& keys = track.keys;
    if (keys.empty()) {
        return LmdTransform{};
    }
    if (!(frame > keys.front().frame)) {  // also NaN
        return keys.front().transform;
    }
    if (frame >= keys.back().frame) {
        return keys.back().transform;
    }
    // First key strictly after `frame`; the one before it is at or before `frame`.
    const auto next = std::upper_bound(keys.begin(), keys.end(), frame,
                                       [](float f, const LmdKey& key) { return f < key.frame; });
    const LmdKey& b = *next;
    const LmdKey& a = *(next - 1);
    const float t = (frame - a.frame) / (b.frame - a.frame);
    LmdTransform result;
    result.translation = Lerp(a.transform.translation, b.transform.translation, t);
    result.rotation = Slerp(a.transform.rotation, b.transform.rotation, t);
    result.scale = Lerp(a.transform.scale, b.transform.scale, t);
    return result;
}

void ComputeBindWorld(const LmdModel& model, std::span<Matrix4> world) {
    for (std::uint32_t b : model.boneOrder) {
        const LmdBone& bone = model.bones[b];
        const Matrix4 local = Matrix4::FromTransform(bone.bind);
        world[b] = bone.parent >= 0 ? world[bone.parent] * local : local;
    }
}

void ComputeBonePalette(const LmdModel& model, std::int64_t animationIndex, float frame,
                        std::span<Matrix4> palette) {
    const std::size_t boneCount = model.bones.size();
    if (palette.size() < boneCount || model.boneOrder.size() != boneCount) {
        return;
    }
    const LmdAnimation* animation = model.FindAnimation(animationIndex);
    if (!animation || animation->tracks.empty()) {
        for (std::size_t b = 0; b < boneCount; ++b) {
            palette[b] = Matrix4{};
        }
        return;
    }
    if (!(frame > 0.0f)) {
        frame = 0.0f;
    }
    frame = std::min(frame, animation->length);

    // Posed world transforms first (parents before children), then each palette entry
    // becomes posed * inverse(bind), walking children first so a parent's posed matrix is
    // still there when a child needs it. Bone counts are small (at most 48), so the bind
    // world is recomputed here rather than cached beside the model.
    std::array<Matrix4, kLmdMaxBones> bindWorld;
    ComputeBindWorld(model, std::span<Matrix4>(bindWorld.data(), boneCount));
    std::array<const LmdTrack*, kLmdMaxBones> trackOfBone{};
    for (const LmdTrack& track : animation->tracks) {
        trackOfBone[track.bone] = &track;
    }
    for (std::uint32_t b : model.boneOrder) {
        const LmdBone& bone = model.bones[b];
        const Matrix4 local = Matrix4::FromTransform(trackOfBone[b] ? SampleTrack(*trackOfBone[b], frame) : bone.bind);
        palette[b] = bone.parent >= 0 ? palette[bone.parent] * local : local;
    }
    for (std::uint32_t b = 0; b < boneCount; ++b) {
        palette[b] = palette[b] * bindWorld[b].InverseAffine();
    }
}

ModelBounds ComputeMeshBounds(const LmdMesh& mesh) {
    ModelBounds bounds;
    const std::vector<bool> used = UsedVertices(mesh);
    auto forEach = [&](auto visit) {
        for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
            if (used[v]) {
                visit(mesh.vertices[v].position);
            }
        }
    };
    forEach([&](const LmdVector3& p) { Include(bounds, p); });
    FinishSphere(bounds, forEach);
    return bounds;
}

ModelBounds ComputeAnimatedMeshBounds(const LmdModel& model, std::size_t meshIndex) {
    ModelBounds bounds;
    if (meshIndex >= model.meshes.size()) {
        return bounds;
    }
    const LmdMesh& mesh = model.meshes[meshIndex];
    const std::vector<bool> used = UsedVertices(mesh);
    std::vector<Matrix4> palette(std::max<std::size_t>(model.bones.size(), 1));

    // Every pose to sample: the bind pose, then each animation's frames.
    std::vector<std::pair<std::int64_t, float>> poses{{-1, 0.0f}};
    for (const LmdAnimation& animation : model.animations) {
        std::vector<float> frames;
        const float step = std::max(1.0f, animation.length / kMaxBoundsSamples);
        for (float f = 0.0f; f < animation.length; f += step) {
            frames.push_back(f);
        }
        frames.push_back(animation.length);
        for (const LmdTrack& track : animation.tracks) {
            for (const LmdKey& key : track.keys) {
                frames.push_back(std::min(key.frame, animation.length));
            }
        }
        std::sort(frames.begin(), frames.end());
        frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
        for (float f : frames) {
            poses.emplace_back(animation.index, f);
        }
    }
    // Two passes over the poses, the box first and then the sphere around its centre, so
    // that no posed point has to be kept.
    auto forEachPoint = [&](auto visit) {
        for (const auto& [animation, frame] : poses) {
            ComputeBonePalette(model, animation, frame, palette);
            for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
                if (!used[v]) {
                    continue;
                }
                const LmdVertex& vertex = mesh.vertices[v];
                visit(model.bones.empty() ? vertex.position : palette[vertex.bone].TransformPoint(vertex.position));
            }
        }
    };
    forEachPoint([&](const LmdVector3& p) { Include(bounds, p); });
    FinishSphere(bounds, forEachPoint);
    return bounds;
}

bool ModelIsSkinned(const LmdModel& model) {
    return std::any_of(model.animations.begin(), model.animations.end(),
                       [](const LmdAnimation& animation) { return !animation.tracks.empty(); });
}

ModelShaderOptions MaterialShaderOptions(const LmdModel& model, std::size_t meshIndex, std::size_t materialIndex,
                                         bool forceTransparent) {
    ModelShaderOptions options{};
    if (meshIndex >= model.meshes.size() || materialIndex >= model.meshes[meshIndex].materials.size()) {
        return options;
    }
    const LmdMesh& mesh = model.meshes[meshIndex];
    const LmdMaterial& material = mesh.materials[materialIndex];
    const bool lit = (material.flags & kLmdMaterialUnlit) == 0;
    options.skinned = ModelIsSkinned(model) ? 1 : 0;
    options.textured = (!material.textureName.empty() && (mesh.vertexFormat & kLmdVertexHasTexCoord)) ? 1 : 0;
    options.vertexColor = (mesh.vertexFormat & kLmdVertexHasColor) ? 1 : 0;
    options.lit = lit ? 1 : 0;
    options.ambient = lit ? 1 : 0;
    options.fog = (material.flags & kLmdMaterialNoFog) ? 0 : 1;
    options.transparent = ((material.flags & kLmdMaterialTransparent) || forceTransparent) ? 1 : 0;
    return options;
}

}  // namespace Lumora::Internal
