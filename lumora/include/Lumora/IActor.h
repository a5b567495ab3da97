// Lumora/IActor.h: one drawable instance of a model in a 3D scene.
//
// Made by ISceneManager::CreateActor(model); the caller owns the reference. The actor keeps
// a reference on its model and on its scene manager. Each frame the caller places it with
//   ResetTransform; [SetAnimation]; [RotateY]; Translate; UpdateTransform; Render
// and the scene manager's Render draws what was queued.
//
// Transform: every call applies in world space after what came before, so RotateY then
// Translate turns the model about its own origin and then moves it. Units are world units;
// angles are the engine's, 65536 to a full turn, turning right-handed about +Y: the model's
// front (0, 0, -1) turned by 16384 faces (-1, 0, 0). Render queues the transform that the
// last UpdateTransform made final, with the animation and frame set at that moment.
//
// Material overrides (per actor; mesh and material are indices into the model, out-of-range
// indices are ignored): they are read when the frame is drawn (IRender::EndFrame), so calls
// made after Render still count for that frame.
//
// Not thread-safe: use an actor from the thread that draws.
#pragma once

#include <Lumora/Base.h>
#include <Lumora/Math.h>

#include <cstdint>

namespace Lumora {

class IActor : public IInterface {
public:
    // Back to the model's own placement (identity).
    virtual void ResetTransform() = 0;
    // Turns about the world's +Y axis by `angle` (65536 to a turn, right-handed).
    virtual void RotateY(std::int32_t angle) = 0;
    // Moves by (x, y, z) world units.
    virtual void Translate(float x, float y, float z) = 0;
    // Makes the transform built since ResetTransform the one Render queues.
    virtual void UpdateTransform() = 0;
    // Queues the actor for this frame of its scene manager (between its Begin and Render).
    // Beyond the scene manager's capacity the actor is not drawn (one line on stderr).
    virtual void Render() = 0;

    // Poses the model: animation `index` at `frame` (drawn frames; outside 0..length the
    // pose holds at the nearer end; an index the model lacks shows the bind pose).
    virtual void SetAnimation(std::int32_t index, float frame) = 0;
    // Length of animation `index` in frames; 0 when the model has no such animation.
    virtual float GetAnimationLength(std::int32_t index) = 0;

    virtual std::int32_t GetMeshCount() = 0;
    // Materials of mesh `mesh`; 0 for an index out of range.
    virtual std::int32_t GetMaterialCount(std::int32_t mesh) = 0;
    // 1: drawn blended after every opaque material, back to front, alpha from the colour;
    // 0: opaque (alpha ignored). Replaces the model's own setting for this actor.
    virtual void SetMaterialTransparent(std::int32_t mesh, std::int32_t material, std::int32_t transparent) = 0;
    // Replaces the material's colour (RGBA 0..1, multiplying texture and vertex colours)
    // for this actor.
    virtual void SetMaterialColor(std::int32_t mesh, std::int32_t material, const Math::Vector4D& color) = 0;
};

} // namespace Lumora
