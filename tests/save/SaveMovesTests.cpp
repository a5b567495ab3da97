// The moves kept with each best record (table stage_best_moves): stored with the record in
// one transaction, only when the record is stored, keyed by kind and name, given back only
// while they are the moves of the record the file holds, and listed read-only for the
// stage tool's `records` command.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SaveDataManager.h"
#include "EndlessRecords.h"
#include "SaveTestFolder.h"

namespace {

using Moves = SaveFileTest;
using Lines = std::vector<std::string>;

TEST_F(Moves, StoredOnlyWithABetterRecordAndPerKind)
{
    SaveDataManager save;
    save->GetBestRecord(StageKind::Normal, "a.pzd");
    save->GetBestRecord(StageKind::Extra, "a.pzd");
    BestMoves moves;
    EXPECT_FALSE(save->GetBestMoves(StageKind::Normal, "a.pzd", moves)) << "no record, no moves";

    EXPECT_EQ(save->SetBestRecordWithMoves(StageKind::Normal, "a.pzd", 8, "8:h", "R R R R L L L L"),
              RecordStore::Stored);
    EXPECT_EQ(save->SetBestRecordWithMoves(StageKind::Normal, "a.pzd", 8, "8:h", "U U U U D D D D"),
              RecordStore::Kept);
    EXPECT_EQ(save->SetBestRecordWithMoves(StageKind::Normal, "a.pzd", 9, "8:h", "U U U U D D D D U"),
              RecordStore::Kept);
    ASSERT_TRUE(save->GetBestMoves(StageKind::Normal, "a.pzd", moves));
    EXPECT_EQ(moves.moves, "R R R R L L L L") << "a worse or equal clear never replaces the moves";
    EXPECT_EQ(moves.turns, 8);
    EXPECT_EQ(moves.fileHash, "8:h");
    EXPECT_FALSE(save->GetBestMoves(StageKind::Extra, "a.pzd", moves)) << "the extra stage of that name has none";

    EXPECT_EQ(save->SetBestRecordWithMoves(StageKind::Normal, "a.pzd", 6, "9:g", "R TR L D R TR"),
              RecordStore::Stored);
    EXPECT_EQ(Query("SELECT kind || ':' || name || ':' || file_hash || ':' || turns || ':' || moves "
                    "FROM stage_best_moves"),
              Lines{"0:a.pzd:9:g:6:R TR L D R TR"})
        << "one row per stage: the old moves go with the old record";
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"a.pzd:6"});

    // Another copy of the game stored 5 meanwhile: our 6 and its moves are both kept out.
    Exec("UPDATE result_stage_normal SET best_record = 5 WHERE name = 'a.pzd'");
    EXPECT_EQ(save->SetBestRecordWithMoves(StageKind::Normal, "a.pzd", 6, "9:g", "L L L L L L"), RecordStore::Kept);
    EXPECT_FALSE(save->GetBestMoves(StageKind::Normal, "a.pzd", moves))
        << "moves of 6 turns are not the moves of a record of 5";
    EXPECT_EQ(save->HaveBestMoves(StageKind::Normal, {"a.pzd", "b.pzd"}), (std::vector<bool>{false, false}));
    EXPECT_EQ(save->SetBestRecordWithMoves(StageKind::Normal, "a.pzd", 4, "9:g", "L L L L"), RecordStore::Stored);
    EXPECT_EQ(save->HaveBestMoves(StageKind::Normal, {"b.pzd", "a.pzd"}), (std::vector<bool>{false, true}));
}

TEST_F(Moves, AnOlderFileGainsTheTableAndKeepsItsRecords)
{
    SaveDataManager save;
    save->GetBestRecord(StageKind::Extra, "old.pzd");
    ASSERT_EQ(save->SetBestRecord(StageKind::Extra, "old.pzd", 12), RecordStore::Stored);
    Exec("DROP TABLE stage_best_moves");
    BestMoves moves;
    EXPECT_FALSE(save->GetBestMoves(StageKind::Extra, "old.pzd", moves)) << "a record from before has no replay";
    EXPECT_EQ(Query("SELECT count(*) FROM stage_best_moves"), Lines{"0"}) << "made on first use";
    Exec("DROP TABLE stage_best_moves");
    EXPECT_EQ(save->SetBestRecordWithMoves(StageKind::Extra, "old.pzd", 11, "1:x", "U D L R PU PD PL PR TU TD TL"),
              RecordStore::Stored);
    ASSERT_TRUE(save->GetBestMoves(StageKind::Extra, "old.pzd", moves));
    EXPECT_EQ(moves.moves, "U D L R PU PD PL PR TU TD TL");
    EXPECT_EQ(Rows("result_stage_extra"), Lines{"old.pzd:11"});
}

