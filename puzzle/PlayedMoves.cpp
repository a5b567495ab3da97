// puzzle/PlayedMoves.cpp: see PlayedMoves.h.
#include "PlayedMoves.h"

namespace {

std::optional<SolverAction> ActionOf(PuzzlerState state)
{
    switch (state) {
    case PuzzlerState::Moving:
        return SolverAction::Slide;
    case PuzzlerState::Pushing:
        return SolverAction::Push;
    case PuzzlerState::Defrosting:
        return SolverAction::Defrost;
    default:
        return std::nullopt;
    }
}

} // namespace

void PlayedMoves::TakeCountedTurns(const PuzzleRules& rules)
{
    while (moves.size() < rules.turns) {
        if (!started) {
            lost = true;
            return;
        }
        moves.push_back(*started);
        started.reset();
    }
}

void PlayedMoves::BeforeStep(const PuzzleRules& rules)
{
    TakeCountedTurns(rules);
    stateBefore = rules.board.player->state;
    turnsBefore = rules.turns;
}

void PlayedMoves::AfterStep(const PuzzleRules& rules)
{
    const bool anActionEnded = rules.turns > turnsBefore;
    TakeCountedTurns(rules);
    const PuzzlerNuiko& player = *rules.board.player;
    const std::optional<SolverAction> action = ActionOf(player.state);
    // A slide that ends in this update may be followed by the next press in the same one.
    if (action && (stateBefore == PuzzlerState::Idle || anActionEnded || !started)) {
        started = SolverMove{*action, player.facing};
    }
}

bool PlayedMoves::IsCompleteFor(const PuzzleRules& rules)
{
    TakeCountedTurns(rules);
    return !lost && moves.size() == rules.turns;
}
