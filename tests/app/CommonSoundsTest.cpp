// Music and sound effects: which track plays, and the volumes taken from the save file.
#include "CommonSounds.h"
#include "FakeEngine.h"
#include "SaveDataManager.h"
#include "ScratchDirectory.h"

#include <gtest/gtest.h>

namespace {

class CommonSoundsTest : public ::testing::Test {
protected:
    CommonSoundsTest()
    {
        commonSounds = CommonSounds{};
        commonSounds.bgm1 = &bgm1;
        commonSounds.bgm2 = &bgm2;
        commonSounds.decision = &decision;
        commonSounds.cancel = &cancel;
        commonSounds.defrost = &defrost;
        commonSounds.drag = &drag;
    }
    ~CommonSoundsTest() override { commonSounds = CommonSounds{}; }

    void StoreVolumes(std::int32_t music, std::int32_t effects)
    {
        SaveDataManager save;
        save->SetVolumeBgm(music);
        save->SetVolumeSe(effects);
    }

    ScratchDirectory scratch;
    fake::StreamSound bgm1, bgm2;
    fake::Sound decision, cancel, defrost, drag;
};

TEST_F(CommonSoundsTest, VolumeSettingsBecomePercentages)
{
    EXPECT_FLOAT_EQ(VolumeSettingToPercent(7), 70.0f);
    EXPECT_FLOAT_EQ(VolumeSettingToPercent(0), 0.0f);
    EXPECT_FLOAT_EQ(VolumeSettingToPercent(10), 100.0f);
}

TEST_F(CommonSoundsTest, ApplySoundVolumesSetsTheStoredVolumesOnAllSixSounds)
{
    StoreVolumes(3, 7);
    ApplySoundVolumes();
    EXPECT_FLOAT_EQ(bgm1.volume, 30.0f);
    EXPECT_FLOAT_EQ(bgm2.volume, 30.0f);
    for (fake::Sound* effect : {&decision, &cancel, &defrost, &drag}) {
        EXPECT_FLOAT_EQ(effect->volume, 70.0f);
    }

    StoreVolumes(0, 10);
    ApplySoundVolumes();
    EXPECT_FLOAT_EQ(bgm2.volume, 0.0f) << "a setting of 0 silences the music";
    EXPECT_FLOAT_EQ(drag.volume, 100.0f);
}

TEST_F(CommonSoundsTest, SoundsThatFailedToLoadAreSkipped)
{
    commonSounds.bgm1 = nullptr;
    commonSounds.defrost = nullptr;
    StoreVolumes(5, 5);
    ApplySoundVolumes();
    PlayBgm(1);
    EXPECT_FLOAT_EQ(bgm2.volume, 50.0f);
    EXPECT_FLOAT_EQ(cancel.volume, 50.0f);
    EXPECT_EQ(bgm2.calls, (std::vector<std::string>{"stop"}));
    EXPECT_EQ(commonSounds.currentTrack, 1);
}

TEST_F(CommonSoundsTest, PlayBgmStartsTheTrackOnceAndLoopsIt)
{
    PlayBgm(2);
    PlayBgm(2);
    EXPECT_EQ(bgm2.calls, (std::vector<std::string>{"stop", "play -1"}))
        << "the second call must not restart the playing track";
    EXPECT_EQ(bgm1.calls, (std::vector<std::string>{"stop"}));
}

TEST_F(CommonSoundsTest, SwitchingTracksStopsTheOtherAndZeroMeansSilence)
{
    PlayBgm(2);
    PlayBgm(1);
    EXPECT_EQ(bgm1.calls, (std::vector<std::string>{"stop", "stop", "play -1"}));
    PlayBgm(0);
    EXPECT_EQ(bgm1.calls.back(), "stop");
    EXPECT_EQ(bgm2.calls.back(), "stop");
    EXPECT_EQ(commonSounds.currentTrack, 0);
}

} // namespace
