// The scene manager, its actors and its camera. Internal.
//
// Per-frame flow: actors append QueuedActor records (a pointer, a rotation about Y, a
// translation, the pose) to the manager's queue, which is made to the manager's capacity at
// creation. Render(0) swaps the queue with the drawn list (no copying, no allocation),
// takes a snapshot of camera, lights and background and adds the manager to the render's
// frame list as a scene pass. When the frame is drawn, BuildFrame culls and sorts the drawn
// list once; the GL pass (SceneGl.cpp) and the headless record both read its result.
#pragma once

#include "FrameList.h"
#include "ModelPose.h"
#include "SceneModel.h"

#include <Lumora/IActor.h>
#include <Lumora/ICamera.h>
#include <Lumora/ISceneManager.h>

#include <atomic>
#include <cstdint>
#include <vector>

namespace Lumora::Internal {

class Render;
class SceneManager;

// cos and sin of an engine angle (65536 to a turn); quarter turns are exact.
void AngleCosSin(std::int32_t angle, float& cosine, float& sine);

// Perspective and look-at maths, column-major like ModelPose's Matrix4.
Matrix4 PerspectiveMatrix(float fieldOfViewRadians, float aspect, float nearPlane, float farPlane);
Matrix4 LookAtMatrix(const Math::Vector3D& eye, const Math::Vector3D& target);

class SceneCamera final : public ICamera {
public:
    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override;
    void SetProjection(float nearPlane, float farPlane, std::int32_t fieldOfView, std::int32_t screenWidth,
                       std::int32_t screenHeight) override;
    void Reset() override;
    void SetLookAt(const Math::Vector3D& eye, const Math::Vector3D& target, std::int32_t flags) override;
    void Update() override;

    // What Update made current.
    struct State {
        Math::Vector3D eye;
        Math::Vector3D target{0.0f, 0.0f, -1.0f};
        float nearPlane = 1.0f;
        float farPlane = 1000.0f;
        std::int32_t fieldOfView = 8192;
        float aspect = 4.0f / 3.0f;
    };
    const State& Current() const { return current_; }

private:
    ~SceneCamera() override = default;

    std::atomic<std::int32_t> references_{1};
    State pending_;
    State current_;
};

// Per-actor material override.
struct MaterialOverride {
    std::int8_t transparent = -1; // -1 the model's
    bool colorSet = false;
    Math::Vector4D color;
};

class Actor final : public IActor {
public:
    Actor(SceneManager* manager, SceneModel* model);

    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override;
    void ResetTransform() override;
    void RotateY(std::int32_t angle) override;
    void Translate(float x, float y, float z) override;
    void UpdateTransform() override;
    void Render() override;
    void SetAnimation(std::int32_t index, float frame) override;
    float GetAnimationLength(std::int32_t index) override;
    std::int32_t GetMeshCount() override;
    std::int32_t GetMaterialCount(std::int32_t mesh) override;
    void SetMaterialTransparent(std::int32_t mesh, std::int32_t material, std::int32_t transparent) override;
    void SetMaterialColor(std::int32_t mesh, std::int32_t material, const Math::Vector4D& color) override;

    SceneModel* Model() const { return model_; }
    std::uint32_t slot = 0;       // given by the manager
    std::uint32_t generation = 0;
    // Override of (mesh, material); null when the actor has none there.
    const MaterialOverride* Override(std::size_t mesh, std::size_t material) const;
    bool HasOverrides() const { return overridden_; }
    // Whether the material draws blended for this actor.
    bool MaterialTransparent(std::size_t mesh, std::size_t material) const;
    bool AnyTransparent() const;
    const std::vector<MaterialOverride>& Overrides() const { return overrides_; }
    std::size_t OverrideIndex(std::size_t mesh, std::size_t material) const { return firstOfMesh_[mesh] + material; }

private:
    ~Actor() override;
    MaterialOverride* Slot(std::int32_t mesh, std::int32_t material);

