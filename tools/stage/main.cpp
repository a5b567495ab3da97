// tools/stage/main.cpp: tomarugi-stage, the stage tool for players and for us.
//
//     tomarugi-stage compile IN.txt OUT.pzd   text grid -> stage file
//     tomarugi-stage print FILE.pzd           stage file -> text grid on stdout
//     tomarugi-stage validate FILE            size, start cells, frogs, icicles, clearable?
//     tomarugi-stage solve FILE               "fewest turns: N" and one shortest move list
//     tomarugi-stage hint FILE [MOVES]        after playing MOVES: fewest turns left, next move
//     tomarugi-stage generate [options]       random boards that are good puzzles (Generate.cpp)
//     tomarugi-stage rate FILE...             a table of each stage's figures (Rate.cpp)
//     tomarugi-stage records SAVE [--verify]  a save file's best records, each proven (Records.cpp)
//
// FILE may be a stage file or a text source (by the ".txt" ending). Exit codes: 0 done (or
// cleared), 1 the stage cannot be cleared (from the position reached), 2 bad input or usage, 3 the search gave up at
// its state limit (--max-states N). The text format is described in StageText.h and in
// content/stages/README.md; the move list in puzzle/PuzzleSolver.h.
#include "PuzzleBoard.h"
#include "PuzzleReplay.h"
#include "PuzzleRules.h"
#include "PuzzleSolver.h"
#include "StageDataReader.h"
#include "StageCommands.h"
#include "StageText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int ExitDone = 0;
constexpr int ExitUnsolvable = 1;
constexpr int ExitBadInput = 2;
constexpr int ExitGaveUp = 3;

const char* const Usage =
    "usage: tomarugi-stage compile IN.txt OUT.pzd\n"
    "       tomarugi-stage print FILE.pzd\n"
    "       tomarugi-stage validate [--max-states N] FILE\n"
    "       tomarugi-stage solve [--max-states N] FILE\n"
    "       tomarugi-stage hint [--max-states N] FILE [MOVES]\n"
    "       tomarugi-stage generate [options]   (generate --help lists them)\n"
    "       tomarugi-stage rate [--max-states N] FILE...\n"
    "       tomarugi-stage records SAVE [--verify] [--stages DIR...]\n";

// A refusal carrying the message to print; becomes exit code 2.
struct BadInput {
    std::string message;
};

bool EndsWith(const std::string& text, const std::string& ending)
{
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

std::string BaseName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error)) {
        throw BadInput{path + ": not a plain file"};
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw BadInput{path + ": cannot open: " + std::strerror(errno)};
    }
    try {
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    } catch (const std::ios_base::failure& failure) {
        throw BadInput{path + ": cannot read: " + failure.what()};
    }
}

// A stage from a text source or a stage file. Stage files must hold exactly a header and
// width * height cells: the game would pad or cut anything else silently, the tool says so.
StageDataReader LoadStage(const std::string& path, std::string& title)
{
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    StageDataReader stage;
    title = BaseName(path);
    if (EndsWith(path, ".txt")) {
        StageTextError error;
        const std::string text(bytes.begin(), bytes.end());
        if (!ParseStageText(text, stage, title, error)) {
            throw BadInput{path + (error.line > 0 ? ":" + std::to_string(error.line) : "") + ": " + error.message};
        }
        if (title.empty()) {
            title = BaseName(path);
        }
        return stage;
    }
    if (bytes.size() < StageHeaderSize) {
        throw BadInput{path + ": " + std::to_string(bytes.size()) + " bytes, shorter than the 8-byte stage header"};
    }
    stage.ReadFromBytes(bytes.data(), bytes.size());
    const std::size_t expected = StageHeaderSize + StageCellSize * stage.width * stage.height;
    if (bytes.size() != expected) {
        throw BadInput{path + ": " + std::to_string(bytes.size()) + " bytes, but a " + std::to_string(stage.width) +
                       "x" + std::to_string(stage.height) + " stage file has " + std::to_string(expected)};
    }
    return stage;
}

