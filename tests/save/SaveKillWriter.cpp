// save_kill_writer: keeps writing best records through the game's own SaveDataManager until
// it is killed, so that a test can kill it at random moments.
//
//   save_kill_writer FOLDER
//   save_kill_writer FOLDER --moves
//
// In FOLDER (which holds "tomarugi.save") it gives the settings row's camera distance and the
// records of the stages "kill-0.pzd" to "kill-3.pzd" the value v, in that order, for
// v = (the highest value stored) + 1, + 2, ... A record only ever gets better (lower), so a
// stage's record for v is kRecordBase - v (see RecordForValue); 0 is "no record yet". For
// every write that has returned it sends one
// line "INDEX VALUE" on standard output (INDEX 0 the distance, 1..4 the stages), written
// straight to the descriptor, so the reader knows each acknowledged write the moment the
// save call came back. A write is acknowledged only after the database file was closed.
//
// With --moves it stores only the stage "moves.pzd", each record of value v together with
// MovesForRecord's text (one call, one transaction), and sends "1 VALUE" after each.
#include <cstdio>
#include <string>

#include <unistd.h>

#include "SaveDataManager.h"

namespace {

constexpr int kStageCount = 4;

std::string StageName(int index) { return "kill-" + std::to_string(index) + ".pzd"; }

// The record written for value v, and back: rising values are ever better records.
constexpr std::int32_t kRecordBase = 1'000'000;
std::int32_t RecordForValue(std::int32_t value) { return kRecordBase - value; }
std::int32_t ValueOfRecord(std::int32_t record) { return record <= 0 ? 0 : kRecordBase - record; }

bool Acknowledge(int index, std::int32_t value)
{
    char line[32];
    const int length = std::snprintf(line, sizeof line, "%d %d\n", index, static_cast<int>(value));
    return write(STDOUT_FILENO, line, static_cast<std::size_t>(length)) == length;
}

// The moves text stored with `record`: it names its record, so a reader can tell moves that
// belong to another record (the kill test spells it the same way).
std::string MovesForRecord(std::int32_t record)
{
    std::string moves;
    for (std::int32_t i = 0; i < record % 7; ++i) {
        moves += "R ";
    }
    return moves + "TR" + std::to_string(record);
}

int WriteMovesForever(SaveDataManager& save)
{
    const std::string stage = "moves.pzd";
    const std::int32_t highest = ValueOfRecord(save->GetBestRecord(StageKind::Normal, stage));
    for (std::int32_t value = highest + 1;; ++value) {
        const std::int32_t record = RecordForValue(value);
        if (save->SetBestRecordWithMoves(StageKind::Normal, stage, record, "hash", MovesForRecord(record)) !=
            RecordStore::Stored) {
            return 1;
        }
        if (!Acknowledge(1, value)) {
            return 1;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    const bool moves = argc == 3 && std::string(argv[2]) == "--moves";
    if ((argc != 2 && !moves) || chdir(argv[1]) != 0) {
        std::fprintf(stderr, "usage: save_kill_writer FOLDER [--moves]\n");
        return 2;
    }
    SaveDataManager save;
    if (moves) {
        return WriteMovesForever(save);
    }
    std::int32_t highest = save->GetCameraZDist();
    for (int stage = 0; stage < kStageCount; ++stage) {
        // The first run gives each stage its row (record 0).
        const std::int32_t record = ValueOfRecord(save->GetBestRecord(StageKind::Normal, StageName(stage)));
        highest = record > highest ? record : highest;
    }
    for (std::int32_t value = highest + 1;; ++value) {
        save->SetCameraZDist(value);
        if (!Acknowledge(0, value)) {
            return 1;
        }
        for (int stage = 0; stage < kStageCount; ++stage) {
            if (save->SetBestRecord(StageKind::Normal, StageName(stage), RecordForValue(value)) != RecordStore::Stored) {
                return 1;
            }
            if (!Acknowledge(stage + 1, value)) {
                return 1;
            }
        }
    }
}
