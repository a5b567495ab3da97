// tools/stage/StageText.h: stages as plain text, one character per cell.
//
//     ; a comment runs from ';' to the end of the line
//     title: 練習問題１          (optional; before the grid; kept only in the text)
//     ____I___
//     _@....F_
//     ________
//
// Symbols (rows top to bottom are y = 0, 1, ...; "Up" moves towards the top line):
//     .  ice                      _ or space  hole
//     @  player start on ice      +           player start on a hole
//     F  frozen frog on ice       f           frozen frog on a hole
//     I  icicle on ice            i           icicle on a hole
// Trailing blanks are cut; shorter rows are padded with holes up to the longest row.
// Blank lines before and after the grid are skipped; a blank line inside it is a row of
// holes. At most 255 x 255 cells; the game starts the player on the last start cell in
// row order, or on (0, 0) when there is none.
#pragma once

#include "StageDataReader.h"

#include <string>
#include <vector>

struct StageTextError {
    int line = 0; // 1-based; 0 when the error concerns the whole text
    std::string message;
};

// Parses the text into `stage` and `title`. On failure returns false, fills `error` and
// leaves `stage` and `title` unchanged.
bool ParseStageText(const std::string& text, StageDataReader& stage, std::string& title, StageTextError& error);

// Writes a stage as text that ParseStageText reads back into the same cells. Cells that no
// symbol stands for (other floor or object codes) are written as '?' and described in a
// comment line each; `representable` is then false.
std::string FormatStageText(const StageDataReader& stage, const std::string& title, bool& representable);
