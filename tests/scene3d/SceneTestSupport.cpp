#include "SceneTestSupport.h"

#include "LmdModel.h"

namespace SceneTest {

using namespace Lumora::Internal;

std::vector<std::uint8_t> SquareModel(const QuadSpec& spec)
{
    LmdModel model;
    LmdBone root;
    root.name = "root";
    model.bones.push_back(root);
    LmdMesh mesh;
    mesh.name = "square";
    const float s = spec.halfSize;
    const float y = spec.height;
    // Corners a (-s, -s), b (-s, s), c (s, s), d (s, -s) in x, z: counter-clockwise from above.
    const LmdVector3 corners[4] = {{-s, y, -s}, {-s, y, s}, {s, y, s}, {s, y, -s}};
    for (const LmdVector3& corner : corners) {
        LmdVertex vertex;
        vertex.position = corner;
        vertex.normal = {0.0f, 1.0f, 0.0f};
        mesh.vertices.push_back(vertex);
    }
    LmdMaterial material;
    material.color = {spec.color[0], spec.color[1], spec.color[2], spec.color[3]};
    material.flags = static_cast<std::uint8_t>((spec.transparent ? kLmdMaterialTransparent : 0) | spec.flags);
    if (spec.materials == 2) {
        mesh.materials = {material, material};
        mesh.triangles = {{0, 1, 2}, {0, 2, 3}};
    } else {
        mesh.materials = {material};
        mesh.triangles = {{0, 1, 2, 0, 2, 3}};
    }
    model.meshes.push_back(mesh);
    if (spec.animated) {
        LmdAnimation animation;
        animation.index = 3;
        animation.length = 40.0f;
        LmdTrack track;
        track.bone = 0;
        LmdKey first;
        LmdKey last;
        last.frame = 40.0f;
        last.transform.translation = {0.0f, 10.0f, 0.0f};
        track.keys = {first, last};
        animation.tracks.push_back(track);
        model.animations.push_back(animation);
    }
    if (FinishLmdModel(model) != LmdError::None) {
        return {};
    }
    return WriteLmd(model);
}

void SceneEngine::TearDown()
{
    for (Lumora::IActor*& actor : actors) {
        Lumora::SafeRelease(actor);
    }
    for (Lumora::IModel*& model : models) {
        Lumora::SafeRelease(model);
    }
    Lumora::SafeRelease(camera);
    Lumora::SafeRelease(scene);
    HeadlessEngine::TearDown();
}

Lumora::IModel* SceneEngine::PutModel(const char* name, const QuadSpec& spec)
{
    files->Put(name, SquareModel(spec));
    Lumora::IModel* model = render->CreateModelFromFile(name);
    if (model != nullptr) {
        models.push_back(model);
    }
    return model;
}

void SceneEngine::MakeScene(std::int32_t capacity, const Lumora::Math::Vector3D& eye,
                            const Lumora::Math::Vector3D& target, float farPlane)
{
    scene = render->CreateSceneManager(capacity, 1);
    scene->SetRenderSize(0, 640, 480, 0);
    scene->SetDrawMode(1);
    scene->Prepare();
    camera = scene->GetCamera();
    camera->SetProjection(1.0f, farPlane, 8192, 640, 480);
    camera->Reset();
    camera->SetLookAt(eye, target, 0);
    camera->Update();
}

void SceneEngine::BeginLitScene(std::uint32_t background)
{
    scene->Reset();
    scene->SetBackgroundColor(background, 1);
    scene->SetDirectionalLight({0, -1, 0}, {0.6f, 0.6f, 0.6f});
    scene->SetAmbientLight({0.2f, 0.2f, 0.2f}, {0.2f, 0.2f, 0.2f});
    scene->Begin(0);
}

void SceneEngine::Place(Lumora::IActor* actor, float x, float y, float z, std::int32_t angle)
{
    actor->ResetTransform();
    if (angle != 0) {
        actor->RotateY(angle);
    }
    actor->Translate(x, y, z);
    actor->UpdateTransform();
    actor->Render();
}

} // namespace SceneTest
