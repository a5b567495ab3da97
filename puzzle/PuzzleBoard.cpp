// puzzle/PuzzleBoard.cpp: building the board from a stage, and the questions slides ask.
#include "PuzzleBoard.h"

#include "StageDataReader.h"

#include <stdexcept>

namespace {

[[noreturn]] void ThrowBadIndex()
{
    throw std::out_of_range("invalid vector<T> subscript");
}

} // namespace

PuzzleBoard::PuzzleBoard() : player(std::make_shared<PuzzlerNuiko>()) {}

PuzzleBoard::PuzzleBoard(const PuzzleBoard& other)
    : width(other.width), height(other.height), tiles(other.tiles), icicles(other.icicles), frogs(other.frogs),
      player(std::make_shared<PuzzlerNuiko>(*other.player))
{
}

PuzzleBoard& PuzzleBoard::operator=(const PuzzleBoard& other)
{
    if (this != &other) {
        PuzzleBoard copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void PuzzleBoard::BuildBoard(const StageDataReader& stage)
{
    width = stage.width;
    height = stage.height;
    tiles.clear();
    icicles.clear();
    frogs.clear();
    tiles.reserve(static_cast<std::size_t>(width) * height);
    const std::vector<StageCell> cells = stage.GetCells();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        tiles.push_back(cells[i].floor);
        // A 0-wide stage has no cells after a read; guard the division all the same.
        const std::uint32_t x = width == 0 ? 0 : static_cast<std::uint32_t>(i % width);
        const std::uint32_t y = width == 0 ? 0 : static_cast<std::uint32_t>(i / width);
        switch (static_cast<StageObject>(cells[i].object)) {
        case StageObject::PlayerStart:
            player->x = x;
            player->y = y;
            break;
        case StageObject::FrozenFrog:
            frogs.emplace_back(x, y);
            break;
        case StageObject::Icicle:
            icicles.emplace_back(x, y);
            break;
        default:
            break;
        }
    }
    // The model stands on its start cell from the start. Left at the world origin, a slide
    // pressed in the very first update would start from the wrong place, never meet its
    // target exactly and leave the player Moving for good.
    player->position = PositionOfCell(player->GetCell());
}

void PuzzleBoard::BuildBoard(Lumora::IFile* stageFile)
{
    const StageDataReaderLumora stage(stageFile);
    BuildBoard(stage);
}

std::int32_t PuzzleBoard::TileAt(Cell cell) const
{
    if (!IsOnBoard(cell.x, cell.y)) {
        return 0;
    }
    const std::size_t index = static_cast<std::size_t>(cell.y) * width + cell.x;
    return index < tiles.size() ? tiles[index] : 0;
}

PuzzleObjectFrozenFrog& PuzzleBoard::Frog(std::size_t index)
{
    if (index >= frogs.size()) {
        ThrowBadIndex();
    }
    return frogs[index];
}

const PuzzleObjectFrozenFrog& PuzzleBoard::Frog(std::size_t index) const
{
    if (index >= frogs.size()) {
        ThrowBadIndex();
    }
    return frogs[index];
}

PuzzleObjectIcicle& PuzzleBoard::Icicle(std::size_t index)
{
    if (index >= icicles.size()) {
        ThrowBadIndex();
    }
    return icicles[index];
}

const PuzzleObjectIcicle& PuzzleBoard::Icicle(std::size_t index) const
{
    if (index >= icicles.size()) {
        ThrowBadIndex();
    }
    return icicles[index];
}

bool PuzzleBoard::IcicleBlocks(Cell cell) const
{
    for (const PuzzleObjectIcicle& icicle : icicles) {
        if (icicle.x == cell.x && icicle.y == cell.y && icicle.blocking != 0) {
            return true;
        }
    }
    return false;
}

bool PuzzleBoard::FrogBlocks(Cell cell) const
{
    for (const PuzzleObjectFrozenFrog& frog : frogs) {
        if (frog.x == cell.x && frog.y == cell.y && frog.blocking != 0) {
            return true;
        }
    }
    return false;
}
