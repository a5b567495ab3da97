// The largest stage there can be, made to exhaust a solver: 255 x 255 ice with a frog on every
// third cell of every third row (7,225 frogs) and the player beside the first. Every frog can
// be reached, so nothing short of the whole search (hours) settles it.
#pragma once

#include <string>
#include <vector>

inline std::vector<std::string> HostileStageRows()
{
    std::vector<std::string> rows(255, std::string(255, '.'));
    for (std::size_t y = 1; y < 255; y += 3) {
        for (std::size_t x = 1; x < 255; x += 3) {
            rows[y][x] = 'F';
        }
    }
    rows[1][0] = '@';
    return rows;
}
