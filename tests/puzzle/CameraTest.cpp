// The puzzle camera: stored settings, adjustment bounds and the look-at maths, seen
// through a recording engine camera. The save database is replaced by an in-memory one
// behind the same SaveDataManager interface.
#include "Camera.h"
#include "PuzzleTestSupport.h"

#include "save/SaveDataManager.h"

#include <Lumora/ICamera.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// ---- In-memory settings behind the save manager's interface --------------------------

namespace {

struct StoredSettings {
    std::int32_t mode = 0;
    std::int32_t zDistance = 0;
    std::int32_t height = 0;
    int handlesOpened = 0;
};
StoredSettings stored;
std::shared_ptr<RealSaveDataManager> realManager;
std::int32_t handles = 0;

} // namespace

SaveDataManager::SaveDataManager()
{
    if (handles++ == 0) {
        realManager = std::make_shared<RealSaveDataManager>();
    }
    ++stored.handlesOpened;
}
SaveDataManager::~SaveDataManager()
{
    if (--handles == 0) {
        realManager.reset();
    }
}
const std::shared_ptr<RealSaveDataManager>& SaveDataManager::Real() { return realManager; }
std::int32_t SaveDataManager::UseCount() { return handles; }
std::int32_t RealSaveDataManager::GetCameraMode() { return stored.mode; }
void RealSaveDataManager::SetCameraMode(std::int32_t value) { stored.mode = value; }
std::int32_t RealSaveDataManager::GetCameraZDist() { return stored.zDistance; }
void RealSaveDataManager::SetCameraZDist(std::int32_t value) { stored.zDistance = value; }
std::int32_t RealSaveDataManager::GetCameraHeight() { return stored.height; }
void RealSaveDataManager::SetCameraHeight(std::int32_t value) { stored.height = value; }

namespace {

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
    void SetLookAt(const Lumora::Math::Vector3D& eye_, const Lumora::Math::Vector3D& target_,
                   std::int32_t flags) override
    {
        calls.push_back("look " + std::to_string(flags));
        eye = eye_;
        target = target_;
    }
    void Update() override { calls.push_back("update"); }

    std::int32_t references = 1;
    std::vector<std::string> calls;
    Lumora::Math::Vector3D eye;
    Lumora::Math::Vector3D target;
};

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        stored = {};
        board.BuildBoard(StageFromRows({".....", ".....", "..@..", "....F"})); // 5 x 4
    }

    PuzzleBoard board;
    RecordingCamera engine;
};

using Vector = Lumora::Math::Vector3D;

TEST_F(CameraTest, WithoutAnEngineCameraKeepsDefaultsButStillSaves)
{
    stored = {1, 120, 250, 0};
    {
        Camera camera(&board, nullptr);
        EXPECT_EQ(camera.mode, CameraMode::Auto);
        EXPECT_EQ(camera.zDistance, 300);
        EXPECT_EQ(camera.height, 400);
        EXPECT_FALSE(camera.adjusting);
        EXPECT_EQ(stored.handlesOpened, 0); // nothing read
        camera.Apply();                     // harmless
    }
    EXPECT_EQ(stored.handlesOpened, 1);
    EXPECT_EQ(stored.mode, 0);
    EXPECT_EQ(stored.zDistance, 300);
    EXPECT_EQ(stored.height, 400);
    EXPECT_EQ(SaveDataManager::UseCount(), 0);
}

TEST_F(CameraTest, StoredTopViewLooksDownOnTheBoardMiddle)
{
    stored = {1, 120, 250, 0};
    engine.AddRef(); // the reference the Camera takes over
    {
        Camera camera(&board, &engine);
        ASSERT_EQ(engine.calls.size(), 1u);
        EXPECT_EQ(engine.calls[0], "projection 1.000000 700.000000 8192 640 480");
        EXPECT_EQ(camera.mode, CameraMode::TopView);
        EXPECT_EQ(camera.zDistance, 120);
        camera.Apply();
        EXPECT_EQ(engine.calls, (std::vector<std::string>{"projection 1.000000 700.000000 8192 640 480", "reset",
                                                          "look 0", "update"}));
        EXPECT_EQ(engine.target, (Vector{50, 0, -40}));
        EXPECT_EQ(engine.eye, (Vector{50, 250, -50}));
    }
    EXPECT_EQ(engine.references, 1); // released on destruction
}

