// puzzle/EndlessBoard.cpp: IDs, the version-A recipe, and the search for an ID's board.
#include "EndlessBoard.h"

#include "PuzzleBoard.h"
#include "PuzzleSolver.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// SplitMix64 (Steele, Lea, Flood 2014): the same numbers on every machine.
class EndlessRandom {
public:
    explicit EndlessRandom(std::uint64_t seed) : state(seed) {}

    std::uint64_t Next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, bound) by multiply-and-shift; bounds here are below 100, so the bias
    // (at most bound / 2^64) cannot show.
    std::uint64_t Below(std::uint64_t bound)
    {
        return static_cast<std::uint64_t>((static_cast<unsigned __int128>(Next()) * bound) >> 64);
    }

private:
    std::uint64_t state;
};

// One shape a candidate may take: board size and how many of each object.
struct CandidateShape {
    std::uint8_t width;
    std::uint8_t height;
    std::uint8_t frogs;
    std::uint8_t frogsOverHoles;
    std::uint8_t icicles;
    std::uint8_t holes;
};

// Version A's shapes per tier, the shapes the shipped tiers were found with. Never edit
// these: a change belongs to a new version letter.
constexpr CandidateShape TierOneShapes[] = {
    {5, 5, 1, 0, 2, 0}, {6, 5, 1, 0, 0, 6}, {6, 5, 2, 0, 0, 3}, {6, 5, 2, 0, 1, 3},
    {6, 6, 2, 0, 1, 5}, {6, 6, 3, 0, 1, 4}, {7, 6, 3, 0, 1, 6},
};
constexpr CandidateShape TierTwoShapes[] = {
    {7, 7, 3, 0, 2, 8}, {7, 7, 2, 2, 2, 7}, {8, 7, 4, 0, 2, 10},
};
constexpr CandidateShape TierThreeShapes[] = {
    {8, 8, 4, 0, 3, 12}, {8, 8, 3, 2, 3, 10}, {9, 8, 5, 0, 3, 14},
};

// Candidates judged before an ID is given up as NotFound. Far beyond what any seed has
// needed (the tests walk hundreds of seeds per tier); it only bounds a runaway.
constexpr std::uint64_t kVersionACandidateLimit = 200'000;
// Positions a candidate's searches may visit; a board beyond is no puzzle for a tier.
constexpr std::size_t kVersionAMaxStates = 200'000;

std::uint64_t StreamSeed(const EndlessId& id, std::uint64_t candidate)
{
    const std::uint64_t name = (static_cast<std::uint64_t>(id.tier) << 40) ^
                               (static_cast<std::uint64_t>(static_cast<unsigned char>(id.version)) << 32) ^ id.seed;
    return name * 0xD1B54A32D192ED03ull ^ (candidate + 1) * 0x9E3779B97F4A7C15ull;
}

StageDataReader DrawVersionA(const EndlessId& id, std::uint64_t candidate)
{
    EndlessRandom random(StreamSeed(id, candidate));
    const CandidateShape* shapes = TierTwoShapes;
    std::size_t shapeCount = std::size(TierTwoShapes);
    if (id.tier == 1) {
        shapes = TierOneShapes;
        shapeCount = std::size(TierOneShapes);
    } else if (id.tier == 3) {
        shapes = TierThreeShapes;
        shapeCount = std::size(TierThreeShapes);
    }
    const CandidateShape shape = shapes[random.Below(shapeCount)];
    StageDataReader stage;
    stage.width = shape.width;
    stage.height = shape.height;
    const std::size_t count = std::size_t{shape.width} * shape.height;
    stage.cells.assign(count, {static_cast<std::int32_t>(StageFloor::Floor), static_cast<std::int32_t>(StageObject::None)});
    // Cells shuffled (Fisher-Yates), then taken in turn for holes, frogs over holes,
    // icicles, frogs and the start; the rest is ice.
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i) {
        order[i] = i;
    }
    for (std::size_t i = count - 1; i > 0; --i) {
        std::swap(order[i], order[static_cast<std::size_t>(random.Below(i + 1))]);
    }
    std::size_t next = 0;
    auto place = [&](unsigned howMany, StageFloor floor, StageObject object) {
        for (unsigned n = 0; n < howMany; ++n, ++next) {
            stage.cells[order[next]] = {static_cast<std::int32_t>(floor), static_cast<std::int32_t>(object)};
        }
    };
    place(shape.holes, StageFloor::None, StageObject::None);
    place(shape.frogsOverHoles, StageFloor::None, StageObject::FrozenFrog);
    place(shape.icicles, StageFloor::Floor, StageObject::Icicle);
    place(shape.frogs, StageFloor::Floor, StageObject::FrozenFrog);
    place(1, StageFloor::Floor, StageObject::PlayerStart);
    return stage;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

} // namespace

