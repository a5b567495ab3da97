// puzzle/PuzzleSolver.cpp: best-first search over (player cell, frog cells) states.
#include "PuzzleSolver.h"

#include "SearchState.h"
#include "Slide.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <sstream>

namespace {

using SearchState::NoFrog;
constexpr char DirectionLetters[4] = {'U', 'D', 'L', 'R'};

struct SearchNode {
    std::uint32_t parent = 0;
    std::uint32_t turns = 0;
    std::uint16_t bound = 0; // lower bound of the turns still needed
    std::uint8_t move = 0;   // action * 4 + direction index
    bool expanded = false;
};

} // namespace

SolveResult SolvePuzzle(const PuzzleBoard& board, const SolveOptions& options)
{
    SolveResult result;
    SearchState::Grid grid(board);
    const std::size_t stride = 1 + board.frogs.size();

    std::vector<std::uint16_t> key(stride, NoFrog);
    const Cell start = board.player->GetCell();
    if (!grid.OnBoard(start)) {
        // Only an empty board puts the player off it; with no frogs it is clear already.
        result.outcome = board.frogs.empty() ? SolveOutcome::Solved : SolveOutcome::Unsolvable;
        return result;
    }
    key[0] = static_cast<std::uint16_t>(grid.Index(start));
    for (std::size_t i = 0; i < board.frogs.size(); ++i) {
        key[1 + i] = static_cast<std::uint16_t>(grid.Index(board.frogs[i].GetCell()));
    }
    std::sort(key.begin() + 1, key.end());

    SearchState::Store store(stride);
    std::vector<SearchNode> nodes;
    // Buckets of state numbers by estimated total turns; within a bucket the newest first.
    std::vector<std::vector<std::uint32_t>> buckets;

    auto lowerBound = [&](const std::uint16_t* state) -> std::uint32_t {
        if (!options.useLowerBound) {
            return 0;
        }
        const std::size_t frogs = SearchState::FrogCount(state, stride);
        if (frogs == 0) {
            return 0;
        }
        const Cell player = grid.CellOf(state[0]);
        for (std::size_t i = 0; i < frogs; ++i) {
            const Cell frog = grid.CellOf(state[1 + i]);
            const std::int64_t distance = std::abs(std::int64_t{frog.x} - player.x) +
                                          std::abs(std::int64_t{frog.y} - player.y);
            if (distance == 1) {
                return static_cast<std::uint32_t>(frogs);
            }
        }
        return static_cast<std::uint32_t>(frogs + 1);
    };
    auto enqueue = [&](std::uint32_t state) {
        const std::size_t estimate = std::size_t{nodes[state].turns} + nodes[state].bound;
        if (buckets.size() <= estimate) {
            buckets.resize(estimate + 1);
        }
        buckets[estimate].push_back(state);
    };
    // Records `next` reached from `from` by `move`; keeps the fewer turns when seen before.
    auto reach = [&](std::uint32_t from, std::uint8_t move) -> bool {
        bool added = false;
        const std::uint32_t state = store.Intern(key.data(), added);
        const std::uint32_t turns = nodes[from].turns + 1;
        if (added) {
            nodes.push_back({from, turns, static_cast<std::uint16_t>(lowerBound(key.data())), move, false});
        } else if (turns >= nodes[state].turns || nodes[state].expanded) {
            return true;
        } else {
            nodes[state].parent = from;
            nodes[state].turns = turns;
            nodes[state].move = move;
        }
        enqueue(state);
        if (options.cancel != nullptr && options.cancel->load(std::memory_order_relaxed)) {
            return false;
        }
        return store.Count() < options.maxStates &&
               store.MemoryBytes() + nodes.capacity() * sizeof(SearchNode) < options.maxMemoryBytes;
    };

    bool added = false;
    store.Intern(key.data(), added);
    nodes.push_back({0, 0, static_cast<std::uint16_t>(lowerBound(key.data())), 0, false});
    enqueue(0);

    std::vector<std::uint16_t> current(stride);
    for (std::size_t bucket = 0; bucket < buckets.size(); ++bucket) {
        while (!buckets[bucket].empty()) {
            const std::uint32_t state = buckets[bucket].back();
            buckets[bucket].pop_back();
            SearchNode& node = nodes[state];
            if (node.expanded || std::size_t{node.turns} + node.bound != bucket) {
                continue; // a stale entry: the state was reached in fewer turns since
            }
            node.expanded = true;
            std::copy_n(store.Get(state), stride, current.begin());
            const std::size_t frogs = SearchState::FrogCount(current.data(), stride);
            if (frogs == 0) {
                result.outcome = SolveOutcome::Solved;
                result.statesSeen = store.Count();
                for (std::uint32_t at = state; at != 0; at = nodes[at].parent) {
                    const std::uint8_t move = nodes[at].move;
                    result.moves.push_back({static_cast<SolverAction>(move / 4), SearchState::Directions[move % 4]});
                }
                std::reverse(result.moves.begin(), result.moves.end());
                return result;
            }

            for (std::size_t i = 0; i < frogs; ++i) {
                grid.MarkFrog(current[1 + i], true);
            }
            const Cell player = grid.CellOf(current[0]);
            bool room = true;
            for (std::uint8_t d = 0; d < 4 && room; ++d) {
                const Direction direction = SearchState::Directions[d];
                // Slide.
                const Cell end = SlideOver(grid, player, direction, false);
                if (end != player) {
                    std::copy(current.begin(), current.end(), key.begin());
                    key[0] = static_cast<std::uint16_t>(grid.Index(end));
                    room = reach(state, static_cast<std::uint8_t>(0 * 4 + d));
                }
                Cell front;
                if (!room || !grid.Neighbour(player, direction, front) || !grid.FrogBlocks(front)) {
                    continue;
                }
                const auto frontIndex = static_cast<std::uint16_t>(grid.Index(front));
                const auto frogSlot = std::find(current.begin() + 1, current.begin() + 1 + frogs, frontIndex);
                // Push: the frog slides on past itself; a blocked push changes nothing.
                const Cell frogEnd = SlideOver(grid, front, direction, true);
                if (options.allowPushes && frogEnd != front) {
                    std::copy(current.begin(), current.end(), key.begin());
                    key[frogSlot - current.begin()] = static_cast<std::uint16_t>(grid.Index(frogEnd));
                    std::sort(key.begin() + 1, key.begin() + 1 + frogs);
                    room = reach(state, static_cast<std::uint8_t>(1 * 4 + d));
                }
                // Defrost: the frog leaves the board.
                if (room) {
                    std::copy(current.begin(), current.end(), key.begin());
                    std::copy(key.begin() + (frogSlot - current.begin()) + 1, key.end(),
                              key.begin() + (frogSlot - current.begin()));
                    key.back() = NoFrog;
                    room = reach(state, static_cast<std::uint8_t>(2 * 4 + d));
                }
            }
            for (std::size_t i = 0; i < frogs; ++i) {
                grid.MarkFrog(current[1 + i], false);
            }
            if (!room) {
                result.outcome = SolveOutcome::GaveUp;
                result.statesSeen = store.Count();
                return result;
            }
        }
    }
    result.outcome = SolveOutcome::Unsolvable;
    result.statesSeen = store.Count();
    return result;
}

