// puzzle/SearchState.h: the board and the positions as the solver and the rating see them.
//
// A position is `stride` 16-bit words: the player's cell, then the frog cells in ascending
// order padded with NoFrog (a thawed frog). Cells are numbered y * width + x, at most
// 65,025 on a 255 x 255 board, so one word holds a cell. Internal to the puzzle library:
// PuzzleSolver.cpp (best-first search) and PuzzleRating.cpp (the whole position graph)
// share it so that both walk the very same moves.
#pragma once

#include "PuzzleBoard.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace SearchState {

// The solver's direction order; a move is coded action * 4 + its index here.
inline constexpr Direction Directions[4] = {Up, Down, Left, Right};
inline constexpr std::uint16_t NoFrog = 0xFFFF; // pad word of a removed frog; sorts last

// The board as the search sees it: static obstacles per cell, and the frogs of the state
// being expanded marked in place. Cells are numbered y * width + x (at most 65,025).
class Grid {
public:
    explicit Grid(const PuzzleBoard& board)
        : width(board.width), height(board.height), flags(std::size_t{width} * height, 0)
    {
        for (std::uint32_t y = 0; y < height; ++y) {
            for (std::uint32_t x = 0; x < width; ++x) {
                flags[Index({x, y})] = static_cast<std::uint8_t>((board.IsHole({x, y}) ? HoleFlag : 0) |
                                                                 (board.IcicleBlocks({x, y}) ? IcicleFlag : 0));
            }
        }
    }

    // The slide only asks about cells on the board (it stops at the edge first).
    std::uint32_t Width() const { return width; }
    std::uint32_t Height() const { return height; }
    bool IsHole(Cell cell) const { return (flags[Index(cell)] & HoleFlag) != 0; }
    bool IcicleBlocks(Cell cell) const { return (flags[Index(cell)] & IcicleFlag) != 0; }
    bool FrogBlocks(Cell cell) const { return (flags[Index(cell)] & FrogFlag) != 0; }

    bool OnBoard(Cell cell) const { return cell.x < width && cell.y < height; }
    std::uint16_t Index(Cell cell) const { return static_cast<std::uint16_t>(cell.y * width + cell.x); }
    Cell CellOf(std::size_t index) const
    {
        return {static_cast<std::uint32_t>(index % width), static_cast<std::uint32_t>(index / width)};
    }
    void MarkFrog(std::uint16_t index, bool on)
    {
        flags[index] = static_cast<std::uint8_t>(on ? flags[index] | FrogFlag : flags[index] & ~FrogFlag);
    }

    // The neighbour of `cell` along `direction`, if it lies on the board.
    bool Neighbour(Cell cell, Direction direction, Cell& out) const
    {
        const std::int64_t x = std::int64_t{cell.x} + direction.dx;
        const std::int64_t y = std::int64_t{cell.y} + direction.dy;
        if (x < 0 || y < 0 || x >= width || y >= height) {
            return false;
        }
        out = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
        return true;
    }

private:
    static constexpr std::uint8_t HoleFlag = 1;
    static constexpr std::uint8_t IcicleFlag = 2;
    static constexpr std::uint8_t FrogFlag = 4;

    std::uint32_t width;
    std::uint32_t height;
    std::vector<std::uint8_t> flags; // per cell
};

// Every state is `stride` 16-bit words in an arena of fixed-size pages: the player's cell,
// then the frog cells in ascending order padded with NoFrog. Pages are never moved, so the
// arena grows without the moment of twice its size that a doubling array has (a search at
// its memory budget stays near the budget). An open-addressing table finds duplicates;
// each slot keeps the state's 32-bit hash beside its number, so most probes and every
// regrowth touch no state words.
class Store {
public:
    explicit Store(std::size_t stride_)
        : stride(stride_), perPage(std::max<std::size_t>(1, kPageBytes / (stride_ * sizeof(std::uint16_t)))),
          table(1024, 0)
    {
    }

    std::size_t Count() const { return count; }
    std::size_t MemoryBytes() const
    {
        return pages.size() * perPage * stride * sizeof(std::uint16_t) + table.capacity() * sizeof(std::uint64_t);
    }
    const std::uint16_t* Get(std::size_t state) const
    {
        return pages[state / perPage].get() + (state % perPage) * stride;
    }

    // The number of the state held in `key`, adding it when new; `added` tells which.
    std::uint32_t Intern(const std::uint16_t* key, bool& added)
    {
        if ((count + 1) * 2 > table.size()) {
            Grow();
        }
        const std::uint32_t hash = Hash(key);
        const std::size_t mask = table.size() - 1;
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const std::uint64_t entry = table[slot];
            if (entry == 0) {
                if (count == pages.size() * perPage) {
                    pages.push_back(std::make_unique<std::uint16_t[]>(perPage * stride));
                }
                std::copy(key, key + stride, pages.back().get() + (count % perPage) * stride);
                table[slot] = std::uint64_t{hash} << 32 | static_cast<std::uint32_t>(++count);
                added = true;
                return static_cast<std::uint32_t>(count - 1);
            }
            const auto state = static_cast<std::uint32_t>(entry) - 1;
            if (static_cast<std::uint32_t>(entry >> 32) == hash && std::equal(key, key + stride, Get(state))) {
                added = false;
                return state;
            }
        }
    }

private:
    static constexpr std::size_t kPageBytes = std::size_t{1} << 20;

    std::uint32_t Hash(const std::uint16_t* key) const
    {
        std::uint64_t hash = 0x9E3779B97F4A7C15ull;
        for (std::size_t i = 0; i < stride; ++i) {
            hash = (hash ^ key[i]) * 0xBF58476D1CE4E5B9ull;
            hash ^= hash >> 29;
        }
        return static_cast<std::uint32_t>(hash ^ hash >> 32);
    }

    void Grow()
    {
        std::vector<std::uint64_t> bigger(table.size() * 2, 0);
        const std::size_t mask = bigger.size() - 1;
        for (const std::uint64_t entry : table) {
            if (entry == 0) {
                continue;
            }
            std::size_t slot = (entry >> 32) & mask;
            while (bigger[slot] != 0) {
                slot = (slot + 1) & mask;
            }
            bigger[slot] = entry;
        }
        table.swap(bigger);
    }

    std::size_t stride;
    std::size_t perPage; // states per page
    std::size_t count = 0;
    std::vector<std::unique_ptr<std::uint16_t[]>> pages;
    std::vector<std::uint64_t> table; // hash << 32 | (state number + 1); 0 = empty
};

// The frogs still on the board in `state`.
inline std::size_t FrogCount(const std::uint16_t* state, std::size_t stride)
{
    std::size_t frogs = 0;
    while (frogs + 1 < stride && state[frogs + 1] != NoFrog) {
        ++frogs;
    }
    return frogs;
}

} // namespace SearchState
