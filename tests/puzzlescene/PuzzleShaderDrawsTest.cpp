// The game has the puzzle's model shaders compiled ahead, while the logos show, from the list
// ScenePuzzle::ModelShaderDraws gives. A way of drawing the list misses would stall a
// player's first puzzle again, silently: so the real puzzle frames are drawn with OpenGL
// through the moments that bring new materials on screen (a stage starting, the player
// walking, a frog pushed, defrosted and leaving) and every way the 3D pass drew with a model
// shader must be on the list.
#include "ModelShaderHost.h"
#include "PuzzleSceneTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace PuzzleSceneTest {
namespace {

std::string Describe(const Lumora::ModelShaderDraw& draw)
{
    const std::uint8_t* bytes = &draw.options.skinned;
    std::string text = "options";
    for (int i = 0; i < 7; ++i) {
        text += bytes[i] != 0 ? " 1" : " 0";
    }
    return text + (draw.instanced != 0 ? ", instanced" : ", plain");
}

bool SameDraw(const Lumora::ModelShaderDraw& a, const Lumora::ModelShaderDraw& b)
{
    const std::uint8_t* x = &a.options.skinned;
    const std::uint8_t* y = &b.options.skinned;
    for (int i = 0; i < 7; ++i) {
        if ((x[i] != 0) != (y[i] != 0)) {
            return false;
        }
    }
    return (a.instanced != 0) == (b.instanced != 0);
}

class PuzzleShaderDrawsTest : public PuzzleSceneFixture {
protected:
    PuzzleShaderDrawsTest() : PuzzleSceneFixture((Lumora::Internal::SetModelShaderPluginDirectory(PUZZLE_GAME_DIR), true)) {}

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i) {
            Step();
            Frame();
        }
    }

    void PressAndShow(int button)
    {
        Press(button);
        Frames(90);
    }
};

TEST_F(PuzzleShaderDrawsTest, EveryModelShaderDrawOfAPuzzleIsOnTheListCompiledAhead)
{
    // Icicles, a floor code, a frog and the player, who walks about.
    ASSERT_TRUE(StartPuzzle("icicles.pzd"));
    Frames(30);
    for (const int button : {ButtonUp, ButtonLeft, ButtonDown, ButtonRight}) {
        PressAndShow(button);
    }
    scene->Release();
    scene = nullptr;
    // A frog pushed away over the ice, then one defrosted until it has left.
    ASSERT_TRUE(StartPuzzle("push.pzd"));
    PressAndShow(ButtonRight);
    scene->Release();
    scene = nullptr;
    ASSERT_TRUE(StartPuzzle("thaw.pzd"));
    Frames(30);
    Press(ButtonRight);
    Press(ButtonDefrost);
    for (int frame = 0; frame < 1000 && !scene->GetBoard().frogs.empty(); ++frame) {
        Step();
        Frame();
    }
    EXPECT_TRUE(scene->GetBoard().frogs.empty()) << "the frog never left";

    const std::vector<Lumora::ModelShaderDraw> drawn = Lumora::Testing::GetModelShaderDrawsSoFar();
    // The floor alone is instanced, the player skinned, a frozen frog's ice transparent.
    ASSERT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](const auto& d) { return d.instanced != 0; }));
    ASSERT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](const auto& d) { return d.options.skinned != 0; }));
    ASSERT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](const auto& d) { return d.options.transparent != 0; }));
    const auto listed = ScenePuzzle::ModelShaderDraws();
    for (const Lumora::ModelShaderDraw& draw : drawn) {
        EXPECT_TRUE(std::any_of(listed.begin(), listed.end(), [&](const auto& l) { return SameDraw(l, draw); }))
            << "drawn but not compiled ahead: " << Describe(draw);
    }
    // And the list carries nothing a puzzle never draws (each entry costs the helper a
    // compile on every first start).
    for (const Lumora::ModelShaderDraw& entry : listed) {
        EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [&](const auto& d) { return SameDraw(d, entry); }))
            << "compiled ahead but never drawn: " << Describe(entry);
    }
}

} // namespace
} // namespace PuzzleSceneTest