std::string FormatEndlessId(const EndlessId& id)
{
    std::string text;
    text += static_cast<char>('0' + id.tier);
    text += id.version;
    text += '-';
    std::string digits = std::to_string(id.seed % kEndlessSeedCount);
    text += std::string(6 - digits.size(), '0') + digits;
    return text;
}

bool ParseEndlessId(std::string_view text, EndlessId& id, std::string& why)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    auto refuse = [&](const char* reason) {
        why = reason;
        return false;
    };
    if (text.size() < 2) {
        return refuse("An ID looks like 2A-048213: tier, letter, six digits.");
    }
    const char tier = text[0];
    const char version = static_cast<char>(std::toupper(static_cast<unsigned char>(text[1])));
    std::string_view digits = text.substr(2);
    if (!digits.empty() && (digits.front() == '-' || digits.front() == ' ')) {
        digits.remove_prefix(1);
    }
    const bool digitsOk = digits.size() == 6 && std::all_of(digits.begin(), digits.end(), [](char c) {
                              return c >= '0' && c <= '9';
                          });
    if (tier < '0' || tier > '9' || version < 'A' || version > 'Z' || !digitsOk) {
        return refuse("An ID looks like 2A-048213: tier, letter, six digits.");
    }
    if (tier < '1' || tier > '3') {
        return refuse("No such tier: an ID starts with 1, 2 or 3.");
    }
    if (version > kEndlessVersion) {
        return refuse("This ID comes from a newer game; this one knows only letter A.");
    }
    id.tier = tier - '0';
    id.version = version;
    id.seed = 0;
    for (const char c : digits) {
        id.seed = id.seed * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return true;
}

