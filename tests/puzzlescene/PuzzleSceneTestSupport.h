// tests/puzzlescene/PuzzleSceneTestSupport.h: a puzzle screen on the headless engine.
//
// PuzzleSceneFixture writes (once per program) a data pack beside the test program with the
// game's pictures and models and the small stages below, starts an Application on the
// headless engine in a scratch folder, and makes a ScenePuzzle of one of the stages, loaded
// and playing. The scene hangs under no parent: the tests call its Update and Draw
// themselves, one update per Step and one frame per Frame.
#pragma once

#include "Application.h"
#include "ScenePuzzle.h"
#include "ScratchDirectory.h"

#include <Lumora/Testing.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace PuzzleSceneTest {

// A stage drawn as text: '.' ice, '_' hole, '2' floor code 2, '@' player on ice, 'F' frog on
// ice, 'I' icicle on ice. Rows top to bottom.
std::vector<std::uint8_t> StageBytes(const std::vector<std::string>& rows);

class PuzzleSceneFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    // `pixels`: frames are drawn with OpenGL too (offscreen), not only recorded.
    explicit PuzzleSceneFixture(bool pixels = false);
    ~PuzzleSceneFixture() override;

    // Makes the scene of stage `name` (one of the pack's test stages) and runs the updates
    // until it is playing. False when it never got there.
    bool StartPuzzle(const char* name);
    // One update with `buttons` held (pressed when they were not held before).
    void Step(std::initializer_list<int> buttons = {});
    // A press: one update held, one released.
    void Press(int button);
    // One frame of the scene alone; returns its 3D scene (empty when none was drawn).
    Lumora::Testing::RecordedScene Frame();

    // The recorded actors of `model` in the last frame, in queue order.
    static std::vector<Lumora::Testing::RecordedActor> ActorsOf(const Lumora::Testing::RecordedScene& scene,
                                                                const std::string& model);
    // Draws in the last frame whose texture name ends in `texture`.
    static std::vector<Lumora::Testing::RecordedDraw> DrawsOf(const std::string& texture);

    ScratchDirectory scratch;
    std::unique_ptr<Application> application;
    ScenePuzzle* scene = nullptr;
};

} // namespace PuzzleSceneTest
