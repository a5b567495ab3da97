// The puzzle camera: stored settings, adjustment bounds and the look-at maths, seen
// through a recording engine camera, with the real save file in a scratch folder.
#include "Camera.h"
#include "PuzzleTestSupport.h"

#include "save/SaveDataManager.h"

#include <Lumora/ICamera.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using Vector = Lumora::Math::Vector3D;

class RecordingCamera : public Lumora::ICamera {
public:
    std::int32_t AddRef() override { return ++references; }
    std::int32_t Release() override { return --references; }
    void SetProjection(float nearPlane, float farPlane, std::int32_t fieldOfView, std::int32_t width,
                       std::int32_t height) override
    {
        calls.push_back("projection " + std::to_string(nearPlane) + " " + std::to_string(farPlane) + " " +
                        std::to_string(fieldOfView) + " " + std::to_string(width) + " " + std::to_string(height));
    }
    void Reset() override { calls.push_back("reset"); }
    void SetLookAt(const Vector& eye_, const Vector& target_, std::int32_t flags) override
    {
        calls.push_back("look " + std::to_string(flags));
        eye = eye_;
        target = target_;
    }
    void Update() override { calls.push_back("update"); }

    std::int32_t references = 1;
    std::vector<std::string> calls;
    Vector eye;
    Vector target;
};

// Each test runs in its own folder, where the save file lives.
class CameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = std::filesystem::current_path();
        folder = std::filesystem::temp_directory_path() /
                 ("tomarugi-camera-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
        board.BuildBoard(StageFromRows({".....", ".....", "..@..", "....F"})); // 5 x 4, player (2, 2)
    }
    void TearDown() override
    {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
    }

    static void Store(std::int32_t mode, std::int32_t zDistance, std::int32_t height)
    {
        SaveDataManager save;
        save->SetCameraMode(mode);
        save->SetCameraZDist(zDistance);
        save->SetCameraHeight(height);
    }

    // A camera on the recording engine camera, which hands over one reference.
    std::unique_ptr<Camera> MakeCamera()
    {
        engine.AddRef();
        return std::make_unique<Camera>(&board, &engine);
    }

    std::filesystem::path previous;
    std::filesystem::path folder;
    PuzzleBoard board;
    RecordingCamera engine;
};

TEST_F(CameraTest, StoredTopViewLooksDownOnTheBoardMiddle)
{
    Store(1, 120, 250);
    {
        const std::unique_ptr<Camera> camera = MakeCamera();
        EXPECT_EQ(camera->mode, CameraMode::TopView);
        camera->Apply();
        EXPECT_EQ(engine.calls, (std::vector<std::string>{"projection 1.000000 700.000000 8192 640 480", "reset",
                                                          "look 0", "update"}));
        EXPECT_EQ(engine.target, (Vector{50, 0, -40}));
        EXPECT_EQ(engine.eye, (Vector{50, 250, -50}));
    }
    EXPECT_EQ(engine.references, 1); // released with the Camera
}

TEST_F(CameraTest, UnusableStoredValuesAreMadeUsable)
{
    Store(7, 0, -5);
    const std::unique_ptr<Camera> camera = MakeCamera();
    EXPECT_EQ(camera->mode, CameraMode::Auto);
    EXPECT_EQ(camera->zDistance, 10);
    EXPECT_EQ(camera->height, 0);
    camera->Apply();
    EXPECT_NE(engine.eye, engine.target);
}

TEST_F(CameraTest, WithoutAnEngineCameraKeepsDefaultsAndStillSaves)
{
    Store(1, 120, 250);
    {
        Camera camera(&board, nullptr);
        EXPECT_EQ(camera.mode, CameraMode::Auto);
        EXPECT_EQ(camera.zDistance, 300);
        EXPECT_EQ(camera.height, 400);
        camera.Apply(); // harmless
    }
    SaveDataManager save;
    EXPECT_EQ(save->GetCameraMode(), 0);
    EXPECT_EQ(save->GetCameraZDist(), 300);
    EXPECT_EQ(save->GetCameraHeight(), 400);
}

TEST_F(CameraTest, AutoFollowsThePlayerLevelFromBehindAndEndsOnTheCloseUp)
{
    Store(0, 300, 400);
    const std::unique_ptr<Camera> camera = MakeCamera();
    camera->Apply();
    EXPECT_EQ(engine.target, (Vector{40, 30, -40}));
    EXPECT_EQ(engine.eye, (Vector{40, 30, -340}));
    board.player->position = {43, 0, -12};
    camera->Apply();
    EXPECT_EQ(engine.eye, (Vector{43, 30, -312}));

    for (PuzzlerState state : {PuzzlerState::Cleared, PuzzlerState::GivenUp}) {
        for (CameraMode mode : {CameraMode::Auto, CameraMode::TopView}) {
            board.player->state = state;
            camera->SetMode(mode);
            camera->Apply();
            EXPECT_EQ(engine.target, (Vector{43, 10, -12}));
            EXPECT_EQ(engine.eye, (Vector{43, 50, -112}));
            EXPECT_EQ(camera->mode, mode);
        }
    }
}

TEST_F(CameraTest, AdjustmentOnlyWhileAdjustingAndWithinBounds)
{
    Camera camera(&board, nullptr);
    camera.StepCloser();
    EXPECT_EQ(camera.zDistance, 300); // not adjusting
    camera.SetAdjusting(true);
    for (int i = 0; i < 400; ++i) {
        camera.StepCloser();
    }
    EXPECT_EQ(camera.zDistance, 10);
    camera.SetMode(CameraMode::TopView);
    for (int i = 0; i < 500; ++i) {
        camera.StepCloser();
    }
    EXPECT_EQ(camera.height, 0);
    for (int i = 0; i < 1000; ++i) {
        camera.StepFarther();
    }
    EXPECT_EQ(camera.height, 1000); // no upper bound
    EXPECT_EQ(camera.zDistance, 10);
}

TEST_F(CameraTest, RulesDriveTheAdjustmentAndTheNextCameraStartsFromIt)
{
    Store(0, 20, 400);
    {
        const std::unique_ptr<Camera> camera = MakeCamera();
        PuzzleRules rules(nullptr, camera.get());
        rules.board = board;
        for (int tick = 0; tick < 15; ++tick) {
            rules.Step(Hold({ButtonCamera, ButtonUp}));
        }
        EXPECT_EQ(camera->zDistance, 10);
        rules.Step(Hold({ButtonUp, ButtonDown})); // without the camera button
        EXPECT_FALSE(camera->adjusting);
        for (int tick = 0; tick < 5; ++tick) {
            rules.Step(Hold({ButtonCamera, ButtonDown}));
        }
        EXPECT_EQ(camera->zDistance, 15);
        camera->SetMode(CameraMode::TopView);
    }
    const std::unique_ptr<Camera> next = MakeCamera();
    EXPECT_EQ(next->mode, CameraMode::TopView);
    EXPECT_EQ(next->zDistance, 15);
    EXPECT_EQ(next->height, 400);
}

} // namespace
