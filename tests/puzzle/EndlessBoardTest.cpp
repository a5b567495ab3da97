// Endless boards: IDs as players type them, the daily ID, boards pinned to their IDs, and
// every tier's grading checked on many seeds by playing through the rules and asking the
// solver about each position reached, never by reading the generator's own figures.
#include "EndlessBoard.h"
#include "PuzzleReplay.h"
#include "PuzzleSolver.h"
#include "StageText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

TEST(EndlessIdTest, FormatsAndParsesBackEveryForm)
{
    std::mt19937_64 random(7); // raw output only: the same numbers on every library
    for (int i = 0; i < 500; ++i) {
        const EndlessId id{static_cast<int>(random() % 3) + 1, 'A', static_cast<std::uint32_t>(random() % 1'000'000)};
        const std::string text = FormatEndlessId(id);
        ASSERT_EQ(text.size(), 9u) << text;
        std::string lower = text;
        lower[1] = 'a';
        const std::string noDash = text.substr(0, 2) + text.substr(3);
        const std::string spaced = "  " + text.substr(0, 2) + " " + text.substr(3) + " \n";
        for (const std::string& typed : {text, lower, noDash, spaced}) {
            EndlessId back{9, 'Z', 1};
            std::string why;
            ASSERT_TRUE(ParseEndlessId(typed, back, why)) << "'" << typed << "': " << why;
            EXPECT_EQ(back, id) << typed;
        }
    }
    EXPECT_EQ(FormatEndlessId({3, 'A', 7}), "3A-000007");
}

TEST(EndlessIdTest, RefusesBadFormsWithOneLineAndLeavesTheIdAlone)
{
    const char* const bad[] = {"", " ", "2A", "2A-", "2A-04821", "2A-0482133", "2A-04821x", "2A--048213",
                               "2A_048213", "A2-048213", "0A-000001", "4A-000001", "9A-000001", "2B-000001",
                               "2Z-000001", "2-048213", "22-048213", "2A-+48213", "2A-04 8213", "\xEF\xBC\x92" "A-000001"};
    for (const char* text : bad) {
        EndlessId id{1, 'A', 123};
        std::string why;
        EXPECT_FALSE(ParseEndlessId(text, id, why)) << "'" << text << "'";
        EXPECT_EQ(id, (EndlessId{1, 'A', 123})) << text;
        EXPECT_FALSE(why.empty()) << text;
        EXPECT_EQ(why.find('\n'), std::string::npos) << text;
    }
}

TEST(EndlessDailyTest, DatesMapOneToOneOntoTierTwoIds)
{
    // Worked by hand: day 0 is 2000-01-01, seed = (day * 7919 + 271828) mod 10^6.
    EndlessId id;
    ASSERT_TRUE(DailyEndlessIdFromText("2000-01-01", id));
    EXPECT_EQ(FormatEndlessId(id), "2A-271828");
    ASSERT_TRUE(DailyEndlessIdFromText("2000-03-01", id)); // 31 + 29 days in: 2000 is a leap year
    EXPECT_EQ(FormatEndlessId(id), "2A-746968");
    ASSERT_TRUE(DailyEndlessIdFromText("2001-01-01", id)); // day 366: 2898354 + 271828 = 3170182
    EXPECT_EQ(FormatEndlessId(id), "2A-170182");
    for (const char* date : {"2027-02-29", "2100-02-29", "1999-12-31", "2026-13-01", "2026-00-10", "2026-04-31",
                             "2026-1-01", "2026/01/01", "20260101", "2026-01-01x"}) {
        EXPECT_FALSE(DailyEndlessIdFromText(date, id)) << date;
    }
    EXPECT_TRUE(DailyEndlessIdFromText("2400-02-29", id));
    std::set<std::uint32_t> seeds;
    for (int year = 2020; year < 2040; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= 31; ++day) {
                if (DailyEndlessId(year, month, day, id)) {
                    EXPECT_EQ(id.tier, 2);
                    EXPECT_TRUE(seeds.insert(id.seed).second) << year << "-" << month << "-" << day;
                }
            }
        }
    }
    EXPECT_EQ(seeds.size(), 7305u); // twenty years, five of them leap years
}

