// puzzle/PuzzleSolver.cpp: best-first search over (player cell, frog cells) states.
#include "PuzzleSolver.h"

#include "Slide.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <sstream>

namespace {

constexpr Direction SolverDirections[4] = {Up, Down, Left, Right};
constexpr char DirectionLetters[4] = {'U', 'D', 'L', 'R'};
constexpr std::uint16_t NoFrog = 0xFFFF; // pad word of a removed frog; sorts last

// The board as the search sees it: static obstacles per cell, and the frogs of the state
// being expanded marked in place. Cells are numbered y * width + x (at most 65,025).
class CompactGrid {
public:
    explicit CompactGrid(const PuzzleBoard& board)
        : width(board.width), height(board.height), flags(std::size_t{width} * height, 0)
    {
        for (std::uint32_t y = 0; y < height; ++y) {
            for (std::uint32_t x = 0; x < width; ++x) {
                flags[Index({x, y})] = static_cast<std::uint8_t>((board.IsHole({x, y}) ? HoleFlag : 0) |
                                                                 (board.IcicleBlocks({x, y}) ? IcicleFlag : 0));
            }
        }
    }

    // The slide only asks about cells on the board (it stops at the edge first).
    std::uint32_t Width() const { return width; }
    std::uint32_t Height() const { return height; }
    bool IsHole(Cell cell) const { return (flags[Index(cell)] & HoleFlag) != 0; }
    bool IcicleBlocks(Cell cell) const { return (flags[Index(cell)] & IcicleFlag) != 0; }
    bool FrogBlocks(Cell cell) const { return (flags[Index(cell)] & FrogFlag) != 0; }

    bool OnBoard(Cell cell) const { return cell.x < width && cell.y < height; }
    std::size_t Index(Cell cell) const { return std::size_t{cell.y} * width + cell.x; }
    Cell CellOf(std::size_t index) const
    {
        return {static_cast<std::uint32_t>(index % width), static_cast<std::uint32_t>(index / width)};
    }
    void MarkFrog(std::uint16_t index, bool on)
    {
        flags[index] = static_cast<std::uint8_t>(on ? flags[index] | FrogFlag : flags[index] & ~FrogFlag);
    }

    // The neighbour of `cell` along `direction`, if it lies on the board.
    bool Neighbour(Cell cell, Direction direction, Cell& out) const
    {
        const std::int64_t x = std::int64_t{cell.x} + direction.dx;
        const std::int64_t y = std::int64_t{cell.y} + direction.dy;
        if (x < 0 || y < 0 || x >= width || y >= height) {
            return false;
        }
        out = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
        return true;
    }

private:
    static constexpr std::uint8_t HoleFlag = 1;
    static constexpr std::uint8_t IcicleFlag = 2;
    static constexpr std::uint8_t FrogFlag = 4;

    std::uint32_t width;
    std::uint32_t height;
    std::vector<std::uint8_t> flags; // per cell
};

// Every state is `stride` 16-bit words in an arena of fixed-size pages: the player's cell,
// then the frog cells in ascending order padded with NoFrog. Pages are never moved, so the
// arena grows without the moment of twice its size that a doubling array has (a search at
// its memory budget stays near the budget). An open-addressing table finds duplicates;
// each slot keeps the state's 32-bit hash beside its number, so most probes and every
// regrowth touch no state words.
class StateStore {
public:
    explicit StateStore(std::size_t stride_)
        : stride(stride_), perPage(std::max<std::size_t>(1, kPageBytes / (stride_ * sizeof(std::uint16_t)))),
          table(1024, 0)
    {
    }

    std::size_t Count() const { return count; }
    std::size_t MemoryBytes() const
    {
        return pages.size() * perPage * stride * sizeof(std::uint16_t) + table.capacity() * sizeof(std::uint64_t);
    }
    const std::uint16_t* Get(std::size_t state) const
    {
        return pages[state / perPage].get() + (state % perPage) * stride;
    }

