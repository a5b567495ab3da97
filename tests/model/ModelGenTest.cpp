// The model generator: its shapes are closed solids wound outwards, parts land where the
// definition puts them, keys are relative to the bind pose, and faulty definitions are
// refused with the file and line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <string>

#include "ModelDefinition.h"
#include "ModelPose.h"
#include "Primitives.h"

namespace {

using namespace Tomarugi::ModelGen;
using namespace Lumora::Internal;

constexpr float kPi = 3.14159265358979f;

// Signed volume by the divergence theorem: positive and equal to the solid's volume when
// the surface is closed and every triangle faces outwards; a missing or inverted face
// changes it.
double SignedVolume(const std::vector<Vec3>& positions, const std::vector<std::uint32_t>& indices) {
    double volume = 0.0;
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
        const Vec3 a = positions[indices[i]], b = positions[indices[i + 1]], c = positions[indices[i + 2]];
        volume += (double(a.x) * (double(b.y) * c.z - double(b.z) * c.y) - double(a.y) * (double(b.x) * c.z - double(b.z) * c.x) +
                   double(a.z) * (double(b.x) * c.y - double(b.y) * c.x)) / 6.0;
    }
    return volume;
}

double SignedVolume(const Shape& shape) {
    std::vector<Vec3> positions;
    for (const ShapeVertex& vertex : shape.vertices) {
        positions.push_back(vertex.position);
    }
    return SignedVolume(positions, shape.indices);
}

double SignedVolume(const LmdMesh& mesh) {
    std::vector<Vec3> positions;
    for (const LmdVertex& vertex : mesh.vertices) {
        positions.push_back({vertex.position.x, vertex.position.y, vertex.position.z});
    }
    double volume = 0.0;
    for (const auto& list : mesh.triangles) {
        volume += SignedVolume(positions, list);
    }
    return volume;
}

// Normals point away from the surface's inside: at each vertex the normal and the
// direction from the shape's centre agree (true for these convex, origin-centred shapes).
bool NormalsPointOutwards(const Shape& shape) {
    for (const ShapeVertex& vertex : shape.vertices) {
        const Vec3 p = vertex.position, n = vertex.normal;
        if (p.x * n.x + p.y * n.y + p.z * n.z < -1.0e-4f) {
            return false;
        }
    }
    return true;
}

BuildResult Build(const std::string& text, const IncludeReader& reader = {}) {
    return BuildModelFromText(text, "test.txt", reader);
}

TEST(Primitives, ShapesAreClosedSolidsOfTheExpectedVolume) {
    struct Case {
        const char* name;
        Shape shape;
        double volume;
        double tolerance;  // relative: faceting makes round shapes a little smaller
    };
    const double r = 2.0;
    Case cases[] = {
        {"box", MakeBox({2, 3, 4}), 24.0, 1e-6},
        {"rounded box", MakeRoundedBox({4, 4, 4}, 1.0f, 6),
         // the cube less its edges and corners: 4³ - (8 - 4π/3)r³ - 12·(1 - π/4)·r²·2
         64.0 - (8.0 - 4.0 * kPi / 3.0) - 12.0 * (1.0 - kPi / 4.0) * 2.0, 0.02},
        {"sphere", MakeEllipsoid({float(r), float(r), float(r)}, 48, 24), 4.0 / 3.0 * kPi * r * r * r, 0.02},
        {"ellipsoid", MakeEllipsoid({1, 2, 3}, 48, 24), 4.0 / 3.0 * kPi * 6.0, 0.02},
        {"half dome", MakeEllipsoid({2, 2, 2}, 48, 24, 90.0f), 2.0 / 3.0 * kPi * 8.0, 0.02},
        {"cylinder", MakeCylinder(1.0f, 1.0f, 3.0f, 64), kPi * 3.0, 0.01},
        {"cone", MakeCylinder(2.0f, 0.0f, 3.0f, 64), kPi * 4.0, 0.01},
        {"capsule", MakeCapsule(1.0f, 4.0f, 48, 24), kPi * 2.0 + 4.0 / 3.0 * kPi, 0.02},
        {"torus", MakeTorus(3.0f, 1.0f, 64, 32), 2.0 * kPi * kPi * 3.0, 0.02},
    };
    for (Case& c : cases) {
        EXPECT_NEAR(SignedVolume(c.shape), c.volume, c.volume * c.tolerance) << c.name;
        if (std::string(c.name) != "torus") {
            EXPECT_TRUE(NormalsPointOutwards(c.shape)) << c.name;
        }
        MakeFlat(c.shape);
        EXPECT_NEAR(SignedVolume(c.shape), c.volume, c.volume * c.tolerance) << c.name << " made flat";
        EXPECT_TRUE(NormalsPointOutwards(c.shape) || std::string(c.name) == "torus") << c.name << " made flat";
    }
}

