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

} // namespace

const BuiltFrame& SceneManager::BuildFrame() const
{
    if (builtValid_) {
        return built_;
    }
    builtValid_ = true;
    BuiltFrame& built = built_;
    const SceneCamera::State& camera = snapshot_.camera;
    built.view = LookAtMatrix(camera.eye, camera.target);
    const float fieldOfView = static_cast<float>(camera.fieldOfView) * (6.28318530717958647692f / 65536.0f);
    float aspect = camera.aspect;
    if (snapshot_.viewportWidth > 0 && snapshot_.viewportHeight > 0) {
        aspect = static_cast<float>(snapshot_.viewportWidth) / static_cast<float>(snapshot_.viewportHeight);
    }
    built.projection = PerspectiveMatrix(fieldOfView, aspect, camera.nearPlane, camera.farPlane);
    Plane planes[6];
    ExtractPlanes(built.projection * built.view, planes);

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
        for (const Plane& plane : planes) {
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
