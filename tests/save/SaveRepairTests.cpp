// A save file that is missing, incomplete, unwritable or damaged; the shipped file; kills.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SaveDataManager.h"
#include "SaveTestFolder.h"

namespace {

using Repair = SaveFileTest;

std::string ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void ExpectDefaultSettings(RealSaveDataManager& save)
{
    EXPECT_EQ(save.GetCameraMode(), 0);
    EXPECT_EQ(save.GetCameraZDist(), 300);
    EXPECT_EQ(save.GetCameraHeight(), 400);
    EXPECT_FALSE(save.GetDaemonStageView());
    EXPECT_EQ(save.GetVolumeBgm(), 7);
    EXPECT_EQ(save.GetVolumeSe(), 7);
}

TEST_F(Repair, MissingFileGetsTheTablesAndDefaultSettings)
{
    SaveDataManager save;
    ExpectDefaultSettings(*SaveDataManager::Real());
    EXPECT_EQ(RowCount("result_stage_normal"), 0);
    EXPECT_EQ(RowCount("result_stage_extra"), 0);
    EXPECT_EQ(RowCount("system_config"), 1);

    std::filesystem::remove("tomarugi.save");
    save->SetVolumeSe(2);
    EXPECT_EQ(StoredSetting("volume_se"), "2");
    EXPECT_EQ(StoredSetting("camera_height"), "400");

    std::filesystem::remove("tomarugi.save");
    EXPECT_EQ(save->GetBestRecord(StageKind::Extra, "first.pzd"), 0);
    EXPECT_EQ(ResultRows("result_stage_extra"), (decltype(ResultRows("")){{"first.pzd", 0}}));
    EXPECT_EQ(StoredSetting("volume_bgm"), "7");
}

TEST_F(Repair, MissingTablesAreAddedAndExistingRowsKept)
{
    // An older file: the settings in another column order, one result table, no extra table.
    Exec("CREATE TABLE system_config (volume_se INTEGER, volume_bgm INTEGER, daemon_stage_view INTEGER,"
         " camera_height INTEGER, camera_zdist INTEGER, camera_mode INTEGER, id INTEGER);"
         "INSERT INTO system_config VALUES (1, 2, 1, 50, 60, 1, 1);"
         "CREATE TABLE result_stage_normal (name, best_record);"
         "INSERT INTO result_stage_normal VALUES ('old.pzd', 13);");
    SaveDataManager save;
    EXPECT_EQ(save->GetBestRecord(StageKind::Extra, "new.pzd"), 0);
    save->SetBestRecord(StageKind::Extra, "new.pzd", 6);
    EXPECT_EQ(save->GetBestRecord(StageKind::Extra, "new.pzd"), 6);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "old.pzd"), 13);
    EXPECT_EQ(save->GetVolumeSe(), 1);
    EXPECT_EQ(save->GetVolumeBgm(), 2);
    EXPECT_TRUE(save->GetDaemonStageView());
    EXPECT_EQ(save->GetCameraHeight(), 50);
    EXPECT_EQ(save->GetCameraZDist(), 60);
    EXPECT_EQ(save->GetCameraMode(), 1);
    EXPECT_EQ(RowCount("system_config"), 1);

    // A table dropped while the game runs comes back on the next write.
    Exec("DROP TABLE result_stage_normal");
    save->SetBestRecord(StageKind::Normal, "old.pzd", 1);
    EXPECT_EQ(RowCount("result_stage_normal"), 0);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "old.pzd"), 0);
    EXPECT_EQ(RowCount("result_stage_normal"), 1);
}

TEST_F(Repair, MissingSettingsRowIsAddedWithDefaultsOnReadAndOnWrite)
{
    SaveDataManager save;
    save->SetVolumeBgm(9);
    Exec("INSERT INTO system_config (id, volume_bgm) VALUES (2, 1)");
    EXPECT_EQ(save->GetVolumeBgm(), 9); // only row 1 counts

    Exec("DELETE FROM system_config WHERE id = 1");
    save->SetCameraMode(1);
    EXPECT_EQ(StoredSetting("camera_mode"), "1");
    EXPECT_EQ(StoredSetting("volume_bgm"), "7");

    Exec("DELETE FROM system_config WHERE id = 1");
    EXPECT_EQ(save->GetCameraZDist(), 300);
    EXPECT_EQ(RowCount("system_config"), 2);
}