TEST(Primitives, PartialTorusIsClosedWithRoundEnds) {
    const Shape arc = MakeTorus(3.0f, 0.5f, 64, 16, 0.0f, 180.0f);
    // Half the ring plus two whole end balls: each closed surface adds its own volume,
    // overlaps included.
    const double expected = kPi * kPi * 3.0 * 0.25 + 2.0 * 4.0 / 3.0 * kPi * 0.125;
    EXPECT_NEAR(SignedVolume(arc), expected, expected * 0.05);
}

TEST(ModelDefinition, PartsArePlacedTurnedScaledAndMirrored) {
    const BuildResult built = Build(
        "material m color 1 1 1\n"
        "part box size 2 4 6 at 10 0 0 rotate 0 90 0 material m\n"
        "part box size 1 1 1 at 5 0 0 scale 2 -1 1 material m mirror -\n");
    ASSERT_TRUE(built.model) << built.error;
    const LmdMesh& mesh = built.model->meshes.at(0);
    ASSERT_EQ(mesh.vertices.size(), 24u * 3u);
    // Turned 90° about Y, the box's 6-unit depth lies along X around x = 10.
    float minX = 1e9f, maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f;
    for (std::size_t v = 0; v < 24; ++v) {
        minX = std::min(minX, mesh.vertices[v].position.x);
        maxX = std::max(maxX, mesh.vertices[v].position.x);
        minZ = std::min(minZ, mesh.vertices[v].position.z);
        maxZ = std::max(maxZ, mesh.vertices[v].position.z);
    }
    EXPECT_NEAR(minX, 7.0f, 1e-4f);
    EXPECT_NEAR(maxX, 13.0f, 1e-4f);
    EXPECT_NEAR(minZ, -1.0f, 1e-4f);
    EXPECT_NEAR(maxZ, 1.0f, 1e-4f);
    // The mirrored copy lies around x = -5; a negative scale and a mirror keep every part
    // wound outwards: 48 + 2 + 2 cubic units.
    float mirroredMaxX = -1e9f;
    for (std::size_t v = 48; v < 72; ++v) {
        mirroredMaxX = std::max(mirroredMaxX, mesh.vertices[v].position.x);
    }
    EXPECT_NEAR(mirroredMaxX, -4.0f, 1e-4f);
    EXPECT_NEAR(SignedVolume(mesh), 52.0, 1e-3);
}

