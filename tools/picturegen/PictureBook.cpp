#include "PictureBook.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace picturegen {

std::string HighResolutionPath(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + "@2x";
    return path.substr(0, dot) + "@2x" + path.substr(dot);
}


namespace {

bool ParseInteger(const std::string& text, int* value)
{
    if (text.empty()) return false;
    size_t used = 0;
    try {
        *value = std::stoi(text, &used);
    } catch (const std::exception&) {
        return false;
    }
    return used == text.size();
}

bool IsName(const std::string& text)
{
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') return false;
    return true;
}

// A path inside the staging tree: relative, "/"-separated, no way out of the tree.
bool IsSafeRelativePath(const std::string& path)
{
    if (path.empty() || path[0] == '/' || path.find('\\') != std::string::npos) return false;
    std::stringstream parts(path);
    std::string part;
    while (std::getline(parts, part, '/'))
        if (part.empty() || part == "." || part == "..") return false;
    return true;
}

}  // namespace

bool PictureBook::LookUpColour(const std::string& text, Colour* colour) const
{
    if (!text.empty() && text[0] == '#') return ParseColour(text, colour);
    auto found = colours.find(text);
    if (found == colours.end()) return false;
    *colour = found->second;
    return true;
}

bool SplitDefinitionLine(const std::string& line, std::vector<std::string>* words, std::vector<bool>* startsQuoted)
{
    words->clear();
    if (startsQuoted) startsQuoted->clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i >= line.size()) break;
        std::string word;
        bool quoted = false;
        if (startsQuoted) startsQuoted->push_back(line[i] == '"');
        while (i < line.size() && (quoted || !std::isspace(static_cast<unsigned char>(line[i])))) {
            const char c = line[i];
            if (c == '"') {
                quoted = !quoted;
                ++i;
            } else if (quoted && c == '\\' && i + 1 < line.size()) {
                word += line[i + 1];
                i += 2;
            } else {
                word += c;
                ++i;
            }
        }
        if (quoted) return false;
        words->push_back(word);
    }
    return true;
}

bool ParsePictureDefinitions(const std::string& text, const std::string& fileName, const std::string& directory,
    PictureBook* book, std::string* error)
{
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    PictureDefinition* current = nullptr;
    auto fail = [&](const std::string& message) {
        *error = fileName + ":" + std::to_string(number) + ": " + message;
        return false;
    };
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::vector<std::string> words;
        std::vector<bool> quotedWords;
        if (!SplitDefinitionLine(line, &words, &quotedWords)) return fail("unterminated quote");
        const std::string& command = words[0];

        if (command == "include") {
            if (words.size() != 2) return fail("include takes one file name");
            const std::string path = directory.empty() ? words[1] : directory + "/" + words[1];
            if (!LoadPictureBook(path, book, error)) return false;
            // Pictures may have moved in memory; drawing commands need a new picture line.
            current = nullptr;
        } else if (command == "colour") {
            Colour colour;
            if (words.size() != 3 || !IsName(words[1])) return fail("colour takes a name and a value");
            if (!ParseColour(words[2], &colour)) return fail("bad colour " + words[2] + " (use #RRGGBB or #RRGGBBAA)");
            book->colours[words[1]] = colour;
        } else if (command == "font") {
            if (words.size() < 3 || !IsName(words[1])) return fail("font takes a name and at least one file");
            book->fonts[words[1]] = std::vector<std::string>(words.begin() + 2, words.end());
        } else if (command == "style") {
            if (words.size() < 2 || !IsName(words[1])) return fail("style takes a name");
            auto& style = book->styles[words[1]];
            style.clear();
            for (size_t k = 2; k < words.size(); ++k) {
                const size_t equals = words[k].find('=');
                if (equals == std::string::npos || equals == 0) return fail("style entries are key=value: " + words[k]);
                style[words[k].substr(0, equals)] = words[k].substr(equals + 1);
            }
        } else if (command == "picture") {
            PictureDefinition picture;
            if (words.size() < 4 || words.size() > 5) return fail("picture takes a path, a width, a height and maybe 'tiling'");
            if (!IsSafeRelativePath(words[1])) return fail("picture path must be relative and stay inside the tree: " + words[1]);
            if (!ParseInteger(words[2], &picture.width) || !ParseInteger(words[3], &picture.height) || picture.width <= 0 ||
                picture.height <= 0 || picture.width > 4096 || picture.height > 4096)
                return fail("picture size must be two whole numbers from 1 to 4096");
            if (words.size() == 5) {
                if (words[4] != "tiling") return fail("unknown picture flag " + words[4]);
                picture.tiling = true;
            }
            for (const PictureDefinition& other : book->pictures)
                if (other.path == words[1]) return fail("picture " + words[1] + " is defined twice (first at " + other.file + ":" + std::to_string(other.line) + ")");
            picture.path = words[1];
            picture.file = fileName;
            picture.line = number;
            book->pictures.push_back(picture);
            current = &book->pictures.back();
        } else {
            if (!current) return fail("drawing command '" + command + "' before any picture");
            DefinitionCommand drawing;
            drawing.name = command;
            drawing.file = fileName;
            drawing.line = number;
            for (size_t k = 1; k < words.size(); ++k) {
                // Only unquoted words of the form key=... are options; a quoted text
                // argument may contain '=' freely.
                const size_t equals = words[k].find('=');
                const bool looksLikeOption =
                    !quotedWords[k] && equals != std::string::npos && equals > 0 && IsName(words[k].substr(0, equals));
                if (looksLikeOption)
                    drawing.options[words[k].substr(0, equals)] = words[k].substr(equals + 1);
                else
                    drawing.arguments.push_back(words[k]);
            }
            current->commands.push_back(drawing);
        }
    }
    return true;
}

bool LoadPictureBook(const std::string& path, PictureBook* book, std::string* error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot read " + path;
        return false;
    }
    for (const std::string& seen : book->files) {
        if (seen == path) {
            *error = path + " is included twice";
            return false;
        }
    }
    book->files.push_back(path);
    std::stringstream text;
    text << file.rdbuf();
    const size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash);
    return ParsePictureDefinitions(text.str(), path, directory, book, error);
}

}  // namespace picturegen
