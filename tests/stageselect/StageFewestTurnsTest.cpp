// The stage select's fewest turns: answers for extra stage files, and their cache in the save
// file keyed by kind, name and the file's contents.
#include "StageFewestTurns.h"

#include "GameFolders.h"

#include "SaveDataManager.h"
#include "ScratchDirectory.h"
#include "SolverBudget.h"
#include "StageDataReader.h"

#include "HostileStage.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

// A stage from rows: '.' ice, '_' hole, '@' start, 'F' frog, 'I' icicle.
std::vector<std::uint8_t> StageBytes(const std::vector<std::string>& rows)
{
    StageDataReader stage;
    stage.width = static_cast<std::uint8_t>(rows.front().size());
    stage.height = static_cast<std::uint8_t>(rows.size());
    for (const std::string& row : rows) {
        for (const char symbol : row) {
            StageCell cell{symbol == '_' ? 0 : 1, 0};
            cell.object = symbol == '@' ? 1 : symbol == 'F' ? 2 : symbol == 'I' ? 3 : 0;
            stage.cells.push_back(cell);
        }
    }
    return stage.ToBytes();
}

// Five turns: push, slide, thaw, slide, thaw.
const std::vector<std::string> kFiveTurns = {"__________", "_@F.....I_", "______.___", "______F___", "__________"};
// The same with the first frog one cell further: slide, thaw, ... a different answer.
const std::vector<std::string> kOneTurn = {"____", "_@F_", "____"};
// No way to stop next to the frog.
const std::vector<std::string> kUnclearable = {"_____", "_@._F", "_____"};