TEST(ModelDefinition, CapsLeftOutAreThoseFacingUpOrDownInThePartsOwnSpace) {
    // A flat-shaded square prism turned 45 degrees about Y (as the floor tile's layers
    // are), a box tipped 30 degrees about X, an upright box: the caps named go, judged
    // before the part is turned; the sides stay whole; no vertex is left unused.
    const BuildResult built = Build(
        "material m color 1 1 1\n"
        "part cylinder radius 2 top 1.5 height 1 segments 4 rotate 0 45 0 flat notop nobottom material m\n"
        "part box size 2 2 2 at 10 0 0 rotate 30 0 0 nobottom material m\n"
        "part box size 2 2 2 at 20 0 0 notop material m\n");
    ASSERT_TRUE(built.model) << built.error;
    const LmdMesh& mesh = built.model->meshes.at(0);
    const std::vector<std::uint32_t>& triangles = mesh.triangles.at(0);
    ASSERT_EQ(triangles.size(), (8u + 10u + 10u) * 3u);
    std::map<std::string, int> faces; // by part and how far the face looks up
    std::vector<bool> used(mesh.vertices.size(), false);
    for (std::size_t i = 0; i < triangles.size(); i += 3) {
        const LmdVector3 a = mesh.vertices[triangles[i]].position, b = mesh.vertices[triangles[i + 1]].position,
                         c = mesh.vertices[triangles[i + 2]].position;
        const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z, vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
        const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const float up = ny / std::sqrt(nx * nx + ny * ny + nz * nz);
        const float centreX = (a.x + b.x + c.x) / 3.0f;
        const std::string part = centreX < 5.0f ? "prism" : centreX < 15.0f ? "tipped" : "upright";
        const std::string facing = up > 0.999f ? "up" : up < -0.999f ? "down" : up > 0.85f ? "tilted up"
                                   : up < -0.85f ? "tilted down" : "side";
        ++faces[part + " " + facing];
        for (std::size_t k = 0; k < 3; ++k) {
            used[triangles[i + k]] = true;
        }
    }
    const std::map<std::string, int> expected{
        {"prism side", 8}, {"tipped tilted up", 2}, {"tipped side", 8}, {"upright down", 2}, {"upright side", 8}};
    EXPECT_EQ(faces, expected);
    EXPECT_EQ(std::count(used.begin(), used.end(), false), 0);
}

TEST(ModelDefinition, DetailThinsOutRoundShapesOnlyAndNotBelowItsFloor) {
    const auto triangles = [](const std::string& text) {
        const BuildResult built = Build("material m color 1 1 1\n" + text);
        EXPECT_TRUE(built.model) << built.error;
        return built.model ? built.model->meshes.at(0).triangles.at(0).size() / 3 : 0u;
    };
    // Half of 24 x 12 steps is the same sphere as one of 12 x 6; a torus the same way.
    EXPECT_EQ(triangles("detail 0.5\npart sphere radius 1 segments 24 rings 12 material m\n"),
              triangles("part sphere radius 1 segments 12 rings 6 material m\n"));
    EXPECT_EQ(triangles("detail 0.5\npart torus radius 3 tube 1 segments 40 rings 8 material m\n"),
              triangles("part torus radius 3 tube 1 segments 20 rings 4 material m\n"));
    // Never below 6 around and 4 from pole to pole, nor above what the part asked for.
    EXPECT_EQ(triangles("detail 0.1\npart sphere radius 1 segments 24 rings 12 material m\n"),
              triangles("part sphere radius 1 segments 6 rings 4 material m\n"));
    EXPECT_EQ(triangles("detail 0.1\npart sphere radius 1 segments 5 rings 3 material m\n"),
              triangles("part sphere radius 1 segments 5 rings 3 material m\n"));
    // Faceted shapes keep their facets: a six-sided crystal stays six-sided.
    EXPECT_EQ(triangles("detail 0.5\npart cylinder radius 1 height 2 segments 6 material m\n"),
              triangles("part cylinder radius 1 height 2 segments 6 material m\n"));
    // It holds for the parts after it, included ones too.
    const IncludeReader reader = [](const std::string&) -> std::optional<std::string> {
        return std::string("part sphere radius 1 segments 24 rings 12 material m\n");
    };
    const BuildResult included = Build("material m color 1 1 1\ndetail 0.5\ninclude ball.parts\n", reader);
    ASSERT_TRUE(included.model) << included.error;
    EXPECT_EQ(included.model->meshes.at(0).triangles.at(0).size() / 3,
              triangles("part sphere radius 1 segments 12 rings 6 material m\n"));
    EXPECT_FALSE(Build("detail 0\n").model);
    EXPECT_FALSE(Build("detail 1.5\n").model);
    EXPECT_FALSE(Build("detail\n").model);
}

