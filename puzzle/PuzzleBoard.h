// puzzle/PuzzleBoard.h: the board of a stage being played: tiles, icicles, frogs, player.
//
// Built once per stage from a stage file (BuildBoard) and changed afterwards only by the
// rules (PuzzleRules.h); a retry builds a fresh board. Tile values are the stage's floor
// codes: 0 is a hole, anything else walkable ice. At most one object stands on a cell.
#pragma once

#include "PuzzleObject.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class StageDataReader;

namespace Lumora {
class IFile;
}

class PuzzleBoard {
public:
    PuzzleBoard();
    // A copy is a separate position: it gets its own player, not a share of this one's.
    PuzzleBoard(const PuzzleBoard& other);
    PuzzleBoard& operator=(const PuzzleBoard& other);
    PuzzleBoard(PuzzleBoard&&) noexcept = default;
    PuzzleBoard& operator=(PuzzleBoard&&) noexcept = default;

    // Builds width, height, tiles, icicles and frogs from a stage and puts the player on its
    // start cell (the last PlayerStart in file order; (0, 0) when there is none), its world
    // position on that cell. Cell i of
    // the stage lies at (i % width, i / width). Object codes other than 1, 2, 3 are ignored.
    void BuildBoard(const StageDataReader& stage);
    // The same from a stage file object, read from its current position; the caller keeps
    // the file. A null file builds the empty 0 x 0 board.
    void BuildBoard(Lumora::IFile* stageFile);

    // Whether a cell given in 64-bit coordinates lies on the board.
    bool IsOnBoard(std::int64_t x, std::int64_t y) const
    {
        return x >= 0 && y >= 0 && x < width && y < height;
    }
    // The floor code at a cell; 0 (a hole) for a cell off the board or without a tile.
    std::int32_t TileAt(Cell cell) const;

    // Range-checked access: an index out of range raises std::out_of_range.
    PuzzleObjectFrozenFrog& Frog(std::size_t index);
    const PuzzleObjectFrozenFrog& Frog(std::size_t index) const;
    PuzzleObjectIcicle& Icicle(std::size_t index);
    const PuzzleObjectIcicle& Icicle(std::size_t index) const;

    // Grid view for SlideOver (Slide.h).
    std::uint32_t Width() const { return width; }
    std::uint32_t Height() const { return height; }
    bool IsHole(Cell cell) const { return TileAt(cell) == 0; }
    bool IcicleBlocks(Cell cell) const;
    bool FrogBlocks(Cell cell) const;

    std::uint8_t width = 0;                      // columns
    std::uint8_t height = 0;                     // rows
    std::vector<std::int32_t> tiles;             // index y * width + x
    std::vector<PuzzleObjectIcicle> icicles;     // in stage order
    std::vector<PuzzleObjectFrozenFrog> frogs;   // in stage order; leaving frogs are erased
    std::shared_ptr<PuzzlerNuiko> player;        // never null
};
