// ModelDefinition.cpp: the text definition language of the model generator.
#include "ModelDefinition.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "ModelPose.h"
#include "Primitives.h"

namespace Tomarugi::ModelGen {

using namespace Lumora::Internal;

namespace {

constexpr float kDegrees = 3.14159265358979323846f / 180.0f;
// Smoothed animations get an eased key every this many frames between authored keys.
constexpr float kSmoothStep = 2.0f;

// Thrown inside the builder and turned into "<source>:<line>: message".
struct DefinitionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

float ParseNumber(const std::string& token) {
    const char* begin = token.c_str();
    char* end = nullptr;
    const float value = std::strtof(begin, &end);
    if (end == begin || *end != '\0' || !std::isfinite(value)) {
        throw DefinitionError("'" + token + "' is not a number");
    }
    return value;
}

int ParseInteger(const std::string& token) {
    const float value = ParseNumber(token);
    if (value != std::floor(value) || value < 0.0f || value > 100000.0f) {
        throw DefinitionError("'" + token + "' is not a whole number from 0 to 100000");
    }
    return static_cast<int>(value);
}

// Keyword arguments after a statement's leading words: each keyword takes a fixed number
// of values; a keyword may appear once.
class Options {
public:
    Options(const std::vector<std::string>& tokens, std::size_t first, const std::map<std::string, int>& arity) {
        for (std::size_t i = first; i < tokens.size();) {
            const auto found = arity.find(tokens[i]);
            if (found == arity.end()) {
                throw DefinitionError("unknown word '" + tokens[i] + "'");
            }
            if (values_.count(tokens[i])) {
                throw DefinitionError("'" + tokens[i] + "' given twice");
            }
            const std::size_t count = static_cast<std::size_t>(found->second);
            if (i + count >= tokens.size()) {
                throw DefinitionError("'" + tokens[i] + "' needs " + std::to_string(count) + " value(s)");
            }
            values_[tokens[i]] = std::vector<std::string>(tokens.begin() + static_cast<std::ptrdiff_t>(i + 1),
                                                          tokens.begin() + static_cast<std::ptrdiff_t>(i + 1 + count));
            i += 1 + count;
        }
    }

    bool Has(const std::string& key) const { return values_.count(key) != 0; }
    const std::vector<std::string>& Words(const std::string& key) const { return values_.at(key); }
    float Number(const std::string& key, float fallback) const {
        return Has(key) ? ParseNumber(values_.at(key)[0]) : fallback;
    }
    float RequiredNumber(const std::string& key) const {
        if (!Has(key)) {
            throw DefinitionError("missing '" + key + "'");
        }
        return ParseNumber(values_.at(key)[0]);
    }
    Vec3 Vector(const std::string& key, Vec3 fallback) const {
        if (!Has(key)) {
            return fallback;
        }
        const auto& words = values_.at(key);
        return {ParseNumber(words[0]), ParseNumber(words[1]), ParseNumber(words[2])};
    }
    Vec3 RequiredVector(const std::string& key) const {
        if (!Has(key)) {
            throw DefinitionError("missing '" + key + "'");
        }
        return Vector(key, {});
    }

private:
    std::map<std::string, std::vector<std::string>> values_;
};

// Rotation by Euler angles in degrees: about X first, then Y, then Z.
struct Rotation {
    float m[3][3];

