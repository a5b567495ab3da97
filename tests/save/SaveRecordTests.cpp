// Best records and settings: rows made on first lookup (one by one or in a batch), kept per
// table and column, names stored byte for byte, stored values read as their leading number,
// one shared manager.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SaveDataManager.h"
#include "SaveTestFolder.h"
#include "SaveValueText.h"
#include "SaveWriteLock.h"

namespace {

using Records = SaveFileTest;
using Lines = std::vector<std::string>;

// "表示練習問題１.pzd" in Shift-JIS: 表 is 0x95 0x5C, whose second byte is ASCII's backslash.
const std::string kShiftJisName = "\x95\x5C\x8E\xA6\x97\xFB\x8F\x4B\x96\xE2\x91\xE8\x82\x50.pzd";

TEST_F(Records, FirstLookupAddsOneRowAndKindsKeepSeparateTables)
{
    SaveDataManager save;
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "a.pzd"), 0);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "a.pzd"), 0);
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"a.pzd:0"});

    save->SetBestRecord(StageKind::Normal, "a.pzd", 17);
    save->SetBestRecord(StageKind::Normal, "unseen.pzd", 5); // no row: nothing written
    save->SetBestRecord(StageKind::Extra, "a.pzd", 5);
    EXPECT_EQ(save->GetBestRecord(2, "a.pzd"), 17); // any kind but 1 is normal
    EXPECT_EQ(save->GetBestRecord(StageKind::Extra, "a.pzd"), 0);
    save->SetBestRecord(StageKind::Extra, "a.pzd", 9);
    EXPECT_EQ(save->GetBestRecord(StageKind::Extra, "a.pzd"), 9);
    EXPECT_EQ(save->GetBestRecord(-1, "a.pzd"), 17);
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"a.pzd:17"});
    EXPECT_EQ(Rows("result_stage_extra"), Lines{"a.pzd:9"});
}

TEST_F(Records, NamesAreStoredAndFoundByteForByte)
{
    // A quote that would end an SQL literal with a statement after it, a lead byte followed
    // by a quote, and names that differ only in case.
    const std::string hostile = "it's'); DROP TABLE result_stage_normal; --.pzd";
    const std::string leadQuote = std::string("\x83\x27") + "x.pzd";
    const std::vector<std::string> names = {kShiftJisName, hostile, leadQuote, "A.pzd", "a.pzd"};
    SaveDataManager save;
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(save->GetBestRecord(StageKind::Normal, names[i]), 0);
        save->SetBestRecord(StageKind::Normal, names[i], static_cast<std::int32_t>(i) + 3);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(save->GetBestRecord(StageKind::Normal, names[i]), static_cast<std::int32_t>(i) + 3);
    }
    EXPECT_EQ(Rows("result_stage_normal"),
              (Lines{kShiftJisName + ":3", hostile + ":4", leadQuote + ":5", "A.pzd:6", "a.pzd:7"}));

    // Files from before names were bound hold them as SQL text literals; they are found.
    Exec("INSERT INTO result_stage_extra VALUES ('" + kShiftJisName + "', 21)");
    EXPECT_EQ(save->GetBestRecord(StageKind::Extra, kShiftJisName), 21);
    EXPECT_EQ(Rows("result_stage_extra").size(), 1u);
}

