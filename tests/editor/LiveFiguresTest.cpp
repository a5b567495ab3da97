// The live figures: the rater's own figures for every shipped stage opened in the editor,
// the shipped tiers suggested for the tiered stages, and the newest board always winning.
#include "LiveFigures.h"
#include "StageEditor.h"

#include "PuzzleBoard.h"
#include "PuzzleRating.h"
#include "StageText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

EditorFigures WaitForFigures(const LiveFigures& figures)
{
    for (;;) {
        const EditorFigures latest = figures.Latest();
        if (latest.state != EditorFigures::State::Searching) {
            return latest;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::vector<fs::path> ShippedStages()
{
    std::vector<fs::path> files;
    for (const char* folder : {TOMARUGI_STAGE_DIR, TOMARUGI_EXTRA_STAGE_DIR}) {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".pzd") {
                files.push_back(entry.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST(LiveFigures, EqualTheRatersOnEveryShippedStageOpenedInTheEditor)
{
    LiveFigures live;
    int opened = 0;
    for (const fs::path& file : ShippedStages()) {
        StageDataReader stage;
        ASSERT_TRUE(stage.ReadFromPath(file.c_str()));
        StageEditor editor;
        std::string why;
        if (!editor.Open(stage, why)) {
            EXPECT_TRUE(stage.width > StageEditor::MaxSide || stage.height > StageEditor::MaxSide) << file;
            continue;
        }
        ++opened;
        live.Request(editor.Stage(), editor.Revision());
        const EditorFigures shown = WaitForFigures(live);

        PuzzleBoard board;
        board.BuildBoard(stage);
        const PuzzleRating rating = RatePuzzle(board);
        ASSERT_EQ(rating.outcome, RatingOutcome::Rated) << file;
        ASSERT_EQ(shown.state, EditorFigures::State::Rated) << file;
        EXPECT_EQ(shown.revision, editor.Revision());
        EXPECT_EQ(shown.fewestTurns, rating.fewestTurns) << file;
        EXPECT_EQ(shown.pushes, rating.pushes) << file;
        EXPECT_EQ(shown.deadFirstMoves, rating.deadFirstMoves) << file;
        EXPECT_EQ(shown.trappedPositions, rating.trappedPositions) << file;
        EXPECT_EQ(shown.shortestSolutions, rating.shortestSolutions) << file;
        EXPECT_EQ(shown.noiseObjects, rating.noise.size()) << file;

        // The tiered extra stages are named by their tier ("1-04 ..."): the suggestion agrees.
        const std::string name = file.filename().string();
        if (name.size() > 2 && name[1] == '-' && name[0] >= '1' && name[0] <= '3') {
            EXPECT_EQ(static_cast<int>(shown.tier), name[0] - '0') << file;
        }
    }
    EXPECT_GE(opened, 35); // the five normal stages and the thirty tiered ones
}

TEST(LiveFigures, ShowTheCrossForABoardThatCannotBeClearedAndNothingForNoFrog)
{
    LiveFigures live;
    StageEditor editor;
    editor.NewBoard(3, 3); // start at (0, 0), all ice
    editor.SetCursor(2, 2);
    editor.Place(EditorPiece::FrogOverHole); // a frog in the far corner over a hole
    editor.SetCursor(1, 2);
    editor.Place(EditorPiece::Hole);
    editor.SetCursor(2, 1);
    editor.Place(EditorPiece::Hole); // nothing can stand beside it any more
    live.Request(editor.Stage(), editor.Revision());
    EXPECT_EQ(WaitForFigures(live).state, EditorFigures::State::Unsolvable);
}

TEST(LiveFigures, TheNewestBoardWinsOverAnOlderSearch)
{
    LiveFigures live;
    // A wide board with many frogs takes the rater long; the small one asked for next wins.
    StageEditor big;
    big.NewBoard(32, 32);
    for (std::uint32_t i = 0; i < 12; ++i) {
        big.SetCursor(2 + i * 2, 3 + (i * 7) % 25);
        big.Place(EditorPiece::FrogOnIce);
    }
    StageEditor small;
    small.NewBoard(4, 3);
    small.SetCursor(3, 0);
    small.Place(EditorPiece::FrogOnIce); // slide right, thaw: 2 turns
    live.Request(big.Stage(), 1);
    live.Request(small.Stage(), 2);
    const EditorFigures shown = WaitForFigures(live);
    EXPECT_EQ(shown.revision, 2u);
    ASSERT_EQ(shown.state, EditorFigures::State::Rated);
    EXPECT_EQ(shown.fewestTurns, 2u);
}

TEST(LiveFigures, TierRulesOfTheShippedTiers)
{
    EditorFigures figures;
    figures.state = EditorFigures::State::Rated;
    auto tierAt = [&](std::uint32_t turns, std::uint32_t trapped, std::uint64_t solutions, std::uint32_t noise) {
        figures.fewestTurns = turns;
        figures.trappedPositions = trapped;
        figures.shortestSolutions = solutions;
        figures.noiseObjects = noise;
        return SuggestTier(figures);
    };
    EXPECT_EQ(tierAt(4, 0, 1, 0), StageTier::None);
    EXPECT_EQ(tierAt(5, 0, 9, 0), StageTier::Easy);
    EXPECT_EQ(tierAt(10, 0, 1, 1), StageTier::None);
    EXPECT_EQ(tierAt(18, 0, 50, 0), StageTier::Normal);
    EXPECT_EQ(tierAt(19, 20, 1, 0), StageTier::None);
    EXPECT_EQ(tierAt(20, 8, 4, 0), StageTier::Hard);
    EXPECT_EQ(tierAt(33, 7, 1, 0), StageTier::None);
    EXPECT_EQ(tierAt(33, 8, 5, 0), StageTier::None);
    EXPECT_EQ(tierAt(34, 20, 1, 0), StageTier::None);
}
