// tools/stage/Generate.cpp: "tomarugi-stage generate", random boards kept when they are
// good puzzles.
//
// Each candidate board is drawn from its own random stream (the seed and the candidate's
// number), so a run is the same on every machine and a candidate can be found again alone.
// A candidate is rated (puzzle/PuzzleRating.h); noise objects are dropped one at a time
// and the board rated again; then it must meet the rules given as options. The kept boards
// are the best by score, printed as stage text with their figures in comments.
#include "StageCommands.h"

#include "EndlessBoard.h"
#include "StageDataReader.h"
#include "StageText.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

namespace {

const char* const GenerateUsage =
    "usage: tomarugi-stage generate [--size WxH] [--frogs N] [--icicles N] [--holes N]\n"
    "         [--frogs-over-holes N] [--seed N] [--tries N] [--keep N] [--min-turns N]\n"
    "         [--max-turns N] [--min-pushes N] [--max-pushes N] [--min-first-traps N]\n"
    "         [--max-first-traps N] [--min-trapped N] [--max-solutions N] [--max-states N] [--out DIR]\n"
    "       tomarugi-stage generate --id ID [--out DIR]          the endless board an ID names\n"
    "       tomarugi-stage generate --daily YYYY-MM-DD [--out DIR] that day's board\n";

struct GenerateOptions {
    std::uint64_t width = 7;
    std::uint64_t height = 7;
    std::uint64_t frogs = 3;
    std::uint64_t icicles = 2;
    std::uint64_t holes = 8;
    std::uint64_t frogsOverHoles = 0;
    std::uint64_t seed = 1;
    std::uint64_t tries = 1000;
    std::uint64_t keep = 5;
    // Quality rules: a kept board meets every one of them.
    std::uint64_t minTurns = 5;
    std::uint64_t maxTurns = 0;      // 0: no upper bound
    std::uint64_t minPushes = 0;
    std::uint64_t maxPushes = ~std::uint64_t{0}; // any, unless given
    std::uint64_t minFirstTraps = 0; // dead first moves
    std::uint64_t maxFirstTraps = ~std::uint64_t{0}; // any, unless given; gentle boards want 0
    std::uint64_t minTrapped = 0;    // positions on the shortest solution offering a dead move
    std::uint64_t maxSolutions = 0;  // 0: any number of shortest solutions
    std::uint64_t maxStates = 200'000;
    std::string outDirectory; // empty: all boards on stdout
    std::string endlessId;    // --id, or the ID --daily names; empty: a random search
};

struct Refusal {
    std::string message;
};

std::uint64_t ParseCount(const std::string& name, const std::string& text)
{
    std::size_t used = 0;
    unsigned long long value = 0;
    try {
        value = std::stoull(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size() || text[0] == '-' || text[0] == '+') {
        throw Refusal{name + " needs a whole number, not '" + text + "'"};
    }
    return value;
}

GenerateOptions ParseOptions(const std::vector<std::string>& args)
{
    GenerateOptions options;
    const std::map<std::string, std::uint64_t GenerateOptions::*> counts = {
        {"--frogs", &GenerateOptions::frogs},
        {"--icicles", &GenerateOptions::icicles},
        {"--holes", &GenerateOptions::holes},
        {"--frogs-over-holes", &GenerateOptions::frogsOverHoles},
        {"--seed", &GenerateOptions::seed},
        {"--tries", &GenerateOptions::tries},
        {"--keep", &GenerateOptions::keep},
        {"--min-turns", &GenerateOptions::minTurns},
        {"--max-turns", &GenerateOptions::maxTurns},
        {"--min-pushes", &GenerateOptions::minPushes},
        {"--max-pushes", &GenerateOptions::maxPushes},
        {"--min-first-traps", &GenerateOptions::minFirstTraps},
        {"--max-first-traps", &GenerateOptions::maxFirstTraps},
        {"--min-trapped", &GenerateOptions::minTrapped},
        {"--max-solutions", &GenerateOptions::maxSolutions},
        {"--max-states", &GenerateOptions::maxStates},
    };
    for (std::size_t i = 0; i < args.size(); i += 2) {
        const std::string& name = args[i];
        if (i + 1 >= args.size()) {
            throw Refusal{name + " needs a value"};
        }
        const std::string& value = args[i + 1];
        if (const auto count = counts.find(name); count != counts.end()) {
            options.*(count->second) = ParseCount(name, value);
        } else if (name == "--size") {
            const std::size_t x = value.find('x');
            if (x == std::string::npos) {
                throw Refusal{"--size needs WIDTHxHEIGHT, not '" + value + "'"};
            }
            options.width = ParseCount("--size", value.substr(0, x));
            options.height = ParseCount("--size", value.substr(x + 1));
        } else if (name == "--out") {
            options.outDirectory = value;
        } else if (name == "--id" || name == "--daily") {
            EndlessId id;
            std::string why;
            if (name == "--id" && !ParseEndlessId(value, id, why)) {
                throw Refusal{"--id '" + value + "': " + why};
            }
            if (name == "--daily" && !DailyEndlessIdFromText(value, id)) {
                throw Refusal{"--daily needs a date YYYY-MM-DD from 2000-01-01 on, not '" + value + "'"};
            }
            if (!options.endlessId.empty()) {
                throw Refusal{"give --id or --daily once"};
            }
            options.endlessId = FormatEndlessId(id);
        } else {
            throw Refusal{"generate has no option '" + name + "'"};
        }
    }
    if (options.width == 0 || options.height == 0 || options.width > 255 || options.height > 255) {
        throw Refusal{"a board is 1 to 255 cells each way, not " + std::to_string(options.width) + "x" +
                      std::to_string(options.height)};
    }
    // Each object takes a cell of its own, and so does the player's start.
    const std::uint64_t cells = options.width * options.height;
    const std::uint64_t wanted = options.holes + options.frogsOverHoles + options.icicles + options.frogs + 1;
    if (options.holes > cells || options.frogsOverHoles > cells || options.icicles > cells || options.frogs > cells ||
        wanted > cells) {
        throw Refusal{"more objects than cells: " + std::to_string(wanted) + " (holes, frogs, icicles and the start) on " +
                      std::to_string(cells) + " cells"};
    }
    if (options.frogs + options.frogsOverHoles == 0) {
        throw Refusal{"a board needs at least one frog (--frogs or --frogs-over-holes)"};
    }
    if (options.frogs + options.frogsOverHoles > 64) {
        throw Refusal{"at most 64 frogs: the positions to search grow too fast beyond"};
    }
    if (options.keep == 0 || options.tries == 0 || options.maxStates == 0) {
        throw Refusal{"--keep, --tries and --max-states must be at least 1"};
    }
    if (options.maxTurns != 0 && options.maxTurns < options.minTurns) {
        throw Refusal{"--max-turns " + std::to_string(options.maxTurns) + " is below --min-turns " +
                      std::to_string(options.minTurns)};
    }
    return options;
}

// SplitMix64: small, fast, and the same numbers everywhere (the standard library's
// distributions are not), which keeps a seed's boards the same on every machine.
class BoardRandom {
public:
    explicit BoardRandom(std::uint64_t seed) : state(seed) {}

    std::uint64_t Next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, bound) by multiply-and-shift; bound is at most 65,025 here, so the
    // bias is far below anything a board could show.
    std::uint64_t Below(std::uint64_t bound)
    {
        return static_cast<std::uint64_t>((static_cast<unsigned __int128>(Next()) * bound) >> 64);
    }

private:
    std::uint64_t state;
};

// The candidate'th board of a seed: its cells shuffled, then taken in turn for holes,
// frogs over holes, icicles, frogs and the start; the rest is ice.
StageDataReader DrawBoard(const GenerateOptions& options, std::uint64_t candidate)
{
    BoardRandom random(options.seed * 0xD1B54A32D192ED03ull ^ (candidate + 1) * 0x9E3779B97F4A7C15ull);
    StageDataReader stage;
    stage.width = static_cast<std::uint8_t>(options.width);
    stage.height = static_cast<std::uint8_t>(options.height);
    const std::size_t count = static_cast<std::size_t>(options.width * options.height);
    stage.cells.assign(count, {static_cast<std::int32_t>(StageFloor::Floor), static_cast<std::int32_t>(StageObject::None)});
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i) {
        order[i] = i;
    }
    for (std::size_t i = count - 1; i > 0; --i) {
        std::swap(order[i], order[static_cast<std::size_t>(random.Below(i + 1))]);
    }
    std::size_t next = 0;
    auto place = [&](std::uint64_t how_many, StageFloor floor, StageObject object) {
        for (std::uint64_t n = 0; n < how_many; ++n, ++next) {
            stage.cells[order[next]] = {static_cast<std::int32_t>(floor), static_cast<std::int32_t>(object)};
        }
    };
    place(options.holes, StageFloor::None, StageObject::None);
    place(options.frogsOverHoles, StageFloor::None, StageObject::FrozenFrog);
    place(options.icicles, StageFloor::Floor, StageObject::Icicle);
    place(options.frogs, StageFloor::Floor, StageObject::FrozenFrog);
    place(1, StageFloor::Floor, StageObject::PlayerStart);
    return stage;
}