std::string BoardRows(const EndlessId& id)
{
    EndlessBoard board;
    EndlessMakeOptions options;
    options.threads = 1;
    EXPECT_EQ(MakeEndlessBoard(id, board, options), EndlessOutcome::Made) << FormatEndlessId(id);
    bool representable = true;
    const std::string text = FormatStageText(board.stage, "", representable);
    return text.substr(text.find('\n') + 1); // without the title line
}

// A released version never changes its boards: these were made when version A shipped.
TEST(EndlessPinnedTest, IdsMakeTheirReleasedBoards)
{
    struct Pinned {
        const char* id;
        const char* rows;
    };
    const Pinned pinned[] = {
#include "EndlessPinnedBoards.inc"
    };
    ASSERT_GE(std::size(pinned), 10u);
    for (const Pinned& pin : pinned) {
        EndlessId id;
        std::string why;
        ASSERT_TRUE(ParseEndlessId(pin.id, id, why)) << pin.id;
        EXPECT_EQ(BoardRows(id), pin.rows) << pin.id;
    }
    EndlessId daily;
    ASSERT_TRUE(DailyEndlessIdFromText("2026-12-09", daily));
    EXPECT_EQ(FormatEndlessId(daily), pinned[0].id) << "the first pin is the daily board of 2026-12-09";
}

TEST(EndlessThreadsTest, SameBoardWithOneThreadAndTwo)
{
    for (int tier = 1; tier <= 3; ++tier) {
        for (std::uint32_t seed : {5u, 77'777u, 999'999u}) {
            const EndlessId id{tier, 'A', seed};
            EndlessBoard one;
            EndlessBoard two;
            EndlessMakeOptions options;
            options.threads = 1;
            ASSERT_EQ(MakeEndlessBoard(id, one, options), EndlessOutcome::Made);
            options.threads = 2;
            ASSERT_EQ(MakeEndlessBoard(id, two, options), EndlessOutcome::Made);
            EXPECT_EQ(one.candidate, two.candidate) << FormatEndlessId(id);
            EXPECT_EQ(one.stage.ToBytes(), two.stage.ToBytes()) << FormatEndlessId(id);
        }
    }
}

TEST(EndlessCancelTest, ACancelledMakingReturnsAtOnceWithNothing)
{
    std::atomic<bool> cancel{true};
    EndlessMakeOptions options;
    options.cancel = &cancel;
    EndlessBoard board;
    EXPECT_EQ(MakeEndlessBoard({3, 'A', 12}, board, options), EndlessOutcome::Cancelled);
    EXPECT_TRUE(board.stage.cells.empty());
}

// What a position offers: for each move that the rules accept, the turns still needed
// after it (-1: it can no longer be cleared).
struct Offer {
    SolverMove move;
    PuzzleRules after;
    int turnsLeft = -1;
};

std::vector<Offer> Offers(const PuzzleRules& at)
{
    std::vector<Offer> offers;
    for (const SolverAction action : {SolverAction::Slide, SolverAction::Push, SolverAction::Defrost}) {
        for (const Direction direction : {Direction{0, -1}, Direction{0, 1}, Direction{-1, 0}, Direction{1, 0}}) {
            Offer offer{{action, direction}, at, -1};
            if (!PlayMoves(offer.after, {offer.move}).ok) {
                continue; // nothing happens: not a move
            }
            if (offer.after.board.frogs.empty()) {
                offer.turnsLeft = 0;
            } else {
                const SolveResult solved = SolvePuzzle(offer.after.board);
                offer.turnsLeft = solved.outcome == SolveOutcome::Solved ? static_cast<int>(solved.moves.size()) : -1;
            }
            offers.push_back(std::move(offer));
        }
    }
    return offers;
}

// Over the shortest move lists from `at` with `turns` left: how many there are (counted up
// to `limit` + 1) and the most positions with a trap (a move the rules accept after which
// clearing is impossible) that any of them passes.
struct ShortestWays {
    std::uint64_t count = 0;
    std::uint32_t mostTrapped = 0;
};

