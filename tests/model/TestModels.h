// TestModels.h: small models built in code for the model tests.
#pragma once

#include <cmath>

#include "LmdModel.h"

namespace ModelTests {

using namespace Lumora::Internal;

inline LmdQuaternion RotationAboutY(float degrees) {
    const float half = degrees * 3.14159265358979f / 360.0f;
    return {0.0f, std::sin(half), 0.0f, std::cos(half)};
}

// Two bones (a root at the origin and a child 5 units up), one mesh with texture
// coordinates and vertex colours, two materials with one triangle each, and animation 3
// moving the child from x = 0 at frame 0 to x = 10 at frame 10 (length 20).
inline LmdModel MakeSmallModel() {
    LmdModel model;
    LmdBone root;
    root.name = "root";
    LmdBone child;
    child.name = "child";
    child.parent = 0;
    child.bind.translation = {0.0f, 5.0f, 0.0f};
    model.bones = {root, child};

    LmdMesh mesh;
    mesh.name = "body";
    mesh.vertexFormat = kLmdVertexHasTexCoord | kLmdVertexHasColor;
    LmdMaterial opaque;
    opaque.color = {0.5f, 0.25f, 1.0f, 1.0f};
    opaque.textureName = "skin.png";
    LmdMaterial glass;
    glass.color = {1.0f, 1.0f, 1.0f, 0.5f};
    glass.flags = kLmdMaterialTransparent | kLmdMaterialNoFog;
    mesh.materials = {opaque, glass};
    for (int i = 0; i < 6; ++i) {
        LmdVertex vertex;
        vertex.position = {float(i % 3), float(i / 3) * 5.0f, -1.0f};
        vertex.normal = {0.0f, 0.0f, -1.0f};
        vertex.texCoord = {0.25f * float(i), 0.5f};
        vertex.color = {10, 20, 30, static_cast<std::uint8_t>(200 + i)};
        vertex.bone = static_cast<std::uint16_t>(i / 3);
        mesh.vertices.push_back(vertex);
    }
    mesh.triangles = {{0, 1, 2}, {3, 4, 5}};
    model.meshes = {mesh};

    LmdAnimation animation;
    animation.index = 3;
    animation.length = 20.0f;
    LmdTrack track;
    track.bone = 1;
    LmdKey first;
    first.frame = 0.0f;
    first.transform.translation = {0.0f, 5.0f, 0.0f};
    LmdKey last = first;
    last.frame = 10.0f;
    last.transform.translation = {10.0f, 5.0f, 0.0f};
    track.keys = {first, last};
    animation.tracks = {track};
    model.animations = {animation};
    FinishLmdModel(model);
    return model;
}

}  // namespace ModelTests
