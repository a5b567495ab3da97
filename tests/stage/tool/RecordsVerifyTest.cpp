// tomarugi-stage records --verify, run as a program on save files the game's own save
// manager wrote: each stored solution is replayed against its stage file, and a copy of
// the file with a hand-edited move list, a hand-lowered record or an edited stage is caught.
#include "SaveDataManager.h"

#include <Lumora/Text.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int exitCode = -1;
    std::string output;
};

ToolRun RunTool(const std::string& arguments)
{
    ToolRun run;
    const std::string command = std::string("'") + TOMARUGI_STAGE_TOOL + "' " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.output.append(buffer, got);
    }
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

std::vector<std::uint8_t> ReadBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The fixture's solutions by file name (content/stages/solutions.txt).
std::map<std::string, std::pair<int, std::string>> LoadSolutions()
{
    std::map<std::string, std::pair<int, std::string>> solutions;
    std::ifstream in(TOMARUGI_STAGE_SOLUTIONS);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string kind, file, turns, moves;
        std::getline(fields, kind, '\t');
        std::getline(fields, file, '\t');
        std::getline(fields, turns, '\t');
        std::getline(fields, moves);
        solutions[file] = {std::stoi(turns), moves};
    }
    return solutions;
}

void Exec(const fs::path& save, const std::string& sql)
{
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open(save.c_str(), &database), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(database, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(database);
}

// The verdict column of the line for `name`, or "" when there is none.
std::string Verdict(const std::string& output, const std::string& name)
{
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        std::string field;
        while (std::getline(split, field, '\t')) {
            fields.push_back(field);
        }
        if (fields.size() == 5 && fields[1] == name) {
            return fields[4];
        }
    }
    return "";
}

class RecordsVerify : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::path(TOMARUGI_TOOL_SCRATCH) / "records";
        fs::remove_all(folder);
        fs::create_directories(folder / "stages");
        fs::create_directories(folder / "extra");
        const fs::path sources = TOMARUGI_STAGE_SOURCES;
        for (const auto& [source, target] :
             {std::pair{sources / "練習問題１.txt", folder / "stages" / "練習問題１.pzd"},
              std::pair{sources / "練習問題２.txt", folder / "stages" / "練習問題２.pzd"},
              std::pair{sources / "extra" / "1-01 すべりだし.txt", folder / "extra" / "1-01 すべりだし.pzd"}}) {
            ASSERT_EQ(RunTool("compile " + Quoted(source) + " " + Quoted(target)).exitCode, 0);
        }
        // The game's save manager writes the records, as a clear would.
        const std::string previous = GetSaveFilePath();
        SetSaveFilePath((folder / "tomarugi.save").string());
        {
            SaveDataManager save;
            const auto solutions = LoadSolutions();
            const auto store = [&](std::int32_t kind, const fs::path& stage, const std::string& name) {
                const std::vector<std::uint8_t> bytes = ReadBytes(stage);
                const auto& [turns, moves] = solutions.at(name);
                const std::string stored = Lumora::Utf8ToShiftJis(name); // the game's names are Shift-JIS
                save->GetBestRecord(kind, stored);
                EXPECT_EQ(save->SetBestRecordWithMoves(kind, stored, turns, StageFileHash(bytes.data(), bytes.size()),
                                                       moves),
                          RecordStore::Stored);
            };
            store(StageKind::Normal, folder / "stages" / "練習問題１.pzd", "練習問題１.pzd");
            store(StageKind::Normal, folder / "stages" / "練習問題２.pzd", "練習問題２.pzd");
            store(StageKind::Extra, folder / "extra" / "1-01 すべりだし.pzd", "1-01 すべりだし.pzd");
            save->GetBestRecord(StageKind::Extra, "old.pzd"); // a record from before moves were kept
            EXPECT_EQ(save->SetBestRecord(StageKind::Extra, "old.pzd", 9), RecordStore::Stored);
            save->GetBestRecord(StageKind::Extra, "gone.pzd"); // its file was deleted since
            EXPECT_EQ(save->SetBestRecordWithMoves(StageKind::Extra, "gone.pzd", 1, "9:0", "R"), RecordStore::Stored);
        }
        SetSaveFilePath(previous);
    }

    // A copy of the save file, edited by `sql`, then verified.
    ToolRun VerifyCopy(const std::string& copyName, const std::string& sql)
    {
        const fs::path copy = folder / copyName;
        fs::copy_file(folder / "tomarugi.save", copy, fs::copy_options::overwrite_existing);
        if (!sql.empty()) {
            Exec(copy, sql);
        }
        return RunTool("records " + Quoted(copy) + " --verify --stages " + Quoted(folder / "stages") + " " +
                       Quoted(folder / "extra"));
    }

    fs::path folder;
};

