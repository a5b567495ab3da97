// Primitives.cpp: the generator's shapes as triangle meshes.
#include "Primitives.h"

#include <algorithm>
#include <cmath>

namespace Tomarugi::ModelGen {

namespace {

constexpr float kPi = 3.14159265358979323846f;

Vec3 Add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Scale(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
Vec3 Normalise(Vec3 a) {
    const float length = Length(a);
    return length > 0.0f ? Scale(a, 1.0f / length) : Vec3{0.0f, 1.0f, 0.0f};
}

// Appends triangle (a, b, c), dropping it when it has no area (grid rows that meet at a
// pole) and turning it so that it faces the way its vertex normals point. Every shape
// below builds its faces through this, so no shape has to get its winding right by hand.
void AddTriangle(Shape& shape, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    const Vec3 pa = shape.vertices[a].position, pb = shape.vertices[b].position, pc = shape.vertices[c].position;
    const Vec3 face = Cross(Sub(pb, pa), Sub(pc, pa));
    if (Length(face) < 1.0e-7f) {
        return;
    }
    const Vec3 normal = Add(Add(shape.vertices[a].normal, shape.vertices[b].normal), shape.vertices[c].normal);
    if (Dot(face, normal) < 0.0f) {
        std::swap(b, c);
    }
    shape.indices.insert(shape.indices.end(), {a, b, c});
}

// Triangulates a (columns + 1) × (rows + 1) vertex grid starting at `first`, row by row.
void AddGrid(Shape& shape, std::uint32_t first, int columns, int rows) {
    const auto stride = static_cast<std::uint32_t>(columns + 1);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const std::uint32_t i00 = first + static_cast<std::uint32_t>(r) * stride + static_cast<std::uint32_t>(c);
            const std::uint32_t i01 = i00 + 1, i10 = i00 + stride, i11 = i10 + 1;
            AddTriangle(shape, i00, i10, i11);
            AddTriangle(shape, i00, i11, i01);
        }
    }
}

// A flat disc of `radius` at height y facing `up` (+1) or down (-1).
void AddDisc(Shape& shape, float y, float radius, float up, int segments, Vec3 radiusScale = {1, 1, 1}) {
    const auto centre = static_cast<std::uint32_t>(shape.vertices.size());
    shape.vertices.push_back({{0.0f, y, 0.0f}, {0.0f, up, 0.0f}, 0.5f, 0.5f});
    for (int s = 0; s <= segments; ++s) {
        const float angle = 2.0f * kPi * float(s) / float(segments);
        const float c = std::cos(angle), n = std::sin(angle);
        shape.vertices.push_back({{radius * radiusScale.x * c, y, radius * radiusScale.z * n},
                                  {0.0f, up, 0.0f},
                                  0.5f + 0.5f * c,
                                  0.5f + 0.5f * n});
    }
    for (int s = 0; s < segments; ++s) {
        AddTriangle(shape, centre, centre + 1 + static_cast<std::uint32_t>(s), centre + 2 + static_cast<std::uint32_t>(s));
    }
}

void Append(Shape& shape, const Shape& other) {
    const auto offset = static_cast<std::uint32_t>(shape.vertices.size());
    shape.vertices.insert(shape.vertices.end(), other.vertices.begin(), other.vertices.end());
    for (std::uint32_t index : other.indices) {
        shape.indices.push_back(index + offset);
    }
}

}  // namespace

Shape MakeBox(Vec3 size) {
    Shape shape;
    const Vec3 h = Scale(size, 0.5f);
    // Per face: normal, and the two in-plane axes.
    const Vec3 normals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const Vec3& n : normals) {
        const Vec3 u = std::fabs(n.y) > 0.5f ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
        const Vec3 w = Cross(n, u);
        const auto first = static_cast<std::uint32_t>(shape.vertices.size());
        for (int r = 0; r <= 1; ++r) {
            for (int c = 0; c <= 1; ++c) {
                const float su = c ? 1.0f : -1.0f, sw = r ? 1.0f : -1.0f;
                const Vec3 direction = Add(Add(n, Scale(u, su)), Scale(w, sw));
                shape.vertices.push_back({{direction.x * h.x, direction.y * h.y, direction.z * h.z}, n, float(c), float(r)});
            }
        }
        AddGrid(shape, first, 1, 1);
    }
    return shape;
}

