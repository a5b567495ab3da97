// LmdModel.cpp: reading, checking and writing .lmd model files.
#include "LmdModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Lumora::Internal {

namespace {

// Fixed record sizes in bytes, used to bound counts by what the file can still hold
// before anything is allocated.
constexpr std::size_t kHeaderSize = 20;
constexpr std::size_t kTransformSize = 10 * 4;
constexpr std::size_t kMinBoneSize = 1 + 4 + kTransformSize;
constexpr std::size_t kMinMeshSize = 1 + 4 + 4 + 4 + 4;
constexpr std::size_t kMinMaterialSize = 4 * 4 + 1 + 1;
constexpr std::size_t kMinVertexSize = 6 * 4 + 2;
constexpr std::size_t kGroupHeaderSize = 8;
constexpr std::size_t kMinAnimationSize = 4 + 4 + 4;
constexpr std::size_t kTrackHeaderSize = 8;
constexpr std::size_t kKeySize = 4 + kTransformSize;

bool IsUsable(float value) {
    return std::isfinite(value) && std::fabs(value) <= kLmdMaxMagnitude;
}

bool IsUsable(const LmdVector3& v) {
    return IsUsable(v.x) && IsUsable(v.y) && IsUsable(v.z);
}

bool IsUsable(const LmdTransform& t) {
    return IsUsable(t.translation) && IsUsable(t.scale) && IsUsable(t.rotation.x) &&
           IsUsable(t.rotation.y) && IsUsable(t.rotation.z) && IsUsable(t.rotation.w);
}

// Normalises a rotation in place; false for one of (near) zero length.
bool NormaliseRotation(LmdQuaternion& q) {
    const double length = std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z +
                                    double(q.w) * q.w);
    if (!(length > 1.0e-6)) {
        return false;
    }
    // Already unit length: left exactly as stored, so that reading what was written gives
    // back the same bits.
    if (std::fabs(length - 1.0) < 1.0e-6) {
        return true;
    }
    q.x = float(q.x / length);
    q.y = float(q.y / length);
    q.z = float(q.z / length);
    q.w = float(q.w / length);
    return true;
}

