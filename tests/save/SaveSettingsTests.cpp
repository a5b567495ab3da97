// Settings: each value in its own column of row 1, read through the same number parsing.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "SaveDataManager.h"
#include "SaveTestFolder.h"
#include "SaveValueText.h"

namespace {

using Settings = SaveFileTest;

TEST_F(Settings, EachSettingKeepsItsOwnColumn)
{
    SaveDataManager save;
    save->SetCameraMode(1);
    save->SetCameraZDist(250);
    save->SetCameraHeight(-40);
    save->SetDaemonStageView(true);
    save->SetVolumeBgm(3);
    save->SetVolumeSe(10);

    SaveDataManager reader;
    EXPECT_EQ(reader->GetCameraMode(), 1);
    EXPECT_EQ(reader->GetCameraZDist(), 250);
    EXPECT_EQ(reader->GetCameraHeight(), -40);
    EXPECT_TRUE(reader->GetDaemonStageView());
    EXPECT_EQ(reader->GetVolumeBgm(), 3);
    EXPECT_EQ(reader->GetVolumeSe(), 10);
    EXPECT_EQ(RowCount("system_config"), 1);

    save->SetDaemonStageView(false);
    EXPECT_FALSE(save->GetDaemonStageView());
    EXPECT_EQ(StoredSetting("daemon_stage_view"), "0");
    EXPECT_EQ(save->GetVolumeSe(), 10);
}

TEST_F(Settings, StageMapFlagIsAnyNonZeroAndIsWrittenAsOne)
{
    SaveDataManager save;
    save->GetVolumeSe();
    Exec("UPDATE system_config SET daemon_stage_view = 5");
    EXPECT_TRUE(save->GetDaemonStageView());
    Exec("UPDATE system_config SET daemon_stage_view = -1");
    EXPECT_TRUE(save->GetDaemonStageView());
    save->SetDaemonStageView(true);
    EXPECT_EQ(StoredSetting("daemon_stage_view"), "1");
    Exec("UPDATE system_config SET daemon_stage_view = 'on'");
    EXPECT_FALSE(save->GetDaemonStageView());
}

TEST_F(Settings, StoredTextAndNullReadAsTheirLeadingNumber)
{
    SaveDataManager save;
    save->GetVolumeSe();
    Exec("UPDATE system_config SET camera_zdist = '120cm', camera_height = 'high', volume_bgm = NULL,"
         " volume_se = '  +4', camera_mode = ''");
    EXPECT_EQ(save->GetCameraZDist(), 120);
    EXPECT_EQ(save->GetCameraHeight(), 0);
    EXPECT_EQ(save->GetVolumeBgm(), 0);
    EXPECT_EQ(save->GetVolumeSe(), 4);
    EXPECT_EQ(save->GetCameraMode(), 0);
    // Values read as 0 are values all the same: the row is not replaced by the defaults.
    EXPECT_EQ(StoredSetting("camera_height"), "'high'");
    EXPECT_EQ(StoredSetting("volume_bgm"), "NULL");
}

TEST(SaveValueText, ReadsTheLeadingDecimalNumber)
{
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"17", 17},          {"  \t\n\v\f\r42", 42}, {"-0", 0},
        {"+", 0},            {"-", 0},               {"- 5", 0},
        {"+-5", 0},          {"12.9", 12},           {"0x1F", 0},
        {"007", 7},          {"5 6", 5},             {"", 0},
        {"2147483647", 2147483647},                  {"2147483648", 2147483647},
        {"-2147483648", -2147483647 - 1},            {"-2147483649", -2147483647 - 1},
        {"000000000000000000000000000012", 12},      {"99999999999999999999999999", 2147483647},
        {"\xEF\xBC\x91", 0}, // a full-width digit is not a digit
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseSaveValue(c.text), c.value) << '"' << c.text << '"';
    }
    EXPECT_EQ(ParseSaveValue(nullptr), 0);
}

} // namespace
