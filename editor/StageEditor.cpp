#include "StageEditor.h"

#include "StageText.h"

#include <algorithm>

namespace {

constexpr std::int32_t kIce = static_cast<std::int32_t>(StageFloor::Floor);
constexpr std::int32_t kHole = static_cast<std::int32_t>(StageFloor::None);
constexpr std::int32_t kStart = static_cast<std::int32_t>(StageObject::PlayerStart);

std::uint8_t ClampSide(std::uint32_t side)
{
    return static_cast<std::uint8_t>(std::clamp<std::uint32_t>(side, StageEditor::MinSide, StageEditor::MaxSide));
}

} // namespace

StageCell CellOfPiece(EditorPiece piece)
{
    switch (piece) {
    case EditorPiece::Ice:
        return {kIce, 0};
    case EditorPiece::Hole:
        return {kHole, 0};
    case EditorPiece::FrogOnIce:
        return {kIce, static_cast<std::int32_t>(StageObject::FrozenFrog)};
    case EditorPiece::FrogOverHole:
        return {kHole, static_cast<std::int32_t>(StageObject::FrozenFrog)};
    case EditorPiece::Icicle:
        return {kIce, static_cast<std::int32_t>(StageObject::Icicle)};
    case EditorPiece::PlayerStart:
        return {kIce, kStart};
    }
    return {};
}

StageEditor::StageEditor()
{
    NewBoard(8, 8);
}

void StageEditor::NewBoard(std::uint32_t width, std::uint32_t height)
{
    stage_ = StageDataReader();
    stage_.width = ClampSide(width);
    stage_.height = ClampSide(height);
    stage_.cells.assign(static_cast<std::size_t>(stage_.width) * stage_.height, StageCell{kIce, 0});
    stage_.cells[0].object = kStart;
    saved_ = stage_;
    cursorX_ = 0;
    cursorY_ = 0;
    undo_.clear();
    redo_.clear();
    ++revision_;
}

bool StageEditor::Open(const StageDataReader& stage, std::string& error)
{
    if (stage.width < MinSide || stage.height < MinSide) {
        error = "the stage is smaller than 3 x 3";
        return false;
    }
    if (stage.width > MaxSide || stage.height > MaxSide) {
        error = "the stage is larger than 32 x 32";
        return false;
    }
    stage_ = stage;
    stage_.cells.resize(static_cast<std::size_t>(stage_.width) * stage_.height);
    // The game starts the player on the last start cell; the others mean nothing there.
    bool startSeen = false;
    for (auto cell = stage_.cells.rbegin(); cell != stage_.cells.rend(); ++cell) {
        if (cell->object == kStart) {
            if (startSeen) {
                cell->object = 0;
            }
            startSeen = true;
        }
    }
    saved_ = stage_;
    cursorX_ = 0;
    cursorY_ = 0;
    undo_.clear();
    redo_.clear();
    ++revision_;
    return true;
}

StageCell StageEditor::CellAt(std::uint32_t x, std::uint32_t y) const
{
    if (x >= stage_.width || y >= stage_.height) {
        return {};
    }
    return stage_.cells[static_cast<std::size_t>(y) * stage_.width + x];
}

void StageEditor::MoveCursor(std::int32_t dx, std::int32_t dy)
{
    const std::int64_t x = std::clamp<std::int64_t>(std::int64_t{cursorX_} + dx, 0, std::int64_t{stage_.width} - 1);
    const std::int64_t y = std::clamp<std::int64_t>(std::int64_t{cursorY_} + dy, 0, std::int64_t{stage_.height} - 1);
    cursorX_ = static_cast<std::uint32_t>(x);
    cursorY_ = static_cast<std::uint32_t>(y);
}

bool StageEditor::SetCursor(std::uint32_t x, std::uint32_t y)
{
    if (x >= stage_.width || y >= stage_.height) {
        return false;
    }
    cursorX_ = x;
    cursorY_ = y;
    return true;
}

void StageEditor::Remember()
{
    undo_.push_back({stage_, cursorX_, cursorY_});
    while (undo_.size() > UndoDepth) {
        undo_.pop_front();
    }
    redo_.clear();
    ++revision_;
}

void StageEditor::SetCell(std::uint32_t x, std::uint32_t y, StageCell cell)
{
    stage_.cells[static_cast<std::size_t>(y) * stage_.width + x] = cell;
}

bool StageEditor::Place(EditorPiece piece)
{
    const StageCell cell = CellOfPiece(piece);
    const std::size_t index = static_cast<std::size_t>(cursorY_) * stage_.width + cursorX_;
    const bool otherStart = cell.object == kStart &&
        std::any_of(stage_.cells.begin(), stage_.cells.end(), [&](const StageCell& c) {
            return c.object == kStart && &c != &stage_.cells[index];
        });
    if (stage_.cells[index] == cell && !otherStart) {
        return false;
    }
    Remember();
    if (cell.object == kStart) {
        for (StageCell& other : stage_.cells) {
            if (other.object == kStart) {
                other.object = 0;
            }
        }
    }
    SetCell(cursorX_, cursorY_, cell);
    return true;
}

bool StageEditor::Erase()
{
    const StageCell now = CellAt(cursorX_, cursorY_);
    const StageCell ice{kIce, 0};
    Remember();
    SetCell(cursorX_, cursorY_, now == ice ? StageCell{kHole, 0} : ice);
    return true;
}

bool StageEditor::Resize(std::uint32_t width, std::uint32_t height)
{
    const std::uint8_t newWidth = ClampSide(width);
    const std::uint8_t newHeight = ClampSide(height);
    if (newWidth == stage_.width && newHeight == stage_.height) {
        return false;
    }
    Remember();
    std::vector<StageCell> cells(static_cast<std::size_t>(newWidth) * newHeight, StageCell{kHole, 0});
    for (std::uint32_t y = 0; y < std::min(newHeight, stage_.height); ++y) {
        for (std::uint32_t x = 0; x < std::min(newWidth, stage_.width); ++x) {
            cells[static_cast<std::size_t>(y) * newWidth + x] = CellAt(x, y);
        }
    }
    stage_.width = newWidth;
    stage_.height = newHeight;
    stage_.cells = std::move(cells);
    MoveCursor(0, 0);
    return true;
}

void StageEditor::Restore(std::deque<Step>& from, std::deque<Step>& to)
{
    Step step = std::move(from.back());
    from.pop_back();
    to.push_back({stage_, step.x, step.y});
    stage_ = std::move(step.board);
    cursorX_ = step.x;
    cursorY_ = step.y;
    MoveCursor(0, 0); // a resize step may have left the cell off the restored board
    ++revision_;
}

bool StageEditor::Undo()
{
    if (undo_.empty()) {
        return false;
    }
    Restore(undo_, redo_);
    return true;
}

bool StageEditor::Redo()
{
    if (redo_.empty()) {
        return false;
    }
    Restore(redo_, undo_);
    return true;
}

StagePlayability StageEditor::Playability() const
{
    StagePlayability playability;
    for (const StageCell& cell : stage_.cells) {
        playability.hasStart = playability.hasStart || cell.object == kStart;
        playability.hasFrog = playability.hasFrog || cell.object == static_cast<std::int32_t>(StageObject::FrozenFrog);
    }
    return playability;
}

std::string StageEditor::Text() const
{
    bool representable = true;
    return FormatStageText(stage_, "", representable);
}
