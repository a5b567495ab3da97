// puzzle/MovePlayback.cpp: see MovePlayback.h.
#include "MovePlayback.h"

#include <algorithm>
#include <utility>

MovePlayback::MovePlayback(std::vector<SolverMove> moves_, std::uint64_t startTurns_)
    : moves(std::move(moves_)), startTurns(startTurns_)
{
}

PuzzleButtons MovePlayback::NextButtons(const PuzzleRules& rules)
{
    const PuzzleBoard& board = rules.board;
    const bool atRest =
        board.player->state == PuzzlerState::Idle &&
        std::all_of(board.frogs.begin(), board.frogs.end(),
                    [](const PuzzleObjectFrozenFrog& frog) { return frog.state == FrogState::Frozen; });
    if (AllPressed() || !atRest || rules.turns != startTurns + next) {
        return {};
    }
    const std::uint32_t buttons = MoveButtons(moves[next]);
    ++next;
    return PuzzleButtons{buttons, buttons};
}

bool MovesFit(const PuzzleBoard& board, const std::vector<SolverMove>& moves)
{
    if (moves.empty()) {
        return false;
    }
    PuzzleRules rules;
    rules.board = board;
    const ReplayReport report = ReplayMoves(rules, moves);
    return report.ok && report.cleared;
}
