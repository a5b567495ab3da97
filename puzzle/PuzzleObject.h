// puzzle/PuzzleObject.h: the vocabulary of a puzzle being played: cells, directions, world
// placement, the objects standing on the board and the player character.
//
// Cells are (x = column, y = row), both unsigned 32-bit. The board lies in the world plane
// Y = 0; cell (x, y) sits at world (x * 20, 0, -(y * 20)): columns along +X, rows along -Z.
// Directions are 64-bit so that a cell plus a step can be tested against 0 and the board
// size without wrapping. Nothing here touches the engine beyond its float vector.
#pragma once

#include <Lumora/Math.h>

#include <cstdint>

// World units per cell along X and along -Z.
inline constexpr float CellSize = 20.0f;

struct Cell {
    std::uint32_t x = 0;
    std::uint32_t y = 0;

    bool operator==(const Cell&) const = default;
};

struct Direction {
    std::int64_t dx = 0;
    std::int64_t dy = 0;

    bool operator==(const Direction&) const = default;
};

inline constexpr Direction Up{0, -1};
inline constexpr Direction Down{0, +1};
inline constexpr Direction Left{-1, 0};
inline constexpr Direction Right{+1, 0};

// Each step replaced by -1, 0 or +1 according to its sign.
Direction Sign(Direction direction);

// The cell a world position lies in: (X / 20, -Z / 20) truncated toward zero when X >= 0
// and Z <= 0; (0, 0) for any position off that quarter of the plane.
Cell CellOfPosition(const Lumora::Math::Vector3D& position);

// World position of a cell's origin corner (the point the models stand on).
Lumora::Math::Vector3D PositionOfCell(Cell cell);

enum class PuzzlerState : std::int32_t {
    Idle = 0,       // accepts a new action
    Moving = 1,     // sliding towards (targetX, targetY)
    Pushing = 2,    // until the pushed frog arrives, or at once when nothing can move
    Defrosting = 3, // until the frog's leave animation ends, or at once when no frog is in front
    Cleared = 4,    // no frog left
    GivenUp = 5,    // set by the in-game menu
};

enum class FrogState : std::int32_t {
    Frozen = 0,  // standing on (x, y)
    Sliding = 1, // pushed; (x, y) changes only on arrival at (targetX, targetY)
    Leaving = 2, // defrosted; erased from the board when its leave animation ends
};

// Start object codes that the board turns into objects (the stage file's codes).
inline constexpr std::int32_t FrogKind = 2;
inline constexpr std::int32_t IcicleKind = 3;

// Something standing on a cell. Copied by value into the board's lists.
class PuzzleObject {
public:
    PuzzleObject() = default;
    PuzzleObject(std::uint8_t pushable_, std::uint8_t blocking_, std::int32_t kind_,
                 std::uint32_t x_, std::uint32_t y_)
        : pushable(pushable_), blocking(blocking_), kind(kind_), x(x_), y(y_)
    {
    }
    virtual ~PuzzleObject() = default;
    PuzzleObject(const PuzzleObject&) = default;
    PuzzleObject& operator=(const PuzzleObject&) = default;

    Cell GetCell() const { return {x, y}; }

    std::uint8_t pushable = 0; // 1 for frogs; informative, pushing works on the frog list
    std::uint8_t blocking = 0; // a slide stops in front of an object with this set
    std::int32_t kind = 0;     // FrogKind or IcicleKind
    std::uint32_t x = 0;
    std::uint32_t y = 0;
};

// An icicle never moves; it only blocks.
class PuzzleObjectIcicle : public PuzzleObject {
public:
    PuzzleObjectIcicle() = default;
    PuzzleObjectIcicle(std::uint32_t x_, std::uint32_t y_) : PuzzleObject(0, 1, IcicleKind, x_, y_) {}
};

class PuzzleObjectFrozenFrog : public PuzzleObject {
public:
    PuzzleObjectFrozenFrog() = default;
    PuzzleObjectFrozenFrog(std::uint32_t x_, std::uint32_t y_) : PuzzleObject(1, 1, FrogKind, x_, y_) {}

    // A sliding frog becomes Frozen on its target cell; any other frog is left alone.
    void Settle();

    FrogState state = FrogState::Frozen;
    std::uint32_t targetX = 0;
    std::uint32_t targetY = 0;
};

// The player character. Held by the scene through a shared pointer.
class PuzzlerNuiko {
public:
    PuzzlerNuiko() = default;

    // Starts a slide to `destination` when Idle and the destination lies straight along
    // one axis (not the own cell, not diagonal); faces that way. True when a move began.
    bool MoveTo(Cell destination);

    // Once per update: on the cell when not Moving, else 2 world units along `facing`,
    // so one cell takes 10 updates.
    void UpdatePosition();

    Cell GetCell() const { return {x, y}; }

    std::uint32_t x = 0; // during a move: the cell the move started from
    std::uint32_t y = 0;
    std::uint32_t targetX = 0;
    std::uint32_t targetY = 0;
    PuzzlerState state = PuzzlerState::Idle;
    Direction facing = Down;
    Lumora::Math::Vector3D position; // world units; Y stays 0
};
