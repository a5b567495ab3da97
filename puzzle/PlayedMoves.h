// puzzle/PlayedMoves.h: the moves a player makes, written down as the rules play them.
//
// The puzzle screen keeps one per stage and calls BeforeStep and AfterStep around every
// PuzzleRules::Step it runs for the player. An action is noted when the player starts it
// (Idle, or an action just ended, then Moving, Pushing or Defrosting; the facing is its
// direction) and becomes a move when the rules count its turn, which may happen in a later
// update or in a draw (a push ends when the frog arrives, a defrost when the leave
// animation ends). So the list holds one move per counted turn, in the notation the solver
// and the save file use, ready to be stored with a best record.
//
// A turn counted without an action noted (rules driven past this log) marks the log
// incomplete: such a list is never stored, since it would not replay.
#pragma once

#include "PuzzleRules.h"
#include "PuzzleSolver.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class PlayedMoves {
public:
    // Room for this many moves is taken at once, so steady play allocates nothing per turn
    // (the puzzle screen's frames allocate nothing); a longer play grows the list rarely.
    static constexpr std::size_t kReservedMoves = 1024;
    PlayedMoves() { moves.reserve(kReservedMoves); }

    // Around each Step of the rules the player drives.
    void BeforeStep(const PuzzleRules& rules);
    void AfterStep(const PuzzleRules& rules);

    // The moves of the turns counted so far (call after the last step, or BeforeStep, to
    // take in a turn counted in a draw).
    const std::vector<SolverMove>& Moves() const { return moves; }
    // True when Moves() holds exactly one move per turn the rules have counted.
    bool IsCompleteFor(const PuzzleRules& rules);

private:
    void TakeCountedTurns(const PuzzleRules& rules);

    std::vector<SolverMove> moves;
    std::optional<SolverMove> started; // the action under way, until its turn is counted
    PuzzlerState stateBefore = PuzzlerState::Idle;
    std::uint64_t turnsBefore = 0;
    bool lost = false; // a turn was counted with no action noted
};
