// puzzle/MovePlayback.h: the buttons that play a move list on the puzzle screen (a replay).
//
// Each update the screen asks for the buttons to give the rules instead of the player's:
// the next move's buttons (MoveButtons, PuzzleReplay.h) once the player stands Idle with
// every frog Frozen and the previous move has counted its turn, nothing otherwise. So the
// rules, the animations, the sounds and the camera run exactly as when the player plays.
//
// Before a replay starts, MovesFit proves on a copy of the board that the list plays
// through the rules and clears in exactly its length; a list that does not (the stage file
// changed since the moves were stored) is never played.
#pragma once

#include "PuzzleReplay.h"
#include "PuzzleRules.h"
#include "PuzzleSolver.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class MovePlayback {
public:
    MovePlayback() = default;
    // `startTurns` is the rules' turn count when the first move is pressed.
    MovePlayback(std::vector<SolverMove> moves, std::uint64_t startTurns);

    // The buttons for this update of `rules`.
    PuzzleButtons NextButtons(const PuzzleRules& rules);

    std::size_t MovesPressed() const { return next; }
    std::size_t MoveCount() const { return moves.size(); }
    bool AllPressed() const { return next >= moves.size(); }

private:
    std::vector<SolverMove> moves;
    std::size_t next = 0;
    std::uint64_t startTurns = 0;
};

// Whether `moves` played from `board` (a position at rest, as PlayMoves asks) counts one
// turn each and clears the stage with the last of them.
bool MovesFit(const PuzzleBoard& board, const std::vector<SolverMove>& moves);
