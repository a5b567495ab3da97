// Records of endless boards: an older save file gains their table on first use, a better
// record is never replaced by a worse one (even one stored by another copy of the game in
// between), and the recent list is newest first.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EndlessRecords.h"
#include "SaveTestFolder.h"

namespace {

using EndlessRecords = SaveFileTest;
using Lines = std::vector<std::string>;

TEST_F(EndlessRecords, AnOlderFileGainsTheTableAndKeepsItsRows)
{
    Exec("CREATE TABLE result_stage_normal (name TEXT, best_record INTEGER);"
         "INSERT INTO result_stage_normal VALUES ('old.pzd', 13);");
    EXPECT_EQ(GetEndlessBestRecord("2A-000001"), 0);
    EXPECT_EQ(SetEndlessBestRecord("2A-000001", 15), RecordStore::Stored);
    EXPECT_EQ(GetEndlessBestRecord("2A-000001"), 15);
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"old.pzd:13"});
    EXPECT_EQ(Query("SELECT board_id || ':' || best_record FROM result_stage_endless"), Lines{"2A-000001:15"});
}

TEST_F(EndlessRecords, TheBestRecordOnlyEverGoesDown)
{
    // Random offers against a model kept here: the stored value is the lowest offer so far,
    // and the answer says Stored exactly when an offer beat it.
    std::mt19937 random(3);
    std::int32_t best = 0;
    for (int i = 0; i < 60; ++i) {
        const auto offer = static_cast<std::int32_t>(random() % 30) + 1;
        const RecordStore expected = best <= 0 || offer < best ? RecordStore::Stored : RecordStore::Kept;
        ASSERT_EQ(SetEndlessBestRecord("3A-314159", offer), expected) << "offer " << offer << " over " << best;
        best = expected == RecordStore::Stored ? offer : best;
        ASSERT_EQ(GetEndlessBestRecord("3A-314159"), best);
    }
    // Another copy of the game stored 9 behind our back; our 12 does not replace it.
    Exec("UPDATE result_stage_endless SET best_record = 9 WHERE board_id = '3A-314159'");
    EXPECT_EQ(SetEndlessBestRecord("3A-314159", 12), RecordStore::Kept);
    EXPECT_EQ(GetEndlessBestRecord("3A-314159"), 9);
    // Playing the board again notes when and its fewest turns, and keeps the record.
    EXPECT_TRUE(NoteEndlessPlayed("3A-314159", 23, 1000));
    EXPECT_EQ(GetEndlessBestRecord("3A-314159"), 9);
}

TEST_F(EndlessRecords, RecentBoardsAreNewestFirstAndLimited)
{
    for (int i = 0; i < 25; ++i) {
        const std::string id = "1A-0000" + std::to_string(10 + i);
        ASSERT_TRUE(NoteEndlessPlayed(id, 5 + i % 5, 1000 + (i * 7) % 25)); // times 1000..1024, shuffled
    }
    EXPECT_FALSE(IsEndlessBoardKnown("1A-999999"));
    EXPECT_TRUE(IsEndlessBoardKnown("1A-000010"));
    const std::vector<EndlessRecordRow> recent = LoadRecentEndless(20);
    ASSERT_EQ(recent.size(), 20u);
    for (std::size_t i = 1; i < recent.size(); ++i) {
        EXPECT_GT(recent[i - 1].lastPlayed, recent[i].lastPlayed);
    }
    EXPECT_EQ(recent.front().lastPlayed, 1024);
    // Time 1024 is i = 7 ((7 * 7) % 25 = 24): board 1A-000017, fewest 5 + 7 % 5 = 7.
    EXPECT_EQ(recent.front().boardId, "1A-000017");
    EXPECT_EQ(recent.front().fewestTurns, 7);
    EXPECT_EQ(recent.front().bestRecord, 0);
}

} // namespace
