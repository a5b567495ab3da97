// puzzle/SolverBudget.h: how much one search inside the game may take.
//
// The game solves on worker threads (the stage select's fewest turns, the puzzle screen's
// hint and dead-end check), never on the main thread, so a search never stalls a frame; the
// budget bounds what one search may hold and how long it can run. A search that reaches it
// gives up (SolveOutcome::GaveUp) and the game then shows "?" or no hint: it never guesses.
//
// Bound: at most 1,000,000 states, and at most 64 MiB held by the state store, its index
// and the search nodes together (checked after every state stored). The store's arrays grow
// by doubling, so while one grows the old and new copies live together for a moment: the
// process's peak is at most about 1.5 x 64 MiB plus the queue of open states (4 bytes per
// entry). A hostile 255 x 255 stage with thousands of frogs holds 2 bytes per frog in every
// state, so it meets the memory bound after a few thousand states, within a second.
// The shipped stages need at most about 27,000 states (体験版Hard from its start).
#pragma once

#include "PuzzleSolver.h"

#include <cstddef>

inline constexpr std::size_t kGameSolveMaxStates = 1'000'000;
inline constexpr std::size_t kGameSolveMaxMemoryBytes = std::size_t{64} << 20;

// The options every in-game search starts from.
inline SolveOptions GameSolveOptions()
{
    SolveOptions options;
    options.maxStates = kGameSolveMaxStates;
    options.maxMemoryBytes = kGameSolveMaxMemoryBytes;
    return options;
}