void RemoveObject(StageDataReader& stage, Cell cell)
{
    stage.cells[std::size_t{cell.y} * stage.width + cell.x].object = static_cast<std::int32_t>(StageObject::None);
}

bool MeetsRules(const PuzzleRating& rating, const GenerateOptions& options)
{
    return rating.outcome == RatingOutcome::Rated && rating.noise.empty() && rating.fewestTurns >= options.minTurns &&
           (options.maxTurns == 0 || rating.fewestTurns <= options.maxTurns) && rating.pushes >= options.minPushes &&
           rating.pushes <= options.maxPushes &&
           rating.deadFirstMoves >= options.minFirstTraps &&
           rating.deadFirstMoves <= options.maxFirstTraps &&
           rating.trappedPositions >= options.minTrapped &&
           (options.maxSolutions == 0 || rating.shortestSolutions <= options.maxSolutions);
}

// Higher is better: long, full of traps, with few ways through. Turns count once, each
// position with a trap twice, each dead first move twice; every doubling of the number of
// shortest solutions costs two.
double Score(const PuzzleRating& rating)
{
    return rating.fewestTurns + 2.0 * rating.trappedPositions + 2.0 * rating.deadFirstMoves -
           2.0 * std::log2(static_cast<double>(std::max<std::uint64_t>(rating.shortestSolutions, 1)));
}

