#include "SceneManager.h"

#include "GraphicsDevice.h"
#include "SceneFactory.h"

#include <Lumora/Testing.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Lumora::Internal {

namespace {
constexpr double TwoPi = 6.28318530717958647692;
} // namespace

void AngleCosSin(std::int32_t angle, float& cosine, float& sine)
{
    const std::uint32_t turn = static_cast<std::uint32_t>(angle) & 0xFFFFu;
    if (turn % 16384u == 0) {
        static constexpr float Cosines[4] = {1.0f, 0.0f, -1.0f, 0.0f};
        static constexpr float Sines[4] = {0.0f, 1.0f, 0.0f, -1.0f};
        cosine = Cosines[turn / 16384u];
        sine = Sines[turn / 16384u];
        return;
    }
    const double radians = static_cast<double>(turn) * (TwoPi / 65536.0);
    cosine = static_cast<float>(std::cos(radians));
    sine = static_cast<float>(std::sin(radians));
}

Matrix4 PerspectiveMatrix(float fieldOfViewRadians, float aspect, float nearPlane, float farPlane)
{
    Matrix4 result;
    result.m.fill(0.0f);
    const float f = 1.0f / std::tan(fieldOfViewRadians * 0.5f);
    // Negative: the screen shows world +X on the right when looking along +Z (the view is
    // left-handed), so the board appears as its 2D map does: columns to the right, rows
    // growing towards the camera. Triangles wound counter-clockwise seen from outside are
    // therefore clockwise on the screen.
    result.m[0] = -f / aspect;
    result.m[5] = f;
    result.m[10] = (farPlane + nearPlane) / (nearPlane - farPlane);
    result.m[11] = -1.0f;
    result.m[14] = 2.0f * farPlane * nearPlane / (nearPlane - farPlane);
    return result;
}

Matrix4 LookAtMatrix(const Math::Vector3D& eye, const Math::Vector3D& target)
{
    float fx = target.x - eye.x;
    float fy = target.y - eye.y;
    float fz = target.z - eye.z;
    float length = std::sqrt(fx * fx + fy * fy + fz * fz);
    if (!(length > 0.0f)) {
        // Eye on the target: look down -Z, the models' front direction.
        fx = 0.0f;
        fy = 0.0f;
        fz = -1.0f;
        length = 1.0f;
    }
    fx /= length;
    fy /= length;
    fz /= length;
    // Up is +Y; looking straight up or down, -Z stands in for it.
    float ux = 0.0f;
    float uy = 1.0f;
    float uz = 0.0f;
    if (std::fabs(fy) > 0.99999f) {
        uy = 0.0f;
        uz = -1.0f;
    }
    // side = forward x up
    float sx = fy * uz - fz * uy;
    float sy = fz * ux - fx * uz;
    float sz = fx * uy - fy * ux;
    const float sideLength = std::sqrt(sx * sx + sy * sy + sz * sz);
    sx /= sideLength;
    sy /= sideLength;
    sz /= sideLength;
    // true up = side x forward
    ux = sy * fz - sz * fy;
    uy = sz * fx - sx * fz;
    uz = sx * fy - sy * fx;
    Matrix4 view;
    view.m = {sx, ux, -fx, 0.0f, sy, uy, -fy, 0.0f, sz, uz, -fz, 0.0f,
              -(sx * eye.x + sy * eye.y + sz * eye.z), -(ux * eye.x + uy * eye.y + uz * eye.z),
              fx * eye.x + fy * eye.y + fz * eye.z, 1.0f};
    return view;
}

// ---- Camera ------------------------------------------------------------------------------

