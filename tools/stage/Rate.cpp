// tools/stage/Rate.cpp: "tomarugi-stage rate FILE...", a table of every stage's figures.
#include "StageCommands.h"

#include "StageDataReader.h"
#include "StageText.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace {

const char* const RateUsage = "usage: tomarugi-stage rate [--max-states N] FILE...\n";

std::string StageName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// Reads a stage text (".txt") or stage file; false with the reason in `problem`.
bool LoadStageFile(const std::string& path, StageDataReader& stage, std::string& problem)
{
    std::error_code error;
    if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error)) {
        problem = "not a plain file";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        problem = std::strerror(errno);
        return false;
    }
    std::string bytes;
    try {
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure& failure) {
        problem = std::string("cannot read: ") + failure.what();
        return false;
    }
    if (file.bad()) {
        problem = "cannot read";
        return false;
    }
    if (path.size() >= 4 && path.compare(path.size() - 4, 4, ".txt") == 0) {
        StageTextError textError;
        std::string title;
        if (!ParseStageText(bytes, stage, title, textError)) {
            problem = (textError.line > 0 ? "line " + std::to_string(textError.line) + ": " : "") + textError.message;
            return false;
        }
        return true;
    }
    stage.ReadFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const std::size_t expected = StageHeaderSize + StageCellSize * stage.width * stage.height;
    if (bytes.size() < StageHeaderSize || bytes.size() != expected) {
        problem = std::to_string(bytes.size()) + " bytes, not a whole stage file";
        return false;
    }
    return true;
}

// Columns on a terminal: ASCII takes one, anything else (kana, kanji, full-width digits)
// two. Good enough to line up stage names.
std::size_t DisplayWidth(const std::string& text)
{
    std::size_t width = 0;
    for (const unsigned char c : text) {
        if (c < 0x80) {
            width += 1;
        } else if ((c & 0xC0) != 0x80) {
            width += 2;
        }
    }
    return width;
}

std::string PadTo(const std::string& text, std::size_t width)
{
    const std::size_t shown = DisplayWidth(text);
    return text + std::string(shown < width ? width - shown : 0, ' ');
}

std::string Share(std::uint32_t part, std::uint32_t whole)
{
    return std::to_string(part) + "/" + std::to_string(whole);
}

std::string NoiseText(const std::vector<NoiseObject>& noise)
{
    std::string text;
    for (const NoiseObject& object : noise) {
        text += (text.empty() ? "" : " ") + std::string(object.kind == NoiseObject::Kind::Frog ? "F" : "I") + "(" +
                std::to_string(object.cell.x) + "," + std::to_string(object.cell.y) + ")";
    }
    return text.empty() ? "-" : text;
}

} // namespace

std::string RatingComment(const PuzzleRating& rating)
{
    std::ostringstream out;
    out << "; fewest turns: " << rating.fewestTurns << "\n"
        << "; pushes: " << rating.pushes << "\n"
        << "; thaws: " << rating.thaws << "\n"
        << "; first-move traps: " << Share(rating.deadFirstMoves, rating.firstMoves) << "\n"
        << "; trapped positions: " << Share(rating.trappedPositions, rating.fewestTurns) << " (" << rating.trapMoves
        << " trap moves)\n"
        << "; shortest solutions: " << rating.shortestSolutions << "\n"
        << "; positions: " << rating.states << "\n"
        << "; solution: " << FormatMoves(rating.solution) << "\n";
    return out.str();
}

int RateCommand(const std::vector<std::string>& arguments)
{
    std::vector<std::string> files;
    RatingOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--max-states") {
            unsigned long long value = 0;
            std::size_t used = 0;
            try {
                value = i + 1 < arguments.size() ? std::stoull(arguments[i + 1], &used) : 0;
            } catch (const std::exception&) {
                used = 0;
            }
            if (i + 1 >= arguments.size() || used != arguments[i + 1].size() || value == 0 ||
                arguments[i + 1][0] == '-') {
                std::cerr << "tomarugi-stage: --max-states needs a positive number\n";
                return 2;
            }
            options.maxStates = static_cast<std::size_t>(value);
            ++i;
        } else {
            files.push_back(arguments[i]);
        }
    }
    if (files.empty()) {
        std::cerr << "tomarugi-stage: rate takes one or more stages\n" << RateUsage;
        return 2;
    }

    std::size_t nameWidth = 5;
    for (const std::string& file : files) {
        nameWidth = std::max(nameWidth, DisplayWidth(StageName(file)));
    }
    std::cout << PadTo("stage", nameWidth) << "  size     frogs  turns  pushes  thaws  first traps  trapped  "
              << "solutions  noise\n";
    bool allRead = true;
    for (const std::string& file : files) {
        StageDataReader stage;
        std::string problem;
        if (!LoadStageFile(file, stage, problem)) {
            std::cout << std::flush;
            std::cerr << "tomarugi-stage: " << file << ": cannot rate: " << problem << "\n";
            allRead = false;
            continue;
        }
        PuzzleBoard board;
        board.BuildBoard(stage);
        const PuzzleRating rating = RatePuzzle(board, options);
        std::ostringstream row;
        const std::string size = std::to_string(stage.width) + "x" + std::to_string(stage.height);
        row << PadTo(StageName(file), nameWidth) << "  " << PadTo(size, 7) << "  " << PadTo(std::to_string(board.frogs.size()), 5)
            << "  ";
        if (rating.outcome == RatingOutcome::Rated) {
            row << PadTo(std::to_string(rating.fewestTurns), 5) << "  " << PadTo(std::to_string(rating.pushes), 6) << "  "
                << PadTo(std::to_string(rating.thaws), 5) << "  "
                << PadTo(Share(rating.deadFirstMoves, rating.firstMoves), 11) << "  "
                << PadTo(Share(rating.trappedPositions, rating.fewestTurns), 7) << "  "
                << PadTo(std::to_string(rating.shortestSolutions), 9) << "  " << NoiseText(rating.noise);
        } else if (rating.outcome == RatingOutcome::Unsolvable) {
            row << "cannot be cleared (" << rating.states << " positions)";
        } else {
            row << "more than " << options.maxStates << " positions: not rated (raise --max-states)";
        }
        std::cout << row.str() << "\n";
    }
    return allRead ? 0 : 2;
}
