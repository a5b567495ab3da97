// Culling and sorting of one drawn list; no GPU here, so the headless record sees exactly
// what the GL pass draws.
#include "SceneManager.h"

#include <algorithm>
#include <cmath>

namespace Lumora::Internal {

namespace {

struct Plane {
    float x, y, z, w;
};

// The six planes of the view volume from clip = projection * view (each row combination),
// normalised so that a plane's value at a point is its signed distance in world units.
void ExtractPlanes(const Matrix4& clip, Plane planes[6])
{
    auto row = [&](int r, float out[4]) {
        for (int c = 0; c < 4; ++c) {
            out[c] = clip.m[static_cast<std::size_t>(c * 4 + r)];
        }
    };
    float r0[4], r1[4], r2[4], r3[4];
    row(0, r0);
    row(1, r1);
    row(2, r2);
    row(3, r3);
    const float signs[6][2] = {{0, 1}, {0, -1}, {1, 1}, {1, -1}, {2, 1}, {2, -1}};
    const float* rows[3] = {r0, r1, r2};
    for (int i = 0; i < 6; ++i) {
        const float* r = rows[static_cast<int>(signs[i][0])];
        const float sign = signs[i][1];
        Plane p{r3[0] + sign * r[0], r3[1] + sign * r[1], r3[2] + sign * r[2], r3[3] + sign * r[3]};
        const float length = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        if (length > 0.0f) {
            p = {p.x / length, p.y / length, p.z / length, p.w / length};
        }
        planes[i] = p;
    }
}

// The view, the projection and the six culling planes of a camera seen through the
// viewport of `settings` (its size sets the aspect when given).
struct ViewVolume {
    Matrix4 view;
    Matrix4 projection;
    Plane planes[6];
};

ViewVolume MakeViewVolume(const SceneCamera::State& camera, const SceneSnapshot& settings)
{
    ViewVolume volume;
    volume.view = LookAtMatrix(camera.eye, camera.target);
    const float fieldOfView = static_cast<float>(camera.fieldOfView) * (6.28318530717958647692f / 65536.0f);
    float aspect = camera.aspect;
    if (settings.viewportWidth > 0 && settings.viewportHeight > 0) {
        aspect = static_cast<float>(settings.viewportWidth) / static_cast<float>(settings.viewportHeight);
    }
    volume.projection = PerspectiveMatrix(fieldOfView, aspect, camera.nearPlane, camera.farPlane);
    ExtractPlanes(volume.projection * volume.view, volume.planes);
    return volume;
}

// A convex polygon in the ground plane (world X, Z), clipped one half-plane at a time.
// Starting from a square and cut by at most six half-planes it never has more than ten
// corners, so fixed arrays hold it and the clipping allocates nothing.
struct GroundPolygon {
    static constexpr int MaxCorners = 16;
    double x[MaxCorners];
    double z[MaxCorners];
    int count = 0;

