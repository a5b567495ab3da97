// Best records: rows made on first lookup, kept per table, names stored byte for byte.
#include <string>

#include <gtest/gtest.h>

#include "SaveDataManager.h"
#include "SaveTestFolder.h"

namespace {

using Records = SaveFileTest;

// "表示練習問題１.pzd" in Shift-JIS: 表 is 0x95 0x5C, whose second byte is ASCII's backslash.
const std::string kShiftJisName = "\x95\x5C\x8E\xA6\x97\xFB\x8F\x4B\x96\xE2\x91\xE8\x82\x50.pzd";

TEST_F(Records, FirstLookupAddsOneRowWithNoRecord)
{
    SaveDataManager save;
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "a.pzd"), 0);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "a.pzd"), 0);
    EXPECT_EQ(ResultRows("result_stage_normal"), (decltype(ResultRows("")){{"a.pzd", 0}}));
    EXPECT_EQ(RowCount("result_stage_extra"), 0);
}

TEST_F(Records, KindsSelectTheirTableAndAnyOtherKindIsNormal)
{
    SaveDataManager save;
    save->GetBestRecord(StageKind::Normal, "a.pzd");
    save->SetBestRecord(StageKind::Normal, "a.pzd", 17);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "a.pzd"), 17);
    EXPECT_EQ(save->GetBestRecord(2, "a.pzd"), 17);
    EXPECT_EQ(save->GetBestRecord(-1, "a.pzd"), 17);

    EXPECT_EQ(save->GetBestRecord(StageKind::Extra, "a.pzd"), 0);
    EXPECT_EQ(ResultRows("result_stage_extra"), (decltype(ResultRows("")){{"a.pzd", 0}}));
    save->SetBestRecord(StageKind::Extra, "a.pzd", 9);
    save->SetBestRecord(2, "a.pzd", 12);
    EXPECT_EQ(save->GetBestRecord(StageKind::Extra, "a.pzd"), 9);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "a.pzd"), 12);
    EXPECT_EQ(RowCount("result_stage_normal"), 1);
}

TEST_F(Records, SetWithoutRowWritesNothing)
{
    SaveDataManager save;
    save->GetBestRecord(StageKind::Normal, "other.pzd");
    save->SetBestRecord(StageKind::Normal, "never-seen.pzd", 5);
    save->SetBestRecord(StageKind::Extra, "other.pzd", 5);
    EXPECT_EQ(ResultRows("result_stage_normal"), (decltype(ResultRows("")){{"other.pzd", 0}}));
    EXPECT_EQ(RowCount("result_stage_extra"), 0);
}

TEST_F(Records, NamesAreStoredAndFoundByteForByte)
{
    // A quote that would end an SQL literal, a statement after it, Shift-JIS second bytes
    // that are "\" and "'" in ASCII, and a name that only differs in case.
    const std::string hostile = "it's'); DROP TABLE result_stage_normal; --.pzd";
    const std::string trailByte = std::string("\x83\x27") + "x.pzd"; // a lead byte, then a quote
    SaveDataManager save;
    for (const std::string& name : {kShiftJisName, hostile, trailByte, std::string("A.pzd"), std::string("a.pzd")}) {
        EXPECT_EQ(save->GetBestRecord(StageKind::Normal, name), 0);
    }
    save->SetBestRecord(StageKind::Normal, kShiftJisName, 3);
    save->SetBestRecord(StageKind::Normal, hostile, 4);
    save->SetBestRecord(StageKind::Normal, trailByte, 5);
    save->SetBestRecord(StageKind::Normal, "A.pzd", 6);

    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, kShiftJisName), 3);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, hostile), 4);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, trailByte), 5);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "A.pzd"), 6);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "a.pzd"), 0);
    EXPECT_EQ(ResultRows("result_stage_normal"),
              (decltype(ResultRows("")){{kShiftJisName, 3}, {hostile, 4}, {trailByte, 5}, {"A.pzd", 6}, {"a.pzd", 0}}));
}

TEST_F(Records, RowsStoredByTheSqlTextOfOldFilesAreFound)
{
    // Files written before names were bound hold them as plain SQL text literals.
    SaveDataManager save;
    save->GetVolumeSe(); // makes the tables
    Exec("INSERT INTO result_stage_extra VALUES ('" + kShiftJisName + "', 21)");
    EXPECT_EQ(save->GetBestRecord(StageKind::Extra, kShiftJisName), 21);
    EXPECT_EQ(RowCount("result_stage_extra"), 1);
}

TEST_F(Records, NameStoredTwiceReadsItsFirstRow)
{
    SaveDataManager save;
    save->GetVolumeSe();
    Exec("INSERT INTO result_stage_normal VALUES ('twice.pzd', 8), ('twice.pzd', 2)");
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "twice.pzd"), 8);
    save->SetBestRecord(StageKind::Normal, "twice.pzd", 4);
    EXPECT_EQ(ResultRows("result_stage_normal"), (decltype(ResultRows("")){{"twice.pzd", 4}, {"twice.pzd", 4}}));
}

TEST_F(Records, StoredTextReadsAsItsLeadingNumber)
{
    SaveDataManager save;
    save->GetVolumeSe();
    Exec("INSERT INTO result_stage_normal VALUES ('letters', '12abc'), ('none', 'abc'), ('null', NULL),"
         " ('blanks', ' \t-7 8'), ('real', 3.75), ('huge', 99999999999), ('tiny', -99999999999)");
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "letters"), 12);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "none"), 0);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "null"), 0);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "blanks"), -7);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "real"), 3);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "huge"), 2147483647);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "tiny"), -2147483647 - 1);
    // A value that reads as 0 is a row all the same: no second row is added for it.
    EXPECT_EQ(RowCount("result_stage_normal"), 7);
}

} // namespace