TEST_F(Records, BatchLookupGivesTheSingleLookupsValuesAndRows)
{
    // The same names and stored rows looked up one by one in one folder and all at once in
    // another must leave the same values and the same rows, in the same order.
    const std::string hostile = "it's'); DROP TABLE result_stage_extra; --.pzd";
    const std::vector<std::string> names = {"new.pzd",  kShiftJisName, hostile, "kept.pzd", "new.pzd",
                                            "text.pzd", "A.pzd",       "",      "a.pzd"};
    const std::string setup = "INSERT INTO result_stage_extra VALUES ('kept.pzd', 14), ('text.pzd', '9x'),"
                              " ('a.pzd', 3), ('a.pzd', 5)";
    auto prepare = [&] {
        SaveDataManager save;
        save->GetVolumeSe(); // makes the tables
        Exec(setup);
    };

    prepare();
    std::vector<std::int32_t> single;
    std::vector<std::int32_t> lastRows;
    {
        SaveDataManager save;
        for (const std::string& name : names) {
            single.push_back(save->GetBestRecord(StageKind::Extra, name));
        }
        lastRows = save->results;
    }
    const Lines singleRows = Rows("result_stage_extra");
    EXPECT_EQ(single, (std::vector<std::int32_t>{0, 0, 0, 14, 0, 9, 0, 0, 3}));
    EXPECT_EQ(singleRows.size(), 9u); // four stored, five new ("new.pzd" once)

    std::filesystem::remove("tomarugi.save");
    prepare();
    SaveDataManager save;
    EXPECT_EQ(save->GetBestRecords(StageKind::Extra, names), single);
    EXPECT_EQ(save->results, lastRows);
    EXPECT_EQ(Rows("result_stage_extra"), singleRows);
    EXPECT_TRUE(Rows("result_stage_normal").empty());
    EXPECT_EQ(Stored("volume_se"), "7");

    // A second batch finds every row and adds none; an empty batch touches nothing.
    save->SetBestRecord(StageKind::Extra, "new.pzd", 6);
    std::vector<std::int32_t> again = single;
    again[0] = again[4] = 6;
    EXPECT_EQ(save->GetBestRecords(StageKind::Extra, names), again);
    EXPECT_EQ(Rows("result_stage_extra").size(), 9u);
    EXPECT_TRUE(save->GetBestRecords(StageKind::Extra, {}).empty());

    // The normal table is kind 0 (and anything but 1), as for the single lookup.
    EXPECT_EQ(save->GetBestRecords(7, {"kept.pzd"}), std::vector<std::int32_t>{0});
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"kept.pzd:0"});
    EXPECT_EQ(Rows("result_stage_extra").size(), 9u);
}

TEST_F(Records, StoredValuesReadAsTheirLeadingNumberAndTwiceStoredNamesAsTheFirst)
{
    SaveDataManager save;
    save->GetVolumeSe(); // makes the tables
    Exec("INSERT INTO result_stage_normal VALUES ('letters', '12abc'), ('none', 'abc'), ('null', NULL),"
         " ('blanks', ' \t-7 8'), ('real', 3.75), ('huge', 99999999999), ('twice', 8), ('twice', 2);"
         "UPDATE system_config SET camera_zdist = '120cm', volume_bgm = NULL, daemon_stage_view = 5");
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "letters"), 12);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "none"), 0);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "null"), 0);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "blanks"), -7);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "real"), 3);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "huge"), 2147483647);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "twice"), 8);
    EXPECT_EQ(save->results, (std::vector<std::int32_t>{8, 2}));
    EXPECT_EQ(Rows("result_stage_normal").size(), 8u); // values read as 0 are rows all the same

    EXPECT_EQ(save->GetCameraZDist(), 120);
    EXPECT_EQ(save->GetVolumeBgm(), 0);
    EXPECT_EQ(Stored("volume_bgm"), "NULL"); // a NULL is a value: not replaced by a default
    EXPECT_TRUE(save->GetDaemonStageView());
    save->SetDaemonStageView(true);
    EXPECT_EQ(Stored("daemon_stage_view"), "1");
}

TEST_F(Records, EachSettingKeepsItsOwnColumn)
{
    SaveDataManager save;
    save->SetCameraMode(1);
    save->SetCameraZDist(250);
    save->SetCameraHeight(-40);
    save->SetDaemonStageView(true);
    save->SetVolumeBgm(3);
    save->SetVolumeSe(10);
    EXPECT_EQ(save->GetCameraMode(), 1);
    EXPECT_EQ(save->GetCameraZDist(), 250);
    EXPECT_EQ(save->GetCameraHeight(), -40);
    EXPECT_TRUE(save->GetDaemonStageView());
    EXPECT_EQ(save->GetVolumeBgm(), 3);
    EXPECT_EQ(save->GetVolumeSe(), 10);
    save->SetDaemonStageView(false);
    EXPECT_FALSE(save->GetDaemonStageView());
    EXPECT_EQ(Query("SELECT count(*) FROM system_config"), Lines{"1"});
}

