// puzzle/PuzzleRules.cpp: slides, pushes, defrosts, the frog animations and clearing.
#include "PuzzleRules.h"

#include "Slide.h"

#include <Lumora/ISound.h>

#include <algorithm>
#include <iterator>

namespace {

// The direction buttons in the order a step reads them; the last pressed one wins.
struct DirectionButton {
    int button;
    Direction direction;
};
constexpr DirectionButton StepDirections[] = {
    {ButtonUp, Up},
    {ButtonDown, Down},
    {ButtonRight, Right},
    {ButtonLeft, Left},
};

// Whether a world position is exactly the origin of a cell, found the way the game
// always has: the cell it lies in is the cell, and both coordinates match exactly (they
// stay exact because moves start on multiples of 20 and change by 2 at a time).
bool HasArrived(const Lumora::Math::Vector3D& position, std::uint32_t targetX, std::uint32_t targetY)
{
    const Cell cell = CellOfPosition(position);
    return cell.x == targetX && cell.y == targetY &&
           position.x == static_cast<float>(targetX) * CellSize &&
           position.z == -(static_cast<float>(targetY) * CellSize);
}

} // namespace

const char* PuzzleSoundFileName(PuzzleSound sound)
{
    switch (sound) {
    case PuzzleSound::FrogDrag:
        return "frog_drag.wav";
    case PuzzleSound::Defrost:
        return "defrost.wav";
    }
    return "";
}

Lumora::ISound* PuzzleSoundPlayerLumora::Find(PuzzleSound sound) const
{
    return sound == PuzzleSound::FrogDrag ? frogDragSound : defrostSound;
}

void PuzzleSoundPlayerLumora::Play(PuzzleSound sound, bool loop)
{
    if (Lumora::ISound* effect = Find(sound)) {
        effect->Play(0, loop ? 1 : 0);
    }
}

void PuzzleSoundPlayerLumora::Stop(PuzzleSound sound)
{
    if (Lumora::ISound* effect = Find(sound)) {
        effect->Stop(0);
    }
}

void PuzzleRules::PlaySound(PuzzleSound sound, bool loop)
{
    if (sounds != nullptr) {
        sounds->Play(sound, loop);
    }
}

void PuzzleRules::StopSound(PuzzleSound sound)
{
    if (sounds != nullptr) {
        sounds->Stop(sound);
    }
}

Cell PuzzleRules::Slide(Cell start, Direction direction, const PuzzleObjectFrozenFrog* movingFrog) const
{
    return SlideOver(board, start, direction, movingFrog != nullptr);
}

StepResult PuzzleRules::Step(const PuzzleButtons& buttons)
{
    PuzzlerNuiko& player = *board.player;
    StepResult result;

    // 1. Camera adjustment comes first; while it is on, the directions steer the camera.
    const bool adjusting = buttons.Held(ButtonCamera);
    if (camera != nullptr) {
        camera->SetAdjusting(adjusting);
        if (adjusting) {
            if (buttons.Held(ButtonUp)) {
                camera->StepCloser();
            }
            if (buttons.Held(ButtonDown)) {
                camera->StepFarther();
            }
        }
    }

    // 2. Directions. Every slide starts from the player's cell, so with several presses
    // the last one in the order decides; a blocked direction only turns the player.
    if (!adjusting) {
        Cell destination = player.GetCell();
        for (const DirectionButton& entry : StepDirections) {
            if (buttons.Pressed(entry.button)) {
                destination = Slide(player.GetCell(), entry.direction, nullptr);
                if (player.state == PuzzlerState::Idle) {
                    player.facing = entry.direction;
                }
            }
        }
        player.MoveTo(destination);
    }

    // 3, 4. Push wins over defrost: a push that began leaves the player not Idle.
    if (buttons.Pressed(ButtonPush) && player.state == PuzzlerState::Idle) {
        player.state = PuzzlerState::Pushing;
        PushFrog();
    }
    if (buttons.Pressed(ButtonDefrost) && player.state == PuzzlerState::Idle) {
        player.state = PuzzlerState::Defrosting;
        DefrostFrog();
    }

    // 5. Arrival, tested before the position moves on.
    if (player.state == PuzzlerState::Moving && HasArrived(player.position, player.targetX, player.targetY)) {
        player.state = PuzzlerState::Idle;
        player.x = player.targetX;
        player.y = player.targetY;
        ++turns;
    }

    // 6.
    player.UpdatePosition();

    // 7, 8.
    result.openMenu = buttons.Pressed(ButtonMenu);
    if (board.frogs.empty()) {
        player.state = PuzzlerState::Cleared;
        result.cleared = true;
    }
    return result;
}

