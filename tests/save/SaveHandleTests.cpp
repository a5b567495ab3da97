// Handles: one manager while any handle lives, a fresh one after all were gone.
#include <memory>

#include <gtest/gtest.h>

#include "SaveDataManager.h"
#include "SaveTestFolder.h"

namespace {

using Handles = SaveFileTest;

TEST_F(Handles, HandlesShareOneManagerUntilAllAreGone)
{
    std::weak_ptr<RealSaveDataManager> first;
    {
        SaveDataManager outer;
        first = SaveDataManager::Real();
        ASSERT_TRUE(SaveDataManager::Real());
        {
            SaveDataManager inner;
            EXPECT_EQ(SaveDataManager::UseCount(), 2);
            EXPECT_EQ(inner.operator->(), outer.operator->());
            inner->GetBestRecord(StageKind::Normal, "kept.pzd");
            inner->SetBestRecord(StageKind::Normal, "kept.pzd", 11);
            inner->SetVolumeBgm(2);
        }
        EXPECT_EQ(SaveDataManager::UseCount(), 1);
        EXPECT_EQ(SaveDataManager::Real(), first.lock());
    }
    EXPECT_EQ(SaveDataManager::UseCount(), 0);
    // With no handle left the manager is still there, until the next first handle.
    EXPECT_FALSE(first.expired());

    SaveDataManager again;
    EXPECT_TRUE(first.expired());
    EXPECT_EQ(SaveDataManager::UseCount(), 1);
    EXPECT_EQ(again->GetBestRecord(StageKind::Normal, "kept.pzd"), 11);
    EXPECT_EQ(again->GetVolumeBgm(), 2);
    EXPECT_EQ(RowCount("result_stage_normal"), 1);
}

TEST_F(Handles, QueryResultsHoldOnlyTheLastQuery)
{
    SaveDataManager save;
    save->GetVolumeSe();
    Exec("INSERT INTO result_stage_normal VALUES ('x', 4), ('x', 5)");
    save->GetBestRecord(StageKind::Normal, "x");
    EXPECT_EQ(save->results, (std::vector<std::int32_t>{4, 5}));
    save->GetCameraHeight();
    EXPECT_EQ(save->results, (std::vector<std::int32_t>{400}));
}

} // namespace
