// puzzle/Slide.h: where a slide over the ice ends. The one copy of the slide rule.
//
// The game's board and the solver's compact board both answer the same four questions
// through a grid view, and both slide through SlideOver, so the solver can never drift from
// the rules. A grid view provides:
//     std::uint32_t Width() const, Height() const   // cells
//     bool IsHole(Cell) const                       // floor code 0, or no tile there
//     bool IcicleBlocks(Cell) const                 // a blocking icicle stands there
//     bool FrogBlocks(Cell) const                   // a blocking frog stands there
#pragma once

#include "PuzzleObject.h"

#include <cstdint>

// Walks from `start` along `direction` (one axis, steps of -1 or +1) and returns the last
// cell it could stand on: it stops on a hole, in front of an icicle or frog, or at the board
// edge. The start cell is tested too, so a slide that starts on a hole or an occupied cell
// ends where it started. `startHoldsMovingFrog` is set for a frog's own slide: the frog on
// the start cell is the one that moves and does not block itself.
template <class GridView>
Cell SlideOver(const GridView& grid, Cell start, Direction direction, bool startHoldsMovingFrog)
{
    if ((direction.dx == 0) == (direction.dy == 0)) {
        return start; // no direction, or diagonal
    }
    const std::int64_t width = grid.Width();
    const std::int64_t height = grid.Height();
    std::int64_t x = start.x;
    std::int64_t y = start.y;
    Cell last = start;
    for (;;) {
        const Cell cell{static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
        if (grid.IsHole(cell) || grid.IcicleBlocks(cell)) {
            break;
        }
        if (!(startHoldsMovingFrog && cell == start) && grid.FrogBlocks(cell)) {
            break;
        }
        last = cell;
        x += direction.dx;
        y += direction.dy;
        if (x < 0 || y < 0 || x >= width || y >= height) {
            break;
        }
    }
    return last;
}