TEST(SaveValueText, ReadsTheLeadingDecimalNumber)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"  \t\n\v\f\r42", 42}, {"+", 0},   {"- 5", 0},          {"+-5", 0},
        {"0x1F", 0},            {"007", 7}, {"-2147483648", -2147483647 - 1},
        {"2147483648", 2147483647},         {"-99999999999999999999", -2147483647 - 1},
        {"\xEF\xBC\x91", 0}, // a full-width digit is no digit
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ParseSaveValue(text), value) << '"' << text << '"';
    }
    EXPECT_EQ(ParseSaveValue(nullptr), 0);
}

TEST_F(Records, HandlesShareOneManagerAndTheNextFirstHandleMakesAFreshOne)
{
    std::weak_ptr<RealSaveDataManager> first;
    {
        SaveDataManager outer;
        first = SaveDataManager::Real();
        SaveDataManager inner;
        EXPECT_EQ(SaveDataManager::UseCount(), 2);
        EXPECT_EQ(inner.operator->(), outer.operator->());
        inner->GetBestRecord(StageKind::Normal, "kept.pzd");
        inner->SetBestRecord(StageKind::Normal, "kept.pzd", 11);
    }
    EXPECT_EQ(SaveDataManager::UseCount(), 0);
    EXPECT_FALSE(first.expired()); // outlives its last handle

    SaveDataManager again;
    EXPECT_TRUE(first.expired());
    EXPECT_EQ(again->GetBestRecord(StageKind::Normal, "kept.pzd"), 11);
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"kept.pzd:11"});
}

} // namespace

// The record only ever improves, decided by the UPDATE itself: a second copy of the game on the
// same file (played here through a connection of its own) that stored a better record since
// this one read the stage keeps it.
TEST_F(Records, ARecordIsStoredOnlyWhenItBeatsTheOneInTheFileNow)
{
    SaveDataManager save;
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "a.pzd"), 0);
    EXPECT_EQ(save->SetBestRecord(StageKind::Normal, "a.pzd", 8), RecordStore::Stored);
    EXPECT_EQ(save->SetBestRecord(StageKind::Normal, "a.pzd", 8), RecordStore::Kept) << "equal is not better";
    EXPECT_EQ(save->SetBestRecord(StageKind::Normal, "a.pzd", 9), RecordStore::Kept);
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"a.pzd:8"});

    Exec("UPDATE result_stage_normal SET best_record = 6 WHERE name = 'a.pzd'"); // the other copy
    EXPECT_EQ(save->SetBestRecord(StageKind::Normal, "a.pzd", 7), RecordStore::Kept);
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"a.pzd:6"});
    EXPECT_EQ(save->SetBestRecord(StageKind::Normal, "a.pzd", 5), RecordStore::Stored);
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"a.pzd:5"});
    EXPECT_EQ(save->SetBestRecord(StageKind::Normal, "unseen.pzd", 5), RecordStore::Kept) << "no row";
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"a.pzd:5"});

    // Hand-edited values compare as the game reads them: their leading number, NULL and
    // letters as "no record".
    Exec("INSERT INTO result_stage_extra VALUES ('text', '12 turns'), ('letters', 'abc'), ('null', NULL),"
         " ('negative', -3)");
    EXPECT_EQ(save->SetBestRecord(StageKind::Extra, "text", 13), RecordStore::Kept);
    EXPECT_EQ(save->SetBestRecord(StageKind::Extra, "text", 11), RecordStore::Stored);
    for (const char* name : {"letters", "null", "negative"}) {
        EXPECT_EQ(save->SetBestRecord(StageKind::Extra, name, 40), RecordStore::Stored) << name;
    }
    EXPECT_EQ(Rows("result_stage_extra"), (Lines{"text:11", "letters:40", "null:40", "negative:40"}));
}