std::size_t ParseMaxStates(std::vector<std::string>& args)
{
    std::size_t maxStates = SolveOptions{}.maxStates;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--max-states") {
            continue;
        }
        if (i + 1 >= args.size()) {
            throw BadInput{"--max-states needs a number"};
        }
        std::size_t used = 0;
        unsigned long long value = 0;
        try {
            value = std::stoull(args[i + 1], &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != args[i + 1].size() || value == 0 || args[i + 1][0] == '-') {
            throw BadInput{"--max-states needs a positive number, not '" + args[i + 1] + "'"};
        }
        maxStates = static_cast<std::size_t>(value);
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        --i;
    }
    return maxStates;
}

SolveOptions SearchOptions(std::size_t maxStates, bool allowPushes)
{
    SolveOptions options;
    options.maxStates = maxStates;
    options.allowPushes = allowPushes;
    return options;
}

int Compile(const std::vector<std::string>& args)
{
    if (args.size() != 2) {
        throw BadInput{std::string("compile takes IN.txt OUT.pzd\n") + Usage};
    }
    std::string title;
    const StageDataReader stage = LoadStage(args[0], title);
    const std::vector<std::uint8_t> bytes = stage.ToBytes();
    std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
    if (!out) {
        throw BadInput{args[1] + ": cannot write: " + std::strerror(errno)};
    }
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw BadInput{args[1] + ": cannot write: " + std::strerror(errno)};
    }
    return ExitDone;
}

int Print(const std::vector<std::string>& args)
{
    if (args.size() != 1) {
        throw BadInput{std::string("print takes one stage file\n") + Usage};
    }
    std::string title;
    const StageDataReader stage = LoadStage(args[0], title);
    bool representable = true;
    std::cout << "; " << BaseName(args[0]) << ": " << int{stage.width} << "x" << int{stage.height} << "\n"
              << FormatStageText(stage, title, representable);
    return ExitDone;
}

void PrintSolveFailure(const SolveResult& result)
{
    if (result.outcome == SolveOutcome::GaveUp) {
        std::cout << "gave up after " << result.statesSeen << " states (raise --max-states)\n";
    } else {
        std::cout << "unsolvable\n";
    }
}

int ExitFor(const SolveResult& result)
{
    switch (result.outcome) {
    case SolveOutcome::Solved:
        return ExitDone;
    case SolveOutcome::Unsolvable:
        return ExitUnsolvable;
    case SolveOutcome::GaveUp:
        return ExitGaveUp;
    }
    return ExitGaveUp;
}

int Solve(std::vector<std::string> args)
{
    const std::size_t maxStates = ParseMaxStates(args);
    if (args.size() != 1) {
        throw BadInput{std::string("solve takes one stage\n") + Usage};
    }
    std::string title;
    PuzzleBoard board;
    board.BuildBoard(LoadStage(args[0], title));
    const SolveResult result = SolvePuzzle(board, SearchOptions(maxStates, true));
    if (result.outcome == SolveOutcome::Solved) {
        std::cout << "fewest turns: " << result.moves.size() << "\n" << FormatMoves(result.moves) << "\n";
    } else {
        PrintSolveFailure(result);
    }
    return ExitFor(result);
}

// The position after MOVES (played frame by frame through the rules, so it is one a player
// can reach), then what the game's hint would show there: the first move of a fewest-turn
// solution, or that no way to clear is left.
int Hint(std::vector<std::string> args)
{
    const std::size_t maxStates = ParseMaxStates(args);
    if (args.empty()) {
        throw BadInput{std::string("hint takes one stage and, optionally, the moves played so far\n") + Usage};
    }
    std::string played;
    for (std::size_t i = 1; i < args.size(); ++i) {
        played += (i > 1 ? " " : "") + args[i];
    }
    std::vector<SolverMove> moves;
    if (!ParseMoves(played, moves)) {
        throw BadInput{"moves '" + played + "': use U D L R, PU PD PL PR (push), TU TD TL TR (thaw)"};
    }
    std::string title;
    PuzzleRules rules;
    rules.board.BuildBoard(LoadStage(args[0], title));
    rules.Step({}); // a stage without frogs is cleared before any move
    const ReplayReport report = PlayMoves(rules, moves);
    if (!report.ok) {
        throw BadInput{report.failure};
    }
    if (rules.board.player->state == PuzzlerState::Cleared) {
        std::cout << "cleared in " << rules.turns << " turns\nfewest turns left: 0\n";
        return ExitDone;
    }
    const SolveResult result = SolvePuzzle(rules.board, SearchOptions(maxStates, true));
    if (result.outcome == SolveOutcome::Solved) {
        std::cout << "fewest turns left: " << result.moves.size() << "\nnext: " << FormatMoves({result.moves.front()})
                  << "\n";
    } else if (result.outcome == SolveOutcome::Unsolvable) {
        std::cout << "no way to clear\n";
    } else {
        PrintSolveFailure(result);
    }
    return ExitFor(result);
}

