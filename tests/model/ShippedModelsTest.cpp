// The six models the puzzle loads, as the content build made them: they read back, have
// the animations the game plays, fit the board's 20-unit cells and face the way the
// puzzle turns them.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "LmdModel.h"
#include "ModelPose.h"

namespace {

using namespace Lumora::Internal;
using Lumora::ModelShaderBonePaletteSize;

LmdModel Load(const std::string& relativePath) {
    const std::string path = std::string(TOMARUGI_MODEL_DIR) + "/" + relativePath;
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << path;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    LmdParseResult parsed = ParseLmd(bytes);
    EXPECT_TRUE(parsed.model) << path << ": " << parsed.message;
    return parsed.model ? std::move(*parsed.model) : LmdModel{};
}

// Bounds of every mesh together, in the bind pose or over every animation.
ModelBounds WholeBounds(const LmdModel& model, bool animated) {
    ModelBounds all;
    for (std::size_t m = 0; m < model.meshes.size(); ++m) {
        const ModelBounds b = animated ? ComputeAnimatedMeshBounds(model, m) : ComputeMeshBounds(model.meshes[m]);
        if (b.empty) {
            continue;
        }
        if (all.empty) {
            all = b;
            continue;
        }
        all.minimum = {std::min(all.minimum.x, b.minimum.x), std::min(all.minimum.y, b.minimum.y),
                       std::min(all.minimum.z, b.minimum.z)};
        all.maximum = {std::max(all.maximum.x, b.maximum.x), std::max(all.maximum.y, b.maximum.y),
                       std::max(all.maximum.z, b.maximum.z)};
    }
    return all;
}

// Extent of all vertices posed at (animation, frame).
ModelBounds PosedBounds(const LmdModel& model, std::int64_t animation, float frame) {
    std::vector<Matrix4> palette(model.bones.size());
    ComputeBonePalette(model, animation, frame, palette);
    ModelBounds bounds;
    for (const LmdMesh& mesh : model.meshes) {
        for (const LmdVertex& vertex : mesh.vertices) {
            const LmdVector3 p = palette[vertex.bone].TransformPoint(vertex.position);
            if (bounds.empty) {
                bounds.minimum = bounds.maximum = p;
                bounds.empty = false;
            }
            bounds.minimum = {std::min(bounds.minimum.x, p.x), std::min(bounds.minimum.y, p.y), std::min(bounds.minimum.z, p.z)};
            bounds.maximum = {std::max(bounds.maximum.x, p.x), std::max(bounds.maximum.y, p.y), std::max(bounds.maximum.z, p.z)};
        }
    }
    return bounds;
}

// Total surface area of every triangle posed at (animation, frame), in square units.
float PosedArea(const LmdModel& model, std::int64_t animation, float frame) {
    std::vector<Matrix4> palette(model.bones.size());
    ComputeBonePalette(model, animation, frame, palette);
    double area = 0.0;
    for (const LmdMesh& mesh : model.meshes) {
        auto posed = [&](std::uint32_t index) {
            return palette[mesh.vertices[index].bone].TransformPoint(mesh.vertices[index].position);
        };
        for (const auto& list : mesh.triangles) {
            for (std::size_t i = 0; i + 2 < list.size(); i += 3) {
                const LmdVector3 a = posed(list[i]), b = posed(list[i + 1]), c = posed(list[i + 2]);
                const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
                const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
                const double cx = uy * vz - uz * vy, cy = uz * vx - ux * vz, cz = ux * vy - uy * vx;
                area += 0.5 * std::sqrt(cx * cx + cy * cy + cz * cz);
            }
        }
    }
    return static_cast<float>(area);
}

// Stands on its cell: inside the 20 × 20 square around the cell's point, on y = 0.
void ExpectStandsOnOneCell(const ModelBounds& bounds, const char* name) {
    EXPECT_GE(bounds.minimum.x, -10.0f) << name;
    EXPECT_LE(bounds.maximum.x, 10.0f) << name;
    EXPECT_GE(bounds.minimum.z, -10.0f) << name;
    EXPECT_LE(bounds.maximum.z, 10.0f) << name;
    EXPECT_NEAR(bounds.minimum.y, 0.0f, 0.2f) << name;
}

TEST(ShippedModels, PlayerHasEveryAnimationThePuzzlePlays) {
    const LmdModel nuiko = Load("nuiko/nuiko.lmd");
    for (int animation = 0; animation <= 7; ++animation) {
        EXPECT_GT(nuiko.GetAnimationLength(animation), 0.0f) << "animation " << animation;
    }
    // Idle loops long enough to read as breathing, short enough to change within seconds.
    for (int idle : {0, 6, 7}) {
        EXPECT_GE(nuiko.GetAnimationLength(idle), 60.0f) << idle;
        EXPECT_LE(nuiko.GetAnimationLength(idle), 150.0f) << idle;
    }
    EXPECT_LE(nuiko.bones.size(), ModelShaderBonePaletteSize);
}

TEST(ShippedModels, PlayerFitsACellAndFacesMinusZ) {
    const LmdModel nuiko = Load("nuiko/nuiko.lmd");
    const ModelBounds bounds = WholeBounds(nuiko, false);
    ExpectStandsOnOneCell(bounds, "nuiko");
    const float height = bounds.maximum.y - bounds.minimum.y;
    EXPECT_GE(height, 14.0f);
    EXPECT_LE(height, 18.0f);
    // The eye shines (the one unlit material) sit on the face, on the -Z side.
    int shines = 0;
    for (const LmdMesh& mesh : nuiko.meshes) {
        for (std::size_t j = 0; j < mesh.materials.size(); ++j) {
            if (!(mesh.materials[j].flags & kLmdMaterialUnlit)) {
                continue;
            }
            for (std::uint32_t index : mesh.triangles[j]) {
                EXPECT_LT(mesh.vertices[index].position.z, -4.0f);
                ++shines;
            }
        }
    }
    EXPECT_GT(shines, 0);
    // Every pose of every animation stays on and around its cell (a jump may rise).
    const ModelBounds animated = WholeBounds(nuiko, true);
    EXPECT_GE(animated.minimum.x, -10.0f);
    EXPECT_LE(animated.maximum.x, 10.0f);
    EXPECT_GE(animated.minimum.z, -10.0f);
    EXPECT_LE(animated.maximum.z, 10.0f);
    EXPECT_GE(animated.minimum.y, -1.0f);
    EXPECT_LE(animated.maximum.y, 25.0f);
}

TEST(ShippedModels, FloorTileCoversExactlyItsCellWithItsTopAtZero) {
    const LmdModel floor = Load("object/floorboard_ice.lmd");
    const ModelBounds bounds = WholeBounds(floor, false);
    // Centred on the cell's point, nearly 20 wide (a bevel gap of at most a unit), top at 0.
    EXPECT_NEAR(bounds.minimum.x, -10.0f, 0.5f);
    EXPECT_NEAR(bounds.maximum.x, 10.0f, 0.5f);
    EXPECT_NEAR(bounds.minimum.z, -10.0f, 0.5f);
    EXPECT_NEAR(bounds.maximum.z, 10.0f, 0.5f);
    EXPECT_GE(bounds.minimum.x, -10.0f);
    EXPECT_LE(bounds.maximum.x, 10.0f);
    EXPECT_NEAR(bounds.maximum.y, 0.0f, 1.0e-4f);
    EXPECT_LT(bounds.minimum.y, -1.0f);
    EXPECT_FALSE(ModelIsSkinned(floor));
}

TEST(ShippedModels, IcicleFillsACellAndStaysTintedUnderTheTranslucentOverride) {
    const LmdModel icicle = Load("object/icicle.lmd");
    const ModelBounds bounds = WholeBounds(icicle, false);
    ExpectStandsOnOneCell(bounds, "icicle");
    EXPECT_GE(bounds.maximum.x - bounds.minimum.x, 14.0f);
    EXPECT_GE(bounds.maximum.y, 18.0f);  // taller than the player
    bool anyTransparent = false;
    for (const LmdMesh& mesh : icicle.meshes) {
        // The puzzle sets the material colour to (1, 1, 1, 0.6) and never back: the blue
        // lives in the vertex colours.
        EXPECT_TRUE(mesh.vertexFormat & kLmdVertexHasColor);
        for (const LmdMaterial& material : mesh.materials) {
            EXPECT_EQ(material.color[0], 1.0f);
            EXPECT_EQ(material.color[1], 1.0f);
            EXPECT_EQ(material.color[2], 1.0f);
            anyTransparent |= (material.flags & kLmdMaterialTransparent) != 0;
        }
    }
    EXPECT_TRUE(anyTransparent);
}

TEST(ShippedModels, FrozenFrogIsAnOpaqueFrogInTranslucentIce) {
    const LmdModel frog = Load("object/frog_frozen.lmd");
    ExpectStandsOnOneCell(WholeBounds(frog, false), "frog_frozen");
    int transparent = 0, opaque = 0;
    for (std::size_t m = 0; m < frog.meshes.size(); ++m) {
        for (std::size_t j = 0; j < frog.meshes[m].materials.size(); ++j) {
            (MaterialShaderOptions(frog, m, j).transparent ? transparent : opaque) += 1;
        }
    }
    EXPECT_GE(transparent, 1);
    EXPECT_GE(opaque, 1);
    EXPECT_FALSE(ModelIsSkinned(frog));
}

// The far frog stands in for the frozen frog: the same materials in the same order (the
// puzzle may set one actor's materials like the other's), the same bones and nearly the
// same bounds (the renderer culls both alike), a quarter of the triangles or fewer.
TEST(ShippedModels, FarFrozenFrogIsTheFrozenFrogWithFewerTriangles) {
    const LmdModel frog = Load("object/frog_frozen.lmd");
    const LmdModel far = Load("object/frog_frozen_far.lmd");
    ASSERT_EQ(far.meshes.size(), frog.meshes.size());
    const auto triangles = [](const LmdModel& model) {
        std::size_t count = 0;
        for (const LmdMesh& mesh : model.meshes) {
            for (const auto& list : mesh.triangles) {
                count += list.size() / 3;
            }
        }
        return count;
    };
    for (std::size_t m = 0; m < frog.meshes.size(); ++m) {
        ASSERT_EQ(far.meshes[m].materials.size(), frog.meshes[m].materials.size());
        for (std::size_t j = 0; j < frog.meshes[m].materials.size(); ++j) {
            const LmdMaterial& a = frog.meshes[m].materials[j];
            const LmdMaterial& b = far.meshes[m].materials[j];
            EXPECT_EQ(a.flags, b.flags) << "material " << j;
            for (int c = 0; c < 4; ++c) {
                EXPECT_EQ(a.color[c], b.color[c]) << "material " << j;
            }
        }
    }
    EXPECT_EQ(far.bones.size(), frog.bones.size());
    EXPECT_LE(triangles(far) * 4, triangles(frog));
    const ModelBounds near = WholeBounds(frog, false);
    const ModelBounds distant = WholeBounds(far, false);
    EXPECT_NEAR(distant.minimum.x, near.minimum.x, 0.3f);
    EXPECT_NEAR(distant.maximum.x, near.maximum.x, 0.3f);
    EXPECT_NEAR(distant.maximum.y, near.maximum.y, 0.3f);
    EXPECT_NEAR(distant.minimum.z, near.minimum.z, 0.3f);
    EXPECT_NEAR(distant.maximum.z, near.maximum.z, 0.3f);
}

TEST(ShippedModels, LeavingFrogBreaksOutAndIsGoneByTheEnd) {
    const LmdModel frog = Load("object/frog_leave.lmd");
    const float length = frog.GetAnimationLength(1);
    EXPECT_GE(length, 40.0f);
    EXPECT_LE(length, 60.0f);
    EXPECT_EQ(frog.GetAnimationLength(0), 0.0f);
    // At the start it looks like the frozen frog on its cell.
    const ModelBounds start = PosedBounds(frog, 1, 0.0f);
    ExpectStandsOnOneCell(start, "frog_leave at frame 0");
    EXPECT_GT(start.maximum.y, 10.0f);
    // The puzzle draws it once more with its clock one past the length: nothing may show.
    EXPECT_GT(PosedArea(frog, 1, 0.0f), 100.0f);
    for (float frame : {length, length + 1.0f}) {
        EXPECT_LT(PosedArea(frog, 1, frame), 1.0e-3f) << frame;
    }
    // Halfway through, the frog is in the air above the cell.
    EXPECT_GT(PosedBounds(frog, 1, length * 0.6f).maximum.y, 15.0f);
}

}  // namespace