std::string FormatMoves(const std::vector<SolverMove>& moves)
{
    std::string text;
    for (const SolverMove& move : moves) {
        if (!text.empty()) {
            text += ' ';
        }
        if (move.action == SolverAction::Push) {
            text += 'P';
        } else if (move.action == SolverAction::Defrost) {
            text += 'T';
        }
        const auto d = std::find(std::begin(SearchState::Directions), std::end(SearchState::Directions), move.direction);
        text += d == std::end(SearchState::Directions) ? '?' : DirectionLetters[d - std::begin(SearchState::Directions)];
    }
    return text;
}

bool ParseMoves(const std::string& text, std::vector<SolverMove>& moves)
{
    std::vector<SolverMove> parsed;
    std::istringstream tokens(text);
    std::string token;
    while (tokens >> token) {
        SolverMove move;
        std::size_t letter = 0;
        if (token.size() == 2 && (token[0] == 'P' || token[0] == 'T')) {
            move.action = token[0] == 'P' ? SolverAction::Push : SolverAction::Defrost;
            letter = 1;
        } else if (token.size() != 1) {
            return false;
        }
        const char* found = std::find(std::begin(DirectionLetters), std::end(DirectionLetters), token[letter]);
        if (found == std::end(DirectionLetters)) {
            return false;
        }
        move.direction = SearchState::Directions[found - std::begin(DirectionLetters)];
        parsed.push_back(move);
    }
    moves = std::move(parsed);
    return true;
}