// A record the file cannot take (here: another copy holds the file's write lock past the busy
// wait) is not lost: it waits in memory, the better one per stage, and the next write that
// the file takes, whatever it writes, stores it, through a manager made after the first one
// went. One the file already beats by then is dropped, not forced over the better one.
TEST_F(Records, ARecordTheFileCannotTakeIsWrittenByTheNextWriteThatSucceeds)
{
    {
        SaveDataManager save;
        save->GetBestRecords(StageKind::Normal, {"a.pzd", "b.pzd"});
        save->SetBestRecord(StageKind::Normal, "a.pzd", 9);
        save->GetBestRecord(StageKind::Extra, "a.pzd");

        SaveWriteLock otherCopy;
        ASSERT_TRUE(otherCopy.IsHeld());
        EXPECT_EQ(save->SetBestRecord(StageKind::Normal, "a.pzd", 5), RecordStore::Failed);
        EXPECT_EQ(save->SetBestRecord(StageKind::Normal, "a.pzd", 7), RecordStore::Failed);
        EXPECT_EQ(save->SetBestRecord(StageKind::Extra, "a.pzd", 6), RecordStore::Failed);
        EXPECT_EQ(save->SetBestRecord(StageKind::Normal, "b.pzd", 4), RecordStore::Failed);
        save->SetVolumeSe(3); // fails too: nothing is offered to a file that takes nothing
        EXPECT_EQ(PendingRecordCount(), 3u);
        ASSERT_TRUE(otherCopy.Write("UPDATE result_stage_normal SET best_record = 2 WHERE name = 'b.pzd'"));
        otherCopy.Release();
        EXPECT_EQ(Rows("result_stage_normal"), (Lines{"a.pzd:9", "b.pzd:2"}));
        EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "a.pzd"), 9) << "a lookup reads the file";
    }
    SaveDataManager later;
    later->SetVolumeBgm(4);
    EXPECT_EQ(Rows("result_stage_normal"), (Lines{"a.pzd:5", "b.pzd:2"}));
    EXPECT_EQ(Rows("result_stage_extra"), Lines{"a.pzd:6"});
    EXPECT_EQ(Stored("volume_bgm"), "4");
    EXPECT_EQ(PendingRecordCount(), 0u);
}

// The other writes that offer waiting records: the stage list's batch lookup (whose answer
// shows them) and, at the program's end, StorePendingRecords; a record write offers them too.
TEST_F(Records, TheStageListAndTheProgramsEndStoreWaitingRecords)
{
    SaveDataManager save;
    save->GetBestRecords(StageKind::Extra, {"a.pzd", "b.pzd", "c.pzd"});
    {
        SaveWriteLock otherCopy;
        EXPECT_EQ(save->SetBestRecord(StageKind::Extra, "b.pzd", 8), RecordStore::Failed);
        EXPECT_FALSE(StorePendingRecords());
    }
    EXPECT_EQ(save->GetBestRecords(StageKind::Extra, {"a.pzd", "b.pzd", "c.pzd"}),
              (std::vector<std::int32_t>{0, 8, 0}));
    EXPECT_EQ(Rows("result_stage_extra"), (Lines{"a.pzd:0", "b.pzd:8", "c.pzd:0"}));

    {
        SaveWriteLock otherCopy;
        EXPECT_EQ(save->SetBestRecord(StageKind::Extra, "c.pzd", 3), RecordStore::Failed);
    }
    EXPECT_TRUE(StorePendingRecords());
    EXPECT_EQ(Rows("result_stage_extra"), (Lines{"a.pzd:0", "b.pzd:8", "c.pzd:3"}));

    {
        SaveWriteLock otherCopy;
        EXPECT_EQ(save->SetBestRecord(StageKind::Extra, "a.pzd", 12), RecordStore::Failed);
    }
    EXPECT_EQ(save->SetBestRecord(StageKind::Extra, "b.pzd", 9), RecordStore::Kept);
    EXPECT_EQ(Rows("result_stage_extra"), (Lines{"a.pzd:12", "b.pzd:8", "c.pzd:3"}));
}
