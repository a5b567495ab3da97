// A save file that is missing, incomplete, unwritable or damaged; the shipped file.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SaveDataManager.h"
#include "SaveTestFolder.h"

namespace {

using Repair = SaveFileTest;
using Lines = std::vector<std::string>;
using Values = std::vector<std::int32_t>;

std::string ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Values Settings(RealSaveDataManager& save)
{
    return {save.GetCameraMode(), save.GetCameraZDist(),   save.GetCameraHeight(),
            save.GetDaemonStageView() ? 1 : 0, save.GetVolumeBgm(), save.GetVolumeSe()};
}

const Values kDefaults = {0, 300, 400, 0, 7, 7};

TEST_F(Repair, MissingFileOrTableOrSettingsRowIsMadeWithDefaults)
{
    SaveDataManager save;
    EXPECT_EQ(Settings(*SaveDataManager::Real()), kDefaults);
    EXPECT_EQ(Rows("result_stage_normal"), Lines{});
    EXPECT_EQ(Rows("result_stage_extra"), Lines{});

    std::filesystem::remove("tomarugi.save"); // deleted while the game runs
    save->SetVolumeSe(2);
    EXPECT_EQ(Stored("volume_se"), "2");
    EXPECT_EQ(Stored("camera_height"), "400");

    Exec("DROP TABLE result_stage_extra; DELETE FROM system_config");
    EXPECT_EQ(save->GetBestRecord(StageKind::Extra, "first.pzd"), 0);
    EXPECT_EQ(Rows("result_stage_extra"), Lines{"first.pzd:0"});
    EXPECT_EQ(Stored("volume_se"), "7");

    Exec("DELETE FROM system_config; INSERT INTO system_config (id, volume_bgm) VALUES (2, 1)");
    EXPECT_EQ(save->GetCameraZDist(), 300); // only row 1 counts; it comes back on a read
    Exec("DELETE FROM system_config WHERE id = 1");
    save->SetCameraMode(1); // and on a write
    EXPECT_EQ(Stored("camera_mode"), "1");
    EXPECT_EQ(Stored("volume_bgm"), "7");
    EXPECT_EQ(Query("SELECT count(*) FROM system_config"), Lines{"2"});
}

TEST_F(Repair, BatchLookupOnAMissingFileOrTableMakesThemOnce)
{
    SaveDataManager save;
    EXPECT_EQ(save->GetBestRecords(StageKind::Normal, {"a.pzd", "b.pzd"}), (Values{0, 0}));
    EXPECT_EQ(Rows("result_stage_normal"), (Lines{"a.pzd:0", "b.pzd:0"}));
    EXPECT_EQ(Settings(*SaveDataManager::Real()), kDefaults);
    save->SetBestRecord(StageKind::Normal, "b.pzd", 4);
    Exec("DROP TABLE result_stage_extra");
    EXPECT_EQ(save->GetBestRecords(StageKind::Extra, {"b.pzd", "c.pzd"}), (Values{0, 0}));
    EXPECT_EQ(Rows("result_stage_extra"), (Lines{"b.pzd:0", "c.pzd:0"}));
    EXPECT_EQ(Rows("result_stage_normal"), (Lines{"a.pzd:0", "b.pzd:4"}));
}

TEST_F(Repair, OlderFilesKeepTheirRowsAndColumnOrder)
{
    Exec("CREATE TABLE system_config (volume_se INTEGER, volume_bgm INTEGER, daemon_stage_view INTEGER,"
         " camera_height INTEGER, camera_zdist INTEGER, camera_mode INTEGER, id INTEGER);"
         "INSERT INTO system_config VALUES (1, 2, 1, 50, 60, 1, 1);"
         "CREATE TABLE result_stage_normal (name, best_record);"
         "INSERT INTO result_stage_normal VALUES ('old.pzd', 13);");
    SaveDataManager save;
    EXPECT_EQ(save->GetBestRecord(StageKind::Extra, "new.pzd"), 0);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "old.pzd"), 13);
    EXPECT_EQ(Settings(*SaveDataManager::Real()), (Values{1, 60, 50, 1, 2, 1}));
    EXPECT_EQ(Query("SELECT count(*) FROM system_config"), Lines{"1"});

    // A settings table without a column: that setting reads as 0 and is not written, and
    // the rest of the schema is still made.
    Exec("DROP TABLE system_config; DROP TABLE result_stage_normal;"
         "CREATE TABLE system_config (id INTEGER, volume_se INTEGER); INSERT INTO system_config VALUES (1, 3)");
    save->SetVolumeBgm(5);
    EXPECT_EQ(save->GetVolumeBgm(), 0);
    EXPECT_EQ(save->GetVolumeSe(), 3);
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "n.pzd"), 0);
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"n.pzd:0"});
}

