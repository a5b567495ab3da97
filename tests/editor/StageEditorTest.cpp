// The editor's board: every edit checked against a plain grid that applies the same rules,
// and every edit sequence undone to its start and redone to its end.
#include "StageEditor.h"

#include "StageDataReader.h"
#include "StageText.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// The rules of the palette, written out apart from the editor: a grid of (floor, object).
struct ReferenceBoard {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<StageCell> cells;

    StageCell& At(std::uint32_t x, std::uint32_t y) { return cells[y * width + x]; }

    void Place(std::uint32_t x, std::uint32_t y, EditorPiece piece)
    {
        static const StageCell kCells[] = {{1, 0}, {0, 0}, {1, 2}, {0, 2}, {1, 3}, {1, 1}};
        const StageCell cell = kCells[static_cast<int>(piece)];
        if (cell.object == 1) {
            for (StageCell& other : cells) {
                other.object = other.object == 1 ? 0 : other.object;
            }
        }
        At(x, y) = cell;
    }
    void Erase(std::uint32_t x, std::uint32_t y)
    {
        At(x, y) = At(x, y) == StageCell{1, 0} ? StageCell{0, 0} : StageCell{1, 0};
    }
    void Resize(std::uint32_t newWidth, std::uint32_t newHeight)
    {
        std::vector<StageCell> resized(newWidth * newHeight, StageCell{0, 0});
        for (std::uint32_t y = 0; y < newHeight && y < height; ++y) {
            for (std::uint32_t x = 0; x < newWidth && x < width; ++x) {
                resized[y * newWidth + x] = At(x, y);
            }
        }
        width = newWidth;
        height = newHeight;
        cells = resized;
    }
};

void ExpectSame(const StageEditor& editor, const ReferenceBoard& reference)
{
    ASSERT_EQ(editor.Width(), reference.width);
    ASSERT_EQ(editor.Height(), reference.height);
    ASSERT_EQ(editor.Stage().cells, reference.cells);
}

struct Snapshot {
    std::uint32_t width;
    std::uint32_t height;
    std::vector<StageCell> cells;
    bool operator==(const Snapshot&) const = default;
};
Snapshot SnapshotOf(const StageEditor& editor)
{
    return {editor.Width(), editor.Height(), editor.Stage().cells};
}

int StartCount(const StageEditor& editor)
{
    int starts = 0;
    for (const StageCell& cell : editor.Stage().cells) {
        starts += cell.object == 1 ? 1 : 0;
    }
    return starts;
}

} // namespace

TEST(StageEditorBoard, NewBoardIsIceWithTheStartInTheCornerAndSidesKeptIn3To32)
{
    StageEditor editor;
    editor.NewBoard(5, 4);
    ReferenceBoard reference{5, 4, std::vector<StageCell>(20, StageCell{1, 0})};
    reference.At(0, 0).object = 1;
    ExpectSame(editor, reference);
    EXPECT_FALSE(editor.IsModified());
    EXPECT_FALSE(editor.CanUndo());

    editor.NewBoard(1, 200);
    EXPECT_EQ(editor.Width(), 3u);
    EXPECT_EQ(editor.Height(), 32u);
    EXPECT_FALSE(editor.Resize(0, 99)); // clamps to the size it has: no edit
    EXPECT_TRUE(editor.Resize(33, 2));
    EXPECT_EQ(editor.Width(), 32u);
    EXPECT_EQ(editor.Height(), 3u);
}

TEST(StageEditorBoard, CursorStopsAtTheEdgesAndStaysOnTheBoardAfterShrinking)
{
    StageEditor editor;
    editor.NewBoard(4, 3);
    editor.MoveCursor(-5, -5);
    EXPECT_EQ(editor.CursorX(), 0u);
    editor.MoveCursor(10, 10);
    EXPECT_EQ(editor.CursorX(), 3u);
    EXPECT_EQ(editor.CursorY(), 2u);
    EXPECT_FALSE(editor.SetCursor(4, 0));
    editor.Resize(3, 3);
    EXPECT_EQ(editor.CursorX(), 2u);
    editor.Undo(); // back to 4 x 3, the cursor where the resize was made
    EXPECT_EQ(editor.Width(), 4u);
    EXPECT_LT(editor.CursorX(), editor.Width());
}