TEST_F(CameraTest, UnusableStoredValuesAreMadeUsable)
{
    stored = {7, 0, -5, 0};
    engine.AddRef();
    Camera camera(&board, &engine);
    EXPECT_EQ(camera.mode, CameraMode::Auto);
    EXPECT_EQ(camera.zDistance, 10);
    EXPECT_EQ(camera.height, 0);
    camera.Apply();
    EXPECT_NE(engine.eye, engine.target);
}

TEST_F(CameraTest, AutoFollowsThePlayerLevelFromBehind)
{
    stored = {0, 300, 400, 0};
    engine.AddRef();
    Camera camera(&board, &engine);
    camera.Apply();
    EXPECT_EQ(engine.target, (Vector{40, 30, -40}));
    EXPECT_EQ(engine.eye, (Vector{40, 30, -340}));
    board.player->position = {43, 0, -12};
    camera.Apply();
    EXPECT_EQ(engine.target, (Vector{43, 30, -12}));
    EXPECT_EQ(engine.eye, (Vector{43, 30, -312}));
}

TEST_F(CameraTest, ClearedOrGivenUpShowsTheCloseUpInEitherMode)
{
    stored = {1, 300, 400, 0};
    engine.AddRef();
    Camera camera(&board, &engine);
    for (PuzzlerState state : {PuzzlerState::Cleared, PuzzlerState::GivenUp}) {
        for (CameraMode mode : {CameraMode::Auto, CameraMode::TopView}) {
            board.player->state = state;
            camera.SetMode(mode);
            camera.Apply();
            EXPECT_EQ(engine.target, (Vector{40, 10, -40}));
            EXPECT_EQ(engine.eye, (Vector{40, 50, -140}));
            EXPECT_EQ(camera.mode, mode);
        }
    }
}

TEST_F(CameraTest, AdjustmentOnlyWhileAdjustingAndWithinBounds)
{
    Camera camera(&board, nullptr);
    camera.StepCloser();
    camera.StepFarther();
    EXPECT_EQ(camera.zDistance, 300); // not adjusting

    camera.SetAdjusting(true);
    for (int i = 0; i < 400; ++i) {
        camera.StepCloser();
    }
    EXPECT_EQ(camera.zDistance, 10);
    EXPECT_EQ(camera.height, 400);
    camera.StepFarther();
    EXPECT_EQ(camera.zDistance, 11);

    camera.SetMode(CameraMode::TopView);
    for (int i = 0; i < 500; ++i) {
        camera.StepCloser();
    }
    EXPECT_EQ(camera.height, 0);
    for (int i = 0; i < 1000; ++i) {
        camera.StepFarther();
    }
    EXPECT_EQ(camera.height, 1000); // no upper bound
    EXPECT_EQ(camera.zDistance, 11);
}

TEST_F(CameraTest, RulesDriveTheAdjustmentAndDestructionSavesIt)
{
    stored = {0, 20, 400, 0};
    engine.AddRef();
    {
        Camera camera(&board, &engine);
        PuzzleRules rules(nullptr, &camera);
        rules.board = board;
        PuzzleButtons closer = Hold({ButtonCamera, ButtonUp});
        for (int tick = 0; tick < 15; ++tick) {
            rules.Step(closer);
        }
        EXPECT_EQ(camera.zDistance, 10);
        EXPECT_TRUE(camera.adjusting);
        rules.Step(Hold({ButtonUp, ButtonDown})); // without the camera button: moves nothing
        EXPECT_FALSE(camera.adjusting);
        EXPECT_EQ(camera.zDistance, 10);
        for (int tick = 0; tick < 5; ++tick) {
            rules.Step(Hold({ButtonCamera, ButtonDown}));
        }
        EXPECT_EQ(camera.zDistance, 15);
        camera.SetMode(CameraMode::TopView);
    }
    EXPECT_EQ(stored.mode, 1);
    EXPECT_EQ(stored.zDistance, 15);
    EXPECT_EQ(stored.height, 400);
}

} // namespace