// A bounds-checked little-endian reader over the file. Every read first asks whether the
// bytes are there; after the first failure every read fails, so callers check `ok` once
// per record.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    std::size_t remaining() const { return bytes_.size() - offset_; }
    std::size_t offset() const { return offset_; }

    // True when `count` records of at least `minimumSize` bytes could still fit.
    bool CountFits(std::uint64_t count, std::size_t minimumSize) {
        if (minimumSize != 0 && count > remaining() / minimumSize) {
            ok_ = false;
        }
        return ok_;
    }

    std::uint8_t U8() {
        const std::uint8_t* p = Take(1);
        return p ? p[0] : 0;
    }
    std::uint16_t U16() {
        const std::uint8_t* p = Take(2);
        return p ? static_cast<std::uint16_t>(p[0] | (p[1] << 8)) : 0;
    }
    std::uint32_t U32() {
        const std::uint8_t* p = Take(4);
        if (!p) {
            return 0;
        }
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    float F32() {
        const std::uint32_t bits = U32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    LmdVector3 Vector3() {
        LmdVector3 v;
        v.x = F32();
        v.y = F32();
        v.z = F32();
        return v;
    }
    LmdTransform Transform() {
        LmdTransform t;
        t.translation = Vector3();
        t.rotation.x = F32();
        t.rotation.y = F32();
        t.rotation.z = F32();
        t.rotation.w = F32();
        t.scale = Vector3();
        return t;
    }
    std::string String() {
        const std::size_t length = U8();
        const std::uint8_t* p = Take(length);
        return p ? std::string(reinterpret_cast<const char*>(p), length) : std::string();
    }

private:
    const std::uint8_t* Take(std::size_t count) {
        if (!ok_ || count > remaining()) {
            ok_ = false;
            return nullptr;
        }
        const std::uint8_t* p = bytes_.data() + offset_;
        offset_ += count;
        return p;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t offset_ = 0;
    bool ok_ = true;
};

class Writer {
public:
    void U8(std::uint8_t value) { bytes.push_back(value); }
    void U16(std::uint16_t value) {
        U8(static_cast<std::uint8_t>(value & 0xFF));
        U8(static_cast<std::uint8_t>(value >> 8));
    }
    void U32(std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            U8(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
        }
    }
    void F32(float value) {
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        U32(bits);
    }
    void Vector3(const LmdVector3& v) {
        F32(v.x);
        F32(v.y);
        F32(v.z);
    }
    void Transform(const LmdTransform& t) {
        Vector3(t.translation);
        F32(t.rotation.x);
        F32(t.rotation.y);
        F32(t.rotation.z);
        F32(t.rotation.w);
        Vector3(t.scale);
    }
    void String(const std::string& text) {
        const std::size_t length = std::min(text.size(), kLmdMaxNameLength);
        U8(static_cast<std::uint8_t>(length));
        bytes.insert(bytes.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
    }

    std::vector<std::uint8_t> bytes;
};

LmdParseResult Refuse(LmdError error, const std::string& where) {
    LmdParseResult result;
    result.error = error;
    result.message = DescribeLmdError(error);
    if (!where.empty()) {
        result.message += " (" + where + ")";
    }
    return result;
}

std::string Where(const char* what, std::size_t index) {
    return std::string(what) + " " + std::to_string(index);
}

std::string Where(const char* outer, std::size_t outerIndex, const char* inner, std::size_t innerIndex) {
    return Where(outer, outerIndex) + ", " + Where(inner, innerIndex);
}

}  // namespace

const LmdAnimation* LmdModel::FindAnimation(std::int64_t index) const {
    for (const LmdAnimation& animation : animations) {
        if (static_cast<std::int64_t>(animation.index) == index) {
            return &animation;
        }
    }
    return nullptr;
}

float LmdModel::GetAnimationLength(std::int64_t index) const {
    const LmdAnimation* animation = FindAnimation(index);
    return animation ? animation->length : 0.0f;
}

const char* DescribeLmdError(LmdError error) {
    switch (error) {
    case LmdError::None: return "no error";
    case LmdError::Truncated: return "file ends inside a record or a count runs past its end";
    case LmdError::BadMagic: return "not a .lmd model file (wrong magic)";
    case LmdError::UnsupportedVersion: return "unsupported .lmd version";
    case LmdError::TrailingData: return "unexpected bytes after the last record";
    case LmdError::TooManyItems: return "a count exceeds the format's bounds";
    case LmdError::NameTooLong: return "a name is longer than 255 bytes";
    case LmdError::NonFiniteNumber: return "a number is not finite or absurdly large";
    case LmdError::BadVertexFormat: return "unknown vertex format bits";
    case LmdError::BoneIndexOutOfRange: return "bone index out of range";
    case LmdError::ParentCycle: return "parent cycle in the bone hierarchy";
    case LmdError::MaterialIndexOutOfRange: return "material index out of range";
    case LmdError::VertexIndexOutOfRange: return "vertex index out of range";
    case LmdError::BadTriangleList: return "triangle index count is not a multiple of three";
    case LmdError::BadQuaternion: return "rotation quaternion of zero length";
    case LmdError::BadKeyOrder: return "key frames negative or not strictly increasing";
    case LmdError::BadAnimation: return "bad animation (negative length, repeated index, empty or repeated track)";
    }
    return "unknown error";
}

LmdError FinishLmdModel(LmdModel& model, std::string* where) {
    auto fail = [where](LmdError error, const std::string& place) {
        if (where) {
            *where = place;
        }
        return error;
    };

    if (model.bones.size() > kLmdMaxBones || model.meshes.size() > kLmdMaxMeshes) {
        return fail(LmdError::TooManyItems, "model");
    }
    const std::size_t boneCount = model.bones.size();

    // Bones: parents in range, transforms usable, no cycles. The order puts every parent
    // before its children so that posing is one pass.
    for (std::size_t b = 0; b < boneCount; ++b) {
        LmdBone& bone = model.bones[b];
        if (bone.name.size() > kLmdMaxNameLength) {
            return fail(LmdError::NameTooLong, Where("bone", b));
        }
        if (bone.parent < -1 || bone.parent >= static_cast<std::int64_t>(boneCount)) {
            return fail(LmdError::BoneIndexOutOfRange, Where("bone", b));
        }
        if (!IsUsable(bone.bind)) {
            return fail(LmdError::NonFiniteNumber, Where("bone", b));
        }
        if (!NormaliseRotation(bone.bind.rotation)) {
            return fail(LmdError::BadQuaternion, Where("bone", b));
        }
    }
    // depth[b]: 0 unknown, else the number of bones from b up to its root. Walking at most
    // boneCount steps without reaching a root means a cycle.
    std::vector<std::uint32_t> depth(boneCount, 0);
    for (std::size_t b = 0; b < boneCount; ++b) {
        std::size_t steps = 0;
        std::int32_t current = static_cast<std::int32_t>(b);
        while (current >= 0 && depth[current] == 0) {
            if (++steps > boneCount) {
                return fail(LmdError::ParentCycle, Where("bone", b));
            }
            current = model.bones[current].parent;
        }
        // Fill in the walked chain from the known end.
        std::uint32_t known = current >= 0 ? depth[current] : 0;
        std::vector<std::int32_t> chain;
        for (std::int32_t c = static_cast<std::int32_t>(b); c != current; c = model.bones[c].parent) {
            chain.push_back(c);
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            depth[*it] = ++known;
        }
    }
    model.boneOrder.resize(boneCount);
    for (std::size_t b = 0; b < boneCount; ++b) {
        model.boneOrder[b] = static_cast<std::uint32_t>(b);
    }
    std::stable_sort(model.boneOrder.begin(), model.boneOrder.end(),
                     [&depth](std::uint32_t a, std::uint32_t b) { return depth[a] < depth[b]; });

    // Meshes.
    for (std::size_t m = 0; m < model.meshes.size(); ++m) {
        LmdMesh& mesh = model.meshes[m];
        if (mesh.name.size() > kLmdMaxNameLength) {
            return fail(LmdError::NameTooLong, Where("mesh", m));
        }
        if ((mesh.vertexFormat & ~(kLmdVertexHasTexCoord | kLmdVertexHasColor)) != 0) {
            return fail(LmdError::BadVertexFormat, Where("mesh", m));
        }
        if (mesh.materials.size() > kLmdMaxMaterialsPerMesh) {
            return fail(LmdError::TooManyItems, Where("mesh", m));
        }
        if (mesh.triangles.size() != mesh.materials.size()) {
            return fail(LmdError::MaterialIndexOutOfRange, Where("mesh", m));
        }
        for (std::size_t j = 0; j < mesh.materials.size(); ++j) {
            const LmdMaterial& material = mesh.materials[j];
            if (material.textureName.size() > kLmdMaxNameLength) {
                return fail(LmdError::NameTooLong, Where("mesh", m, "material", j));
            }
            for (float channel : material.color) {
                if (!IsUsable(channel)) {
                    return fail(LmdError::NonFiniteNumber, Where("mesh", m, "material", j));
                }
            }
        }
        for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
            const LmdVertex& vertex = mesh.vertices[v];
            if (!IsUsable(vertex.position) || !IsUsable(vertex.normal) || !IsUsable(vertex.texCoord[0]) ||
                !IsUsable(vertex.texCoord[1])) {
                return fail(LmdError::NonFiniteNumber, Where("mesh", m, "vertex", v));
            }
            // A model without bones draws unskinned: its vertices name bone 0 only.
            if (vertex.bone >= std::max<std::size_t>(boneCount, 1)) {
                return fail(LmdError::BoneIndexOutOfRange, Where("mesh", m, "vertex", v));
            }
        }
        for (std::size_t j = 0; j < mesh.triangles.size(); ++j) {
            const std::vector<std::uint32_t>& list = mesh.triangles[j];
            if (list.size() % 3 != 0) {
                return fail(LmdError::BadTriangleList, Where("mesh", m, "material", j));
            }
            for (std::uint32_t index : list) {
                if (index >= mesh.vertices.size()) {
                    return fail(LmdError::VertexIndexOutOfRange, Where("mesh", m, "material", j));
                }
            }
        }
    }

    // Animations: sorted by index, each index once, tracks on existing bones with ordered
    // keys.
    std::sort(model.animations.begin(), model.animations.end(),
              [](const LmdAnimation& a, const LmdAnimation& b) { return a.index < b.index; });
    for (std::size_t a = 0; a < model.animations.size(); ++a) {
        LmdAnimation& animation = model.animations[a];
        const std::string place = "animation " + std::to_string(animation.index);
        if (animation.index > kLmdMaxAnimationIndex ||
            (a > 0 && model.animations[a - 1].index == animation.index)) {
            return fail(LmdError::BadAnimation, place);
        }
        if (!IsUsable(animation.length)) {
            return fail(LmdError::NonFiniteNumber, place);
        }
        if (animation.length < 0.0f) {
            return fail(LmdError::BadAnimation, place);
        }
        std::vector<bool> seen(boneCount, false);
        for (std::size_t t = 0; t < animation.tracks.size(); ++t) {
            LmdTrack& track = animation.tracks[t];
            const std::string trackPlace = place + ", track " + std::to_string(t);
            if (track.bone >= boneCount) {
                return fail(LmdError::BoneIndexOutOfRange, trackPlace);
            }
            if (seen[track.bone] || track.keys.empty()) {
                return fail(LmdError::BadAnimation, trackPlace);
            }
            seen[track.bone] = true;
            for (std::size_t k = 0; k < track.keys.size(); ++k) {
                LmdKey& key = track.keys[k];
                if (!IsUsable(key.frame) || !IsUsable(key.transform)) {
                    return fail(LmdError::NonFiniteNumber, trackPlace);
                }
                if (key.frame < 0.0f || (k > 0 && !(key.frame > track.keys[k - 1].frame))) {
                    return fail(LmdError::BadKeyOrder, trackPlace);
                }
                if (!NormaliseRotation(key.transform.rotation)) {
                    return fail(LmdError::BadQuaternion, trackPlace);
                }
            }
        }
    }
    return LmdError::None;
}

LmdParseResult ParseLmd(std::span<const std::uint8_t> bytes) {
    Reader in(bytes);
    if (bytes.size() < kHeaderSize) {
        if (bytes.size() >= 4 && std::memcmp(bytes.data(), kLmdMagic, 4) != 0) {
            return Refuse(LmdError::BadMagic, "");
        }
        return Refuse(LmdError::Truncated, "header");
    }
    if (std::memcmp(bytes.data(), kLmdMagic, 4) != 0) {
        return Refuse(LmdError::BadMagic, "");
    }
    in.U32();
    const std::uint16_t version = in.U16();
    in.U16();  // reserved, written as zero
    if (version != kLmdVersion) {
        return Refuse(LmdError::UnsupportedVersion, "version " + std::to_string(version));
    }
    const std::uint32_t boneCount = in.U32();
    const std::uint32_t meshCount = in.U32();
    const std::uint32_t animationCount = in.U32();
    if (boneCount > kLmdMaxBones || meshCount > kLmdMaxMeshes) {
        return Refuse(LmdError::TooManyItems, "header");
    }
    if (animationCount > kLmdMaxAnimationIndex + 1) {
        return Refuse(LmdError::TooManyItems, "header");
    }

    LmdModel model;
    if (!in.CountFits(boneCount, kMinBoneSize)) {
        return Refuse(LmdError::Truncated, "bones");
    }
    model.bones.resize(boneCount);
    for (std::uint32_t b = 0; b < boneCount; ++b) {
        LmdBone& bone = model.bones[b];
        bone.name = in.String();
        bone.parent = static_cast<std::int32_t>(in.U32());
        bone.bind = in.Transform();
        if (!in.ok()) {
            return Refuse(LmdError::Truncated, Where("bone", b));
        }
    }

    if (!in.CountFits(meshCount, kMinMeshSize)) {
        return Refuse(LmdError::Truncated, "meshes");
    }
    model.meshes.resize(meshCount);
    for (std::uint32_t m = 0; m < meshCount; ++m) {
        LmdMesh& mesh = model.meshes[m];
        mesh.name = in.String();
        mesh.vertexFormat = in.U32();
        if ((mesh.vertexFormat & ~(kLmdVertexHasTexCoord | kLmdVertexHasColor)) != 0) {
            return Refuse(LmdError::BadVertexFormat, Where("mesh", m));
        }
        const std::uint32_t materialCount = in.U32();
        if (!in.ok()) {
            return Refuse(LmdError::Truncated, Where("mesh", m));
        }
        if (materialCount > kLmdMaxMaterialsPerMesh) {
            return Refuse(LmdError::TooManyItems, Where("mesh", m));
        }
        if (!in.CountFits(materialCount, kMinMaterialSize)) {
            return Refuse(LmdError::Truncated, Where("mesh", m));
        }
        mesh.materials.resize(materialCount);
        mesh.triangles.resize(materialCount);
        for (std::uint32_t j = 0; j < materialCount; ++j) {
            LmdMaterial& material = mesh.materials[j];
            for (float& channel : material.color) {
                channel = in.F32();
            }
            material.flags = in.U8();
            material.textureName = in.String();
            if (!in.ok()) {
                return Refuse(LmdError::Truncated, Where("mesh", m, "material", j));
            }
        }
        const bool hasTexCoord = (mesh.vertexFormat & kLmdVertexHasTexCoord) != 0;
        const bool hasColor = (mesh.vertexFormat & kLmdVertexHasColor) != 0;
        const std::size_t vertexSize = kMinVertexSize + (hasTexCoord ? 8 : 0) + (hasColor ? 4 : 0);
        const std::uint32_t vertexCount = in.U32();
        if (!in.CountFits(vertexCount, vertexSize)) {
            return Refuse(LmdError::Truncated, Where("mesh", m));
        }
        mesh.vertices.resize(vertexCount);
        for (LmdVertex& vertex : mesh.vertices) {
            vertex.position = in.Vector3();
            vertex.normal = in.Vector3();
            if (hasTexCoord) {
                vertex.texCoord[0] = in.F32();
                vertex.texCoord[1] = in.F32();
            }
            if (hasColor) {
                for (std::uint8_t& channel : vertex.color) {
                    channel = in.U8();
                }
            }
            vertex.bone = in.U16();
        }
        const std::uint32_t groupCount = in.U32();
        if (!in.CountFits(groupCount, kGroupHeaderSize)) {
            return Refuse(LmdError::Truncated, Where("mesh", m));
        }
        for (std::uint32_t g = 0; g < groupCount; ++g) {
            const std::uint32_t material = in.U32();
            const std::uint32_t indexCount = in.U32();
            if (!in.ok() || !in.CountFits(indexCount, 4)) {
                return Refuse(LmdError::Truncated, Where("mesh", m, "triangle group", g));
            }
            if (material >= materialCount) {
                return Refuse(LmdError::MaterialIndexOutOfRange, Where("mesh", m, "triangle group", g));
            }
            std::vector<std::uint32_t>& list = mesh.triangles[material];
            list.reserve(list.size() + indexCount);
            for (std::uint32_t i = 0; i < indexCount; ++i) {
                list.push_back(in.U32());
            }
        }
    }

    if (!in.CountFits(animationCount, kMinAnimationSize)) {
        return Refuse(LmdError::Truncated, "animations");
    }
    model.animations.resize(animationCount);
    for (std::uint32_t a = 0; a < animationCount; ++a) {
        LmdAnimation& animation = model.animations[a];
        animation.index = in.U32();
        animation.length = in.F32();
        const std::uint32_t trackCount = in.U32();
        if (!in.ok()) {
            return Refuse(LmdError::Truncated, Where("animation record", a));
        }
        if (trackCount > kLmdMaxBones) {
            return Refuse(LmdError::TooManyItems, Where("animation record", a));
        }
        if (!in.CountFits(trackCount, kTrackHeaderSize)) {
            return Refuse(LmdError::Truncated, Where("animation record", a));
        }
        animation.tracks.resize(trackCount);
        for (LmdTrack& track : animation.tracks) {
            track.bone = in.U32();
            const std::uint32_t keyCount = in.U32();
            if (!in.CountFits(keyCount, kKeySize)) {
                return Refuse(LmdError::Truncated, Where("animation record", a));
            }
            track.keys.resize(keyCount);
            for (LmdKey& key : track.keys) {
                key.frame = in.F32();
                key.transform = in.Transform();
            }
        }
        if (!in.ok()) {
            return Refuse(LmdError::Truncated, Where("animation record", a));
        }
    }
    if (!in.ok()) {
        return Refuse(LmdError::Truncated, "");
    }
    if (in.remaining() != 0) {
        return Refuse(LmdError::TrailingData, "at byte " + std::to_string(in.offset()));
    }

    std::string where;
    const LmdError error = FinishLmdModel(model, &where);
    if (error != LmdError::None) {
        return Refuse(error, where);
    }
    LmdParseResult result;
    result.model = std::move(model);
    return result;
}

std::vector<std::uint8_t> WriteLmd(const LmdModel& model) {
    Writer out;
    for (std::uint8_t byte : kLmdMagic) {
        out.U8(byte);
    }
    out.U16(kLmdVersion);
    out.U16(0);
    out.U32(static_cast<std::uint32_t>(model.bones.size()));
    out.U32(static_cast<std::uint32_t>(model.meshes.size()));
    out.U32(static_cast<std::uint32_t>(model.animations.size()));
    for (const LmdBone& bone : model.bones) {
        out.String(bone.name);
        out.U32(static_cast<std::uint32_t>(bone.parent));
        out.Transform(bone.bind);
    }
    for (const LmdMesh& mesh : model.meshes) {
        out.String(mesh.name);
        out.U32(mesh.vertexFormat);
        out.U32(static_cast<std::uint32_t>(mesh.materials.size()));
        for (const LmdMaterial& material : mesh.materials) {
            for (float channel : material.color) {
                out.F32(channel);
            }
            out.U8(material.flags);
            out.String(material.textureName);
        }
        out.U32(static_cast<std::uint32_t>(mesh.vertices.size()));
        for (const LmdVertex& vertex : mesh.vertices) {
            out.Vector3(vertex.position);
            out.Vector3(vertex.normal);
            if (mesh.vertexFormat & kLmdVertexHasTexCoord) {
                out.F32(vertex.texCoord[0]);
                out.F32(vertex.texCoord[1]);
            }
            if (mesh.vertexFormat & kLmdVertexHasColor) {
                for (std::uint8_t channel : vertex.color) {
                    out.U8(channel);
                }
            }
            out.U16(vertex.bone);
        }
        // One group per material that has triangles.
        std::uint32_t groupCount = 0;
        for (const auto& list : mesh.triangles) {
            groupCount += list.empty() ? 0 : 1;
        }
        out.U32(groupCount);
        for (std::size_t j = 0; j < mesh.triangles.size(); ++j) {
            if (mesh.triangles[j].empty()) {
                continue;
            }
            out.U32(static_cast<std::uint32_t>(j));
            out.U32(static_cast<std::uint32_t>(mesh.triangles[j].size()));
            for (std::uint32_t index : mesh.triangles[j]) {
                out.U32(index);
            }
        }
    }
    for (const LmdAnimation& animation : model.animations) {
        out.U32(animation.index);
        out.F32(animation.length);
        out.U32(static_cast<std::uint32_t>(animation.tracks.size()));
        for (const LmdTrack& track : animation.tracks) {
            out.U32(track.bone);
            out.U32(static_cast<std::uint32_t>(track.keys.size()));
            for (const LmdKey& key : track.keys) {
                out.F32(key.frame);
                out.Transform(key.transform);
            }
        }
    }
    return std::move(out.bytes);
}

}  // namespace Lumora::Internal