std::int32_t SceneCamera::Release()
{
    const std::int32_t remaining = --references_;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

void SceneCamera::SetProjection(float nearPlane, float farPlane, std::int32_t fieldOfView, std::int32_t screenWidth,
                                std::int32_t screenHeight)
{
    // Unusable values keep the previous projection rather than make a degenerate one.
    if (!(nearPlane > 0.0f) || !(farPlane > nearPlane) || fieldOfView <= 0 || fieldOfView >= 32768 ||
        screenWidth <= 0 || screenHeight <= 0) {
        std::fprintf(stderr, "Lumora: camera projection (%g, %g, %d, %d x %d) refused\n", static_cast<double>(nearPlane),
                     static_cast<double>(farPlane), fieldOfView, screenWidth, screenHeight);
        return;
    }
    for (State* state : {&pending_, &current_}) {
        state->nearPlane = nearPlane;
        state->farPlane = farPlane;
        state->fieldOfView = fieldOfView;
        state->aspect = static_cast<float>(screenWidth) / static_cast<float>(screenHeight);
    }
}

void SceneCamera::Reset()
{
    pending_.eye = {};
    pending_.target = {0.0f, 0.0f, -1.0f};
}

void SceneCamera::SetLookAt(const Math::Vector3D& eye, const Math::Vector3D& target, std::int32_t)
{
    pending_.eye = eye;
    pending_.target = target;
}

void SceneCamera::Update()
{
    current_ = pending_;
}

// ---- Actor -------------------------------------------------------------------------------

Actor::Actor(SceneManager* manager, SceneModel* model) : manager_(manager), model_(model)
{
    manager_->AddRef();
    model_->AddRef();
    manager_->Enlist(*this);
    const auto& materials = model_->Materials();
    firstOfMesh_.resize(materials.size());
    std::size_t total = 0;
    for (std::size_t mesh = 0; mesh < materials.size(); ++mesh) {
        firstOfMesh_[mesh] = total;
        total += materials[mesh].size();
    }
    overrides_.resize(total);
}

Actor::~Actor()
{
    manager_->Forget(*this);
    model_->Release();
    manager_->Release();
}

std::int32_t Actor::Release()
{
    const std::int32_t remaining = --references_;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

void Actor::ResetTransform()
{
    angle_ = 0;
    translation_[0] = translation_[1] = translation_[2] = 0.0f;
}

void Actor::RotateY(std::int32_t angle)
{
    // The rotation applies after what came before, so the translation turns with it.
    float cosine = 1.0f;
    float sine = 0.0f;
    AngleCosSin(angle, cosine, sine);
    const float x = translation_[0];
    const float z = translation_[2];
    translation_[0] = cosine * x + sine * z;
    translation_[2] = -sine * x + cosine * z;
    angle_ = static_cast<std::int32_t>((static_cast<std::uint32_t>(angle_) + static_cast<std::uint32_t>(angle)) & 0xFFFFu);
}

void Actor::Translate(float x, float y, float z)
{
    translation_[0] += x;
    translation_[1] += y;
    translation_[2] += z;
}

void Actor::UpdateTransform()
{
    finalAngle_ = angle_;
    finalTranslation_[0] = translation_[0];
    finalTranslation_[1] = translation_[1];
    finalTranslation_[2] = translation_[2];
}

void Actor::Render()
{
    QueuedActor entry;
    entry.actor = this;
    entry.slot = slot;
    entry.generation = generation;
    entry.angle = finalAngle_;
    AngleCosSin(finalAngle_, entry.cosine, entry.sine);
    entry.translation[0] = finalTranslation_[0];
    entry.translation[1] = finalTranslation_[1];
    entry.translation[2] = finalTranslation_[2];
    entry.animation = animation_;
    entry.frame = frame_;
    manager_->Queue(entry);
}

void Actor::SetAnimation(std::int32_t index, float frame)
{
    animation_ = index;
    frame_ = frame;
}

float Actor::GetAnimationLength(std::int32_t index)
{
    return model_->Data().GetAnimationLength(index);
}

std::int32_t Actor::GetMeshCount()
{
    return static_cast<std::int32_t>(model_->Materials().size());
}

std::int32_t Actor::GetMaterialCount(std::int32_t mesh)
{
    const auto& materials = model_->Materials();
    if (mesh < 0 || static_cast<std::size_t>(mesh) >= materials.size()) {
        return 0;
    }
    return static_cast<std::int32_t>(materials[static_cast<std::size_t>(mesh)].size());
}

MaterialOverride* Actor::Slot(std::int32_t mesh, std::int32_t material)
{
    const auto& materials = model_->Materials();
    if (mesh < 0 || static_cast<std::size_t>(mesh) >= materials.size() || material < 0 ||
        static_cast<std::size_t>(material) >= materials[static_cast<std::size_t>(mesh)].size()) {
        return nullptr;
    }
    return &overrides_[OverrideIndex(static_cast<std::size_t>(mesh), static_cast<std::size_t>(material))];
}

void Actor::SetMaterialTransparent(std::int32_t mesh, std::int32_t material, std::int32_t transparent)
{
    if (MaterialOverride* slot = Slot(mesh, material)) {
        slot->transparent = transparent != 0 ? 1 : 0;
        overridden_ = true;
    }
}

void Actor::SetMaterialColor(std::int32_t mesh, std::int32_t material, const Math::Vector4D& color)
{
    if (MaterialOverride* slot = Slot(mesh, material)) {
        slot->colorSet = true;
        slot->color = color;
        overridden_ = true;
    }
}

const MaterialOverride* Actor::Override(std::size_t mesh, std::size_t material) const
{
    return overridden_ ? &overrides_[OverrideIndex(mesh, material)] : nullptr;
}

bool Actor::MaterialTransparent(std::size_t mesh, std::size_t material) const
{
    if (overridden_) {
        const MaterialOverride& slot = overrides_[OverrideIndex(mesh, material)];
        if (slot.transparent >= 0) {
            return slot.transparent == 1;
        }
    }
    return model_->Materials()[mesh][material].transparent;
}

bool Actor::AnyTransparent() const
{
    if (!overridden_) {
        return model_->AnyTransparent();
    }
    const auto& materials = model_->Materials();
    for (std::size_t mesh = 0; mesh < materials.size(); ++mesh) {
        for (std::size_t material = 0; material < materials[mesh].size(); ++material) {
            if (MaterialTransparent(mesh, material)) {
                return true;
            }
        }
    }
    return false;
}

// ---- Scene manager -----------------------------------------------------------------------

ISceneManager* CreateSceneManagerFor(Render& render, std::int32_t capacity, std::int32_t)
{
    return new SceneManager(&render, capacity > 0 ? static_cast<std::size_t>(capacity) : 0u);
}

SceneManager::SceneManager(Internal::Render* render, std::size_t capacity)
    : render_(render), capacity_(capacity), camera_(new SceneCamera())
{
    queue_.reserve(capacity_);
    drawn_.reserve(capacity_);
    built_.visible.reserve(capacity_);
    built_.instanced.reserve(capacity_);
    built_.individual.reserve(capacity_);
    built_.transparent.reserve(capacity_);
    built_.transparentDepth.resize(capacity_);
    built_.depth.resize(capacity_);
}

SceneManager::~SceneManager()
{
    camera_->Release();
}

std::int32_t SceneManager::Release()
{
    const std::int32_t remaining = --references_;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

void SceneManager::SetRenderSize(std::int32_t, std::int32_t width, std::int32_t height, std::int32_t)
{
    settings_.viewportWidth = std::max(width, 0);
    settings_.viewportHeight = std::max(height, 0);
}

void SceneManager::SetDrawMode(std::int32_t mode)
{
    settings_.sortTransparent = mode != 0;
}

void SceneManager::Prepare()
{
    queue_.clear();
}

void SceneManager::Reset()
{
    queue_.clear();
}

void SceneManager::SetBackgroundColor(std::uint32_t argb, std::int32_t flags)
{
    settings_.backgroundArgb = argb;
    settings_.clearBackground = (flags & 1) != 0;
}

void SceneManager::SetDirectionalLight(const Math::Vector3D& direction, const Math::Vector3D& color)
{
    settings_.lightDirection = direction;
    settings_.lightColor = color;
}

void SceneManager::SetAmbientLight(const Math::Vector3D& colorA, const Math::Vector3D& colorB)
{
    settings_.ambient = {(colorA.x + colorB.x) * 0.5f, (colorA.y + colorB.y) * 0.5f, (colorA.z + colorB.z) * 0.5f};
}

void SceneManager::Begin(std::int32_t)
{
    queue_.clear();
}

void SceneManager::Queue(const QueuedActor& entry)
{
    if (queue_.size() >= capacity_) {
        if (!overflowReported_) {
            std::fprintf(stderr, "Lumora: scene manager full (%zu actors); further actors are not drawn\n", capacity_);
            overflowReported_ = true;
        }
        return;
    }
    queue_.push_back(entry);
}

void SceneManager::Enlist(Actor& actor)
{
    if (freeSlots_.empty()) {
        actor.slot = static_cast<std::uint32_t>(slots_.size());
        slots_.push_back(Slot{});
    } else {
        actor.slot = freeSlots_.back();
        freeSlots_.pop_back();
    }
    slots_[actor.slot].actor = &actor;
    actor.generation = slots_[actor.slot].generation;
}

void SceneManager::Forget(const Actor& actor)
{
    Slot& slot = slots_[actor.slot];
    slot.actor = nullptr;
    ++slot.generation; // entries still naming the old generation now resolve to nothing
    freeSlots_.push_back(actor.slot);
}

void SceneManager::Render(std::int32_t)
{
    drawn_.swap(queue_);
    queue_.clear();
    snapshot_ = settings_;
    snapshot_.camera = camera_->Current();
    snapshot_.textureFilter = render_->ModelTextureFilter();
    builtValid_ = false;
    render_->AddScenePass(this);
}

ICamera* SceneManager::GetCamera()
{
    camera_->AddRef();
    return camera_;
}

IActor* SceneManager::CreateActor(IModel* model)
{
    if (model == nullptr) {
        return nullptr;
    }
    return new Actor(this, static_cast<SceneModel*>(model));
}

void SceneManager::Record(Testing::RecordedScene& scene) const
{
    const BuiltFrame& built = BuildFrame();
    scene.eye = snapshot_.camera.eye;
    scene.target = snapshot_.camera.target;
    scene.nearPlane = snapshot_.camera.nearPlane;
    scene.farPlane = snapshot_.camera.farPlane;
    scene.fieldOfView = snapshot_.camera.fieldOfView;
    scene.aspect = snapshot_.camera.aspect;
    scene.backgroundArgb = snapshot_.backgroundArgb;
    scene.actors.clear();
    for (std::size_t index = 0; index < drawn_.size(); ++index) {
        const QueuedActor& entry = drawn_[index];
        Testing::RecordedActor actor;
        const Actor* live = Resolve(entry);
        if (live == nullptr) {
            // Released before the frame was drawn: kept as a blank so indices stay put.
            actor.culled = true;
            scene.actors.push_back(std::move(actor));
            continue;
        }
        actor.model = live->Model()->Name();
        const float c = entry.cosine;
        const float s = entry.sine;
        const float transform[16] = {c, 0.0f, -s, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, s, 0.0f, c, 0.0f,
                                     entry.translation[0], entry.translation[1], entry.translation[2], 1.0f};
        std::copy(transform, transform + 16, actor.transform);
        actor.animation = entry.animation;
        actor.frame = entry.frame;
        const auto& materials = live->Model()->Materials();
        if (live->HasOverrides()) {
            for (std::size_t mesh = 0; mesh < materials.size(); ++mesh) {
                for (std::size_t material = 0; material < materials[mesh].size(); ++material) {
                    const MaterialOverride& slot = *live->Override(mesh, material);
                    if (slot.transparent >= 0 || slot.colorSet) {
                        actor.materials.push_back({static_cast<std::int32_t>(mesh), static_cast<std::int32_t>(material),
                                                   slot.transparent, slot.colorSet, slot.color});
                    }
                }
            }
        }
        actor.culled = built.visible[index] == 0;
        actor.transparent = live->AnyTransparent();
        scene.actors.push_back(std::move(actor));
    }
    scene.transparentOrder.assign(built.transparent.begin(), built.transparent.end());
}

} // namespace Lumora::Internal