TEST_F(Repair, SettingsTableWithoutAColumnStillGetsTheOtherTables)
{
    Exec("CREATE TABLE system_config (id INTEGER, volume_se INTEGER); INSERT INTO system_config VALUES (1, 3)");
    SaveDataManager save;
    EXPECT_EQ(save->GetVolumeSe(), 3);
    EXPECT_EQ(save->GetVolumeBgm(), 0); // no such column: read as absent, nothing altered
    save->SetVolumeBgm(5);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "n.pzd"), 0);
    save->SetBestRecord(StageKind::Normal, "n.pzd", 2);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "n.pzd"), 2);
    EXPECT_EQ(RowCount("system_config"), 1);
}

// Runs `body` in a child process that cannot write the save file or its folder (a user
// without rights to them, since root writes anything) and hands back the numbers it saw.
// SQLite then opens the file read-only: reads work and every write fails.
std::vector<std::int32_t> WithoutWriteAccess(const std::function<std::vector<std::int32_t>()>& body)
{
    std::filesystem::permissions("tomarugi.save", std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                                      std::filesystem::perms::others_read);
    std::filesystem::permissions(".", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                          std::filesystem::perms::group_read | std::filesystem::perms::group_exec |
                                          std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    int channel[2];
    EXPECT_EQ(pipe(channel), 0);
    pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const uid_t nobody = 65534;
        if (geteuid() == 0 && (setgid(nobody) != 0 || setuid(nobody) != 0)) {
            _exit(3);
        }
        std::vector<std::int32_t> seen = body();
        std::size_t bytes = seen.size() * sizeof(std::int32_t);
        _exit(write(channel[1], seen.data(), bytes) == static_cast<ssize_t>(bytes) ? 0 : 4);
    }
    close(channel[1]);
    std::vector<std::int32_t> seen;
    std::int32_t value = 0;
    while (read(channel[0], &value, sizeof value) == sizeof value) {
        seen.push_back(value);
    }
    close(channel[0]);
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    std::filesystem::permissions(".", std::filesystem::perms::owner_all);
    std::filesystem::permissions("tomarugi.save", std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return seen;
}

TEST_F(Repair, UnwritableFileAnswersLookupsWithoutLooping)
{
    {
        SaveDataManager save;
        save->GetBestRecord(StageKind::Normal, "known.pzd");
        save->SetBestRecord(StageKind::Normal, "known.pzd", 8);
    }
    std::vector<std::int32_t> seen = WithoutWriteAccess([] {
        SaveDataManager save;
        std::vector<std::int32_t> values;
        values.push_back(save->GetBestRecord(StageKind::Normal, "new.pzd"));
        values.push_back(static_cast<std::int32_t>(save->results.size()));
        values.push_back(save->GetBestRecord(StageKind::Normal, "known.pzd"));
        save->SetBestRecord(StageKind::Normal, "known.pzd", 1);
        save->SetVolumeSe(1);
        values.push_back(save->GetBestRecord(StageKind::Normal, "known.pzd"));
        values.push_back(save->GetVolumeSe());
        return values;
    });
    EXPECT_EQ(seen, (std::vector<std::int32_t>{0, 0, 8, 8, 7}));
    EXPECT_EQ(ResultRows("result_stage_normal"), (decltype(ResultRows("")){{"known.pzd", 8}}));
}

TEST_F(Repair, UnwritableFileWithoutTablesReadsAsZero)
{
    Exec("CREATE TABLE unrelated (x)");
    std::vector<std::int32_t> seen = WithoutWriteAccess([] {
        SaveDataManager save;
        save->SetCameraZDist(100);
        save->SetBestRecord(StageKind::Extra, "x.pzd", 3);
        return std::vector<std::int32_t>{save->GetBestRecord(StageKind::Extra, "x.pzd"), save->GetCameraZDist(),
                                         save->GetDaemonStageView() ? 1 : 0};
    });
    EXPECT_EQ(seen, (std::vector<std::int32_t>{0, 0, 0}));
    EXPECT_EQ(RowCount("system_config"), -1);
    EXPECT_EQ(RowCount("result_stage_extra"), -1);
}

TEST_F(Repair, FileThatIsNotADatabaseIsLeftAlone)
{
    const std::string garbage(4096, 'x');
    std::ofstream("tomarugi.save", std::ios::binary) << garbage;
    SaveDataManager save;
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "a.pzd"), 0);
    EXPECT_EQ(save->GetVolumeBgm(), 0);
    save->SetVolumeBgm(3);
    save->SetBestRecord(StageKind::Normal, "a.pzd", 3);
    EXPECT_EQ(ReadBytes("tomarugi.save"), garbage);
}