ShortestWays WalkShortest(const PuzzleRules& at, int turns, std::uint64_t limit)
{
    if (turns == 0) {
        return {1, 0};
    }
    const std::vector<Offer> offers = Offers(at);
    const std::uint32_t trappedHere =
        std::any_of(offers.begin(), offers.end(), [](const Offer& o) { return o.turnsLeft < 0; }) ? 1 : 0;
    ShortestWays ways;
    for (const Offer& offer : offers) {
        if (offer.turnsLeft != turns - 1) {
            continue;
        }
        const ShortestWays after = WalkShortest(offer.after, turns - 1, limit);
        ways.count += after.count;
        ways.mostTrapped = std::max(ways.mostTrapped, after.mostTrapped + trappedHere);
        if (ways.count > limit) {
            break;
        }
    }
    return ways;
}

void CheckGrading(int tier, std::uint32_t firstSeed, int seeds)
{
    const EndlessTierRules rules = TierRules(tier);
    for (int n = 0; n < seeds; ++n) {
        const EndlessId id{tier, 'A', firstSeed + static_cast<std::uint32_t>(n) * 9'973u};
        SCOPED_TRACE(FormatEndlessId(id));
        EndlessBoard board;
        ASSERT_EQ(MakeEndlessBoard(id, board), EndlessOutcome::Made);
        PuzzleRules start;
        start.board.BuildBoard(board.stage);
        const SolveResult solved = SolvePuzzle(start.board);
        ASSERT_EQ(solved.outcome, SolveOutcome::Solved);
        const int fewest = static_cast<int>(solved.moves.size());
        EXPECT_GE(fewest, static_cast<int>(rules.minTurns));
        EXPECT_LE(fewest, static_cast<int>(rules.maxTurns));
        // The solver's moves really clear the board through the rules, in that many turns.
        PuzzleRules played = start;
        const ReplayReport report = ReplayMoves(played, solved.moves);
        EXPECT_TRUE(report.ok) << report.failure;
        // No noise: without any one object the board is harder or different.
        for (const PuzzleObjectIcicle& icicle : start.board.icicles) {
            const SolveResult without = SolvePuzzle(WithoutObject(start.board, {NoiseObject::Kind::Icicle, icicle.GetCell()}));
            EXPECT_FALSE(without.outcome == SolveOutcome::Solved && static_cast<int>(without.moves.size()) == fewest)
                << "icicle at " << icicle.x << "," << icicle.y << " does nothing";
        }
        if (start.board.frogs.size() > 1) {
            for (const PuzzleObjectFrozenFrog& frog : start.board.frogs) {
                const SolveResult without = SolvePuzzle(WithoutObject(start.board, {NoiseObject::Kind::Frog, frog.GetCell()}));
                EXPECT_FALSE(without.outcome == SolveOutcome::Solved &&
                             static_cast<int>(without.moves.size()) == fewest - 1)
                    << "frog at " << frog.x << "," << frog.y << " does nothing";
            }
        }
        // Distinct shortest solutions and their traps, over the rules' own moves.
        const ShortestWays ways = WalkShortest(start, fewest, rules.maxSolutions);
        EXPECT_GE(ways.count, 1u);
        EXPECT_LE(ways.count, rules.maxSolutions);
        EXPECT_GE(ways.mostTrapped, rules.minTrapped);
        if (tier == 1) {
            std::uint32_t pushes = 0;
            for (const SolverMove& move : solved.moves) {
                pushes += move.action == SolverAction::Push ? 1 : 0;
            }
            EXPECT_LE(pushes, rules.maxPushes) << "the one shortest solution pushes too often";
        }
    }
}

TEST(EndlessGradingTest, TierOneHoldsOnAHundredSeeds) { CheckGrading(1, 11, 100); }
TEST(EndlessGradingTest, TierTwoHoldsOnAHundredSeeds) { CheckGrading(2, 22, 100); }
TEST(EndlessGradingTest, TierThreeHoldsOnAHundredSeeds) { CheckGrading(3, 33, 100); }

} // namespace
