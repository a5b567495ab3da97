// puzzle/PuzzleSolver.h: the fewest turns that clear a stage, and one way to do it.
//
// A search over the states a player can reach: the player's cell and the set of frog cells.
// Facing needs no place in the state: pushing or defrosting only matters with a frog in
// front, and a frog in front always blocks the slide that way, so turning to face it is a
// free, turnless press. Every slide that moves, every push that moves a frog and every
// defrost costs one turn; blocked presses cost nothing and change nothing.
//
// The search slides through SlideOver (Slide.h), the rules' own slide, on a compact copy
// of the board. It expands states in order of turns so far plus a lower bound of the turns
// still needed (one per frog, one more when no frog is next to the player), which never
// overestimates, so the first cleared state it takes is a fewest-turn solution; with the
// bound left out it is a plain breadth-first search.
#pragma once

#include "PuzzleBoard.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class SolverAction : std::uint8_t {
    Slide,   // press the direction; the player slides
    Push,    // face the direction (a free press), then push the frog there
    Defrost, // face the direction, then defrost the frog there
};

struct SolverMove {
    SolverAction action = SolverAction::Slide;
    Direction direction;

    bool operator==(const SolverMove&) const = default;
};

enum class SolveOutcome {
    Solved,     // `moves` is a fewest-turn solution
    Unsolvable, // every reachable state was seen; none is cleared
    GaveUp,     // the state or memory limit was reached first, or the search was cancelled
};

struct SolveOptions {
    std::size_t maxStates = 4'000'000;       // states kept before giving up
    std::size_t maxMemoryBytes = 1ull << 30; // memory the search may hold before giving up
    bool useLowerBound = true;         // false: plain breadth-first order
    bool allowPushes = true;           // false: solve by slides and defrosts only
    // When given, another thread may set it to stop the search early (outcome GaveUp). It
    // is read once per state stored; the caller keeps it alive for the whole search.
    const std::atomic<bool>* cancel = nullptr;
};

struct SolveResult {
    SolveOutcome outcome = SolveOutcome::Unsolvable;
    std::vector<SolverMove> moves; // one turn each
    std::size_t statesSeen = 0;    // distinct states stored
};

// Solves the board from where it stands: the player's cell and the frogs still on it (a
// board as built, or any position the rules reach once every frog is Frozen again and the
// player Idle; leaving frogs are already erased then). The moves start from that position,
// so the first of them is a hint; Unsolvable there proves a dead end.
SolveResult SolvePuzzle(const PuzzleBoard& board, const SolveOptions& options = {});

// Moves as text: "U D L R" for slides, "PU".."PR" for pushes, "TU".."TR" for defrosts
// (thaw), separated by single spaces.
std::string FormatMoves(const std::vector<SolverMove>& moves);
// The inverse of FormatMoves; false (and `moves` untouched) on any unknown token.
bool ParseMoves(const std::string& text, std::vector<SolverMove>& moves);
