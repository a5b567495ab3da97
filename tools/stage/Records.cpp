// tools/stage/Records.cpp: tomarugi-stage records, the best records of a save file and the
// proof that each was really played.
//
//     tomarugi-stage records SAVE [--verify] [--stages DIR...]
//
// One line per best record: kind, name, turns and whether its moves are stored, separated
// by tabs (names in UTF-8). With --verify a fifth column tells what replaying the stored
// moves through the rules, frame by frame as the game plays them, on the stage file gives:
//     ok                        the moves clear the stage in exactly the record's turns
//     no moves                  a record from before moves were kept: nothing to prove
//     stage missing             no file of that name in the folders searched
//     stage changed             the file's contents are not the ones the record was played on
//     does not clear in N turns the moves are malformed, do not fit, or do not clear in the
//                               record's N turns (a hand-edited move list or record)
// Exit 0 when no record fails, 1 when any is "stage changed" or "does not clear", 2 for bad
// usage or a file that is no save file. The save file is only read, never changed.
//
// Stage files are looked for by name in the folders after --stages, in order, and then in
// the tool's own folder: normal stages in stages/ (the compiled sources of the data pack,
// as a build leaves them), extra ones in data/stage/extra/. Endless boards are made from
// their IDs by the game's own generator (puzzle/EndlessBoard.h); an ID that is not one, or
// whose version this tool does not know, is "stage missing".
#include "EndlessBoard.h"
#include "PuzzleReplay.h"
#include "PuzzleRules.h"
#include "PuzzleSolver.h"
#include "SaveDataManager.h"
#include "StageCommands.h"
#include "StageDataReader.h"

#include <Lumora/Text.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>


namespace {

const char* const RecordsUsage = "usage: tomarugi-stage records SAVE [--verify] [--stages DIR...]\n";

const char* KindName(std::int32_t kind)
{
    switch (kind) {
    case 0:
        return "normal";
    case 1:
        return "extra";
    case 2:
        return "endless";
    default:
        return "unknown";
    }
}

// The folder the running program lies in; empty when it cannot be told.
std::filesystem::path ProgramFolder()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}

// The bytes of the first plain file called `name` (UTF-8) in `folders`; false when none.
bool FindStageBytes(const std::vector<std::filesystem::path>& folders, const std::string& name,
                    std::vector<std::uint8_t>& bytes)
{
    for (const std::filesystem::path& folder : folders) {
        const std::filesystem::path path = folder / name;
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) {
            continue;
        }
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            continue;
        }
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        return true;
    }
    return false;
}

} // namespace

namespace {

// The bytes of the board an endless ID names, made again; false for a text that is no ID.
bool EndlessBoardBytes(const std::string& boardId, std::vector<std::uint8_t>& bytes)
{
    EndlessId id;
    std::string why;
    EndlessBoard board;
    if (!ParseEndlessId(boardId, id, why) || MakeEndlessBoard(id, board) != EndlessOutcome::Made) {
        return false;
    }
    bytes = board.stage.ToBytes();
    return true;
}

} // namespace

std::string VerifyStoredMoves(const std::vector<std::uint8_t>& stageBytes, const SavedRecord& saved)
{
    const std::string doesNotClear = "does not clear in " + std::to_string(saved.record) + " turns";
    if (!saved.hasMoves) {
        return "no moves";
    }
    if (StageFileHash(stageBytes.data(), stageBytes.size()) != saved.moves.fileHash) {
        return "stage changed";
    }
    std::vector<SolverMove> moves;
    if (!ParseMoves(saved.moves.moves, moves) || moves.size() != static_cast<std::size_t>(saved.record)) {
        return doesNotClear;
    }
    StageDataReader stage;
    stage.ReadFromBytes(stageBytes.data(), stageBytes.size());
    PuzzleRules rules;
    rules.board.BuildBoard(stage);
    if (rules.board.tiles.empty() || rules.board.frogs.empty()) {
        return doesNotClear; // the game never records such a board
    }
    const ReplayReport report = ReplayMoves(rules, moves);
    return report.ok && rules.turns == moves.size() ? "ok" : doesNotClear;
}

int RecordsCommand(const std::vector<std::string>& args)
{
    std::string savePath;
    bool verify = false;
    std::vector<std::filesystem::path> stageFolders;
    bool inStages = false;
    for (const std::string& arg : args) {
        if (arg == "--verify") {
            verify = true;
            inStages = false;
        } else if (arg == "--stages") {
            inStages = true;
        } else if (inStages) {
            stageFolders.emplace_back(arg);
        } else if (savePath.empty() && (arg.empty() || arg[0] != '-')) {
            savePath = arg;
        } else {
            std::cerr << "tomarugi-stage: records: unexpected '" << arg << "'\n" << RecordsUsage;
            return 2;
        }
    }
    if (savePath.empty()) {
        std::cerr << "tomarugi-stage: records needs a save file\n" << RecordsUsage;
        return 2;
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(savePath, error)) {
        std::cerr << "tomarugi-stage: " << savePath << ": no such save file\n";
        return 2;
    }
    for (const std::filesystem::path& folder : stageFolders) {
        if (!std::filesystem::is_directory(folder, error)) {
            std::cerr << "tomarugi-stage: " << folder.string() << ": not a folder\n";
            return 2;
        }
    }
    std::vector<SavedRecord> records;
    std::string reason;
    if (!ReadSavedRecords(savePath, records, reason)) {
        std::cerr << "tomarugi-stage: " << savePath << ": " << reason << "\n";
        return 2;
    }

    const std::filesystem::path programFolder = ProgramFolder();
    std::vector<std::filesystem::path> normalFolders = stageFolders;
    std::vector<std::filesystem::path> extraFolders = stageFolders;
    if (!programFolder.empty()) {
        normalFolders.push_back(programFolder / "stages");
        extraFolders.push_back(programFolder / "data" / "stage" / "extra");
    }

    int failures = 0;
    for (const SavedRecord& saved : records) {
        std::cout << KindName(saved.kind) << "\t" << Lumora::ShiftJisToUtf8(saved.name) << "\t" << saved.record
                  << "\t" << (saved.hasMoves ? "moves" : "no moves");
        if (verify) {
            std::string verdict;
            std::string fileName;
            std::vector<std::uint8_t> bytes;
            if (!saved.hasMoves) {
                verdict = "no moves";
            } else if (saved.kind == StageKind::Endless) {
                verdict = EndlessBoardBytes(saved.name, bytes) ? VerifyStoredMoves(bytes, saved) : "stage missing";
            } else if (!Lumora::TryShiftJisToUtf8(saved.name, fileName) ||
                       !FindStageBytes(saved.kind == 1 ? extraFolders : normalFolders, fileName, bytes)) {
                verdict = "stage missing";
            } else {
                verdict = VerifyStoredMoves(bytes, saved);
            }
            if (verdict == "stage changed" || verdict.rfind("does not clear", 0) == 0) {
                ++failures;
            }
            std::cout << "\t" << verdict;
        }
        std::cout << "\n";
    }
    if (verify) {
        std::cout << records.size() << " records, " << failures << (failures == 1 ? " fails" : " fail") << "\n";
    }
    return failures > 0 ? 1 : 0;
}
