// Lumora/ICamera.h: the camera of a 3D scene.
//
// Obtained from ISceneManager::GetCamera (the caller owns that reference). Each frame the
// caller resets the camera, places it with SetLookAt and makes it take effect with Update
// before the scene is rendered. World units are the scene's; angles are 65536 to a turn.
#pragma once

#include <Lumora/Base.h>
#include <Lumora/Math.h>

#include <cstdint>

namespace Lumora {

class ICamera : public IInterface {
public:
    // Perspective projection: near and far planes in world units, vertical field of view
    // in the engine's angle unit (8192 = 45 degrees), and the screen size in pixels that
    // gives the aspect ratio.
    virtual void SetProjection(float nearPlane, float farPlane, std::int32_t fieldOfView,
                               std::int32_t screenWidth, std::int32_t screenHeight) = 0;
    // Clears the placement of the previous frame.
    virtual void Reset() = 0;
    // Looks from `eye` at `target` with +Y up; the view is left-handed (looking along +Z,
    // +X is on the right of the screen). `flags` is 0.
    virtual void SetLookAt(const Math::Vector3D& eye, const Math::Vector3D& target,
                           std::int32_t flags) = 0;
    // Makes the placement take effect for this frame's drawing.
    virtual void Update() = 0;
};

} // namespace Lumora