TEST(StageEditorBoard, EditsFollowThePaletteRulesOverManyRandomSequences)
{
    std::mt19937 random(20261209);
    for (int round = 0; round < 200; ++round) {
        StageEditor editor;
        const std::uint32_t width = 3 + random() % 30;
        const std::uint32_t height = 3 + random() % 30;
        editor.NewBoard(width, height);
        ReferenceBoard reference{width, height, std::vector<StageCell>(width * height, StageCell{1, 0})};
        reference.At(0, 0).object = 1;
        std::vector<Snapshot> history{SnapshotOf(editor)};
        const int edits = 1 + static_cast<int>(random() % 60);
        for (int edit = 0; edit < edits; ++edit) {
            editor.SetCursor(random() % editor.Width(), random() % editor.Height());
            const std::uint32_t x = editor.CursorX();
            const std::uint32_t y = editor.CursorY();
            const Snapshot before = SnapshotOf(editor);
            const unsigned what = random() % 10;
            bool changed = false;
            if (what < 7) {
                const auto piece = static_cast<EditorPiece>(random() % EditorPieceCount);
                changed = editor.Place(piece);
                reference.Place(x, y, piece);
            } else if (what < 9) {
                changed = editor.Erase();
                reference.Erase(x, y);
            } else {
                const std::uint32_t w = 3 + random() % 30;
                const std::uint32_t h = 3 + random() % 30;
                changed = editor.Resize(w, h);
                reference.Resize(w, h);
            }
            ExpectSame(editor, reference);
            ASSERT_LE(StartCount(editor), 1);
            // An edit is an undo step exactly when it changed the board.
            ASSERT_EQ(changed, !(SnapshotOf(editor) == before));
            if (changed) {
                history.push_back(SnapshotOf(editor));
            }
        }
        // Undone step by step to the empty board, then redone to the end.
        for (std::size_t step = history.size() - 1; step > 0; --step) {
            ASSERT_TRUE(editor.Undo());
            ASSERT_EQ(SnapshotOf(editor), history[step - 1]) << "round " << round << " step " << step;
            ASSERT_LT(editor.CursorX(), editor.Width());
            ASSERT_LT(editor.CursorY(), editor.Height());
        }
        EXPECT_FALSE(editor.Undo());
        EXPECT_FALSE(editor.IsModified());
        for (std::size_t step = 1; step < history.size(); ++step) {
            ASSERT_TRUE(editor.Redo());
            ASSERT_EQ(SnapshotOf(editor), history[step]);
        }
        EXPECT_FALSE(editor.Redo());
    }
}

TEST(StageEditorHistory, KeepsAtLeast200StepsAndANewEditDropsTheRedoSteps)
{
    StageEditor editor;
    editor.NewBoard(32, 32);
    for (int edit = 0; edit < 300; ++edit) {
        editor.SetCursor(static_cast<std::uint32_t>(edit % 32), static_cast<std::uint32_t>(1 + edit / 32));
        ASSERT_TRUE(editor.Erase());
    }
    int undone = 0;
    while (editor.Undo()) {
        ++undone;
    }
    EXPECT_GE(undone, 200);
    EXPECT_EQ(static_cast<std::size_t>(undone), StageEditor::UndoDepth);

    editor.Redo();
    editor.Redo();
    editor.SetCursor(0, 0);
    editor.Place(EditorPiece::Icicle);
    EXPECT_FALSE(editor.CanRedo());
}

TEST(StageEditorHistory, SavingMarksTheBoardAndUndoingPastItModifiesItAgain)
{
    StageEditor editor;
    editor.NewBoard(4, 4);
    editor.SetCursor(2, 2);
    editor.Place(EditorPiece::FrogOnIce);
    EXPECT_TRUE(editor.IsModified());
    editor.MarkSaved();
    EXPECT_FALSE(editor.IsModified());
    editor.Undo();
    EXPECT_TRUE(editor.IsModified());
    editor.Redo();
    EXPECT_FALSE(editor.IsModified());
}

TEST(StageEditorFiles, OpensOnlyThreeToThirtyTwoAndKeepsTheStartTheGamePlays)
{
    StageDataReader stage;
    std::string title;
    StageTextError error;
    ASSERT_TRUE(ParseStageText("@..\n.F@\n...\n", stage, title, error));
    StageEditor editor;
    std::string why;
    ASSERT_TRUE(editor.Open(stage, why));
    EXPECT_EQ(editor.CellAt(0, 0).object, 0); // the game starts on the last start cell
    EXPECT_EQ(editor.CellAt(2, 1).object, 1);
    EXPECT_FALSE(editor.IsModified());

    ASSERT_TRUE(ParseStageText("@.\n.F\n", stage, title, error));
    EXPECT_FALSE(editor.Open(stage, why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(editor.Width(), 3u); // the open board is kept
    ASSERT_TRUE(ParseStageText(std::string(33, '.') + "\n@F.\n...\n", stage, title, error));
    EXPECT_FALSE(editor.Open(stage, why));
}

TEST(StageEditorFiles, BoardTextReadsBackToTheSameCellsAndPlayabilityIsReported)
{
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        StageEditor editor;
        editor.NewBoard(3 + random() % 10, 3 + random() % 10);
        for (int edit = 0; edit < 40; ++edit) {
            editor.SetCursor(random() % editor.Width(), random() % editor.Height());
            editor.Place(static_cast<EditorPiece>(random() % EditorPieceCount));
        }
        StageDataReader parsed;
        std::string title;
        StageTextError error;
        ASSERT_TRUE(ParseStageText(editor.Text(), parsed, title, error)) << error.message;
        // Blank rows at the bottom and trailing holes come back as holes: compare cell by cell.
        for (std::uint32_t y = 0; y < editor.Height(); ++y) {
            for (std::uint32_t x = 0; x < editor.Width(); ++x) {
                const StageCell back = x < parsed.width && y < parsed.height ? parsed.cells[y * parsed.width + x] : StageCell{};
                ASSERT_EQ(back, editor.CellAt(x, y)) << editor.Text();
            }
        }
    }
    StageEditor editor;
    editor.NewBoard(3, 3);
    EXPECT_FALSE(editor.Playability().hasFrog);
    EXPECT_TRUE(editor.Playability().hasStart);
    editor.Place(EditorPiece::FrogOverHole); // on the start's cell: no start left
    EXPECT_TRUE(editor.Playability().hasFrog);
    EXPECT_FALSE(editor.Playability().hasStart);
}
