// The camera with the real save database: settings survive from one camera (one stage, one
// run) to the next through "tomarugi.save" in the current directory.
#include "Camera.h"
#include "PuzzleTestSupport.h"

#include "save/SaveDataManager.h"

#include <Lumora/ICamera.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

class CountingCamera : public Lumora::ICamera {
public:
    std::int32_t AddRef() override { return ++references; }
    std::int32_t Release() override { return --references; }
    void SetProjection(float, float, std::int32_t, std::int32_t, std::int32_t) override {}
    void Reset() override {}
    void SetLookAt(const Lumora::Math::Vector3D& eye_, const Lumora::Math::Vector3D&, std::int32_t) override
    {
        eye = eye_;
    }
    void Update() override {}
    std::int32_t references = 1;
    Lumora::Math::Vector3D eye;
};

class CameraWithSaveFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = std::filesystem::current_path();
        folder = std::filesystem::temp_directory_path() /
                 ("tomarugi-camera-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
        board.BuildBoard(StageFromRows({".....", ".....", "..@..", "....F"}));
    }
    void TearDown() override
    {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
    }

    std::filesystem::path previous;
    std::filesystem::path folder;
    PuzzleBoard board;
};

TEST_F(CameraWithSaveFile, AdjustedSettingsCarryOverToTheNextCamera)
{
    CountingCamera engine;
    {
        SaveDataManager save;
        save->SetCameraMode(1);
        save->SetCameraZDist(120);
        save->SetCameraHeight(250);
    }
    {
        engine.AddRef();
        Camera camera(&board, &engine);
        EXPECT_EQ(camera.mode, CameraMode::TopView);
        EXPECT_EQ(camera.height, 250);
        camera.Apply();
        EXPECT_EQ(engine.eye, (Lumora::Math::Vector3D{50, 250, -50}));
        camera.SetAdjusting(true);
        camera.StepFarther();
        camera.SetMode(CameraMode::Auto);
        camera.StepCloser();
    }
    engine.AddRef();
    Camera next(&board, &engine);
    EXPECT_EQ(next.mode, CameraMode::Auto);
    EXPECT_EQ(next.zDistance, 119);
    EXPECT_EQ(next.height, 251);
}

TEST_F(CameraWithSaveFile, UnusableStoredSettingsAreMadeUsable)
{
    {
        SaveDataManager save;
        save->SetCameraMode(5);
        save->SetCameraZDist(-40);
        save->SetCameraHeight(-1);
    }
    CountingCamera engine;
    engine.AddRef();
    Camera camera(&board, &engine);
    EXPECT_EQ(camera.mode, CameraMode::Auto);
    EXPECT_EQ(camera.zDistance, 10);
    EXPECT_EQ(camera.height, 0);
}

} // namespace
