// puzzle/PuzzleRating.h: how good a puzzle a board is, in figures a designer can compare.
//
// The solver (PuzzleSolver.h) answers "how few turns?". A rating walks every position the
// player can reach from the start (player cell and frog cells, as the solver does), then
// works backwards from the cleared positions, so that it knows for each position whether it
// can still be cleared and in how few turns. From that it reads:
//   - fewest turns, and the fewest pushes any shortest solution needs (thaws = frogs);
//   - traps: moves after which the board can no longer be cleared, counted among the first
//     moves and at every position along one shortest solution;
//   - how many distinct shortest move lists there are (one is the sharpest puzzle);
//   - noise: objects whose removal leaves the board just as hard (an icicle: the same fewest
//     turns; a frog: one turn fewer, its own thaw), found with the solver on the board
//     without each object in turn. A board's only frog is never noise.
// Moves are those of the solver: a slide that moves, a push that moves a frog, a thaw;
// blocked presses change nothing and are not moves. Everything runs on the rules' own slide.
//
// What it does not do: boards larger than a few hundred thousand reachable positions are
// refused (GaveUp) rather than rated slowly; the limit is an option.
#pragma once

#include "PuzzleBoard.h"
#include "PuzzleSolver.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

struct RatingOptions {
    std::size_t maxStates = 1'000'000; // reachable positions walked before giving up
    bool findNoise = true;             // also solve the board without each object
    // When given, another thread may set it to stop the rating early (outcome GaveUp); it is
    // read once per position walked and by the noise searches. The caller keeps it alive.
    const std::atomic<bool>* cancel = nullptr;
};

enum class RatingOutcome {
    Rated,      // every figure below is filled
    Unsolvable, // no reachable position is cleared; only `states` is filled
    GaveUp,     // more than `maxStates` reachable positions, or cancelled
};

// An object whose removal leaves the board just as hard.
struct NoiseObject {
    enum class Kind { Frog, Icicle } kind = Kind::Frog;
    Cell cell;
};

struct PuzzleRating {
    RatingOutcome outcome = RatingOutcome::Unsolvable;
    std::size_t states = 0; // reachable positions, the start included

    std::uint32_t fewestTurns = 0;
    std::uint32_t pushes = 0; // fewest pushes among the shortest solutions
    std::uint32_t thaws = 0;  // every frog is thawed once

    std::uint32_t firstMoves = 0;     // moves open at the start
    std::uint32_t deadFirstMoves = 0; // of those, the ones after which clearing is impossible

    // Along `solution`: the positions before each of its moves (the start included).
    std::uint32_t trappedPositions = 0; // positions offering at least one dead move
    std::uint32_t trapMoves = 0;        // dead moves offered at those positions, in all

    // Distinct shortest move lists; saturates at SolutionCountLimit.
    std::uint64_t shortestSolutions = 0;

    // One shortest solution, with the fewest pushes; among equals the first in the
    // solver's move order (Up, Down, Left, Right; slide, push, thaw).
    std::vector<SolverMove> solution;
    std::vector<NoiseObject> noise;
};

inline constexpr std::uint64_t SolutionCountLimit = 1'000'000'000'000ull;

// Rates the board as built (frogs Frozen, the player Idle), from the player's cell.
PuzzleRating RatePuzzle(const PuzzleBoard& board, const RatingOptions& options = {});

// The board without the object at `cell` (a frog or an icicle; the floor stays as it is).
PuzzleBoard WithoutObject(const PuzzleBoard& board, const NoiseObject& object);