TEST_F(Repair, GeneratorWritesTheDefaultsAndKeepsAnExistingFilesRows)
{
    const std::string command = std::string(TOMARUGI_SAVEGEN_PATH) + " tomarugi.save";
    ASSERT_EQ(std::system(command.c_str()), 0);
    Exec("SELECT 1"); // opened by SQLite: a real database
    EXPECT_EQ(RowCount("result_stage_normal"), 0);
    EXPECT_EQ(RowCount("result_stage_extra"), 0);
    {
        SaveDataManager save;
        ExpectDefaultSettings(*SaveDataManager::Real());
        save->GetBestRecord(StageKind::Normal, "played.pzd");
        save->SetBestRecord(StageKind::Normal, "played.pzd", 4);
        save->SetVolumeSe(1);
    }
    Exec("DROP TABLE result_stage_extra");
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ResultRows("result_stage_normal"), (decltype(ResultRows("")){{"played.pzd", 4}}));
    EXPECT_EQ(RowCount("result_stage_extra"), 0);
    EXPECT_EQ(StoredSetting("volume_se"), "1");

    std::ofstream("garbage.save", std::ios::binary) << std::string(2048, 'g');
    const std::string onGarbage = std::string(TOMARUGI_SAVEGEN_PATH) + " garbage.save 2>/dev/null";
    EXPECT_NE(std::system(onGarbage.c_str()), 0);
    EXPECT_EQ(ReadBytes("garbage.save"), std::string(2048, 'g'));
}

TEST_F(Repair, RecordsSurviveAKillAtAnyMoment)
{
    {
        SaveDataManager save;
        save->GetBestRecord(StageKind::Normal, "s.pzd");
        save->SetCameraZDist(0);
    }
    std::mt19937 random(12345);
    std::int32_t lastSeen = 0;
    for (int round = 0; round < 12; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Counts upward forever, a setting and then a record per step, so that what
            // is on disk always has the distance equal to the record or one ahead of it.
            SaveDataManager save;
            for (std::int32_t value = lastSeen + 1;; ++value) {
                save->SetCameraZDist(value);
                save->SetBestRecord(StageKind::Normal, "s.pzd", value);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 20000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        SaveDataManager save;
        std::int32_t record = save->GetBestRecord(StageKind::Normal, "s.pzd");
        std::int32_t distance = save->GetCameraZDist();
        EXPECT_GE(record, lastSeen);
        EXPECT_TRUE(distance == record || distance == record + 1) << record << " " << distance;
        EXPECT_EQ(RowCount("result_stage_normal"), 1);
        lastSeen = record;
    }
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open("tomarugi.save", &database), SQLITE_OK);
    char** table = nullptr;
    int rows = 0;
    int columns = 0;
    ASSERT_EQ(sqlite3_get_table(database, "PRAGMA integrity_check", &table, &rows, &columns, nullptr), SQLITE_OK);
    ASSERT_EQ(rows, 1);
    EXPECT_STREQ(table[1], "ok");
    sqlite3_free_table(table);
    sqlite3_close(database);
}

} // namespace
