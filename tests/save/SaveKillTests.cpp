// Records survive a kill at any moment: a writer process (save_kill_writer, the game's own
// SaveDataManager in a loop) is killed with SIGKILL a hundred times while it writes, and after
// each kill the file must be intact and hold, for every value, the last write that returned
// or, for the one write that was under way, its new value: never less, never garbage.
//
// The file lives in the test's scratch folder on the temporary directory's file system (a
// disk here, so every write pays for its syncs). A kill ends the process but not the kernel,
// so what this proves is SQLite's rollback journal (a half-done statement is rolled back by
// the next opener), not that fsync reached the disk; a power cut is not simulated.
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SaveDataManager.h"
#include "SaveTestFolder.h"

namespace {

using Kill = SaveFileTest;
using Lines = std::vector<std::string>;

constexpr int kKills = 100;
constexpr int kValues = 5; // the camera distance, then the records of kill-0.pzd .. kill-3.pzd

// The values on disk, in the writer's order of writing.
std::vector<std::int32_t> StoredValues(const std::function<Lines(const std::string&)>& query)
{
    std::vector<std::int32_t> values;
    Lines distance = query("SELECT camera_zdist FROM system_config WHERE id = 1");
    values.push_back(distance.size() == 1 ? std::stoi(distance.front()) : -1);
    for (int stage = 0; stage < kValues - 1; ++stage) {
        Lines record = query("SELECT best_record FROM result_stage_normal WHERE name = 'kill-" +
                             std::to_string(stage) + ".pzd'");
        // The writer stores value v as the ever-better record 1,000,000 - v (0: none yet).
        const std::int32_t best = record.size() == 1 ? std::stoi(record.front()) : -1;
        values.push_back(best <= 0 ? best : 1'000'000 - best);
    }
    return values;
}

// Starts the writer with its standard output on a pipe; returns its id and the read end.
pid_t StartWriter(const std::string& folder, int& output, bool moves = false)
{
    int channel[2];
    if (pipe(channel) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, channel[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, channel[0]);
    posix_spawn_file_actions_addclose(&actions, channel[1]);
    std::string program = TOMARUGI_SAVE_KILL_WRITER;
    std::string argument = folder;
    std::string movesFlag = "--moves";
    char* argv[] = {program.data(), argument.data(), moves ? movesFlag.data() : nullptr, nullptr};
    pid_t child = -1;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ) != 0) {
        child = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(channel[1]);
    output = channel[0];
    return child;
}

TEST_F(Kill, RecordsAreOldOrNewAfterAHundredKillsDuringWrites)
{
    std::mt19937 random(20261207);
    std::vector<std::int32_t> acknowledged(kValues, 0);
    std::int32_t highestStored = 0;
    for (int round = 0; round < kKills; ++round) {
        int output = -1;
        const pid_t writer = StartWriter(folder.string(), output);
        ASSERT_GT(writer, 0);
        // Let it reach its loop (one acknowledged write), then kill it a few writes later.
        std::string text;
        char buffer[4096];
        ssize_t got = read(output, buffer, sizeof buffer);
        if (got > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        }
        // A write with its journal and syncs takes some 20 ms on a disk (far less on tmpfs):
        // up to 120 ms lets the kill land anywhere in the first few rounds of writes.
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 120'000));
        kill(writer, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended on its own, status " << status;
        while ((got = read(output, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        }
        close(output);

        // The writes that returned, and the one after the last of them, which was under way.
        int lastIndex = kValues - 1;
        std::int32_t lastValue = highestStored;
        std::istringstream lines(text);
        int index = 0;
        std::int32_t value = 0;
        while (lines >> index >> value) {
            ASSERT_TRUE(index >= 0 && index < kValues);
            acknowledged[static_cast<std::size_t>(index)] = value;
            lastIndex = index;
            lastValue = value;
        }
        const int underWay = (lastIndex + 1) % kValues;
        const std::int32_t underWayValue = underWay == 0 ? lastValue + 1 : lastValue;

        ASSERT_EQ(Query("PRAGMA integrity_check"), Lines{"ok"}) << "after kill " << round;
        const std::vector<std::int32_t> stored =
            StoredValues([this](const std::string& sql) { return Query(sql); });
        for (int i = 0; i < kValues; ++i) {
            const std::int32_t old = acknowledged[static_cast<std::size_t>(i)];
            const std::int32_t now = stored[static_cast<std::size_t>(i)];
            if (i == underWay) {
                EXPECT_TRUE(now == old || now == underWayValue)
                    << "kill " << round << ", value " << i << ": " << now << ", expected " << old << " or "
                    << underWayValue;
            } else {
                EXPECT_EQ(now, old) << "kill " << round << ", value " << i;
            }
        }
        if (HasFailure()) {
            return;
        }
        // The next writer continues from the highest value on disk; the write under way may
        // have landed.
        acknowledged[static_cast<std::size_t>(underWay)] = stored[static_cast<std::size_t>(underWay)];
        highestStored = 0;
        for (std::int32_t each : stored) {
            highestStored = each > highestStored ? each : highestStored;
        }
    }
    // Every writer went on from the highest value the killed one left on disk, and the read
    // above waited for its first acknowledged write: so the values climbed by one at least
    // each round. A writer (or a manager) that read back less than the file holds would
    // start lower again and fall short.
    EXPECT_GE(highestStored, kKills);
    for (int i = 0; i < kValues; ++i) {
        EXPECT_GT(acknowledged[static_cast<std::size_t>(i)], 0) << "value " << i << " was never written";
    }
    EXPECT_EQ(Query("SELECT count(*) FROM result_stage_normal"), Lines{"4"});
    EXPECT_EQ(Query("SELECT count(*) FROM system_config"), Lines{"1"});
}

// The writer's moves text for a record (SaveKillWriter.cpp's MovesForRecord).
std::string MovesForRecord(std::int32_t record)
{
    std::string moves;
    for (std::int32_t i = 0; i < record % 7; ++i) {
        moves += "R ";
    }
    return moves + "TR" + std::to_string(record);
}

// A record and its moves are one write: after a kill at any moment the file holds a record
// and exactly the moves stored with it, never a new record with old moves or the reverse,
// and never a record worse than the last one acknowledged.
TEST_F(Kill, ARecordAndItsMovesAreNeverSeparatedByAKill)
{
    std::mt19937 random(20261209);
    std::int32_t acknowledged = 0; // the writer's value; the record is 1,000,000 - value
    int killsWithWrites = 0;
    for (int round = 0; round < kKills / 2; ++round) {
        int output = -1;
        const pid_t writer = StartWriter(folder.string(), output, true);
        ASSERT_GT(writer, 0);
        std::string text;
        char buffer[4096];
        ssize_t got = read(output, buffer, sizeof buffer);
        if (got > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
            ++killsWithWrites;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 60'000));
        kill(writer, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended on its own, status " << status;
        while ((got = read(output, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        }
        close(output);
        std::istringstream lines(text);
        int index = 0;
        std::int32_t value = 0;
        while (lines >> index >> value) {
            acknowledged = value;
        }

        ASSERT_EQ(Query("PRAGMA integrity_check"), Lines{"ok"}) << "after kill " << round;
        const Lines record = Query("SELECT best_record FROM result_stage_normal WHERE name = 'moves.pzd'");
        ASSERT_EQ(record.size(), 1u) << "after kill " << round;
        const std::int32_t best = std::stoi(record.front());
        if (acknowledged > 0) {
            ASSERT_GT(best, 0);
            EXPECT_LE(best, 1'000'000 - acknowledged) << "an acknowledged record was lost, kill " << round;
        }
        const Lines moves = Query("SELECT turns || '|' || moves FROM stage_best_moves WHERE name = 'moves.pzd'");
        if (best > 0) {
            EXPECT_EQ(moves, Lines{std::to_string(best) + "|" + MovesForRecord(best)}) << "after kill " << round;
        } else {
            EXPECT_TRUE(moves.empty()) << "moves without a record";
        }
        if (HasFailure()) {
            return;
        }
    }
    EXPECT_GE(killsWithWrites, kKills / 2 * 9 / 10);
    EXPECT_GT(acknowledged, kKills / 2) << "the writer hardly wrote: the kills proved little";
}

} // namespace
