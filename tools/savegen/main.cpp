// tomarugi_savegen: writes the save file that ships with the game.
//
//     tomarugi_savegen <path of tomarugi.save>
//
// A missing file is created with the three tables and the default settings row. An existing
// save file is only completed, never emptied: the build may run this again over a game
// folder in which somebody has played, and their records stay. A file that is not a save
// database is left alone and reported.
#include <cstdio>
#include <string>

#include <utime.h>

#include "SaveSchema.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <path of tomarugi.save>\n", argc > 0 ? argv[0] : "tomarugi_savegen");
        return 2;
    }
    const char* path = argv[1];
    std::string error;
    if (!RepairSaveFile(path, &error)) {
        std::fprintf(stderr, "tomarugi_savegen: %s: %s\n", path, error.c_str());
        return 1;
    }
    // A completed file may not have changed at all; mark it as made now so that the build
    // sees it as newer than the schema it was checked against.
    if (utime(path, nullptr) != 0) {
        std::perror(path);
        return 1;
    }
    return 0;
}
