// puzzle/PuzzleRating.cpp: the whole reachable position graph, walked forwards then back.
#include "PuzzleRating.h"

#include "SearchState.h"
#include "Slide.h"

#include <algorithm>
#include <limits>

namespace {

using SearchState::NoFrog;
constexpr std::uint32_t Unreachable = std::numeric_limits<std::uint32_t>::max();

struct Edge {
    std::uint32_t to = 0;
    std::uint8_t move = 0; // action * 4 + direction index, as the solver numbers them
};

SolverMove MoveOf(std::uint8_t code)
{
    return {static_cast<SolverAction>(code / 4), SearchState::Directions[code % 4]};
}

bool IsPush(std::uint8_t code) { return code / 4 == static_cast<std::uint8_t>(SolverAction::Push); }

// The reachable graph: positions in breadth-first order from the start (number 0), the
// edges of position p at edges[first[p] .. first[p + 1]).
struct PositionGraph {
    std::vector<std::uint32_t> first;
    std::vector<Edge> edges;
    std::vector<bool> cleared;
    bool complete = false;
};

PositionGraph WalkPositions(const PuzzleBoard& board, std::size_t maxStates, const std::atomic<bool>* cancel)
{
    PositionGraph graph;
    SearchState::Grid grid(board);
    const std::size_t stride = 1 + board.frogs.size();
    std::vector<std::uint16_t> key(stride, NoFrog);
    key[0] = grid.Index(board.player->GetCell());
    for (std::size_t i = 0; i < board.frogs.size(); ++i) {
        key[1 + i] = grid.Index(board.frogs[i].GetCell());
    }
    std::sort(key.begin() + 1, key.end());

    SearchState::Store store(stride);
    bool added = false;
    store.Intern(key.data(), added);
    std::vector<std::uint16_t> current(stride);
    for (std::uint32_t position = 0; position < store.Count(); ++position) {
        graph.first.push_back(static_cast<std::uint32_t>(graph.edges.size()));
        std::copy_n(store.Get(position), stride, current.begin());
        const std::size_t frogs = SearchState::FrogCount(current.data(), stride);
        graph.cleared.push_back(frogs == 0);
        if (frogs == 0) {
            continue; // the stage is over: nothing more happens
        }
        for (std::size_t i = 0; i < frogs; ++i) {
            grid.MarkFrog(current[1 + i], true);
        }
        auto reach = [&](std::uint8_t move) {
            const std::uint32_t to = store.Intern(key.data(), added);
            graph.edges.push_back({to, move});
        };
        const Cell player = grid.CellOf(current[0]);
        for (std::uint8_t d = 0; d < 4; ++d) {
            const Direction direction = SearchState::Directions[d];
            const Cell end = SlideOver(grid, player, direction, false);
            if (end != player) {
                std::copy(current.begin(), current.end(), key.begin());
                key[0] = grid.Index(end);
                reach(static_cast<std::uint8_t>(0 * 4 + d));
            }
            Cell front;
            if (!grid.Neighbour(player, direction, front) || !grid.FrogBlocks(front)) {
                continue;
            }
            const std::uint16_t frontIndex = grid.Index(front);
            const auto slot = static_cast<std::size_t>(
                std::find(current.begin() + 1, current.begin() + 1 + static_cast<std::ptrdiff_t>(frogs), frontIndex) -
                current.begin());
            const Cell frogEnd = SlideOver(grid, front, direction, true);
            if (frogEnd != front) {
                std::copy(current.begin(), current.end(), key.begin());
                key[slot] = grid.Index(frogEnd);
                std::sort(key.begin() + 1, key.begin() + 1 + static_cast<std::ptrdiff_t>(frogs));
                reach(static_cast<std::uint8_t>(1 * 4 + d));
            }
            std::copy(current.begin(), current.end(), key.begin());
            std::copy(current.begin() + static_cast<std::ptrdiff_t>(slot) + 1, current.end(),
                      key.begin() + static_cast<std::ptrdiff_t>(slot));
            key.back() = NoFrog;
            reach(static_cast<std::uint8_t>(2 * 4 + d));
        }
        for (std::size_t i = 0; i < frogs; ++i) {
            grid.MarkFrog(current[1 + i], false);
        }
        if (store.Count() > maxStates || (cancel != nullptr && cancel->load(std::memory_order_relaxed))) {
            return graph;
        }
    }
    graph.first.push_back(static_cast<std::uint32_t>(graph.edges.size()));
    graph.complete = true;
    return graph;
}

// Turns still needed from every position (Unreachable: it can no longer be cleared), by a
// breadth-first walk backwards from the cleared positions; every move costs one turn.
std::vector<std::uint32_t> TurnsToClear(const PositionGraph& graph)
{
    const std::size_t count = graph.cleared.size();
    std::vector<std::uint32_t> reverseFirst(count + 1, 0);
    for (const Edge& edge : graph.edges) {
        ++reverseFirst[edge.to + 1];
    }
    for (std::size_t i = 0; i < count; ++i) {
        reverseFirst[i + 1] += reverseFirst[i];
    }
    std::vector<std::uint32_t> reverse(graph.edges.size());
    std::vector<std::uint32_t> fill(reverseFirst.begin(), reverseFirst.end() - 1);
    for (std::uint32_t from = 0; from < count; ++from) {
        for (std::uint32_t e = graph.first[from]; e < graph.first[from + 1]; ++e) {
            reverse[fill[graph.edges[e].to]++] = from;
        }
    }
    std::vector<std::uint32_t> turns(count, Unreachable);
    std::vector<std::uint32_t> queue;
    for (std::uint32_t p = 0; p < count; ++p) {
        if (graph.cleared[p]) {
            turns[p] = 0;
            queue.push_back(p);
        }
    }
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const std::uint32_t p = queue[head];
        for (std::uint32_t r = reverseFirst[p]; r < reverseFirst[p + 1]; ++r) {
            if (turns[reverse[r]] == Unreachable) {
                turns[reverse[r]] = turns[p] + 1;
                queue.push_back(reverse[r]);
            }
        }
    }
    return turns;
}

} // namespace