    // Keeps the part where a * x + b * z + c >= 0.
    void Clip(double a, double b, double c)
    {
        double keptX[MaxCorners];
        double keptZ[MaxCorners];
        int kept = 0;
        for (int i = 0; i < count; ++i) {
            const int j = (i + 1) % count;
            const double here = a * x[i] + b * z[i] + c;
            const double next = a * x[j] + b * z[j] + c;
            if (here >= 0.0 && kept < MaxCorners) {
                keptX[kept] = x[i];
                keptZ[kept] = z[i];
                ++kept;
            }
            if ((here >= 0.0) != (next >= 0.0) && kept < MaxCorners) {
                const double t = here / (here - next);
                keptX[kept] = x[i] + t * (x[j] - x[i]);
                keptZ[kept] = z[i] + t * (z[j] - z[i]);
                ++kept;
            }
        }
        std::copy(keptX, keptX + kept, x);
        std::copy(keptZ, keptZ + kept, z);
        count = kept;
    }
};

} // namespace

bool SceneManager::GetVisibleGround(IModel* model, float height, Math::Rect& area)
{
    area = Math::Rect();
    if (model == nullptr) {
        return false;
    }
    const SceneModel& scene = *static_cast<const SceneModel*>(model);
    const ViewVolume volume = MakeViewVolume(camera_->Current(), settings_);
    const LmdVector3& centre = scene.SphereCentre();
    // An unturned actor translated by (x, height, z) passes BuildFrame's test when, for
    // every plane, plane . (centre + translation) + w >= -radius: a half-plane in (x, z).
    // Each is widened by one world unit so that the float rounding of that test can never
    // accept a translation this rectangle left out; the few extra ones it admits are culled
    // as before.
    constexpr double RoundingMargin = 1.0;
    // Larger than any usable scene; the far plane bounds the view long before.
    constexpr double Unbounded = 1.0e9;
    GroundPolygon ground;
    ground.count = 4;
    const double startX[4] = {-Unbounded, Unbounded, Unbounded, -Unbounded};
    const double startZ[4] = {-Unbounded, -Unbounded, Unbounded, Unbounded};
    std::copy(startX, startX + 4, ground.x);
    std::copy(startZ, startZ + 4, ground.z);
    const double radius = scene.SphereRadius();
    for (const Plane& plane : volume.planes) {
        const double offset = static_cast<double>(plane.x) * centre.x +
                              static_cast<double>(plane.y) * (static_cast<double>(height) + centre.y) +
                              static_cast<double>(plane.z) * centre.z + plane.w + radius + RoundingMargin;
        if (plane.x == 0.0f && plane.z == 0.0f) {
            if (offset < 0.0) {
                return false; // the whole height lies outside this plane
            }
            continue;
        }
        ground.Clip(plane.x, plane.z, offset);
        if (ground.count == 0) {
            return false;
        }
    }
    double minX = ground.x[0];
    double maxX = ground.x[0];
    double minZ = ground.z[0];
    double maxZ = ground.z[0];
    for (int i = 1; i < ground.count; ++i) {
        minX = std::min(minX, ground.x[i]);
        maxX = std::max(maxX, ground.x[i]);
        minZ = std::min(minZ, ground.z[i]);
        maxZ = std::max(maxZ, ground.z[i]);
    }
    area = Math::Rect(static_cast<float>(minX - RoundingMargin), static_cast<float>(minZ - RoundingMargin),
                      static_cast<float>(maxX - minX + 2.0 * RoundingMargin),
                      static_cast<float>(maxZ - minZ + 2.0 * RoundingMargin));
    return true;
}

const BuiltFrame& SceneManager::BuildFrame() const
{
    if (builtValid_) {
        return built_;
    }
    builtValid_ = true;
    BuiltFrame& built = built_;
    const ViewVolume volume = MakeViewVolume(snapshot_.camera, snapshot_);
    built.view = volume.view;
    built.projection = volume.projection;
    const Plane* planes = volume.planes;

    const std::size_t count = drawn_.size();
    built.visible.assign(count, 0);
    built.instanced.clear();
    built.individual.clear();
    built.transparent.clear();
    built.groupCount = 0;

    // Pass 1: cull, classify, count the instanced actors per model.
    std::size_t lastGroup = 0;
    for (std::size_t index = 0; index < count; ++index) {
        const QueuedActor& entry = drawn_[index];
        const Actor* live = Resolve(entry);
        if (live == nullptr) {
            continue;
        }
        const Actor& actor = *live;
        SceneModel& model = *actor.Model();
        const LmdVector3& centre = model.SphereCentre();
        // World centre of the bounding sphere: rotate about Y, then translate.
        const float wx = entry.cosine * centre.x + entry.sine * centre.z + entry.translation[0];
        const float wy = centre.y + entry.translation[1];
        const float wz = -entry.sine * centre.x + entry.cosine * centre.z + entry.translation[2];
        const float radius = model.SphereRadius();
        bool inside = true;
        for (int p = 0; p < 6; ++p) {
            const Plane& plane = planes[p];
            if (plane.x * wx + plane.y * wy + plane.z * wz + plane.w < -radius) {
                inside = false;
                break;
            }
        }
        if (!inside) {
            continue;
        }
        built.visible[index] = 1;
        // View-space depth: distance along the view direction (larger is farther).
        const Matrix4& v = built.view;
        const float depth = -(v.m[2] * wx + v.m[6] * wy + v.m[10] * wz + v.m[14]);
        built.depth[index] = depth;
        const bool transparent = actor.AnyTransparent();
        if (transparent) {
            built.transparentDepth[built.transparent.size()] = depth;
            built.transparent.push_back(static_cast<std::int32_t>(index));
        }
        const bool instanceable = entry.angle == 0 && !model.Skinned() && !actor.HasOverrides() && !transparent;
        if (instanceable) {
            std::size_t group = lastGroup;
            if (group >= built.groupCount || built.groups[group].model != &model) {
                group = 0;
                while (group < built.groupCount && built.groups[group].model != &model) {
                    ++group;
                }
                if (group == built.groupCount) {
                    if (built.groupCount == BuiltFrame::MaxGroups) {
                        built.individual.push_back(static_cast<std::int32_t>(index));
                        continue;
                    }
                    built.groups[group] = BuiltFrame::Group{&model, 0, 0};
                    ++built.groupCount;
                }
                lastGroup = group;
            }
            ++built.groups[group].count;
            built.visible[index] = static_cast<std::uint8_t>(2 + group); // remembered for pass 2
        } else {
            built.individual.push_back(static_cast<std::int32_t>(index));
        }
    }
    // Pass 2: lay the instanced actors out model by model.
    std::int32_t running = 0;
    for (std::size_t group = 0; group < built.groupCount; ++group) {
        built.groups[group].first = running;
        running += built.groups[group].count;
        built.groups[group].count = 0;
    }
    built.instanced.resize(static_cast<std::size_t>(running));
    for (std::size_t index = 0; index < count; ++index) {
        const std::uint8_t mark = built.visible[index];
        if (mark >= 2) {
            BuiltFrame::Group& group = built.groups[mark - 2];
            built.instanced[static_cast<std::size_t>(group.first + group.count++)] = static_cast<std::int32_t>(index);
            built.visible[index] = 1;
        }
    }
    // Opaque copies near to far, so that the depth test spares the far ones' shading. Only
    // the visible ones are sorted (a few hundred on a large board); std::sort needs no heap.
    for (std::size_t group = 0; group < built.groupCount; ++group) {
        const BuiltFrame::Group& g = built.groups[group];
        auto first = built.instanced.begin() + g.first;
        const float* depths = built.depth.data();
        std::sort(first, first + g.count, [depths](std::int32_t a, std::int32_t b) {
            return depths[a] < depths[b];
        });
    }
    // Far to near; equal depths keep queue order.
    if (snapshot_.sortTransparent && built.transparent.size() > 1) {
        const std::size_t n = built.transparent.size();
        // Sort (depth, index) pairs held in the two preallocated arrays via an index sort
        // on `transparent` itself, comparing through a depth looked up by position.
        for (std::size_t i = 1; i < n; ++i) {
            // Insertion sort is stable and allocation-free; transparent actors are few.
            const std::int32_t item = built.transparent[i];
            const float depth = built.transparentDepth[i];
            std::size_t j = i;
            while (j > 0 && built.transparentDepth[j - 1] < depth) {
                built.transparent[j] = built.transparent[j - 1];
                built.transparentDepth[j] = built.transparentDepth[j - 1];
                --j;
            }
            built.transparent[j] = item;
            built.transparentDepth[j] = depth;
        }
    }
    return built;
}

} // namespace Lumora::Internal
