// Lumora/ISceneManager.h: a 3D scene of model actors, its camera and its lights.
//
// Made by IRender::CreateSceneManager(capacity, flags); the caller owns the reference and
// releases it before the render. `capacity` is the most actors one frame may queue: every
// per-frame list is made that big at creation, so a steady frame allocates nothing. `flags`
// is 1 (0 means the same).
//
// Each frame:
//   Reset; SetBackgroundColor; camera Reset/SetLookAt/Update; lights; Begin(0);
//   actor->Render() for each actor; End(); Render(0)
// Render(0) puts the scene into the render's frame list at that point: 2D drawn before it
// lies under the 3D image, 2D drawn after it on top. The scene is drawn with the camera,
// lights and background as they stand at Render(0). One Render per frame: a second one in
// the same frame draws the later content twice.
//
// Drawing: actors whose bounding sphere lies outside the camera's view volume are skipped;
// opaque materials first (actors of one model that differ only in position are drawn with
// one instanced call per material), then transparent materials, actor by actor from the
// farthest to the nearest (distance of the actor's bounding-sphere centre from the eye),
// blended and without depth writes.
//
// Screen orientation: the camera's view is left-handed. Looking along +Z with +Y up, world +X
// is on the right of the screen, so a board laid out at (x * 20, 0, -y * 20) and seen from
// larger rows shows columns left to right and rows top to bottom, as its 2D map does.
//
// Decided meanings of the set-up calls:
//   SetRenderSize(target, width, height, flags): the 3D viewport, in pixels of the logical
//     screen from its top-left corner; `target` 0 is the screen (the only one), `flags` 0.
//     Until it is called the viewport is the whole logical screen.
//   SetDrawMode(mode): 1 sorts transparent actors back to front (the default); 0 keeps them
//     in queue order.
//   Prepare(): empties the queue; settings stay. The lists were already made at creation.
//   SetBackgroundColor(argb, flags): the fog colour, and with flags bit 0 also the colour
//     the viewport is cleared to before the scene (alpha ignored). Fog runs linearly from
//     half the camera's far plane to the far plane, so the view ends softly in the
//     background colour instead of a hard edge where the far plane cuts. Default: none
//     (no clear; fog colour black).
//   SetDirectionalLight(direction, colour): one light travelling along `direction` (world
//     space, any length; zero gives no light), RGB 0..1.
//   SetAmbientLight(colourA, colourB): a hemisphere ambient, colourA from the ground and
//     colourB from the sky. The model shaders take one ambient colour, so lit materials get
//     the hemisphere's mean, (A + B) / 2: the light a vertical surface would receive.
//   Begin(0) / End(): bracket the queueing; Begin empties the queue. Actors queued outside
//     the bracket still count.
//   Reset(): empties the queue and forgets nothing else.
//
// Many fixed actors (a large board's floor): queueing tens of thousands of actors only for
// the renderer to cull most of them costs more than drawing the rest. GetVisibleGround
// tells the caller which part of a horizontal layer the camera can show, so that it queues
// only the actors there; the picture is the same either way.
#pragma once

#include <Lumora/Base.h>
#include <Lumora/IActor.h>
#include <Lumora/ICamera.h>
#include <Lumora/IModel.h>
#include <Lumora/Math.h>

#include <cstdint>

namespace Lumora {

class ISceneManager : public IInterface {
public:
    virtual void SetRenderSize(std::int32_t target, std::int32_t width, std::int32_t height, std::int32_t flags) = 0;
    virtual void SetDrawMode(std::int32_t mode) = 0;
    virtual void Prepare() = 0;
    virtual void Reset() = 0;
    virtual void SetBackgroundColor(std::uint32_t argb, std::int32_t flags) = 0;
    virtual void SetDirectionalLight(const Math::Vector3D& direction, const Math::Vector3D& color) = 0;
    virtual void SetAmbientLight(const Math::Vector3D& colorA, const Math::Vector3D& colorB) = 0;
    virtual void Begin(std::int32_t flags) = 0;
    virtual void End() = 0;
    // Adds this frame's scene to the render's frame list (see above). `flags` is 0.
    virtual void Render(std::int32_t flags) = 0;
    // The scene's one camera, with a new reference for the caller.
    virtual ICamera* GetCamera() = 0;
    // A new actor of `model` (the caller owns it); null when `model` is null.
    virtual IActor* CreateActor(IModel* model) = 0;
    // The rectangle of world X and Z outside which an actor of `model`, not turned and
    // translated by (x, `height`, z), cannot pass the view test: area.x and area.y are the
    // least X and Z, area.width and area.height the extents along X and Z, in world units.
    // Conservative: every translation the renderer would draw lies inside (with a margin
    // for rounding); some inside are still culled when drawn. Uses the camera as its last
    // Update left it and the viewport of SetRenderSize, so ask after placing the camera and
    // before Render. False, with an empty area, when no such translation exists or `model`
    // is null. Allocates nothing.
    virtual bool GetVisibleGround(IModel* model, float height, Math::Rect& area) = 0;
};

} // namespace Lumora
