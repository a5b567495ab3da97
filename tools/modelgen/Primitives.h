// Primitives.h: triangle meshes of the model generator's shapes, in the shape's own space.
//
// Every shape is centred on the origin with Y up; the generator moves, turns and scales it
// afterwards. Winding is counter-clockwise seen from outside; normals are unit length.
// Sizes are world units; `segments` counts steps around a full turn, `rings` steps from
// pole to pole (or along a rounded edge), each clamped to a sensible minimum.
#pragma once

#include <cstdint>
#include <vector>

namespace Tomarugi::ModelGen {

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

struct ShapeVertex {
    Vec3 position;
    Vec3 normal;
    float u = 0.0f, v = 0.0f;
};

struct Shape {
    std::vector<ShapeVertex> vertices;
    std::vector<std::uint32_t> indices;  // three per triangle
};

// A box with sides `size` (full lengths), flat faces.
Shape MakeBox(Vec3 size);
// A box with sides `size` whose edges and corners are rounded with `radius` (clamped to
// half the smallest side); `rings` steps per quarter round.
Shape MakeRoundedBox(Vec3 size, float radius, int rings);
// An ellipsoid with half-axes `radii` (a sphere when all three are equal). `arcDegrees`
// below 180 keeps only the cap within that angle of +Y (180 = whole), for domes and hoods.
Shape MakeEllipsoid(Vec3 radii, int segments, int rings, float arcDegrees = 180.0f);
// A cylinder along Y of `height`, radius `bottomRadius` at y = -height/2 and `topRadius`
// at +height/2 (0 makes a cone); caps where the radius is above 0.
Shape MakeCylinder(float bottomRadius, float topRadius, float height, int segments);
// A capsule along Y, `height` from end to end (at least 2 × radius).
Shape MakeCapsule(float radius, float height, int segments, int rings);
// A torus in the XZ plane around Y: ring radius `radius`, tube radius `tube`. The ring
// runs from `startDegrees` to `endDegrees` (0 = +X, 90 = +Z); a partial ring gets round ends.
Shape MakeTorus(float radius, float tube, int segments, int rings, float startDegrees = 0.0f,
                float endDegrees = 360.0f);

// Unwelds `shape` so that every triangle has its own three vertices with the face normal:
// a faceted, crystal look.
void MakeFlat(Shape& shape);

// Leaves out the faces of `shape` that look straight up (+Y, `top`) or straight down (-Y,
// `bottom`) in the shape's own space, and the vertices only they used: for faces another
// part always covers, which the renderer would otherwise rasterise under it every frame.
void DropCapFaces(Shape& shape, bool top, bool bottom);

}  // namespace Tomarugi::ModelGen
