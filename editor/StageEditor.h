// editor/StageEditor.h: the board a player is building, its cursor and its undo history.
//
// Engine-free, like the rules: the editor screen draws it and feeds it button presses, the
// tests drive it directly. The board is a stage (StageDataReader) of 3 x 3 up to 32 x 32
// cells, so what is built is exactly what a saved ".pzd" file holds; every edit keeps at
// most one player start (placing one moves it).
//
//     StageEditor editor;
//     editor.NewBoard(8, 6);             // all ice, the start in the top-left corner
//     editor.MoveCursor(1, 0);
//     editor.Place(EditorPiece::FrogOnIce);
//     editor.Undo(); editor.Redo();
//     editor.Stage().ToBytes();          // the file to save
//
// Undo keeps the last UndoDepth edits (older ones are forgotten, never a crash); a new edit
// after an undo drops the redo steps, as in every editor. Undo and redo restore the board
// and put the cursor on the cell the step changed; moving the cursor is not an edit.
// One thread at a time (the editor screen's main thread).
#pragma once

#include "StageDataReader.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

// The palette, in the order the screen offers it.
enum class EditorPiece : std::int32_t {
    Ice = 0,
    Hole = 1,
    FrogOnIce = 2,
    FrogOverHole = 3,
    Icicle = 4,
    PlayerStart = 5,
};
inline constexpr std::int32_t EditorPieceCount = 6;

// What a stage lacks to be played (both can still be saved, with a warning).
struct StagePlayability {
    bool hasStart = false;
    bool hasFrog = false;
    bool Playable() const { return hasStart && hasFrog; }
};

class StageEditor {
public:
    static constexpr std::uint8_t MinSide = 3;
    static constexpr std::uint8_t MaxSide = 32;
    static constexpr std::size_t UndoDepth = 256;

    // A new 8 x 8 board, as NewBoard(8, 8).
    StageEditor();

    // Starts afresh: `width` x `height` ice (each clamped to MinSide..MaxSide), the start on
    // (0, 0), the cursor there, no history, unmodified.
    void NewBoard(std::uint32_t width, std::uint32_t height);
    // Starts afresh from a stage read from a file. False, nothing changed, when the stage is
    // smaller than 3 x 3 or larger than 32 x 32 (`error` says which). Extra start cells
    // (the game plays the last) are dropped so that the board has the one the game uses.
    bool Open(const StageDataReader& stage, std::string& error);

    const StageDataReader& Stage() const { return stage_; }
    std::uint32_t Width() const { return stage_.width; }
    std::uint32_t Height() const { return stage_.height; }
    // The cell at (x, y); a default (hole) cell off the board.
    StageCell CellAt(std::uint32_t x, std::uint32_t y) const;

    std::uint32_t CursorX() const { return cursorX_; }
    std::uint32_t CursorY() const { return cursorY_; }
    // Moves the cursor by (dx, dy), stopping at the board's edges.
    void MoveCursor(std::int32_t dx, std::int32_t dy);
    // Puts the cursor on (x, y); false, nothing moved, off the board.
    bool SetCursor(std::uint32_t x, std::uint32_t y);

    // Puts `piece` on the cursor's cell (a start elsewhere is removed). Returns whether the
    // board changed; an edit that changes nothing is not an undo step.
    bool Place(EditorPiece piece);
    // The cancel button: the cursor's cell becomes plain ice, and plain ice becomes a hole.
    bool Erase();
    // Changes the size (clamped to MinSide..MaxSide): cells outside the new size are
    // dropped, new cells are holes; the cursor stays on the board. One undo step.
    bool Resize(std::uint32_t width, std::uint32_t height);

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    std::size_t UndoSteps() const { return undo_.size(); }
    bool Undo();
    bool Redo();

    // Whether the board differs from the one last saved (or opened).
    bool IsModified() const { return stage_.width != saved_.width || stage_.height != saved_.height || stage_.cells != saved_.cells; }
    // Marks the board as saved.
    void MarkSaved() { saved_ = stage_; }
    // The number of edits so far; changes with every edit, undo and redo (the live
    // figures key their search by it).
    std::uint64_t Revision() const { return revision_; }

    StagePlayability Playability() const;
    // The board in the stage tool's text format (content/stages/README.md).
    std::string Text() const;

private:
    struct Step {
        StageDataReader board; // the board before the edit
        std::uint32_t x = 0;   // the cell the edit was made on
        std::uint32_t y = 0;
    };
    // Stores the board as it is now as the next undo step and drops the redo steps.
    void Remember();
    void SetCell(std::uint32_t x, std::uint32_t y, StageCell cell);
    void Restore(std::deque<Step>& from, std::deque<Step>& to);

    StageDataReader stage_;
    StageDataReader saved_;
    std::uint32_t cursorX_ = 0;
    std::uint32_t cursorY_ = 0;
    std::deque<Step> undo_;
    std::deque<Step> redo_;
    std::uint64_t revision_ = 0;
};

// The cell a piece makes.
StageCell CellOfPiece(EditorPiece piece);