TEST_F(Moves, AFailedWriteStoresNeitherRecordNorMoves)
{
    SaveDataManager save;
    save->GetBestRecord(StageKind::Normal, "a.pzd");
    ASSERT_EQ(save->SetBestRecordWithMoves(StageKind::Normal, "a.pzd", 9, "h", "U U U U U U U U U"),
              RecordStore::Stored);
    // A trigger that refuses the moves row stands for a write that fails half-way (a full
    // disk): the record written before it in the same transaction must go back too.
    Exec("CREATE TRIGGER refuse BEFORE INSERT ON stage_best_moves BEGIN SELECT RAISE(ABORT, 'full'); END");
    testing::internal::CaptureStderr();
    EXPECT_EQ(save->SetBestRecordWithMoves(StageKind::Normal, "a.pzd", 7, "h", "D D D D D D D"),
              RecordStore::Failed);
    testing::internal::GetCapturedStderr(); // the once-per-run notice, kept off the output
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"a.pzd:9"});
    BestMoves moves;
    ASSERT_TRUE(save->GetBestMoves(StageKind::Normal, "a.pzd", moves));
    EXPECT_EQ(moves.moves, "U U U U U U U U U");

    // The refused record waits in memory with its moves; the next write the file takes brings
    // the two in together.
    Exec("DROP TRIGGER refuse");
    save->SetVolumeSe(2);
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"a.pzd:7"});
    ASSERT_TRUE(save->GetBestMoves(StageKind::Normal, "a.pzd", moves));
    EXPECT_EQ(moves.turns, 7);
    EXPECT_EQ(moves.moves, "D D D D D D D");
}

TEST_F(Moves, TheListIsReadOnlyAndGivesEveryRecordWithItsMoves)
{
    {
        SaveDataManager save;
        save->GetBestRecords(StageKind::Normal, {"n1.pzd", "n2.pzd", "unplayed.pzd"});
        save->GetBestRecord(StageKind::Extra, "e1.pzd");
        save->SetBestRecordWithMoves(StageKind::Normal, "n1.pzd", 3, "h1", "R TR L");
        save->SetBestRecord(StageKind::Normal, "n2.pzd", 20);
        save->SetBestRecordWithMoves(StageKind::Extra, "e1.pzd", 2, "h2", "D TD");
    }
    Exec("UPDATE result_stage_normal SET best_record = 2 WHERE name = 'n1.pzd'"); // hand-lowered
    const auto before = std::filesystem::last_write_time(folder / "tomarugi.save");
    const auto sizeBefore = std::filesystem::file_size(folder / "tomarugi.save");

    std::vector<SavedRecord> records;
    std::string error;
    ASSERT_TRUE(ReadSavedRecords((folder / "tomarugi.save").string(), records, error)) << error;
    ASSERT_EQ(records.size(), 3u) << "the stage without a record is not listed";
    EXPECT_EQ(records[0].name, "n1.pzd");
    EXPECT_EQ(records[0].record, 2);
    EXPECT_TRUE(records[0].hasMoves);
    EXPECT_EQ(records[0].moves.turns, 3) << "the list shows the disagreement for --verify to find";
    EXPECT_EQ(records[1].name, "n2.pzd");
    EXPECT_FALSE(records[1].hasMoves);
    EXPECT_EQ(records[2].kind, 1);
    EXPECT_EQ(records[2].moves.moves, "D TD");
    EXPECT_EQ(std::filesystem::last_write_time(folder / "tomarugi.save"), before);
    EXPECT_EQ(std::filesystem::file_size(folder / "tomarugi.save"), sizeBefore);

    Exec("DROP TABLE stage_best_moves");
    ASSERT_TRUE(ReadSavedRecords((folder / "tomarugi.save").string(), records, error)) << error;
    EXPECT_EQ(records.size(), 3u);
    EXPECT_FALSE(records[0].hasMoves) << "an older file lists its records without moves";
    EXPECT_EQ(Query("SELECT count(*) FROM sqlite_master WHERE name = 'stage_best_moves'"), Lines{"0"})
        << "listing never repairs the file";

    EXPECT_FALSE(ReadSavedRecords((folder / "missing.save").string(), records, error));
    std::filesystem::path notDatabase = folder / "text.save";
    {
        std::FILE* file = std::fopen(notDatabase.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("this is no database, only some text that is long enough to be looked at\n", file);
        std::fclose(file);
    }
    EXPECT_FALSE(ReadSavedRecords(notDatabase.string(), records, error));
    EXPECT_FALSE(error.empty());
}

} // namespace

namespace {

using EndlessMoves = SaveFileTest;

// An endless board's record goes to its own table (keyed by the board's ID) with its moves,
// by the same rules; the normal table's row of the same name is not touched, and the
// read-only listing finds the board with its moves.
TEST_F(EndlessMoves, AnEndlessRecordKeepsItsMovesInItsOwnTable)
{
    ASSERT_TRUE(NoteEndlessPlayed("2A-000007", 12, 1000));
    SaveDataManager save;
    save->GetBestRecord(StageKind::Normal, "2A-000007"); // a normal stage of the same name
    EXPECT_EQ(save->SetBestRecordWithMoves(StageKind::Endless, "2A-000007", 13, "h13", "U D"), RecordStore::Stored);
    EXPECT_EQ(save->SetBestRecordWithMoves(StageKind::Endless, "2A-000007", 14, "h14", "L R"), RecordStore::Kept);
    EXPECT_EQ(GetEndlessBestRecord("2A-000007"), 13);
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"2A-000007:0"});
    BestMoves moves;
    ASSERT_TRUE(save->GetBestMoves(StageKind::Endless, "2A-000007", moves));
    EXPECT_EQ(moves.moves, "U D");
    EXPECT_FALSE(save->GetBestMoves(StageKind::Normal, "2A-000007", moves));

    std::vector<SavedRecord> records;
    std::string error;
    ASSERT_TRUE(ReadSavedRecords("tomarugi.save", records, error)) << error;
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].kind, 2);
    EXPECT_EQ(records[0].name, "2A-000007");
    EXPECT_EQ(records[0].record, 13);
    EXPECT_TRUE(records[0].hasMoves);
    EXPECT_EQ(records[0].moves.fileHash, "h13");
}

} // namespace