Shape MakeRoundedBox(Vec3 size, float radius, int rings) {
    rings = std::max(rings, 1);
    const Vec3 h = Scale(size, 0.5f);
    radius = std::clamp(radius, 0.0f, std::min({h.x, h.y, h.z}));
    if (radius <= 0.0f) {
        return MakeBox(size);
    }
    const float halves[3] = {h.x, h.y, h.z};
    // Coordinates along one axis: a quarter round from -h to -(h - r), then one from
    // (h - r) to h; the flat middle needs no inner points.
    auto axisCoordinates = [&](float half) {
        std::vector<float> values;
        for (int k = 0; k <= rings; ++k) {
            values.push_back(-(half - radius) - radius * std::cos(0.5f * kPi * float(k) / float(rings)));
        }
        for (int k = 0; k <= rings; ++k) {
            values.push_back((half - radius) + radius * std::sin(0.5f * kPi * float(k) / float(rings)));
        }
        return values;
    };
    Shape shape;
    for (int axis = 0; axis < 3; ++axis) {
        for (float sign : {-1.0f, 1.0f}) {
            const int axisU = (axis + 1) % 3, axisW = (axis + 2) % 3;
            const std::vector<float> us = axisCoordinates(halves[axisU]);
            const std::vector<float> ws = axisCoordinates(halves[axisW]);
            const auto first = static_cast<std::uint32_t>(shape.vertices.size());
            for (std::size_t r = 0; r < ws.size(); ++r) {
                for (std::size_t c = 0; c < us.size(); ++c) {
                    float q[3];
                    q[axis] = sign * halves[axis];
                    q[axisU] = us[c];
                    q[axisW] = ws[r];
                    float inner[3], d[3];
                    for (int i = 0; i < 3; ++i) {
                        inner[i] = std::clamp(q[i], -(halves[i] - radius), halves[i] - radius);
                        d[i] = q[i] - inner[i];
                    }
                    const Vec3 n = Normalise({d[0], d[1], d[2]});
                    const Vec3 p = Add({inner[0], inner[1], inner[2]}, Scale(n, radius));
                    shape.vertices.push_back({p, n, float(c) / float(us.size() - 1), float(r) / float(ws.size() - 1)});
                }
            }
            AddGrid(shape, first, static_cast<int>(us.size()) - 1, static_cast<int>(ws.size()) - 1);
        }
    }
    return shape;
}

