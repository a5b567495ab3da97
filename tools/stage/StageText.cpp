// tools/stage/StageText.cpp: the text form of stages. See StageText.h for the symbols.
#include "StageText.h"

#include <algorithm>
#include <cstdint>
#include <sstream>

namespace {

constexpr std::size_t MaxCells = 255; // per row and per column

struct Symbol {
    char letter;
    StageFloor floor;
    StageObject object;
};

constexpr Symbol Symbols[] = {
    {'.', StageFloor::Floor, StageObject::None},
    {'_', StageFloor::None, StageObject::None},
    {' ', StageFloor::None, StageObject::None},
    {'@', StageFloor::Floor, StageObject::PlayerStart},
    {'+', StageFloor::None, StageObject::PlayerStart},
    {'F', StageFloor::Floor, StageObject::FrozenFrog},
    {'f', StageFloor::None, StageObject::FrozenFrog},
    {'I', StageFloor::Floor, StageObject::Icicle},
    {'i', StageFloor::None, StageObject::Icicle},
};

const Symbol* FindSymbol(char letter)
{
    for (const Symbol& symbol : Symbols) {
        if (symbol.letter == letter) {
            return &symbol;
        }
    }
    return nullptr;
}

char LetterOf(const StageCell& cell)
{
    for (const Symbol& symbol : Symbols) {
        if (symbol.letter != ' ' && static_cast<std::int32_t>(symbol.floor) == cell.floor &&
            static_cast<std::int32_t>(symbol.object) == cell.object) {
            return symbol.letter;
        }
    }
    return '?';
}

std::string TrimRight(std::string text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

std::string Describe(char letter)
{
    const auto byte = static_cast<unsigned char>(letter);
    if (byte >= 0x20 && byte < 0x7F) {
        return std::string("'") + letter + "'";
    }
    std::ostringstream hex;
    hex << "byte 0x" << std::hex << static_cast<int>(byte);
    return hex.str();
}

} // namespace

bool ParseStageText(const std::string& text, StageDataReader& stage, std::string& title, StageTextError& error)
{
    std::istringstream input(text);
    std::string line;
    int lineNumber = 0;
    std::string parsedTitle;
    bool titleSeen = false;
    std::vector<std::string> rows;
    std::vector<int> rowLines;

    while (std::getline(input, line)) {
        ++lineNumber;
        const std::size_t comment = line.find(';');
        if (comment != std::string::npos) {
            line.erase(comment);
        }
        line = TrimRight(line);
        const std::size_t firstNonBlank = line.find_first_not_of(" \t");
        if (firstNonBlank != std::string::npos && line.compare(firstNonBlank, 6, "title:") == 0) {
            if (titleSeen) {
                error = {lineNumber, "a second title line"};
                return false;
            }
            if (!rows.empty()) {
                error = {lineNumber, "the title line must come before the grid"};
                return false;
            }
            titleSeen = true;
            const std::size_t start = line.find_first_not_of(" \t", firstNonBlank + 6);
            parsedTitle = start == std::string::npos ? "" : line.substr(start);
            continue;
        }
        if (line.empty() && rows.empty()) {
            continue; // blank lines before the grid
        }
        rows.push_back(line);
        rowLines.push_back(lineNumber);
    }
    while (!rows.empty() && rows.back().empty()) {
        rows.pop_back();
        rowLines.pop_back();
    }
    if (rows.empty()) {
        error = {0, "no grid: a stage needs at least one row of cells"};
        return false;
    }
    if (rows.size() > MaxCells) {
        error = {rowLines[MaxCells], "more than 255 rows"};
        return false;
    }
    std::size_t width = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t column = 0; column < rows[r].size(); ++column) {
            if (FindSymbol(rows[r][column]) == nullptr) {
                error = {rowLines[r], "unknown cell symbol " + Describe(rows[r][column]) + " in column " +
                                          std::to_string(column + 1)};
                return false;
            }
        }
        if (rows[r].size() > MaxCells) {
            error = {rowLines[r], "row of " + std::to_string(rows[r].size()) + " cells; at most 255"};
            return false;
        }
        width = std::max(width, rows[r].size());
    }
    if (width == 0) {
        error = {0, "no grid: every row is empty"};
        return false;
    }

    StageDataReader parsed;
    parsed.width = static_cast<std::uint8_t>(width);
    parsed.height = static_cast<std::uint8_t>(rows.size());
    parsed.cells.reserve(width * rows.size());
    for (const std::string& row : rows) {
        for (std::size_t column = 0; column < width; ++column) {
            const Symbol* symbol = FindSymbol(column < row.size() ? row[column] : '_');
            parsed.cells.push_back({static_cast<std::int32_t>(symbol->floor), static_cast<std::int32_t>(symbol->object)});
        }
    }
    stage = std::move(parsed);
    title = parsedTitle;
    return true;
}

std::string FormatStageText(const StageDataReader& stage, const std::string& title, bool& representable)
{
    std::ostringstream out;
    std::ostringstream notes;
    representable = true;
    if (stage.reserved != 0 || stage.spare[0] != 0 || stage.spare[1] != 0) {
        notes << "; header: reserved word " << stage.reserved << ", spare bytes " << int{stage.spare[0]} << " "
              << int{stage.spare[1]} << " (not kept in the text)\n";
    }
    std::string grid;
    const std::size_t width = stage.width;
    const std::size_t count = width * stage.height;
    for (std::size_t i = 0; i < count; ++i) {
        const StageCell cell = i < stage.cells.size() ? stage.cells[i] : StageCell{};
        const char letter = LetterOf(cell);
        if (letter == '?') {
            representable = false;
            notes << "; cell (" << i % width << ", " << i / width << "): floor " << cell.floor << ", object "
                  << cell.object << " has no symbol\n";
        }
        grid += letter;
        if ((i + 1) % width == 0) {
            grid += '\n';
        }
    }
    out << "title: " << title << "\n" << notes.str() << grid;
    return out.str();
}
