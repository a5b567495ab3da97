// puzzle/Camera.h: places the engine's 3D camera for the puzzle scene.
//
// Two viewing modes: Auto follows the player from behind at `zDistance`, TopView looks
// down on the board's middle from `height`. While the camera button is held the rules step
// the distance or height (CameraAdjustment). Mode, distance and height are read from the
// save database when the camera is made and written back when it is destroyed, so they
// carry over retries and runs. Apply runs once per drawn frame, before anything 3D.
//
// Values read from the save file are made usable: a mode other than Auto or TopView reads
// as Auto, a distance below 10 as 10, a height below 0 as 0 (the bounds the adjustment
// keeps), so the eye never sits on the target.
//
// World units are the board's (20 per cell, rows along -Z). Main thread only.
#pragma once

#include "PuzzleBoard.h"
#include "PuzzleRules.h"

#include <cstdint>

namespace Lumora {
class ICamera;
}

enum class CameraMode : std::int32_t {
    Auto = 0,
    TopView = 1,
};

class Camera : public CameraAdjustment {
public:
    static constexpr std::int32_t DefaultZDistance = 300; // world units
    static constexpr std::int32_t DefaultHeight = 400;    // world units
    static constexpr std::int32_t MinimumZDistance = 10;
    static constexpr std::int32_t MinimumHeight = 0;

    // `board` is the scene's board (not owned; read for the player and the size).
    // `engineCamera` is the scene manager's camera: this Camera takes over the caller's
    // reference and releases it when destroyed. With a null engine camera the Camera keeps
    // its defaults and never reads the save database; Apply then does nothing.
    Camera(const PuzzleBoard* board, Lumora::ICamera* engineCamera);
    // Writes mode, distance and height to the save database (also without an engine
    // camera), then releases the engine camera.
    ~Camera() override;
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    void SetMode(CameraMode value) { mode = value; }
    void SetAdjusting(bool flag) override { adjusting = flag; }
    // While adjusting: one unit closer (Auto: distance, not below 10; TopView: height, not
    // below 0).
    void StepCloser() override;
    // While adjusting: one unit farther, without upper bound.
    void StepFarther() override;

    // Eye and look-at point for this frame, handed to the engine camera.
    void Apply();

    // The placement Apply hands over: eye and target.
    struct View {
        Lumora::Math::Vector3D eye;
        Lumora::Math::Vector3D target;
    };
    View ComputeView() const;

    Lumora::ICamera* engineCamera = nullptr;
    const PuzzleBoard* scene = nullptr;
    CameraMode mode = CameraMode::Auto;
    bool adjusting = false;
    std::int32_t zDistance = DefaultZDistance;
    std::int32_t height = DefaultHeight;
};