class StageFewestTurnsTest : public ::testing::Test {
protected:
    void Write(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        fs::create_directories("data/stage/extra");
        std::ofstream out(ExtraStageFilePath(name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // Runs a worker over `names` until it has answered them all; the answers by name.
    std::map<std::string, std::int32_t> Answer(const std::vector<std::string>& names)
    {
        std::vector<StageSolveJob> jobs;
        for (std::size_t i = 0; i < names.size(); ++i) {
            jobs.push_back({i, names[i], ExtraStageFilePath(names[i])});
        }
        std::map<std::string, std::int32_t> answers;
        StageSolverWorker worker(StageKind::Extra, jobs, LoadFewestTurns(StageKind::Extra), GameSolveOptions());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (answers.size() < names.size() && std::chrono::steady_clock::now() < deadline) {
            for (const auto& [index, value] : worker.TakeAnswers()) {
                answers[names[index]] = value;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return answers;
    }

    std::string HashOf(const std::vector<std::uint8_t>& bytes) { return StageFileHash(bytes.data(), bytes.size()); }

    ScratchDirectory scratch;
    SaveDataManager save; // the manager the catalogue would hold
};

TEST_F(StageFewestTurnsTest, SolvesFilesAndStoresEachAnswerUnderItsContents)
{
    Write("five.pzd", StageBytes(kFiveTurns));
    Write("never.pzd", StageBytes(kUnclearable));
    Write("empty.pzd", {});
    // Nobody writes to the pipe: opening it to read would wait for ever.
    ASSERT_EQ(mkfifo(ExtraStageFilePath("pipe.pzd").c_str(), 0600), 0);
    const auto answers = Answer({"five.pzd", "never.pzd", "empty.pzd", "missing.pzd", "pipe.pzd"});
    EXPECT_EQ(answers.at("five.pzd"), 5);
    EXPECT_EQ(answers.at("never.pzd"), kFewestTurnsUnclearable);
    EXPECT_EQ(answers.at("empty.pzd"), kFewestTurnsUnclearable) << "no tiles: the puzzle refuses it";
    EXPECT_EQ(answers.at("missing.pzd"), kFewestTurnsUnclearable);
    EXPECT_EQ(answers.at("pipe.pzd"), kFewestTurnsUnclearable);

    // The stored rows: the found answers under the files' hashes (a missing file has none).
    std::map<std::string, std::pair<std::string, std::int32_t>> rows;
    for (const FewestTurnsRow& row : LoadFewestTurns(StageKind::Extra)) {
        rows[row.name] = {row.fileHash, row.fewestTurns};
    }
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows["five.pzd"], std::make_pair(HashOf(StageBytes(kFiveTurns)), 5));
    EXPECT_EQ(rows["never.pzd"].second, kFewestTurnsUnclearable);
    EXPECT_TRUE(LoadFewestTurns(StageKind::Normal).empty()) << "kinds are kept apart";
}

// A file larger than any stage can be is no stage, whatever its first bytes say: a clearable
// stage with one byte more, or a sparse 4 GiB file that starts with it (which would keep the
// reader on zeros for many seconds), reads as unplayable for the list and the puzzle alike.
// The largest real stage is still read.
TEST_F(StageFewestTurnsTest, AFileLargerThanTheLargestStageIsUnplayableUnread)
{
    std::vector<std::uint8_t> oneByteMore = StageBytes(kOneTurn);
    oneByteMore.resize(StageLargestFileSize + 1, 0);
    Write("longer.pzd", oneByteMore);
    Write("huge.pzd", StageBytes(kOneTurn));
    fs::resize_file(ExtraStageFilePath("huge.pzd"), std::uintmax_t{4} << 30);
    std::vector<std::uint8_t> largest = StageBytes(kOneTurn);
    largest.resize(StageLargestFileSize, 0);
    Write("largest.pzd", largest);

    const auto answers = Answer({"longer.pzd", "huge.pzd", "largest.pzd"});
    EXPECT_EQ(answers.at("longer.pzd"), kFewestTurnsUnclearable);
    EXPECT_EQ(answers.at("huge.pzd"), kFewestTurnsUnclearable);
    EXPECT_EQ(answers.at("largest.pzd"), 1);

    for (const char* name : {"longer.pzd", "huge.pzd"}) {
        StageDataReader stage;
        EXPECT_FALSE(stage.ReadFromPath(ExtraStageFilePath(name).c_str())) << name;
        EXPECT_EQ(stage.width, 0) << name;
    }
    StageDataReader stage;
    EXPECT_TRUE(stage.ReadFromPath(ExtraStageFilePath("largest.pzd").c_str()));
    EXPECT_EQ(stage.width, 4);
}

TEST_F(StageFewestTurnsTest, CacheIsKeyedByTheFileContents)
{
    const std::vector<std::uint8_t> five = StageBytes(kFiveTurns);
    Write("a.pzd", five);
    // A cached answer that no search would give: used only while the file is unchanged.
    ASSERT_TRUE(StoreFewestTurns({{StageKind::Extra, "a.pzd", HashOf(five), 77}}));
    EXPECT_EQ(Answer({"a.pzd"}).at("a.pzd"), 77);

    // The same name, edited contents: searched again, and the new answer replaces the row.
    Write("a.pzd", StageBytes(kOneTurn));
    EXPECT_EQ(Answer({"a.pzd"}).at("a.pzd"), 1);
    const std::vector<FewestTurnsRow> rows = LoadFewestTurns(StageKind::Extra);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fileHash, HashOf(StageBytes(kOneTurn)));
    EXPECT_EQ(rows[0].fewestTurns, 1);

    // Bytes appended beyond the stage change nothing the game reads, but the key: no stale
    // row is trusted for a file that is not byte for byte the one answered.
    std::vector<std::uint8_t> longer = StageBytes(kOneTurn);
    longer.push_back(0);
    EXPECT_NE(HashOf(longer), HashOf(StageBytes(kOneTurn)));
    ASSERT_TRUE(StoreFewestTurns({{StageKind::Extra, "a.pzd", HashOf(StageBytes(kOneTurn)), 77}}));
    Write("a.pzd", longer);
    EXPECT_EQ(Answer({"a.pzd"}).at("a.pzd"), 1);

    // A row of the other kind, or with a value no search gives (0), is not an answer.
    ASSERT_TRUE(StoreFewestTurns({{StageKind::Normal, "a.pzd", HashOf(longer), 77},
                                  {StageKind::Extra, "a.pzd", HashOf(longer), 0}}));
    EXPECT_EQ(Answer({"a.pzd"}).at("a.pzd"), 1);
}

TEST_F(StageFewestTurnsTest, StagesNearestToTheCursorAreAnsweredFirst)
{
    std::vector<StageSolveJob> jobs;
    for (std::size_t i = 0; i < 10; ++i) {
        const std::string name = "s" + std::to_string(i) + ".pzd";
        Write(name, StageBytes(kOneTurn));
        jobs.push_back({i, name, ExtraStageFilePath(name)});
    }
    std::vector<std::size_t> order;
    {
        StageSolverWorker worker(StageKind::Extra, jobs, {}, GameSolveOptions(), {}, 7);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (order.size() < jobs.size() && std::chrono::steady_clock::now() < deadline) {
            for (const auto& answer : worker.TakeAnswers()) {
                order.push_back(answer.first);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // Outwards from line 7; of two at the same distance the earlier line first.
    EXPECT_EQ(order, (std::vector<std::size_t>{7, 6, 8, 5, 9, 4, 3, 2, 1, 0}));
}

TEST_F(StageFewestTurnsTest, OldSaveGetsTheTableAndDamagedTableIsRemade)
{
    // An old save: records only, no cache table. Reading makes the table, rows stay.
    EXPECT_EQ(save->GetBestRecord(StageKind::Extra, "kept.pzd"), 0);
    save->SetBestRecord(StageKind::Extra, "kept.pzd", 9);
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open("tomarugi.save", &database), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(database, "DROP TABLE stage_fewest_turns", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_TRUE(LoadFewestTurns(StageKind::Extra).empty());
    EXPECT_EQ(sqlite3_exec(database, "SELECT kind FROM stage_fewest_turns", nullptr, nullptr, nullptr), SQLITE_OK);

    // Damaged: a table of that name with other columns. Dropped and made again.
    ASSERT_EQ(sqlite3_exec(database, "DROP TABLE stage_fewest_turns; CREATE TABLE stage_fewest_turns (junk)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(database);
    EXPECT_TRUE(LoadFewestTurns(StageKind::Extra).empty());
    ASSERT_TRUE(StoreFewestTurns({{StageKind::Extra, "b.pzd", "1:00", 3}}));
    const std::vector<FewestTurnsRow> rows = LoadFewestTurns(StageKind::Extra);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fewestTurns, 3);
    EXPECT_EQ(save->GetBestRecord(StageKind::Extra, "kept.pzd"), 9) << "records are never touched";
}

TEST_F(StageFewestTurnsTest, HostileStageEndsAtTheBudget)
{
    const std::vector<std::string> rows = HostileStageRows(); // far beyond any quick answer
    const std::vector<std::uint8_t> bytes = StageBytes(rows);
    SolveOptions small = GameSolveOptions();
    small.maxMemoryBytes = std::size_t{8} << 20;
    EXPECT_EQ(SolveStageBytes(bytes.data(), bytes.size(), small), kFewestTurnsBeyondBudget);
}

} // namespace
