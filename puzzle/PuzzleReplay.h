// puzzle/PuzzleReplay.h: plays solver moves through the real rules, frame by frame.
//
// Each frame is one draw (the frog animations) followed by one update (Step), as the main
// loop runs at 60 updates per second with one draw per update. A slide is one press of its
// direction; a push or defrost presses its direction (a turn in place, since a frog in
// front always blocks the slide) together with button 16 or 17. After every action the
// replay waits, pressing nothing, until the player is Idle again.
//
// Shared by the stage tool (its hint command reaches a position by playing moves, so the
// position is one the rules really reach) and the tests (replays of recorded solutions).
#pragma once

#include "PuzzleRules.h"
#include "PuzzleSolver.h"

#include <cstdint>
#include <string>
#include <vector>

struct ReplayReport {
    bool ok = false;          // every move did what it says (and the end was as expected)
    bool cleared = false;     // the player stood Cleared after the last move
    std::string failure;      // what went wrong first, when not ok
    std::uint64_t frames = 0; // draws (= updates) used
};

// Leave animation length in drawn frames used by the replays.
inline constexpr float ReplayLeaveLength = 30.0f;

// Plays `moves` on `rules` (a board whose player is Idle and whose frogs are all Frozen)
// and then steps once more so that clearing can happen. Each move must change something
// and count exactly one turn; the first that does not stops the play with `ok` false and
// the rules left where that move took them. A stage cleared before the last move fails.
ReplayReport PlayMoves(PuzzleRules& rules, const std::vector<SolverMove>& moves,
                       float leaveLength = ReplayLeaveLength);

// PlayMoves, and then the stage must be cleared (or, with `expectCleared` false, not).
ReplayReport ReplayMoves(PuzzleRules& rules, const std::vector<SolverMove>& moves,
                         float leaveLength = ReplayLeaveLength, bool expectCleared = true);

// Runs frames pressing `pressed` in the first update only, until the player is Idle again
// (or `limit` frames have passed). Returns the frames used.
std::uint64_t RunAction(PuzzleRules& rules, std::uint32_t pressed, float leaveLength, std::uint64_t limit = 100000);

// The buttons that play `move`: its direction, with push (16) or defrost (17).
std::uint32_t MoveButtons(const SolverMove& move);