    std::atomic<std::int32_t> references_{1};
    SceneManager* manager_; // referenced
    SceneModel* model_;     // referenced
    // Building transform: rotation about Y, then translation.
    std::int32_t angle_ = 0;
    float translation_[3] = {0.0f, 0.0f, 0.0f};
    // Final transform (UpdateTransform).
    std::int32_t finalAngle_ = 0;
    float finalTranslation_[3] = {0.0f, 0.0f, 0.0f};
    std::int32_t animation_ = -1;
    float frame_ = 0.0f;
    std::vector<MaterialOverride> overrides_; // one per (mesh, material), flattened
    std::vector<std::size_t> firstOfMesh_;
    bool overridden_ = false;
};

struct QueuedActor {
    Actor* actor = nullptr;      // valid while its slot still has `generation`
    std::uint32_t slot = 0;      // the actor's slot in its manager
    std::uint32_t generation = 0;
    float cosine = 1.0f;
    float sine = 0.0f;
    std::int32_t angle = 0;
    float translation[3] = {0.0f, 0.0f, 0.0f};
    std::int32_t animation = -1;
    float frame = 0.0f;
};

// The result of culling and sorting one drawn list.
struct BuiltFrame {
    Matrix4 view;
    Matrix4 projection;
    std::vector<std::uint8_t> visible;       // per drawn actor: 1 inside the view volume
    std::vector<std::int32_t> instanced;     // opaque, position-only actors grouped by model
    std::vector<std::int32_t> individual;    // other opaque-drawn actors (own transform)
    std::vector<std::int32_t> transparent;   // actors with blended materials, far to near
    std::vector<float> transparentDepth;     // scratch for the sort
    std::vector<float> depth;                // per drawn actor: view depth of its sphere centre
    struct Group {
        SceneModel* model = nullptr;
        std::int32_t first = 0; // into `instanced`
        std::int32_t count = 0;
    };
    static constexpr std::size_t MaxGroups = 64;
    Group groups[MaxGroups];
    std::size_t groupCount = 0;
};

struct SceneSnapshot {
    SceneCamera::State camera;
    std::uint32_t backgroundArgb = 0;
    bool clearBackground = false;
    Math::Vector3D lightDirection;
    Math::Vector3D lightColor;
    Math::Vector3D ambient{1.0f, 1.0f, 1.0f};
    std::int32_t viewportWidth = 0; // 0: the whole screen
    std::int32_t viewportHeight = 0;
    bool sortTransparent = true;
    std::int32_t textureFilter = 2;
};

class SceneManager final : public ISceneManager, public ScenePass {
public:
    SceneManager(Internal::Render* render, std::size_t capacity);

    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override;
    void SetRenderSize(std::int32_t target, std::int32_t width, std::int32_t height, std::int32_t flags) override;
    void SetDrawMode(std::int32_t mode) override;
    void Prepare() override;
    void Reset() override;
    void SetBackgroundColor(std::uint32_t argb, std::int32_t flags) override;
    void SetDirectionalLight(const Math::Vector3D& direction, const Math::Vector3D& color) override;
    void SetAmbientLight(const Math::Vector3D& colorA, const Math::Vector3D& colorB) override;
    void Begin(std::int32_t flags) override;
    void End() override {}
    void Render(std::int32_t flags) override;
    ICamera* GetCamera() override;
    IActor* CreateActor(IModel* model) override;
    bool GetVisibleGround(IModel* model, float height, Math::Rect& area) override; // SceneFrame.cpp

    // ScenePass
    void HoldPass() override { AddRef(); }
    void DropPass() override { Release(); }
    void DrawWithGl(std::int32_t screenWidth, std::int32_t screenHeight, std::int32_t targetWidth,
                    std::int32_t targetHeight, std::int32_t originX, std::int32_t originY) override; // SceneGl.cpp
    void Record(Testing::RecordedScene& scene) const override;

    // Used by actors: queueing, and their slots, which let a queued entry tell that its
    // actor was released before the frame was drawn without searching the lists.
    void Queue(const QueuedActor& entry);
    void Enlist(Actor& actor);
    void Forget(const Actor& actor);
    // The entry's actor, or null when it was released since it was queued.
    const Actor* Resolve(const QueuedActor& entry) const
    {
        return slots_[entry.slot].generation == entry.generation ? entry.actor : nullptr;
    }

    // Culls and sorts the drawn list once per Render (both readers share it).
    const BuiltFrame& BuildFrame() const;
    const std::vector<QueuedActor>& Drawn() const { return drawn_; }
    const SceneSnapshot& Snapshot() const { return snapshot_; }

private:
    ~SceneManager() override;

    std::atomic<std::int32_t> references_{1};
    Internal::Render* render_;
    std::size_t capacity_;
    SceneCamera* camera_;
    SceneSnapshot settings_; // as the calls left them
    SceneSnapshot snapshot_; // as they stood at Render
    std::vector<QueuedActor> queue_;
    std::vector<QueuedActor> drawn_;
    struct Slot {
        Actor* actor = nullptr;
        std::uint32_t generation = 0;
    };
    std::vector<Slot> slots_;
    std::vector<std::uint32_t> freeSlots_;
    mutable BuiltFrame built_;
    mutable bool builtValid_ = false;
    bool overflowReported_ = false;
};

} // namespace Lumora::Internal
