// tests/puzzle/RulesSearch.h: the fewest turns found by searching over the real rules
// themselves, an oracle independent of the solver's own model of a state.
//
// States are whole rule objects, keyed by player cell, facing and frog cells; actions are
// single presses of a direction, push or defrost, each played frame by frame. Turning
// costs 0, the rest what the rules count.
#pragma once

#include "PuzzleReplay.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

// Fewest turns from `start` (player Idle, frogs Frozen) to a clear; -1 when no reachable
// state is cleared. `stateLimit` bounds the states kept: reaching it returns -2.
inline int FewestTurnsByTheRules(const PuzzleRules& start, std::size_t stateLimit = 2'000'000)
{
    using Key = std::vector<std::int64_t>;
    auto keyOf = [](const PuzzleRules& rules) {
        const PuzzlerNuiko& player = *rules.board.player;
        Key key = {player.x, player.y, player.facing.dx, player.facing.dy};
        std::vector<std::int64_t> frogs;
        for (const PuzzleObjectFrozenFrog& frog : rules.board.frogs) {
            frogs.push_back(std::int64_t{frog.y} * 1000 + frog.x);
        }
        std::sort(frogs.begin(), frogs.end());
        key.insert(key.end(), frogs.begin(), frogs.end());
        return key;
    };
    PuzzleRules first = start;
    first.Step({}); // a board without frogs is cleared here
    std::map<Key, std::uint64_t> best;
    std::deque<PuzzleRules> open = {first};
    best[keyOf(first)] = first.turns;
    const int presses[] = {ButtonUp, ButtonDown, ButtonLeft, ButtonRight, ButtonPush, ButtonDefrost};
    while (!open.empty()) {
        PuzzleRules rules = open.front();
        open.pop_front();
        if (rules.turns > best[keyOf(rules)]) {
            continue;
        }
        if (rules.board.player->state == PuzzlerState::Cleared) {
            // 0-1 search: the first cleared state taken has the fewest turns.
            return static_cast<int>(rules.turns - start.turns);
        }
        for (int button : presses) {
            PuzzleRules next = rules;
            RunAction(next, PuzzleButtons::Bit(button), ReplayLeaveLength, 5000);
            next.Step({});
            const Key key = keyOf(next);
            const auto seen = best.find(key);
            if (seen != best.end() && seen->second <= next.turns) {
                continue;
            }
            if (best.size() >= stateLimit) {
                return -2;
            }
            best[key] = next.turns;
            if (next.turns == rules.turns) {
                open.push_front(next);
            } else {
                open.push_back(next);
            }
        }
    }
    return -1;
}

// A board built from `stage`, searched as above.
inline int FewestTurnsByTheRules(const StageDataReader& stage)
{
    PuzzleRules start;
    start.board.BuildBoard(stage);
    return FewestTurnsByTheRules(start);
}