TEST(ModelDefinition, MaterialsBonesAndChannelsReachTheFile) {
    const BuildResult built = Build(
        "material a color 0.5 0.5 0.5 0.25 transparent nofog\n"
        "material b color 1 0 0 unlit texture skin.png\n"
        "bone root\n"
        "bone arm parent root at 0 4 0\n"
        "part sphere radius 1 material a bone arm mirror root segments 8 rings 4\n"
        "mesh second\n"
        "part box size 1 1 1 material b tint 1 0.5 0 1\n");
    ASSERT_TRUE(built.model) << built.error;
    const LmdModel& model = *built.model;
    ASSERT_EQ(model.meshes.size(), 2u);
    EXPECT_EQ(model.meshes[0].name, "body");
    EXPECT_EQ(model.meshes[1].name, "second");
    ASSERT_EQ(model.meshes[0].materials.size(), 1u);
    EXPECT_EQ(model.meshes[0].materials[0].flags, kLmdMaterialTransparent | kLmdMaterialNoFog);
    EXPECT_FLOAT_EQ(model.meshes[0].materials[0].color[3], 0.25f);
    EXPECT_EQ(model.meshes[0].vertexFormat, 0u);
    EXPECT_EQ(model.meshes[1].materials[0].textureName, "skin.png");
    EXPECT_EQ(model.meshes[1].vertexFormat, kLmdVertexHasTexCoord | kLmdVertexHasColor);
    EXPECT_EQ(model.meshes[1].vertices[0].color, (std::array<std::uint8_t, 4>{255, 128, 0, 255}));
    // The part follows "arm", its mirrored copy "root"; the arm's bind is relative to root.
    const std::size_t half = model.meshes[0].vertices.size() / 2;
    EXPECT_EQ(model.meshes[0].vertices.front().bone, 1);
    EXPECT_EQ(model.meshes[0].vertices[half].bone, 0);
    EXPECT_EQ(model.bones[1].parent, 0);
    EXPECT_FLOAT_EQ(model.bones[1].bind.translation.y, 4.0f);
}

TEST(ModelDefinition, KeysAreRelativeToTheBindPose) {
    const BuildResult built = Build(
        "material m color 1 1 1\n"
        "bone root\n"
        "bone head parent root at 0 8 0\n"
        "part sphere radius 1 at 0 9 0 material m bone head\n"
        "animation 2 length 20\n"
        "key head 0\n"
        "key head 10 move 0 5 0 turn 0 90 0 scale 2 2 2\n");
    ASSERT_TRUE(built.model) << built.error;
    const LmdModel& model = *built.model;
    EXPECT_FLOAT_EQ(model.GetAnimationLength(2), 20.0f);
    std::vector<Matrix4> palette(2);
    ComputeBonePalette(model, 2, 0.0f, palette);
    LmdVector3 p = palette[1].TransformPoint({0.0f, 9.0f, -1.0f});
    EXPECT_NEAR(p.y, 9.0f, 1e-4f);
    EXPECT_NEAR(p.z, -1.0f, 1e-4f);
    // At frame 10: pivot raised by 5, turned to face -X, doubled about the pivot.
    ComputeBonePalette(model, 2, 10.0f, palette);
    p = palette[1].TransformPoint({0.0f, 9.0f, -1.0f});
    EXPECT_NEAR(p.x, -2.0f, 1e-4f);
    EXPECT_NEAR(p.y, 15.0f, 1e-4f);
    EXPECT_NEAR(p.z, 0.0f, 1e-4f);
}