Shape MakeEllipsoid(Vec3 radii, int segments, int rings, float arcDegrees) {
    segments = std::max(segments, 3);
    rings = std::max(rings, 2);
    const float arc = std::clamp(arcDegrees, 1.0f, 180.0f) * kPi / 180.0f;
    Shape shape;
    for (int r = 0; r <= rings; ++r) {
        const float theta = arc * float(r) / float(rings);
        for (int s = 0; s <= segments; ++s) {
            const float phi = 2.0f * kPi * float(s) / float(segments);
            const Vec3 unit{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
            const Vec3 p{unit.x * radii.x, unit.y * radii.y, unit.z * radii.z};
            const Vec3 n = Normalise({p.x / (radii.x * radii.x), p.y / (radii.y * radii.y), p.z / (radii.z * radii.z)});
            shape.vertices.push_back({p, n, float(s) / float(segments), theta / kPi});
        }
    }
    AddGrid(shape, 0, segments, rings);
    if (arc < kPi - 1.0e-4f) {
        // Close the cut with a flat disc so the dome is a solid.
        AddDisc(shape, radii.y * std::cos(arc), std::sin(arc), -1.0f, segments, {radii.x, 1, radii.z});
    }
    return shape;
}

Shape MakeCylinder(float bottomRadius, float topRadius, float height, int segments) {
    segments = std::max(segments, 3);
    Shape shape;
    const float half = height * 0.5f;
    const float slope = height > 0.0f ? (bottomRadius - topRadius) / height : 0.0f;
    for (int r = 0; r <= 1; ++r) {
        const float y = r ? half : -half;
        const float radius = r ? topRadius : bottomRadius;
        for (int s = 0; s <= segments; ++s) {
            const float phi = 2.0f * kPi * float(s) / float(segments);
            const float c = std::cos(phi), n = std::sin(phi);
            shape.vertices.push_back({{radius * c, y, radius * n}, Normalise({c, slope, n}), float(s) / float(segments), float(r)});
        }
    }
    AddGrid(shape, 0, segments, 1);
    if (bottomRadius > 0.0f) {
        AddDisc(shape, -half, bottomRadius, -1.0f, segments);
    }
    if (topRadius > 0.0f) {
        AddDisc(shape, half, topRadius, 1.0f, segments);
    }
    return shape;
}

Shape MakeCapsule(float radius, float height, int segments, int rings) {
    segments = std::max(segments, 3);
    rings = std::max(rings, 2);
    rings += rings % 2;  // the equator row is doubled, one copy per hemisphere
    const float half = std::max(height * 0.5f - radius, 0.0f);
    Shape shape;
    int rows = 0;
    for (int r = 0; r <= rings; ++r) {
        const float theta = kPi * float(r) / float(rings);
        const int copies = (r == rings / 2) ? 2 : 1;
        for (int copy = 0; copy < copies; ++copy) {
            const float offset = (r < rings / 2 || (r == rings / 2 && copy == 0)) ? half : -half;
            for (int s = 0; s <= segments; ++s) {
                const float phi = 2.0f * kPi * float(s) / float(segments);
                const Vec3 n{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
                shape.vertices.push_back({{n.x * radius, n.y * radius + offset, n.z * radius}, n,
                                          float(s) / float(segments), float(r) / float(rings)});
            }
            ++rows;
        }
    }
    AddGrid(shape, 0, segments, rows - 1);
    return shape;
}

Shape MakeTorus(float radius, float tube, int segments, int rings, float startDegrees, float endDegrees) {
    segments = std::max(segments, 3);
    rings = std::max(rings, 3);
    const float start = startDegrees * kPi / 180.0f;
    const float sweep = std::clamp(endDegrees - startDegrees, 1.0f, 360.0f) * kPi / 180.0f;
    const int steps = std::max(2, static_cast<int>(std::ceil(float(segments) * sweep / (2.0f * kPi))));
    Shape shape;
    for (int s = 0; s <= steps; ++s) {
        const float phi = start + sweep * float(s) / float(steps);
        for (int r = 0; r <= rings; ++r) {
            const float psi = 2.0f * kPi * float(r) / float(rings);
            const Vec3 n{std::cos(psi) * std::cos(phi), std::sin(psi), std::cos(psi) * std::sin(phi)};
            const Vec3 centre{radius * std::cos(phi), 0.0f, radius * std::sin(phi)};
            shape.vertices.push_back({Add(centre, Scale(n, tube)), n, float(s) / float(steps), float(r) / float(rings)});
        }
    }
    AddGrid(shape, 0, rings, steps);
    if (sweep < 2.0f * kPi - 1.0e-4f) {
        // Round ends on an open ring.
        for (float phi : {start, start + sweep}) {
            Shape end = MakeEllipsoid({tube, tube, tube}, rings, std::max(rings / 2, 2));
            for (ShapeVertex& vertex : end.vertices) {
                vertex.position = Add(vertex.position, {radius * std::cos(phi), 0.0f, radius * std::sin(phi)});
            }
            Append(shape, end);
        }
    }
    return shape;
}

void MakeFlat(Shape& shape) {
    Shape flat;
    flat.vertices.reserve(shape.indices.size());
    for (std::size_t i = 0; i + 2 < shape.indices.size(); i += 3) {
        ShapeVertex a = shape.vertices[shape.indices[i]];
        ShapeVertex b = shape.vertices[shape.indices[i + 1]];
        ShapeVertex c = shape.vertices[shape.indices[i + 2]];
        const Vec3 n = Normalise(Cross(Sub(b.position, a.position), Sub(c.position, a.position)));
        a.normal = b.normal = c.normal = n;
        const auto first = static_cast<std::uint32_t>(flat.vertices.size());
        flat.vertices.insert(flat.vertices.end(), {a, b, c});
        flat.indices.insert(flat.indices.end(), {first, first + 1, first + 2});
    }
    shape = std::move(flat);
}

void DropCapFaces(Shape& shape, bool top, bool bottom) {
    // A face within about 2.5 degrees of straight up or down counts as a cap.
    constexpr float CapCosine = 0.999f;
    Shape kept;
    std::vector<std::uint32_t> remap(shape.vertices.size(), UINT32_MAX);
    for (std::size_t i = 0; i + 2 < shape.indices.size(); i += 3) {
        const std::uint32_t corners[3] = {shape.indices[i], shape.indices[i + 1], shape.indices[i + 2]};
        const Vec3 n = Normalise(Cross(Sub(shape.vertices[corners[1]].position, shape.vertices[corners[0]].position),
                                       Sub(shape.vertices[corners[2]].position, shape.vertices[corners[0]].position)));
        if ((top && n.y > CapCosine) || (bottom && n.y < -CapCosine)) {
            continue;
        }
        for (const std::uint32_t corner : corners) {
            if (remap[corner] == UINT32_MAX) {
                remap[corner] = static_cast<std::uint32_t>(kept.vertices.size());
                kept.vertices.push_back(shape.vertices[corner]);
            }
            kept.indices.push_back(remap[corner]);
        }
    }
    shape = std::move(kept);
}

}  // namespace Tomarugi::ModelGen