// Runs `body` in a child process that may not write the save file or its folder (as a
// user without rights to them: root writes anything) and hands back what it read. SQLite
// then opens the file read-only: reads work and every write fails.
Values WithoutWriteAccess(const std::function<Values()>& body)
{
    using std::filesystem::perms;
    std::filesystem::permissions("tomarugi.save", perms::owner_read | perms::group_read | perms::others_read);
    std::filesystem::permissions(".", perms::owner_read | perms::owner_exec | perms::group_read |
                                          perms::group_exec | perms::others_read | perms::others_exec);
    int channel[2];
    EXPECT_EQ(pipe(channel), 0);
    pid_t child = fork();
    if (child == 0) {
        const uid_t nobody = 65534;
        if (geteuid() == 0 && (setgid(nobody) != 0 || setuid(nobody) != 0)) {
            _exit(3);
        }
        Values seen = body();
        const auto bytes = static_cast<ssize_t>(seen.size() * sizeof(std::int32_t));
        _exit(write(channel[1], seen.data(), static_cast<std::size_t>(bytes)) == bytes ? 0 : 4);
    }
    close(channel[1]);
    Values seen;
    std::int32_t value = 0;
    while (read(channel[0], &value, sizeof value) == sizeof value) {
        seen.push_back(value);
    }
    close(channel[0]);
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    std::filesystem::permissions(".", perms::owner_all);
    std::filesystem::permissions("tomarugi.save", perms::owner_read | perms::owner_write);
    return seen;
}

TEST_F(Repair, UnwritableFileAnswersEveryLookupOnceWithoutLooping)
{
    {
        SaveDataManager save;
        save->GetBestRecord(StageKind::Normal, "known.pzd");
        save->SetBestRecord(StageKind::Normal, "known.pzd", 8);
    }
    Values seen = WithoutWriteAccess([] {
        SaveDataManager save;
        Values values{save->GetBestRecord(StageKind::Normal, "new.pzd"), static_cast<int>(save->results.size())};
        values.push_back(save->SetBestRecord(StageKind::Normal, "known.pzd", 1) == RecordStore::Failed);
        save->SetVolumeSe(1);
        values.push_back(save->GetBestRecord(StageKind::Normal, "known.pzd"));
        values.push_back(save->GetVolumeSe());
        return values;
    });
    EXPECT_EQ(seen, (Values{0, 0, 1, 8, 7})) << "the refused write says so";
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"known.pzd:8"});
    // The batch lookup on the same file: the known record, 0 for the rest, nothing written.
    seen = WithoutWriteAccess([] {
        SaveDataManager save;
        return save->GetBestRecords(StageKind::Normal, {"new.pzd", "known.pzd", "other.pzd"});
    });
    EXPECT_EQ(seen, (Values{0, 8, 0}));
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"known.pzd:8"});

    // Without tables and unwritable: the repair fails too; everything reads as absent.
    Exec("DROP TABLE result_stage_normal; DROP TABLE result_stage_extra; DROP TABLE system_config;"
         "DROP TABLE stage_fewest_turns; DROP TABLE stage_best_moves; DROP TABLE result_stage_endless; CREATE TABLE unrelated (x)");
    seen = WithoutWriteAccess([] {
        SaveDataManager save;
        save->SetCameraZDist(100);
        return Values{save->GetBestRecord(StageKind::Extra, "x.pzd"), save->GetCameraZDist()};
    });
    EXPECT_EQ(seen, (Values{0, 0}));
    EXPECT_EQ(Query("SELECT name FROM sqlite_master"), Lines{"unrelated"});
}

TEST_F(Repair, FileThatIsNotADatabaseIsLeftAlone)
{
    const std::string garbage(4096, 'x');
    std::ofstream("tomarugi.save", std::ios::binary) << garbage;
    SaveDataManager save;
    EXPECT_EQ(save->GetBestRecord(StageKind::Normal, "a.pzd"), 0);
    EXPECT_EQ(save->GetVolumeBgm(), 0);
    save->SetVolumeBgm(3);
    EXPECT_EQ(save->GetBestRecords(StageKind::Extra, {"a.pzd", "b.pzd"}), (Values{0, 0}));
    EXPECT_EQ(ReadBytes("tomarugi.save"), garbage);
}

TEST_F(Repair, GeneratorWritesTheDefaultsAndCompletesAnExistingFile)
{
    const std::string command = std::string(TOMARUGI_SAVEGEN_PATH) + " tomarugi.save";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(Query("SELECT name FROM sqlite_master ORDER BY name"),
              (Lines{"result_stage_endless", "result_stage_extra", "result_stage_normal", "stage_best_moves", "stage_fewest_turns",
                     "system_config"}));
    EXPECT_EQ(Query("SELECT quote(camera_mode) || quote(camera_zdist) || quote(camera_height) ||"
                    " quote(daemon_stage_view) || quote(volume_bgm) || quote(volume_se) FROM system_config"),
              Lines{"0300400077"});
    Exec("INSERT INTO result_stage_normal VALUES ('played.pzd', 4); DROP TABLE result_stage_extra;"
         "UPDATE system_config SET volume_se = 1");
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(Rows("result_stage_normal"), Lines{"played.pzd:4"});
    EXPECT_EQ(Rows("result_stage_extra"), Lines{});
    EXPECT_EQ(Stored("volume_se"), "1");

    std::ofstream("garbage.save", std::ios::binary) << std::string(2048, 'g');
    const std::string onGarbage = std::string(TOMARUGI_SAVEGEN_PATH) + " garbage.save 2>/dev/null";
    EXPECT_NE(std::system(onGarbage.c_str()), 0);
    EXPECT_EQ(ReadBytes("garbage.save"), std::string(2048, 'g'));
}

} // namespace