bool DailyEndlessId(int year, int month, int day, EndlessId& id)
{
    if (year < 2000 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
        return false;
    }
    std::uint64_t days = 0; // since 2000-01-01
    for (int y = 2000; y < year; ++y) {
        days += IsLeapYear(y) ? 366 : 365;
    }
    for (int m = 1; m < month; ++m) {
        days += static_cast<std::uint64_t>(DaysInMonth(year, m));
    }
    days += static_cast<std::uint64_t>(day - 1);
    // 7919 is prime and shares no factor with 10^6, so day -> seed is one to one over a
    // million days, and neighbouring days land far apart.
    id.tier = 2;
    id.version = kEndlessVersion;
    id.seed = static_cast<std::uint32_t>((days * 7919 + 271'828) % kEndlessSeedCount);
    return true;
}

bool DailyEndlessIdFromText(std::string_view date, EndlessId& id)
{
    if (date.size() != 10 || date[4] != '-' || date[7] != '-') {
        return false;
    }
    auto number = [&](std::size_t from, std::size_t length, int& value) {
        value = 0;
        for (std::size_t i = from; i < from + length; ++i) {
            if (date[i] < '0' || date[i] > '9') {
                return false;
            }
            value = value * 10 + (date[i] - '0');
        }
        return true;
    };
    int year = 0;
    int month = 0;
    int day = 0;
    return number(0, 4, year) && number(5, 2, month) && number(8, 2, day) && DailyEndlessId(year, month, day, id);
}

EndlessTierRules TierRules(int tier)
{
    switch (tier) {
    case 1:
        // One idea: a single shortest way through, with at most two pushes in it.
        return {5, 10, 0, 1, 2};
    case 3:
        return {20, 33, 8, 4, 255};
    default:
        return {11, 18, 3, 2, 255};
    }
}

bool MeetsTierRules(int tier, const PuzzleRating& rating)
{
    const EndlessTierRules rules = TierRules(tier);
    return rating.outcome == RatingOutcome::Rated && rating.noise.empty() && rating.fewestTurns >= rules.minTurns &&
           rating.fewestTurns <= rules.maxTurns && rating.trappedPositions >= rules.minTrapped &&
           rating.shortestSolutions >= 1 && rating.shortestSolutions <= rules.maxSolutions &&
           rating.pushes <= rules.maxPushes;
}

StageDataReader DrawEndlessCandidate(const EndlessId& id, std::uint64_t candidate)
{
    return DrawVersionA(id, candidate);
}

bool JudgeEndlessCandidate(const EndlessId& id, StageDataReader& stage, PuzzleRating& rating,
                           const std::atomic<bool>* cancel)
{
    const EndlessTierRules rules = TierRules(id.tier);
    PuzzleBoard board;
    board.BuildBoard(stage);
    // Cheap rejection first: the solver's guided search finds the fewest turns while
    // visiting a small part of the positions the full rating walks; most candidates fail
    // on turns alone (or cannot be cleared at all).
    SolveOptions solve;
    solve.maxStates = kVersionAMaxStates;
    solve.cancel = cancel;
    const SolveResult solved = SolvePuzzle(board, solve);
    if (solved.outcome != SolveOutcome::Solved || solved.moves.size() < rules.minTurns ||
        solved.moves.size() > rules.maxTurns) {
        return false;
    }
    // Noise objects are taken off one at a time (frogs first, then icicles, each in board
    // order, the first found goes), as a designer would tidy the board: most boards in range
    // carry an icicle that does nothing. A frog taken off costs its thaw, so the turns are
    // checked again.
    std::size_t turns = solved.moves.size();
    for (bool dropped = true; dropped;) {
        dropped = false;
        std::vector<NoiseObject> objects;
        if (board.frogs.size() > 1) {
            for (const PuzzleObjectFrozenFrog& frog : board.frogs) {
                objects.push_back({NoiseObject::Kind::Frog, frog.GetCell()});
            }
        }
        for (const PuzzleObjectIcicle& icicle : board.icicles) {
            objects.push_back({NoiseObject::Kind::Icicle, icicle.GetCell()});
        }
        for (const NoiseObject& object : objects) {
            const std::size_t same = turns - (object.kind == NoiseObject::Kind::Frog ? 1u : 0u);
            PuzzleBoard without = WithoutObject(board, object);
            const SolveResult result = SolvePuzzle(without, solve);
            if (result.outcome == SolveOutcome::Solved && result.moves.size() == same) {
                stage.cells[std::size_t{object.cell.y} * stage.width + object.cell.x].object =
                    static_cast<std::int32_t>(StageObject::None);
                board = std::move(without);
                turns = same;
                dropped = true;
                break;
            }
            if (cancel != nullptr && cancel->load()) {
                return false;
            }
        }
        if (turns < rules.minTurns) {
            return false;
        }
    }
    // Then the whole graph (traps, solutions, pushes) with the noise search done again by
    // the rating itself, so that the board is judged by the same figures the stage tool's
    // "rate" prints.
    RatingOptions rate;
    rate.maxStates = kVersionAMaxStates;
    rate.findNoise = false;
    rating = RatePuzzle(board, rate);
    if (!MeetsTierRules(id.tier, rating) || (cancel != nullptr && cancel->load())) {
        return false;
    }
    rate.findNoise = true;
    rating = RatePuzzle(board, rate);
    return MeetsTierRules(id.tier, rating);
}

EndlessOutcome MakeEndlessBoard(const EndlessId& id, EndlessBoard& board, const EndlessMakeOptions& options)
{
    // Candidates are handed out in rising order; the board is the lowest-numbered one that
    // passes. A thread stops once the next candidate is above the best found, and every
    // lower candidate was handed out before and is judged to its end, so the answer is the
    // same with one thread or many.
    unsigned threads = options.threads;
    if (threads == 0) {
        threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    }
    std::mutex mutex;
    std::uint64_t nextCandidate = 0;               // guarded
    std::uint64_t found = kVersionACandidateLimit; // guarded: lowest passing candidate
    std::uint64_t judged = 0;                      // guarded
    EndlessBoard best;
    best.id = id;
    auto cancelled = [&] { return options.cancel != nullptr && options.cancel->load(); };

    // `report`: the calling thread's share, which also reports progress between candidates.
    auto work = [&](bool report) {
        for (;;) {
            std::uint64_t candidate = 0;
            {
                std::lock_guard lock(mutex);
                if (nextCandidate >= found || cancelled()) {
                    return;
                }
                candidate = nextCandidate++;
            }
            StageDataReader stage = DrawVersionA(id, candidate);
            PuzzleRating rating;
            const bool passes = JudgeEndlessCandidate(id, stage, rating, options.cancel);
            std::uint64_t judgedNow = 0;
            {
                std::lock_guard lock(mutex);
                judgedNow = ++judged;
                if (passes && candidate < found && !cancelled()) {
                    found = candidate;
                    best.stage = std::move(stage);
                    best.rating = std::move(rating);
                    best.candidate = candidate;
                }
            }
            if (report && options.progress) {
                options.progress(judgedNow);
            }
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads; ++i) {
        helpers.emplace_back([&] {
            if (options.onThreadStart) {
                options.onThreadStart();
            }
            work(false);
        });
    }
    work(true);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    if (cancelled()) {
        return EndlessOutcome::Cancelled;
    }
    if (found >= kVersionACandidateLimit) {
        return EndlessOutcome::NotFound;
    }
    board = std::move(best);
    return EndlessOutcome::Made;
}
