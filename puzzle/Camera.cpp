// puzzle/Camera.cpp: camera modes, adjustment, persistence and the per-frame look-at.
#include "Camera.h"

#include "save/SaveDataManager.h"

#include <Lumora/ICamera.h>

#include <algorithm>

namespace {

// Perspective of the puzzle view: planes in world units, field of view in the engine's
// angle unit (65536 to a turn), the logical screen in pixels.
constexpr float NearPlane = 1.0f;
constexpr float FarPlane = 700.0f;
constexpr std::int32_t FieldOfView = 8192;
constexpr std::int32_t ScreenWidth = 640;
constexpr std::int32_t ScreenHeight = 480;

CameraMode UsableMode(std::int32_t stored)
{
    return stored == static_cast<std::int32_t>(CameraMode::TopView) ? CameraMode::TopView : CameraMode::Auto;
}

} // namespace

Camera::Camera(const PuzzleBoard* board, Lumora::ICamera* camera) : engineCamera(camera), scene(board)
{
    if (engineCamera == nullptr) {
        return;
    }
    {
        SaveDataManager save;
        mode = UsableMode(save->GetCameraMode());
        zDistance = std::max(save->GetCameraZDist(), MinimumZDistance);
        height = std::max(save->GetCameraHeight(), MinimumHeight);
    }
    engineCamera->SetProjection(NearPlane, FarPlane, FieldOfView, ScreenWidth, ScreenHeight);
}

Camera::~Camera()
{
    {
        SaveDataManager save;
        save->SetCameraMode(static_cast<std::int32_t>(mode));
        save->SetCameraZDist(zDistance);
        save->SetCameraHeight(height);
    }
    Lumora::SafeRelease(engineCamera);
}

void Camera::StepCloser()
{
    if (!adjusting) {
        return;
    }
    if (mode == CameraMode::Auto) {
        zDistance = std::max(zDistance - 1, MinimumZDistance);
    } else if (mode == CameraMode::TopView) {
        height = std::max(height - 1, MinimumHeight);
    }
}

void Camera::StepFarther()
{
    if (!adjusting) {
        return;
    }
    if (mode == CameraMode::Auto) {
        ++zDistance;
    } else if (mode == CameraMode::TopView) {
        ++height;
    }
}

Camera::View Camera::ComputeView() const
{
    View view;
    if (scene == nullptr) {
        return view;
    }
    const PuzzlerNuiko& player = *scene->player;
    const Lumora::Math::Vector3D& p = player.position;
    if (player.state == PuzzlerState::Cleared || player.state == PuzzlerState::GivenUp) {
        // The close-up at the end of a stage wins over either mode.
        view.target = {p.x, p.y + 10.0f, p.z};
        view.eye = {p.x, p.y + 50.0f, p.z - 100.0f};
        return view;
    }
    if (mode == CameraMode::TopView) {
        const float middleX = static_cast<float>(scene->width) * CellSize * 0.5f;
        const float middleZ = -(static_cast<float>(scene->height) * CellSize * 0.5f);
        view.target = {middleX, 0.0f, middleZ};
        // 10 units towards larger rows, so the view is never exactly vertical.
        view.eye = {middleX, static_cast<float>(height), middleZ - 10.0f};
        return view;
    }
    // Auto: level with the player, looking along +Z from further down the board.
    view.target = {p.x, p.y + 30.0f, p.z};
    view.eye = {p.x, p.y + 30.0f, p.z - static_cast<float>(zDistance)};
    return view;
}

void Camera::Apply()
{
    if (engineCamera == nullptr) {
        return;
    }
    engineCamera->Reset();
    const View view = ComputeView();
    engineCamera->SetLookAt(view.eye, view.target, 0);
    engineCamera->Update();
}