PuzzleBoard WithoutObject(const PuzzleBoard& board, const NoiseObject& object)
{
    PuzzleBoard without = board;
    if (object.kind == NoiseObject::Kind::Frog) {
        std::erase_if(without.frogs, [&](const PuzzleObjectFrozenFrog& frog) { return frog.GetCell() == object.cell; });
    } else {
        std::erase_if(without.icicles, [&](const PuzzleObjectIcicle& icicle) { return icicle.GetCell() == object.cell; });
    }
    return without;
}

PuzzleRating RatePuzzle(const PuzzleBoard& board, const RatingOptions& options)
{
    PuzzleRating rating;
    rating.thaws = static_cast<std::uint32_t>(board.frogs.size());
    if (!board.IsOnBoard(board.player->x, board.player->y)) {
        // Only an empty board puts the player off it.
        rating.outcome = board.frogs.empty() ? RatingOutcome::Rated : RatingOutcome::Unsolvable;
        rating.shortestSolutions = board.frogs.empty() ? 1 : 0;
        return rating;
    }
    const PositionGraph graph = WalkPositions(board, options.maxStates, options.cancel);
    rating.states = graph.cleared.size();
    if (!graph.complete) {
        rating.outcome = RatingOutcome::GaveUp;
        return rating;
    }
    const std::vector<std::uint32_t> turns = TurnsToClear(graph);
    if (turns[0] == Unreachable) {
        rating.outcome = RatingOutcome::Unsolvable;
        return rating;
    }
    rating.outcome = RatingOutcome::Rated;
    rating.fewestTurns = turns[0];

    // Shortest solutions and their fewest pushes, from the positions nearest the clear
    // outwards: a move is on a shortest solution when it takes exactly one turn off.
    const std::size_t count = graph.cleared.size();
    std::vector<std::uint32_t> order;
    for (std::uint32_t p = 0; p < count; ++p) {
        if (turns[p] != Unreachable && turns[p] <= rating.fewestTurns) {
            order.push_back(p);
        }
    }
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return turns[a] < turns[b]; });
    std::vector<std::uint64_t> ways(count, 0);
    std::vector<std::uint32_t> pushes(count, Unreachable);
    for (const std::uint32_t p : order) {
        if (graph.cleared[p]) {
            ways[p] = 1;
            pushes[p] = 0;
            continue;
        }
        for (std::uint32_t e = graph.first[p]; e < graph.first[p + 1]; ++e) {
            const Edge& edge = graph.edges[e];
            if (turns[edge.to] + 1 != turns[p]) {
                continue;
            }
            ways[p] = std::min(SolutionCountLimit, ways[p] + ways[edge.to]);
            pushes[p] = std::min(pushes[p], pushes[edge.to] + (IsPush(edge.move) ? 1u : 0u));
        }
    }
    rating.shortestSolutions = ways[0];
    rating.pushes = pushes[0];

    auto deadMovesAt = [&](std::uint32_t p) {
        std::uint32_t dead = 0;
        for (std::uint32_t e = graph.first[p]; e < graph.first[p + 1]; ++e) {
            dead += turns[graph.edges[e].to] == Unreachable ? 1 : 0;
        }
        return dead;
    };
    rating.firstMoves = graph.first[1] - graph.first[0];
    rating.deadFirstMoves = deadMovesAt(0);
    for (std::uint32_t p = 0; !graph.cleared[p];) {
        const std::uint32_t dead = deadMovesAt(p);
        rating.trappedPositions += dead > 0 ? 1 : 0;
        rating.trapMoves += dead;
        const Edge* best = nullptr;
        for (std::uint32_t e = graph.first[p]; e < graph.first[p + 1]; ++e) {
            const Edge& edge = graph.edges[e];
            if (turns[edge.to] + 1 == turns[p] &&
                pushes[edge.to] + (IsPush(edge.move) ? 1u : 0u) == pushes[p] && best == nullptr) {
                best = &edge;
            }
        }
        rating.solution.push_back(MoveOf(best->move));
        p = best->to;
    }

    if (options.findNoise) {
        std::vector<NoiseObject> objects;
        // The last frog is never noise: without it there is no puzzle left.
        for (const PuzzleObjectFrozenFrog& frog : board.frogs) {
            if (board.frogs.size() > 1) {
                objects.push_back({NoiseObject::Kind::Frog, frog.GetCell()});
            }
        }
        for (const PuzzleObjectIcicle& icicle : board.icicles) {
            objects.push_back({NoiseObject::Kind::Icicle, icicle.GetCell()});
        }
        SolveOptions solve;
        solve.maxStates = options.maxStates;
        solve.cancel = options.cancel;
        for (const NoiseObject& object : objects) {
            const SolveResult result = SolvePuzzle(WithoutObject(board, object), solve);
            const std::size_t same = rating.fewestTurns - (object.kind == NoiseObject::Kind::Frog ? 1u : 0u);
            if (options.cancel != nullptr && options.cancel->load()) {
                rating.outcome = RatingOutcome::GaveUp;
                return rating;
            }
            if (result.outcome == SolveOutcome::Solved && result.moves.size() == same) {
                rating.noise.push_back(object);
            }
        }
    }
    return rating;
}