TEST_F(RecordsVerify, EveryStoredSolutionIsProvenAndEachForgeryIsCaught)
{
    const ToolRun listing = RunTool("records " + Quoted(folder / "tomarugi.save"));
    EXPECT_EQ(listing.exitCode, 0) << listing.output;
    EXPECT_EQ(listing.output, "normal\t練習問題１.pzd\t6\tmoves\n"
                              "normal\t練習問題２.pzd\t5\tmoves\n"
                              "extra\t1-01 すべりだし.pzd\t5\tmoves\n"
                              "extra\told.pzd\t9\tno moves\n"
                              "extra\tgone.pzd\t1\tmoves\n");

    const ToolRun honest = VerifyCopy("honest.save", "");
    EXPECT_EQ(honest.exitCode, 0) << honest.output;
    EXPECT_EQ(Verdict(honest.output, "練習問題１.pzd"), "ok");
    EXPECT_EQ(Verdict(honest.output, "練習問題２.pzd"), "ok");
    EXPECT_EQ(Verdict(honest.output, "1-01 すべりだし.pzd"), "ok");
    EXPECT_EQ(Verdict(honest.output, "old.pzd"), "no moves");
    EXPECT_EQ(Verdict(honest.output, "gone.pzd"), "stage missing");

    // The last thaw turned to the other side: the moves no longer clear.
    const ToolRun editedMoves = VerifyCopy(
        "moves.save", "UPDATE stage_best_moves SET moves = 'PR R TR D TU' WHERE moves = 'PR R TR D TD'");
    EXPECT_EQ(editedMoves.exitCode, 1) << editedMoves.output;
    EXPECT_EQ(Verdict(editedMoves.output, "練習問題２.pzd"), "does not clear in 5 turns");
    EXPECT_EQ(Verdict(editedMoves.output, "練習問題１.pzd"), "ok");

    // A record lowered by hand from 6 to 5: its 6 moves do not clear in 5 turns, and a
    // list cut to match does not clear at all.
    const ToolRun lowered =
        VerifyCopy("lowered.save", "UPDATE result_stage_normal SET best_record = 5 WHERE best_record = 6");
    EXPECT_EQ(lowered.exitCode, 1) << lowered.output;
    EXPECT_EQ(Verdict(lowered.output, "練習問題１.pzd"), "does not clear in 5 turns");
    const ToolRun loweredAndCut = VerifyCopy(
        "cut.save", "UPDATE result_stage_normal SET best_record = 5 WHERE best_record = 6;"
                    "UPDATE stage_best_moves SET turns = 5, moves = 'R TR L D R' WHERE turns = 6");
    EXPECT_EQ(loweredAndCut.exitCode, 1) << loweredAndCut.output;
    EXPECT_EQ(Verdict(loweredAndCut.output, "練習問題１.pzd"), "does not clear in 5 turns");

    // The stage file edited after the record: one byte more is another file.
    {
        std::ofstream stage(folder / "extra" / "1-01 すべりだし.pzd", std::ios::binary | std::ios::app);
        stage.put('\0');
    }
    const ToolRun changed = VerifyCopy("changed.save", "");
    EXPECT_EQ(changed.exitCode, 1) << changed.output;
    EXPECT_EQ(Verdict(changed.output, "1-01 すべりだし.pzd"), "stage changed");

    EXPECT_EQ(RunTool("records " + Quoted(folder / "nothing.save")).exitCode, 2);
    EXPECT_EQ(RunTool("records").exitCode, 2);
}

} // namespace
