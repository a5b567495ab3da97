// puzzle/EndlessBoard.h: endless boards, each named forever by a short ID.
//
// An ID such as "2A-048213" holds the tier (1 easy, 2 normal, 3 hard), the generator's
// version letter and a six-digit seed. The board it names is the first candidate, in the
// seed's own random stream, that meets the tier's grading rules (EndlessTierRules); the
// candidates are drawn and judged by the version's fixed recipe, so the same ID makes the
// same board on every machine, with any number of threads, at any speed. A version's recipe,
// once released, never changes: a better generator gets the next letter and old letters keep
// making their old boards (tests pin them).
//
// Randomness is SplitMix64 with our own mapping to ranges (multiply-and-shift), never the
// standard library's distributions, whose output differs between libraries.
//
// What this does not do: it keeps no list of boards played (the caller picks seeds) and
// draws nothing. MakeEndlessBoard runs wherever it is called; the game calls it on its
// background worker and passes the worker's cancel flag.
//
//     EndlessId id;
//     std::string why;
//     if (!ParseEndlessId("2a-048213", id, why)) { show(why); }
//     EndlessBoard board;
//     if (MakeEndlessBoard(id, board) == EndlessOutcome::Made) { play(board.stage); }
#pragma once

#include "PuzzleRating.h"
#include "StageDataReader.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The newest generator version; new boards are made with it.
inline constexpr char kEndlessVersion = 'A';
// Seeds run from 0 to 999,999: six digits, easy to read out.
inline constexpr std::uint32_t kEndlessSeedCount = 1'000'000;

struct EndlessId {
    int tier = 2;          // 1, 2 or 3
    char version = kEndlessVersion;
    std::uint32_t seed = 0; // below kEndlessSeedCount

    bool operator==(const EndlessId&) const = default;
};

// "2A-048213": tier digit, version letter, dash, six digits.
std::string FormatEndlessId(const EndlessId& id);
// Reads an ID as a player types it: case and surrounding spaces do not matter, the dash may
// be left out or be a space. False, with a one-line reason in `why`, for anything else, an
// unknown tier or a version this build does not know; `id` is untouched then.
bool ParseEndlessId(std::string_view text, EndlessId& id, std::string& why);

// The day's board, tier 2, the same everywhere on that calendar date. Days map one to one
// onto seeds (no two dates within 2,700 years share a board). False for a date that does
// not exist or lies before 2000-01-01.
bool DailyEndlessId(int year, int month, int day, EndlessId& id);
// "YYYY-MM-DD" -> the day's ID; false for any other form or a date that does not exist.
bool DailyEndlessIdFromText(std::string_view date, EndlessId& id);

// What a board of a tier must be; every rule holds for every board made.
struct EndlessTierRules {
    std::uint32_t minTurns = 0;
    std::uint32_t maxTurns = 0;
    std::uint32_t minTrapped = 0;      // positions on the way offering a dead move
    std::uint64_t maxSolutions = 0;    // distinct shortest solutions
    std::uint32_t maxPushes = 0;       // fewest pushes a shortest solution needs
};
EndlessTierRules TierRules(int tier);
// True when a rating (with its noise search done) meets the tier's rules: rated, within
// turns, traps and solutions, and no noise object.
bool MeetsTierRules(int tier, const PuzzleRating& rating);

struct EndlessBoard {
    EndlessId id;
    StageDataReader stage;
    PuzzleRating rating;        // with the noise search done
    std::uint64_t candidate = 0; // which candidate of the seed it was
};

enum class EndlessOutcome {
    Made,      // `board` holds the ID's board
    Cancelled, // the cancel flag was set first
    NotFound,  // no candidate within the version's limit met the rules (never seen in tests)
};

struct EndlessMakeOptions {
    unsigned threads = 0;                   // 0: as many as the machine has, at most 4
    const std::atomic<bool>* cancel = nullptr; // read between candidates and inside searches
    // Called now and then from the calling thread with the candidates judged so far.
    std::function<void(std::uint64_t judged)> progress;
    // Run by each helper thread as it starts (the game lowers its priority there).
    std::function<void()> onThreadStart;
};

// Makes the board an ID names. The result depends on the ID alone.
EndlessOutcome MakeEndlessBoard(const EndlessId& id, EndlessBoard& board, const EndlessMakeOptions& options = {});

// One candidate of a seed as the version draws it, and whether it passes: objects that do
// nothing (noise) are taken off `stage` first, then the rest is rated into `rating`.
// Exposed so that tests can check the "first passing candidate" rule.
StageDataReader DrawEndlessCandidate(const EndlessId& id, std::uint64_t candidate);
bool JudgeEndlessCandidate(const EndlessId& id, StageDataReader& stage, PuzzleRating& rating,
                           const std::atomic<bool>* cancel = nullptr);
