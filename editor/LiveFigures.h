// editor/LiveFigures.h: the rater's figures for the board being built, found in the
// background after every edit.
//
// The editor screen calls Request with the board after each edit and reads Latest every
// frame; it never waits. Each request is rated on one BackgroundWorker (DESIGN: the one kind
// of search thread): a newer request cancels the search still running for an older board,
// whose result is then thrown away, so what is shown always belongs to the newest board or
// says "searching". Destroying the object cancels and joins the search.
//
//     LiveFigures figures(Lumora::System::SetThreadBackground);
//     figures.Request(editor.Stage(), editor.Revision());
//     ... each frame: const EditorFigures shown = figures.Latest();
#pragma once

#include "BackgroundWorker.h"
#include "PuzzleRating.h"
#include "StageDataReader.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

// The tiers of the shipped extra stages, as a suggestion for a built board.
enum class StageTier : std::int32_t { None = 0, Easy = 1, Normal = 2, Hard = 3 };

struct EditorFigures {
    enum class State {
        Searching,  // the newest board is still being rated: "?"
        TooBig,     // the rater's budget ran out: "?"
        Unsolvable, // no way to clear it: "×"
        Rated,      // every figure below is filled
    } state = State::Searching;
    std::uint64_t revision = 0; // the board these figures belong to
    std::uint32_t fewestTurns = 0;
    std::uint32_t pushes = 0;
    std::uint32_t deadFirstMoves = 0;   // first moves after which it cannot be cleared
    std::uint32_t trappedPositions = 0; // positions on one shortest way offering a dead move
    std::uint64_t shortestSolutions = 0;
    std::uint32_t noiseObjects = 0;
    StageTier tier = StageTier::None;
};

// The figures of a finished rating (`revision` copied in).
EditorFigures FiguresOfRating(const PuzzleRating& rating, std::uint64_t revision);
// The tier whose rules the figures meet: 1: 5-10 fewest turns; 2: 11-18; 3: 20-33 with at
// least 8 trapped positions and at most 4 distinct shortest solutions; none of them with a
// noise object. None when no tier fits.
StageTier SuggestTier(const EditorFigures& figures);

// Positions the live rating walks before it shows "?": enough for every shipped stage many
// times over, small enough to answer a 32 x 32 board within seconds.
inline constexpr std::size_t kLiveRatingMaxStates = 1'000'000;

class LiveFigures {
public:
    explicit LiveFigures(std::function<void()> onThreadStart = {});
    ~LiveFigures();
    LiveFigures(const LiveFigures&) = delete;
    LiveFigures& operator=(const LiveFigures&) = delete;

    // Rates `stage` (its revision as given) in the background, abandoning older requests.
    void Request(const StageDataReader& stage, std::uint64_t revision);
    // The figures of the newest request; State::Searching until its rating is done.
    EditorFigures Latest() const;

private:
    mutable std::mutex mutex_;
    EditorFigures latest_;        // guarded
    std::uint64_t wanted_ = 0;    // guarded: the revision asked for last
    BackgroundWorker worker_;     // last: joined first, while the members above exist
};