void PuzzleRules::PushFrog()
{
    PuzzlerNuiko& player = *board.player;
    const std::int64_t targetX = static_cast<std::int64_t>(player.x) + player.facing.dx;
    const std::int64_t targetY = static_cast<std::int64_t>(player.y) + player.facing.dy;
    if (!board.IsOnBoard(targetX, targetY)) {
        player.state = PuzzlerState::Idle;
        return;
    }
    for (PuzzleObjectFrozenFrog& frog : board.frogs) {
        if (frog.x != targetX || frog.y != targetY) {
            continue;
        }
        const Cell destination = Slide(frog.GetCell(), player.facing, &frog);
        if (destination == frog.GetCell()) {
            continue; // blocked on its far side
        }
        frog.state = FrogState::Sliding;
        frog.targetX = destination.x;
        frog.targetY = destination.y;
        PlaySound(PuzzleSound::FrogDrag, true);
        return; // the player stays Pushing until the frog arrives
    }
    player.state = PuzzlerState::Idle;
}

void PuzzleRules::DefrostFrog()
{
    PuzzlerNuiko& player = *board.player;
    const std::int64_t targetX = static_cast<std::int64_t>(player.x) + player.facing.dx;
    const std::int64_t targetY = static_cast<std::int64_t>(player.y) + player.facing.dy;
    if (!board.IsOnBoard(targetX, targetY)) {
        player.state = PuzzlerState::Idle;
        return;
    }
    for (PuzzleObjectFrozenFrog& frog : board.frogs) {
        if (frog.x == targetX && frog.y == targetY) {
            frog.state = FrogState::Leaving;
            PlaySound(PuzzleSound::Defrost, false);
            return; // the player stays Defrosting until the leave animation ends
        }
    }
    player.state = PuzzlerState::Idle;
}

Lumora::Math::Vector3D PuzzleRules::AdvanceSlidingFrog(PuzzleObjectFrozenFrog& frog)
{
    PuzzlerNuiko& player = *board.player;
    const Lumora::Math::Vector3D drawAt{static_cast<float>(frog.x) * CellSize + slideOffset.x, 0.0f,
                                        -(static_cast<float>(frog.y) * CellSize) + slideOffset.z};
    // The push direction is the player's facing: a Pushing player cannot turn.
    slideOffset.x += static_cast<float>(player.facing.dx) * 2.0f;
    slideOffset.z -= static_cast<float>(player.facing.dy) * 2.0f;
    if (HasArrived(drawAt, frog.targetX, frog.targetY)) {
        slideOffset = {};
        frog.Settle();
        if (player.state == PuzzlerState::Pushing) {
            player.state = PuzzlerState::Idle;
        }
        ++turns;
        StopSound(PuzzleSound::FrogDrag);
    }
    return drawAt;
}

void PuzzleRules::AdvanceLeavingFrog(PuzzleObjectFrozenFrog& frog, float animationLength,
                                     const std::function<void(const PuzzleObjectFrozenFrog&, float)>& draw)
{
    leaveClock += 1.0f;
    if (draw) {
        draw(frog, leaveClock);
    }
    if (animationLength < leaveClock) {
        leaveClock = 0.0f;
        FinishLeavingFrogs();
    }
}

void PuzzleRules::FinishLeavingFrogs()
{
    std::erase_if(board.frogs, [](const PuzzleObjectFrozenFrog& frog) { return frog.state == FrogState::Leaving; });
    PuzzlerNuiko& player = *board.player;
    if (player.state == PuzzlerState::Defrosting) {
        player.state = PuzzlerState::Idle;
    }
    ++turns;
}

void PuzzleRules::AdvanceFrogs(float leaveAnimationLength)
{
    for (std::size_t i = board.frogs.size(); i-- > 0;) {
        PuzzleObjectFrozenFrog& frog = board.frogs[i];
        if (frog.state == FrogState::Sliding) {
            AdvanceSlidingFrog(frog);
        } else if (frog.state == FrogState::Leaving) {
            AdvanceLeavingFrog(frog, leaveAnimationLength);
        }
    }
}