    explicit Rotation(Vec3 degrees) {
        const float cx = std::cos(degrees.x * kDegrees), sx = std::sin(degrees.x * kDegrees);
        const float cy = std::cos(degrees.y * kDegrees), sy = std::sin(degrees.y * kDegrees);
        const float cz = std::cos(degrees.z * kDegrees), sz = std::sin(degrees.z * kDegrees);
        // Rz * Ry * Rx
        m[0][0] = cz * cy;
        m[0][1] = cz * sy * sx - sz * cx;
        m[0][2] = cz * sy * cx + sz * sx;
        m[1][0] = sz * cy;
        m[1][1] = sz * sy * sx + cz * cx;
        m[1][2] = sz * sy * cx - cz * sx;
        m[2][0] = -sy;
        m[2][1] = cy * sx;
        m[2][2] = cy * cx;
    }
    Vec3 Apply(Vec3 v) const {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }
};

LmdQuaternion QuaternionFromEuler(Vec3 degrees) {
    auto axis = [](float angle, int which) {
        const float half = angle * kDegrees * 0.5f;
        LmdQuaternion q{0.0f, 0.0f, 0.0f, std::cos(half)};
        (which == 0 ? q.x : which == 1 ? q.y : q.z) = std::sin(half);
        return q;
    };
    auto multiply = [](const LmdQuaternion& a, const LmdQuaternion& b) {
        return LmdQuaternion{a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                             a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
    };
    return multiply(multiply(axis(degrees.z, 2), axis(degrees.y, 1)), axis(degrees.x, 0));
}

Vec3 NormaliseVec(Vec3 v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0.0f ? Vec3{v.x / length, v.y / length, v.z / length} : Vec3{0.0f, 1.0f, 0.0f};
}

std::uint8_t ColorByte(float value) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

struct BoneDefinition {
    std::string name;
    int parent = -1;
    Vec3 pivot;
};

struct KeyDefinition {
    float frame = 0.0f;
    Vec3 move;
    Vec3 turn;
    Vec3 scale{1.0f, 1.0f, 1.0f};
};

struct AnimationDefinition {
    float length = 0.0f;
    bool smooth = false;
    std::map<int, std::vector<KeyDefinition>> keysByBone;
};

struct MaterialDefinition {
    std::string name;
    LmdMaterial material;
};

class Builder {
public:
    void Statement(const std::vector<std::string>& tokens) {
        const std::string& word = tokens[0];
        if (word == "bone") {
            Bone(tokens);
        } else if (word == "material") {
            Material(tokens);
        } else if (word == "mesh") {
            if (tokens.size() != 2) {
                throw DefinitionError("mesh takes one name");
            }
            model_.meshes.push_back({});
            model_.meshes.back().name = tokens[1];
            meshMaterials_.emplace_back();
        } else if (word == "detail") {
            if (tokens.size() != 2) {
                throw DefinitionError("detail takes one number");
            }
            detail_ = ParseNumber(tokens[1]);
            if (!(detail_ > 0.0f && detail_ <= 1.0f)) {
                throw DefinitionError("detail must be above 0 and at most 1");
            }
        } else if (word == "part") {
            Part(tokens);
        } else if (word == "animation") {
            Animation(tokens);
        } else if (word == "key") {
            Key(tokens);
        } else {
            throw DefinitionError("unknown statement '" + word + "'");
        }
    }

    LmdModel Finish() {
        if (bones_.empty()) {
            bones_.push_back({"root", -1, {}});
        }
        for (const BoneDefinition& bone : bones_) {
            LmdBone out;
            out.name = bone.name;
            out.parent = bone.parent;
            const Vec3 parentPivot = bone.parent >= 0 ? bones_[bone.parent].pivot : Vec3{};
            out.bind.translation = {bone.pivot.x - parentPivot.x, bone.pivot.y - parentPivot.y, bone.pivot.z - parentPivot.z};
            model_.bones.push_back(out);
        }
        for (const auto& [index, definition] : animations_) {
            LmdAnimation animation;
            animation.index = static_cast<std::uint32_t>(index);
            animation.length = definition.length;
            for (const auto& [bone, keys] : definition.keysByBone) {
                animation.tracks.push_back(Track(bone, keys, definition));
            }
            model_.animations.push_back(std::move(animation));
        }
        return std::move(model_);
    }

private:
    int FindBone(const std::string& name) const {
        for (std::size_t b = 0; b < bones_.size(); ++b) {
            if (bones_[b].name == name) {
                return static_cast<int>(b);
            }
        }
        throw DefinitionError("no bone named '" + name + "'");
    }

    void Bone(const std::vector<std::string>& tokens) {
        if (tokens.size() < 2) {
            throw DefinitionError("bone needs a name");
        }
        for (const BoneDefinition& bone : bones_) {
            if (bone.name == tokens[1]) {
                throw DefinitionError("bone '" + tokens[1] + "' defined twice");
            }
        }
        const Options options(tokens, 2, {{"parent", 1}, {"at", 3}});
        BoneDefinition bone;
        bone.name = tokens[1];
        bone.parent = options.Has("parent") ? FindBone(options.Words("parent")[0]) : -1;
        bone.pivot = options.Vector("at", {});
        if (bones_.size() >= kLmdMaxBones) {
            throw DefinitionError("more than " + std::to_string(kLmdMaxBones) + " bones");
        }
        bones_.push_back(bone);
    }

    void Material(const std::vector<std::string>& tokens) {
        if (tokens.size() < 6 || tokens[2] != "color") {
            throw DefinitionError("material needs a name and 'color R G B [A]'");
        }
        MaterialDefinition definition;
        definition.name = tokens[1];
        for (const MaterialDefinition& existing : materials_) {
            if (existing.name == definition.name) {
                throw DefinitionError("material '" + definition.name + "' defined twice");
            }
        }
        std::size_t i = 3;
        for (int c = 0; c < 3; ++c) {
            definition.material.color[c] = ParseNumber(tokens[i++]);
        }
        if (i < tokens.size() && (std::isdigit(static_cast<unsigned char>(tokens[i][0])) || tokens[i][0] == '.')) {
            definition.material.color[3] = ParseNumber(tokens[i++]);
        }
        for (; i < tokens.size(); ++i) {
            if (tokens[i] == "transparent") {
                definition.material.flags |= kLmdMaterialTransparent;
            } else if (tokens[i] == "unlit") {
                definition.material.flags |= kLmdMaterialUnlit;
            } else if (tokens[i] == "nofog") {
                definition.material.flags |= kLmdMaterialNoFog;
            } else if (tokens[i] == "texture" && i + 1 < tokens.size()) {
                definition.material.textureName = tokens[++i];
            } else {
                throw DefinitionError("unknown material word '" + tokens[i] + "'");
            }
        }
        materials_.push_back(definition);
    }

    // Index of material `name` in the current mesh, adding it on first use.
    std::uint32_t MeshMaterial(const std::string& name) {
        LmdMesh& mesh = model_.meshes.back();
        std::vector<std::string>& names = meshMaterials_.back();
        for (std::size_t j = 0; j < names.size(); ++j) {
            if (names[j] == name) {
                return static_cast<std::uint32_t>(j);
            }
        }
        for (const MaterialDefinition& definition : materials_) {
            if (definition.name == name) {
                names.push_back(name);
                mesh.materials.push_back(definition.material);
                mesh.triangles.emplace_back();
                if (!definition.material.textureName.empty()) {
                    mesh.vertexFormat |= kLmdVertexHasTexCoord;
                }
                return static_cast<std::uint32_t>(names.size() - 1);
            }
        }
        throw DefinitionError("no material named '" + name + "'");
    }

    void Part(const std::vector<std::string>& tokens) {
        if (tokens.size() < 2) {
            throw DefinitionError("part needs a shape");
        }
        const std::string& kind = tokens[1];
        const Options options(tokens, 2,
                              {{"size", 3}, {"radius", 1}, {"radii", 3}, {"height", 1}, {"top", 1}, {"tube", 1},
                               {"arc", kind == "torus" ? 2 : 1}, {"at", 3}, {"rotate", 3}, {"scale", 3},
                               {"material", 1}, {"bone", 1}, {"segments", 1}, {"rings", 1}, {"flat", 0}, {"notop", 0}, {"nobottom", 0},
                               {"tint", 4}, {"mirror", 1}});
        int segments = options.Has("segments") ? ParseInteger(options.Words("segments")[0]) : 24;
        int rings = options.Has("rings") ? ParseInteger(options.Words("rings")[0]) : 12;
        // A lower detail thins out the steps of round shapes only: the facets of cylinders,
        // cones and boxes are their look. Never below 6 steps around or 4 from pole to pole
        // (nor above what the part asked for).
        if (detail_ < 1.0f && kind != "cylinder" && kind != "cone" && kind != "box") {
            const auto thin = [this](int steps, int floor) {
                return std::max(std::min(steps, floor), static_cast<int>(std::lround(static_cast<float>(steps) * detail_)));
            };
            segments = thin(segments, 6);
            rings = thin(rings, 4);
        }
        Shape shape;
        if (kind == "box") {
            shape = MakeBox(options.RequiredVector("size"));
        } else if (kind == "roundbox") {
            shape = MakeRoundedBox(options.RequiredVector("size"), options.RequiredNumber("radius"), std::max(rings / 4, 1));
        } else if (kind == "sphere") {
            const float r = options.RequiredNumber("radius");
            shape = MakeEllipsoid({r, r, r}, segments, rings, options.Number("arc", 180.0f));
        } else if (kind == "ellipsoid") {
            shape = MakeEllipsoid(options.RequiredVector("radii"), segments, rings, options.Number("arc", 180.0f));
        } else if (kind == "cylinder" || kind == "cone") {
            const float r = options.RequiredNumber("radius");
            const float top = kind == "cone" ? 0.0f : options.Number("top", r);
            shape = MakeCylinder(r, top, options.RequiredNumber("height"), segments);
        } else if (kind == "capsule") {
            shape = MakeCapsule(options.RequiredNumber("radius"), options.RequiredNumber("height"), segments, rings);
        } else if (kind == "torus") {
            float from = 0.0f, to = 360.0f;
            if (options.Has("arc")) {
                from = ParseNumber(options.Words("arc")[0]);
                to = ParseNumber(options.Words("arc")[1]);
            }
            shape = MakeTorus(options.RequiredNumber("radius"), options.RequiredNumber("tube"), segments, rings, from, to);
        } else {
            throw DefinitionError("unknown shape '" + kind + "'");
        }
        if (options.Has("flat")) {
            MakeFlat(shape);
        }
        if (options.Has("notop") || options.Has("nobottom")) {
            DropCapFaces(shape, options.Has("notop"), options.Has("nobottom"));
        }
        if (shape.indices.empty()) {
            throw DefinitionError("the shape has no triangles");
        }
        if (model_.meshes.empty()) {
            model_.meshes.push_back({});
            model_.meshes.back().name = "body";
            meshMaterials_.emplace_back();
        }
        if (!options.Has("material")) {
            throw DefinitionError("part needs a material");
        }
        const std::uint32_t material = MeshMaterial(options.Words("material")[0]);
        const int bone = options.Has("bone") ? FindBone(options.Words("bone")[0]) : 0;
        std::array<std::uint8_t, 4> tint{255, 255, 255, 255};
        if (options.Has("tint")) {
            const auto& words = options.Words("tint");
            for (int c = 0; c < 4; ++c) {
                tint[c] = ColorByte(ParseNumber(words[c]));
            }
            model_.meshes.back().vertexFormat |= kLmdVertexHasColor;
        }
        const Vec3 at = options.Vector("at", {});
        const Vec3 scale = options.Vector("scale", {1.0f, 1.0f, 1.0f});
        if (scale.x == 0.0f || scale.y == 0.0f || scale.z == 0.0f) {
            throw DefinitionError("a part's scale may not be 0");
        }
        const Rotation rotation(options.Vector("rotate", {}));
        AddShape(shape, at, rotation, scale, material, bone, tint, false);
        if (options.Has("mirror")) {
            const std::string& mirrorBone = options.Words("mirror")[0];
            AddShape(shape, at, rotation, scale, material, mirrorBone == "-" ? bone : FindBone(mirrorBone), tint, true);
        }
    }

    // Places `shape` (scaled, turned, moved; mirrored across x = 0 when asked) into the
    // current mesh.
    void AddShape(const Shape& shape, Vec3 at, const Rotation& rotation, Vec3 scale, std::uint32_t material, int bone,
                  const std::array<std::uint8_t, 4>& tint, bool mirror) {
        LmdMesh& mesh = model_.meshes.back();
        const auto first = static_cast<std::uint32_t>(mesh.vertices.size());
        for (const ShapeVertex& source : shape.vertices) {
            Vec3 p = rotation.Apply({source.position.x * scale.x, source.position.y * scale.y, source.position.z * scale.z});
            Vec3 n = NormaliseVec(rotation.Apply({source.normal.x / scale.x, source.normal.y / scale.y, source.normal.z / scale.z}));
            p = {p.x + at.x, p.y + at.y, p.z + at.z};
            if (mirror) {
                p.x = -p.x;
                n.x = -n.x;
            }
            LmdVertex vertex;
            vertex.position = {p.x, p.y, p.z};
            vertex.normal = {n.x, n.y, n.z};
            vertex.texCoord = {source.u, source.v};
            vertex.color = tint;
            vertex.bone = static_cast<std::uint16_t>(bone);
            mesh.vertices.push_back(vertex);
        }
        // A mirror or an odd number of negative scales turns the surface inside out.
        const int negatives = (scale.x < 0) + (scale.y < 0) + (scale.z < 0) + (mirror ? 1 : 0);
        std::vector<std::uint32_t>& list = mesh.triangles[material];
        for (std::size_t i = 0; i + 2 < shape.indices.size(); i += 3) {
            const std::uint32_t a = first + shape.indices[i], b = first + shape.indices[i + 1], c = first + shape.indices[i + 2];
            if (negatives % 2) {
                list.insert(list.end(), {a, c, b});
            } else {
                list.insert(list.end(), {a, b, c});
            }
        }
    }

    void Animation(const std::vector<std::string>& tokens) {
        if (tokens.size() < 4 || tokens[2] != "length") {
            throw DefinitionError("animation needs 'INDEX length FRAMES'");
        }
        const int index = ParseInteger(tokens[1]);
        if (index > static_cast<int>(kLmdMaxAnimationIndex)) {
            throw DefinitionError("animation index beyond " + std::to_string(kLmdMaxAnimationIndex));
        }
        if (animations_.count(index)) {
            throw DefinitionError("animation " + tokens[1] + " defined twice");
        }
        AnimationDefinition definition;
        definition.length = ParseNumber(tokens[3]);
        if (definition.length <= 0.0f) {
            throw DefinitionError("an animation's length must be above 0");
        }
        for (std::size_t i = 4; i < tokens.size(); ++i) {
            if (tokens[i] == "smooth") {
                definition.smooth = true;
            } else {
                throw DefinitionError("unknown animation word '" + tokens[i] + "'");
            }
        }
        animations_[index] = definition;
        currentAnimation_ = index;
    }

    void Key(const std::vector<std::string>& tokens) {
        if (currentAnimation_ < 0) {
            throw DefinitionError("key before any animation");
        }
        if (tokens.size() < 3) {
            throw DefinitionError("key needs 'BONE FRAME'");
        }
        const int bone = FindBone(tokens[1]);
        KeyDefinition key;
        key.frame = ParseNumber(tokens[2]);
        AnimationDefinition& animation = animations_[currentAnimation_];
        if (key.frame < 0.0f || key.frame > animation.length) {
            throw DefinitionError("key frame outside 0..length");
        }
        const Options options(tokens, 3, {{"move", 3}, {"turn", 3}, {"scale", 3}});
        key.move = options.Vector("move", {});
        key.turn = options.Vector("turn", {});
        key.scale = options.Vector("scale", {1.0f, 1.0f, 1.0f});
        std::vector<KeyDefinition>& keys = animation.keysByBone[bone];
        for (const KeyDefinition& existing : keys) {
            if (existing.frame == key.frame) {
                throw DefinitionError("two keys for bone '" + tokens[1] + "' at frame " + tokens[2]);
            }
        }
        keys.push_back(key);
        std::sort(keys.begin(), keys.end(), [](const KeyDefinition& a, const KeyDefinition& b) { return a.frame < b.frame; });
    }

    LmdTransform KeyTransform(int bone, const KeyDefinition& key) const {
        LmdTransform transform;
        const Vec3 parentPivot = bones_[bone].parent >= 0 ? bones_[bones_[bone].parent].pivot : Vec3{};
        transform.translation = {bones_[bone].pivot.x - parentPivot.x + key.move.x,
                                 bones_[bone].pivot.y - parentPivot.y + key.move.y,
                                 bones_[bone].pivot.z - parentPivot.z + key.move.z};
        transform.rotation = QuaternionFromEuler(key.turn);
        transform.scale = {key.scale.x, key.scale.y, key.scale.z};
        return transform;
    }

    LmdTrack Track(int bone, const std::vector<KeyDefinition>& keys, const AnimationDefinition& animation) const {
        LmdTrack track;
        track.bone = static_cast<std::uint32_t>(bone);
        for (std::size_t k = 0; k < keys.size(); ++k) {
            track.keys.push_back({keys[k].frame, KeyTransform(bone, keys[k])});
            if (!animation.smooth || k + 1 == keys.size()) {
                continue;
            }
            // Eased in-between keys: the motion starts and stops gently at every authored key.
            const LmdTransform a = KeyTransform(bone, keys[k]);
            const LmdTransform b = KeyTransform(bone, keys[k + 1]);
            const float span = keys[k + 1].frame - keys[k].frame;
            for (float f = keys[k].frame + kSmoothStep; f < keys[k + 1].frame - 0.5f; f += kSmoothStep) {
                const float t = (f - keys[k].frame) / span;
                const float eased = t * t * (3.0f - 2.0f * t);
                LmdTransform between;
                auto lerp = [eased](float x, float y) { return x + (y - x) * eased; };
                between.translation = {lerp(a.translation.x, b.translation.x), lerp(a.translation.y, b.translation.y),
                                       lerp(a.translation.z, b.translation.z)};
                between.rotation = Slerp(a.rotation, b.rotation, eased);
                between.scale = {lerp(a.scale.x, b.scale.x), lerp(a.scale.y, b.scale.y), lerp(a.scale.z, b.scale.z)};
                track.keys.push_back({f, between});
            }
        }
        return track;
    }

    LmdModel model_;
    std::vector<std::vector<std::string>> meshMaterials_;  // per mesh: material names by index
    std::vector<BoneDefinition> bones_;
    std::vector<MaterialDefinition> materials_;
    std::map<int, AnimationDefinition> animations_;
    int currentAnimation_ = -1;
    float detail_ = 1.0f;  // share of the round shapes' steps kept (statement "detail")
};

}  // namespace

namespace {

// Include nesting beyond this is taken for a file that includes itself.
constexpr int kMaxIncludeDepth = 8;

// Runs every statement of `text` through the builder. On a fault, `where` names the file
// and line before the exception leaves.
void RunStatements(Builder& builder, std::string_view text, const std::string& sourceName,
                   const IncludeReader& readInclude, int depth, std::string& where) {
    std::size_t lineNumber = 0;
    std::size_t position = 0;
    while (position <= text.size()) {
        std::size_t end = text.find('\n', position);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string line(text.substr(position, end - position));
        position = end + 1;
        ++lineNumber;
        where = sourceName + ":" + std::to_string(lineNumber);
        if (const std::size_t hash = line.find('#'); hash != std::string::npos) {
            line.erase(hash);
        }
        std::istringstream words(line);
        std::vector<std::string> tokens;
        for (std::string word; words >> word;) {
            tokens.push_back(word);
        }
        if (tokens.empty()) {
            continue;
        }
        if (tokens[0] == "include") {
            if (tokens.size() != 2) {
                throw DefinitionError("include takes one file name");
            }
            if (depth >= kMaxIncludeDepth) {
                throw DefinitionError("includes nested too deeply (does a file include itself?)");
            }
            const std::optional<std::string> included = readInclude ? readInclude(tokens[1]) : std::nullopt;
            if (!included) {
                throw DefinitionError("cannot read included file '" + tokens[1] + "'");
            }
            RunStatements(builder, *included, tokens[1], readInclude, depth + 1, where);
            where = sourceName + ":" + std::to_string(lineNumber);
            continue;
        }
        builder.Statement(tokens);
    }
}

}  // namespace

BuildResult BuildModelFromText(std::string_view text, const std::string& sourceName, const IncludeReader& readInclude) {
    BuildResult result;
    Builder builder;
    std::string where = sourceName;
    try {
        RunStatements(builder, text, sourceName, readInclude, 0, where);
        where = sourceName;
        LmdModel model = builder.Finish();
        if (model.meshes.empty()) {
            throw DefinitionError("the definition has no parts");
        }
        std::string place;
        const LmdError error = FinishLmdModel(model, &place);
        if (error != LmdError::None) {
            throw DefinitionError(std::string(DescribeLmdError(error)) + " (" + place + ")");
        }
        result.model = std::move(model);
    } catch (const DefinitionError& error) {
        result.error = where + ": " + error.what();
    }
    return result;
}

}  // namespace Tomarugi::ModelGen