struct KeptBoard {
    std::uint64_t candidate = 0;
    double score = 0;
    std::size_t dropped = 0; // noise objects taken off
    StageDataReader stage;
    PuzzleRating rating;
};

std::string BoardText(const KeptBoard& board, const GenerateOptions& options, std::size_t rank)
{
    const std::string title = "seed " + std::to_string(options.seed) + " board " + std::to_string(board.candidate);
    std::ostringstream out;
    out << "; generated: tomarugi-stage generate, seed " << options.seed << ", candidate " << board.candidate
        << ", kept " << rank << "\n"
        << RatingComment(board.rating) << "; noise objects dropped: " << board.dropped << "\n";
    bool representable = true;
    out << FormatStageText(board.stage, title, representable);
    return out.str();
}

// Makes the output folder before any search, so that a typing mistake costs nothing: a
// missing folder is made (with its parents); a path that is a file, or cannot be made,
// is refused.
void PrepareOutDirectory(const std::string& directory)
{
    if (directory.empty()) {
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (!std::filesystem::is_directory(directory)) {
        throw Refusal{"--out " + directory + ": cannot make the folder" + (error ? ": " + error.message() : "")};
    }
}

// Writes `text` to DIRECTORY/NAME, or prints it when no folder was given. The exit code.
int PrintOrWrite(const std::string& directory, const std::string& fileName, const std::string& text)
{
    if (directory.empty()) {
        std::cout << text;
        return 0;
    }
    const std::string path = directory + "/" + fileName;
    std::ofstream out(path, std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "tomarugi-stage: " << path << ": cannot write: " << std::strerror(errno) << "\n";
        return 2;
    }
    std::cout << path << "\n";
    return 0;
}

// --id / --daily: the endless board the game plays for the ID, with its figures.
int GenerateEndless(const GenerateOptions& options)
{
    EndlessId id;
    std::string why;
    ParseEndlessId(options.endlessId, id, why);
    EndlessBoard board;
    EndlessMakeOptions make;
    make.progress = [](std::uint64_t judged) {
        if (judged % 500 == 0) {
            std::cerr << "generate: " << judged << " candidates judged\n";
        }
    };
    if (MakeEndlessBoard(id, board, make) != EndlessOutcome::Made) {
        std::cerr << "tomarugi-stage: no board found for " << options.endlessId << "\n";
        return 1;
    }
    std::ostringstream out;
    out << "; endless board " << options.endlessId << " (candidate " << board.candidate << ")\n"
        << RatingComment(board.rating);
    bool representable = true;
    out << FormatStageText(board.stage, options.endlessId, representable);
    return PrintOrWrite(options.outDirectory, options.endlessId + ".txt", out.str());
}

} // namespace