TEST(ModelDefinition, SmoothAnimationsEaseInAndOutOfEveryKey) {
    const char* text =
        "material m color 1 1 1\n"
        "bone root\n"
        "part box size 1 1 1 material m\n"
        "animation 0 length 40 %s\n"
        "key root 0\n"
        "key root 40 move 40 0 0\n";
    char linear[512], smooth[512];
    std::snprintf(linear, sizeof linear, text, "");
    std::snprintf(smooth, sizeof smooth, text, "smooth");
    const BuildResult a = Build(linear), b = Build(smooth);
    ASSERT_TRUE(a.model && b.model) << a.error << b.error;
    std::vector<Matrix4> palette(1);
    ComputeBonePalette(*a.model, 0, 10.0f, palette);
    EXPECT_NEAR(palette[0].m[12], 10.0f, 1e-4f);
    ComputeBonePalette(*b.model, 0, 10.0f, palette);
    EXPECT_NEAR(palette[0].m[12], 40.0f * (0.25f * 0.25f * (3.0f - 0.5f)), 1e-3f);  // smoothstep(1/4)
    ComputeBonePalette(*b.model, 0, 20.0f, palette);
    EXPECT_NEAR(palette[0].m[12], 20.0f, 1e-3f);
    ComputeBonePalette(*b.model, 0, 40.0f, palette);
    EXPECT_NEAR(palette[0].m[12], 40.0f, 1e-4f);
}

TEST(ModelDefinition, FaultsNameTheFileAndLine) {
    const std::map<std::string, std::string> cases = {
        {"material m color 1 1 1\npart blob radius 1 material m\n", "test.txt:2: unknown shape 'blob'"},
        {"part box size 1 1 1\n", "test.txt:1: part needs a material"},
        {"material m color 1 1 1\npart box material m size 1 1\n", "test.txt:2: 'size' needs 3 value(s)"},
        {"material m color 1 1 1\n\npart box size 1 x 1 material m\n", "test.txt:3: 'x' is not a number"},
        {"material m color 1 1 1\npart box size 1 1 1 material m bone arm\n", "test.txt:2: no bone named 'arm'"},
        {"material m color 1 1 1\npart box size 1 1 1 material n\n", "test.txt:2: no material named 'n'"},
        {"bone a\nbone a\n", "test.txt:2: bone 'a' defined twice"},
        {"key a 0\n", "test.txt:1: key before any animation"},
        {"bone a\nanimation 0 length 10\nkey a 11\n", "test.txt:3: key frame outside 0..length"},
        {"bone a\nanimation 0 length 10\nkey a 5\nkey a 5\n", "test.txt:4: two keys for bone 'a' at frame 5"},
        {"animation 0 length 0\n", "test.txt:1: an animation's length must be above 0"},
        {"wobble\n", "test.txt:1: unknown statement 'wobble'"},
        {"bone a\n", "test.txt: the definition has no parts"},
        {"material m color 1 1 1\npart box size 1 1 1 scale 1 0 1 material m\n", "test.txt:2: a part's scale may not be 0"},
    };
    for (const auto& [text, message] : cases) {
        const BuildResult built = Build(text);
        EXPECT_FALSE(built.model) << text;
        EXPECT_EQ(built.error, message) << text;
    }
}

TEST(ModelDefinition, IncludesShareStatementsAndRefuseLoops) {
    const IncludeReader reader = [](const std::string& name) -> std::optional<std::string> {
        if (name == "parts.inc") {
            return "material m color 1 1 1\npart box size 1 1 1 material m\n";
        }
        if (name == "broken.inc") {
            return "\npart box size 1 1 1 material nothing\n";
        }
        if (name == "loop.inc") {
            return "include loop.inc\n";
        }
        return std::nullopt;
    };
    BuildResult built = Build("include parts.inc\npart box size 1 1 1 at 3 0 0 material m\n", reader);
    ASSERT_TRUE(built.model) << built.error;
    EXPECT_EQ(built.model->meshes[0].vertices.size(), 48u);

    built = Build("bone root\ninclude broken.inc\n", reader);
    EXPECT_EQ(built.error, "broken.inc:2: no material named 'nothing'");
    built = Build("include loop.inc\n", reader);
    EXPECT_NE(built.error.find("nested too deeply"), std::string::npos) << built.error;
    built = Build("include missing.inc\n", reader);
    EXPECT_EQ(built.error, "test.txt:1: cannot read included file 'missing.inc'");
    built = Build("include parts.inc\n");
    EXPECT_EQ(built.error, "test.txt:1: cannot read included file 'parts.inc'");
}

}  // namespace
