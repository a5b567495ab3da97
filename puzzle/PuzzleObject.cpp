// puzzle/PuzzleObject.cpp: cells, directions and the player's own movement.
#include "PuzzleObject.h"

namespace {

std::int64_t SignOf(std::int64_t value)
{
    return (value > 0) - (value < 0);
}

} // namespace

Direction Sign(Direction direction)
{
    return {SignOf(direction.dx), SignOf(direction.dy)};
}

Cell CellOfPosition(const Lumora::Math::Vector3D& position)
{
    if (position.x >= 0.0f && position.z <= 0.0f) {
        // Truncation toward zero; the casts cannot wrap for any position on a 255-cell
        // board, and positions far off the board only ever compare unequal.
        return {static_cast<std::uint32_t>(position.x / CellSize),
                static_cast<std::uint32_t>(-position.z / CellSize)};
    }
    return {0, 0};
}

Lumora::Math::Vector3D PositionOfCell(Cell cell)
{
    return {static_cast<float>(cell.x) * CellSize, 0.0f, -(static_cast<float>(cell.y) * CellSize)};
}

void PuzzleObjectFrozenFrog::Settle()
{
    if (state != FrogState::Sliding) {
        return;
    }
    state = FrogState::Frozen;
    x = targetX;
    y = targetY;
}

bool PuzzlerNuiko::MoveTo(Cell destination)
{
    if (state != PuzzlerState::Idle) {
        return false;
    }
    const Direction difference{static_cast<std::int64_t>(destination.x) - static_cast<std::int64_t>(x),
                               static_cast<std::int64_t>(destination.y) - static_cast<std::int64_t>(y)};
    if ((difference.dx == 0) == (difference.dy == 0)) {
        return false; // own cell, or diagonal
    }
    state = PuzzlerState::Moving;
    facing = Sign(difference);
    targetX = destination.x;
    targetY = destination.y;
    return true;
}

void PuzzlerNuiko::UpdatePosition()
{
    if (state != PuzzlerState::Moving) {
        position = PositionOfCell(GetCell());
        return;
    }
    position.x += static_cast<float>(facing.dx) * 2.0f;
    position.z -= static_cast<float>(facing.dy) * 2.0f;
}
