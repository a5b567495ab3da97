// tools/stage/StageCommands.h: the stage tool's "generate" and "rate" commands.
//
// Each command takes the arguments after its name, prints its own results and its own
// refusals, and returns the tool's exit code: 0 done, 1 nothing met the rules (generate),
// 2 bad input or usage (a refusal is one line on stderr).
#pragma once

#include "PuzzleRating.h"

#include <cstdint>

#include <string>
#include <vector>

// tomarugi-stage generate [options]: random boards kept when they are good puzzles.
int GenerateCommand(const std::vector<std::string>& args);

// tomarugi-stage rate FILE...: the figures of existing stages, as a table.
int RateCommand(const std::vector<std::string>& args);

// tomarugi-stage records SAVE [--verify] [--stages DIR...]: the best records of a save file
// and, with --verify, whether each one's stored moves really clear its stage (Records.cpp).
int RecordsCommand(const std::vector<std::string>& args);

struct SavedRecord;
// The --verify verdict for one record whose stage file holds `stageBytes`: "ok", "no moves",
// "stage changed" or "does not clear in N turns".
std::string VerifyStoredMoves(const std::vector<std::uint8_t>& stageBytes, const SavedRecord& saved);

// The figures of a rated board as stage-text comment lines ("; fewest turns: 12" ...),
// the form `generate` writes above each board and the tests read back.
std::string RatingComment(const PuzzleRating& rating);
