// puzzle/PuzzleReplay.cpp: see PuzzleReplay.h.
#include "PuzzleReplay.h"

#include <sstream>

namespace {

int ButtonOf(Direction direction)
{
    if (direction == Up) {
        return ButtonUp;
    }
    if (direction == Down) {
        return ButtonDown;
    }
    if (direction == Left) {
        return ButtonLeft;
    }
    return ButtonRight;
}

} // namespace

std::uint32_t MoveButtons(const SolverMove& move)
{
    std::uint32_t pressed = PuzzleButtons::Bit(ButtonOf(move.direction));
    if (move.action == SolverAction::Push) {
        pressed |= PuzzleButtons::Bit(ButtonPush);
    } else if (move.action == SolverAction::Defrost) {
        pressed |= PuzzleButtons::Bit(ButtonDefrost);
    }
    return pressed;
}

std::uint64_t RunAction(PuzzleRules& rules, std::uint32_t pressed, float leaveLength, std::uint64_t limit)
{
    std::uint64_t frames = 0;
    PuzzleButtons buttons{pressed, pressed};
    do {
        rules.AdvanceFrogs(leaveLength);
        rules.Step(buttons);
        buttons = {};
        ++frames;
    } while (rules.board.player->state != PuzzlerState::Idle &&
             rules.board.player->state != PuzzlerState::Cleared && frames < limit);
    return frames;
}

ReplayReport PlayMoves(PuzzleRules& rules, const std::vector<SolverMove>& moves, float leaveLength)
{
    ReplayReport report;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const SolverMove& move = moves[i];
        std::ostringstream where;
        where << "move " << i + 1 << " (" << FormatMoves({move}) << "): ";
        if (rules.board.player->state == PuzzlerState::Cleared) {
            report.failure = where.str() + "the stage was cleared already";
            return report;
        }
        const PuzzlerNuiko before = *rules.board.player;
        const std::size_t frogsBefore = rules.board.frogs.size();
        const std::uint64_t turnsBefore = rules.turns;
        report.frames += RunAction(rules, MoveButtons(move), leaveLength);

        const PuzzlerNuiko& after = *rules.board.player;
        if (after.state != PuzzlerState::Idle && after.state != PuzzlerState::Cleared) {
            report.failure = where.str() + "the player never came back to Idle";
            return report;
        }
        if (rules.turns != turnsBefore + 1) {
            where << "counted " << rules.turns - turnsBefore << " turns instead of 1";
            report.failure = where.str();
            return report;
        }
        const bool moved = after.GetCell() != before.GetCell();
        if ((move.action == SolverAction::Slide) != moved) {
            report.failure = where.str() + (moved ? "the player moved" : "the player did not move");
            return report;
        }
        if (move.action == SolverAction::Defrost && rules.board.frogs.size() + 1 != frogsBefore) {
            report.failure = where.str() + "no frog left the board";
            return report;
        }
    }
    rules.AdvanceFrogs(leaveLength);
    rules.Step({});
    ++report.frames;
    report.cleared = rules.board.player->state == PuzzlerState::Cleared;
    report.ok = true;
    return report;
}

ReplayReport ReplayMoves(PuzzleRules& rules, const std::vector<SolverMove>& moves, float leaveLength,
                         bool expectCleared)
{
    ReplayReport report = PlayMoves(rules, moves, leaveLength);
    if (report.ok && report.cleared != expectCleared) {
        report.ok = false;
        report.failure = report.cleared ? "the stage was cleared early" : "the stage was not cleared";
    }
    return report;
}