int Validate(std::vector<std::string> args)
{
    const std::size_t maxStates = ParseMaxStates(args);
    if (args.size() != 1) {
        throw BadInput{std::string("validate takes one stage\n") + Usage};
    }
    std::string title;
    const StageDataReader stage = LoadStage(args[0], title);
    PuzzleBoard board;
    board.BuildBoard(stage);

    std::vector<std::string> starts;
    const std::vector<StageCell> cells = stage.GetCells();
    for (std::size_t i = 0; i < cells.size() && stage.width > 0; ++i) {
        if (cells[i].object == static_cast<std::int32_t>(StageObject::PlayerStart)) {
            starts.push_back("(" + std::to_string(i % stage.width) + ", " + std::to_string(i / stage.width) + ")");
        }
    }
    std::cout << "stage: " << title << "\n";
    std::cout << "size: " << int{stage.width} << "x" << int{stage.height} << "\n";
    std::cout << "start cells: " << starts.size();
    if (starts.empty()) {
        std::cout << " (the player starts on (0, 0))";
    } else {
        std::cout << " [";
        for (std::size_t i = 0; i < starts.size(); ++i) {
            std::cout << (i ? " " : "") << starts[i];
        }
        std::cout << "]";
        if (starts.size() > 1) {
            std::cout << " (the game takes the last)";
        }
    }
    std::cout << "\n";
    std::cout << "start: (" << board.player->x << ", " << board.player->y << ")"
              << (board.IsHole(board.player->GetCell()) ? " on a hole: the player cannot move" : "") << "\n";
    std::cout << "frogs: " << board.frogs.size() << "\n";
    std::cout << "icicles: " << board.icicles.size() << "\n";
    const SolveResult result = SolvePuzzle(board, SearchOptions(maxStates, true));
    if (result.outcome == SolveOutcome::Solved) {
        std::cout << "clearable: yes, in " << result.moves.size() << " turns\n";
        const SolveResult withoutPushes = SolvePuzzle(board, SearchOptions(maxStates, false));
        std::cout << "without pushing: ";
        if (withoutPushes.outcome == SolveOutcome::Solved) {
            std::cout << withoutPushes.moves.size() << " turns\n";
        } else {
            std::cout << (withoutPushes.outcome == SolveOutcome::Unsolvable ? "not clearable\n" : "unknown\n");
        }
    } else if (result.outcome == SolveOutcome::Unsolvable) {
        std::cout << "clearable: no\n";
    } else {
        std::cout << "clearable: unknown, ";
        PrintSolveFailure(result);
    }
    return ExitFor(result);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        (args.empty() ? std::cerr : std::cout) << Usage;
        return args.empty() ? ExitBadInput : ExitDone;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    try {
        if (command == "compile") {
            return Compile(args);
        }
        if (command == "print") {
            return Print(args);
        }
        if (command == "validate") {
            return Validate(args);
        }
        if (command == "solve") {
            return Solve(args);
        }
        if (command == "hint") {
            return Hint(args);
        }
        if (command == "generate") {
            return GenerateCommand(args);
        }
        if (command == "rate") {
            return RateCommand(args);
        }
        if (command == "records") {
            return RecordsCommand(args);
        }
        std::cerr << "tomarugi-stage: unknown command '" << command << "'\n" << Usage;
        return ExitBadInput;
    } catch (const BadInput& error) {
        std::cerr << "tomarugi-stage: " << error.message << "\n";
        return ExitBadInput;
    } catch (const std::bad_alloc&) {
        std::cerr << "tomarugi-stage: out of memory\n";
        return ExitGaveUp;
    }
}
