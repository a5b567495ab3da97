#include "LiveFigures.h"

#include "PuzzleBoard.h"

EditorFigures FiguresOfRating(const PuzzleRating& rating, std::uint64_t revision)
{
    EditorFigures figures;
    figures.revision = revision;
    switch (rating.outcome) {
    case RatingOutcome::GaveUp:
        figures.state = EditorFigures::State::TooBig;
        return figures;
    case RatingOutcome::Unsolvable:
        figures.state = EditorFigures::State::Unsolvable;
        return figures;
    case RatingOutcome::Rated:
        break;
    }
    figures.state = EditorFigures::State::Rated;
    figures.fewestTurns = rating.fewestTurns;
    figures.pushes = rating.pushes;
    figures.deadFirstMoves = rating.deadFirstMoves;
    figures.trappedPositions = rating.trappedPositions;
    figures.shortestSolutions = rating.shortestSolutions;
    figures.noiseObjects = static_cast<std::uint32_t>(rating.noise.size());
    figures.tier = SuggestTier(figures);
    return figures;
}

StageTier SuggestTier(const EditorFigures& figures)
{
    if (figures.state != EditorFigures::State::Rated || figures.noiseObjects != 0) {
        return StageTier::None;
    }
    const std::uint32_t turns = figures.fewestTurns;
    if (turns >= 5 && turns <= 10) {
        return StageTier::Easy;
    }
    if (turns >= 11 && turns <= 18) {
        return StageTier::Normal;
    }
    if (turns >= 20 && turns <= 33 && figures.trappedPositions >= 8 && figures.shortestSolutions <= 4) {
        return StageTier::Hard;
    }
    return StageTier::None;
}

LiveFigures::LiveFigures(std::function<void()> onThreadStart) : worker_(std::move(onThreadStart)) {}

LiveFigures::~LiveFigures() = default;

void LiveFigures::Request(const StageDataReader& stage, std::uint64_t revision)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wanted_ = revision;
        latest_ = EditorFigures();
        latest_.revision = revision;
    }
    worker_.Post([this, stage, revision](const std::atomic<bool>& cancelled) {
        PuzzleBoard board;
        board.BuildBoard(stage);
        RatingOptions options;
        options.maxStates = kLiveRatingMaxStates;
        options.cancel = &cancelled;
        const PuzzleRating rating = RatePuzzle(board, options);
        if (cancelled) {
            return; // a newer board is wanted; this one's "gave up" means nothing
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (wanted_ == revision) {
            latest_ = FiguresOfRating(rating, revision);
        }
    });
}

EditorFigures LiveFigures::Latest() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return latest_;
}