int GenerateCommand(const std::vector<std::string>& args)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << GenerateUsage;
        return 0;
    }
    GenerateOptions options;
    try {
        options = ParseOptions(args);
    } catch (const Refusal& refusal) {
        std::cerr << "tomarugi-stage: " << refusal.message << "\n";
        return 2;
    }
    try {
        PrepareOutDirectory(options.outDirectory);
    } catch (const Refusal& refusal) {
        std::cerr << "tomarugi-stage: " << refusal.message << "\n";
        return 2;
    }
    if (!options.endlessId.empty()) {
        return GenerateEndless(options);
    }

    RatingOptions rate;
    rate.maxStates = static_cast<std::size_t>(options.maxStates);
    std::vector<KeptBoard> kept;
    std::set<std::vector<std::uint8_t>> seen; // boards already kept, after noise dropping
    const std::uint64_t progressStep = std::max<std::uint64_t>(1, options.tries / 10);
    for (std::uint64_t candidate = 0; candidate < options.tries; ++candidate) {
        if (candidate > 0 && candidate % progressStep == 0) {
            std::cerr << "generate: " << candidate << " of " << options.tries << " boards tried, " << kept.size()
                      << " good\n";
        }
        KeptBoard board;
        board.candidate = candidate;
        board.stage = DrawBoard(options, candidate);
        for (;;) {
            PuzzleBoard puzzle;
            puzzle.BuildBoard(board.stage);
            board.rating = RatePuzzle(puzzle, rate);
            if (board.rating.outcome != RatingOutcome::Rated || board.rating.noise.empty()) {
                break;
            }
            RemoveObject(board.stage, board.rating.noise.front().cell);
            ++board.dropped;
        }
        if (!MeetsRules(board.rating, options) || !seen.insert(board.stage.ToBytes()).second) {
            continue;
        }
        board.score = Score(board.rating);
        kept.push_back(std::move(board));
    }
    std::cerr << "generate: " << options.tries << " boards tried, " << kept.size() << " good, keeping "
              << std::min<std::size_t>(kept.size(), options.keep) << "\n";

    std::stable_sort(kept.begin(), kept.end(), [](const KeptBoard& a, const KeptBoard& b) { return a.score > b.score; });
    kept.resize(std::min<std::size_t>(kept.size(), options.keep));
    for (std::size_t rank = 0; rank < kept.size(); ++rank) {
        const std::string text = BoardText(kept[rank], options, rank + 1);
        if (options.outDirectory.empty()) {
            std::cout << (rank > 0 ? "\n" : "") << text;
            continue;
        }
        const std::string path = options.outDirectory + "/seed" + std::to_string(options.seed) + "-" +
                                 std::to_string(kept[rank].candidate) + ".txt";
        std::ofstream out(path, std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::cerr << "tomarugi-stage: " << path << ": cannot write: " << std::strerror(errno) << "\n";
            return 2;
        }
        std::cout << path << "\n";
    }
    return kept.empty() ? 1 : 0;
}
