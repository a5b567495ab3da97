// PictureBook: the parsed picture definitions (content/pictures/*.pic).
//
// The definition language is line based. A line holds a command and its arguments,
// separated by blanks; "double quoted" arguments may hold blanks (\" and \\ escape);
// key=value arguments are options (the value may be quoted too). A line whose first
// non-blank character is '#' is a comment. Top-level commands:
//
//     include <file>                        another definition file, relative to this one
//     colour <name> <#RRGGBB[AA]>           a palette entry, usable wherever a colour is
//     font <name> <file> [<file>...]        the first file that exists is used
//     style <name> key=value...             options shared by label commands
//     picture <path> <width> <height> [tiling]
//
// Every command after a `picture` line belongs to that picture (see PicturePainter.h for
// the drawing commands). The book only checks the shape of the file: names, numbers and
// duplicate pictures; what the drawing commands mean is checked when they are painted.
// Errors name the file and line.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Raster.h"

namespace picturegen {

struct DefinitionCommand {
    std::string name;
    std::vector<std::string> arguments;
    std::map<std::string, std::string> options;
    std::string file;
    int line = 0;
    std::string Where() const { return file + ":" + std::to_string(line); }
};

struct PictureDefinition {
    std::string path;  // relative to the staging root, e.g. "graphic/sprite/logo_yes.png"
    int width = 0, height = 0;
    bool tiling = false;  // shapes wrap around the edges, so the picture tiles seamlessly
    std::vector<DefinitionCommand> commands;
    std::string file;
    int line = 0;
};

struct PictureBook {
    std::map<std::string, Colour> colours;
    std::map<std::string, std::vector<std::string>> fonts;
    std::map<std::string, std::map<std::string, std::string>> styles;
    std::vector<PictureDefinition> pictures;
    std::vector<std::string> files;  // every definition file read, for build dependencies

    // A palette name or a literal "#RRGGBB[AA]".
    bool LookUpColour(const std::string& text, Colour* colour) const;
};

// Every picture is painted twice: at its size and at kHighResolutionScale times it, the
// latter stored at HighResolutionPath(path): "graphic/sprite/logo.png" gives
// "graphic/sprite/logo@2x.png". The engine looks for that name (Texture.h); the build and
// the pack derive it from the same "picture" lines, so a new picture needs nothing more.
constexpr int kHighResolutionScale = 2;
std::string HighResolutionPath(const std::string& path);

// Parses one definition text; `fileName` is used in messages and `directory` resolves
// includes. Appends to *book so that several files can fill one book.
bool ParsePictureDefinitions(const std::string& text, const std::string& fileName, const std::string& directory,
    PictureBook* book, std::string* error);

// Reads and parses a definition file and everything it includes.
bool LoadPictureBook(const std::string& path, PictureBook* book, std::string* error);

// Splits one line into words, honouring quotes; false on an unterminated quote. When
// `startsQuoted` is given it says, per word, whether the word began with a quote.
bool SplitDefinitionLine(const std::string& line, std::vector<std::string>* words,
    std::vector<bool>* startsQuoted = nullptr);

}  // namespace picturegen