    // The number of the state held in `key`, adding it when new; `added` tells which.
    std::uint32_t Intern(const std::uint16_t* key, bool& added)
    {
        if ((count + 1) * 2 > table.size()) {
            Grow();
        }
        const std::uint32_t hash = Hash(key);
        const std::size_t mask = table.size() - 1;
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const std::uint64_t entry = table[slot];
            if (entry == 0) {
                if (count == pages.size() * perPage) {
                    pages.push_back(std::make_unique<std::uint16_t[]>(perPage * stride));
                }
                std::copy(key, key + stride, pages.back().get() + (count % perPage) * stride);
                table[slot] = std::uint64_t{hash} << 32 | static_cast<std::uint32_t>(++count);
                added = true;
                return static_cast<std::uint32_t>(count - 1);
            }
            const auto state = static_cast<std::uint32_t>(entry) - 1;
            if (static_cast<std::uint32_t>(entry >> 32) == hash && std::equal(key, key + stride, Get(state))) {
                added = false;
                return state;
            }
        }
    }

private:
    static constexpr std::size_t kPageBytes = std::size_t{1} << 20;

    std::uint32_t Hash(const std::uint16_t* key) const
    {
        std::uint64_t hash = 0x9E3779B97F4A7C15ull;
        for (std::size_t i = 0; i < stride; ++i) {
            hash = (hash ^ key[i]) * 0xBF58476D1CE4E5B9ull;
            hash ^= hash >> 29;
        }
        return static_cast<std::uint32_t>(hash ^ hash >> 32);
    }

    void Grow()
    {
        std::vector<std::uint64_t> bigger(table.size() * 2, 0);
        const std::size_t mask = bigger.size() - 1;
        for (const std::uint64_t entry : table) {
            if (entry == 0) {
                continue;
            }
            std::size_t slot = (entry >> 32) & mask;
            while (bigger[slot] != 0) {
                slot = (slot + 1) & mask;
            }
            bigger[slot] = entry;
        }
        table.swap(bigger);
    }

    std::size_t stride;
    std::size_t perPage; // states per page
    std::size_t count = 0;
    std::vector<std::unique_ptr<std::uint16_t[]>> pages;
    std::vector<std::uint64_t> table; // hash << 32 | (state number + 1); 0 = empty
};

struct SearchNode {
    std::uint32_t parent = 0;
    std::uint32_t turns = 0;
    std::uint16_t bound = 0; // lower bound of the turns still needed
    std::uint8_t move = 0;   // action * 4 + direction index
    bool expanded = false;
};

std::size_t FrogCount(const std::uint16_t* state, std::size_t stride)
{
    std::size_t frogs = 0;
    while (frogs + 1 < stride && state[frogs + 1] != NoFrog) {
        ++frogs;
    }
    return frogs;
}

} // namespace

SolveResult SolvePuzzle(const PuzzleBoard& board, const SolveOptions& options)
{
    SolveResult result;
    CompactGrid grid(board);
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

    StateStore store(stride);
    std::vector<SearchNode> nodes;
    // Buckets of state numbers by estimated total turns; within a bucket the newest first.
    std::vector<std::vector<std::uint32_t>> buckets;

    auto lowerBound = [&](const std::uint16_t* state) -> std::uint32_t {
        if (!options.useLowerBound) {
            return 0;
        }
        const std::size_t frogs = FrogCount(state, stride);
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
            const std::size_t frogs = FrogCount(current.data(), stride);
            if (frogs == 0) {
                result.outcome = SolveOutcome::Solved;
                result.statesSeen = store.Count();
                for (std::uint32_t at = state; at != 0; at = nodes[at].parent) {
                    const std::uint8_t move = nodes[at].move;
                    result.moves.push_back({static_cast<SolverAction>(move / 4), SolverDirections[move % 4]});
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
                const Direction direction = SolverDirections[d];
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
        const auto d = std::find(std::begin(SolverDirections), std::end(SolverDirections), move.direction);
        text += d == std::end(SolverDirections) ? '?' : DirectionLetters[d - std::begin(SolverDirections)];
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
        move.direction = SolverDirections[found - std::begin(DirectionLetters)];
        parsed.push_back(move);
    }
    moves = std::move(parsed);
    return true;
}
