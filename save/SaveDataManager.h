// save/SaveDataManager.h: best records and settings in the SQLite file "tomarugi.save".
//
// Every operation opens the file, runs its statements and closes it again; nothing is cached
// between calls. The file is "tomarugi.save" in the current directory (the program's folder)
// unless start-up chose another place with SetSaveFilePath. The program has one RealSaveDataManager at a
// time, reached through SaveDataManager::Real() while at least one SaveDataManager handle
// lives. Used from the main thread only.
//
// Failures do not stop the game: a value that cannot be read reads as 0 (false), a write
// that cannot be made changes nothing and is told once per run on stderr (the file is not
// a database, or may not be written).
//
// A best record is never dropped that way, though. One the file cannot take (SetBestRecord
// answers Failed: a full disk, a read-only file, a file another copy of the game holds past
// the busy wait) is kept in memory for the rest of the run, the better one per stage, and
// offered again, with the same keep-better statement, right after every later write that
// the file takes: a record, a setting, or the stage list's batch lookup (whose answer then
// shows it). StorePendingRecords offers them once more, for the program's end. Those the
// file takes, or already beats, are dropped from memory; the rest wait for the next write. A file that is missing, or lacks a table or the settings
// row, is completed with the default settings (content/save/schema.sql) before the
// statement runs again; rows that exist are never changed. Stored values are read as the
// number their text starts with (see SaveValueText.h).
//
//     SaveDataManager save;                      // keeps the manager alive
//     int32_t best = save->GetBestRecord(StageKind::Normal, name);
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Which result table a stage's record lives in. Any value other than Extra selects the
// normal table. Endless boards (named by their ID) keep their records in a table of their
// own (EndlessRecords.h), never through these calls.
enum StageKind : std::int32_t {
    Normal = 0,
    Extra = 1,
    Endless = 2,
    // A board held in memory by the stage editor (app/CurrentStage.h), test-played and
    // never recorded: no screen passes it to the save manager.
    Edited = 3,
};

// What became of a record offered to the file.
enum class RecordStore {
    Stored, // it is the stage's best now
    Kept,   // the file holds an equal or better record (perhaps another copy's), or no row
    Failed, // the file could not be written (full disk, read-only, locked past the busy wait)
};

// The moves of a best record, as stored beside it.
struct BestMoves {
    std::string fileHash;   // StageFileHash of the stage file the record was played on
    std::int32_t turns = 0; // the record they clear in
    std::string moves;      // FormatMoves text
};

class RealSaveDataManager {
public:
    // Best record of a stage (0 = none yet). A stage seen for the first time gets a row
    // with record 0. `name` is the stage's file name in Shift-JIS bytes, stored as is.
    std::int32_t GetBestRecord(std::int32_t kind, const std::string& name);
    // GetBestRecord for each of `names`, in order, in one opening of the file and one
    // transaction: the rows of stages seen the first time cost one sync of the file
    // together instead of one each (about 20 ms apiece). Same values and rows as the single
    // lookups; `results` then holds the last name's rows.
    std::vector<std::int32_t> GetBestRecords(std::int32_t kind, const std::vector<std::string>& names);
    // Stores `record` as the stage's best when it is better than the one in the file (lower,
    // or the stored one is 0 or less), in the statement itself: another copy of the game that
    // stored a better record between our read and this write keeps it. A stage without a row
    // gets nothing. The answer says what the file holds now (see RecordStore); a Failed
    // record waits in memory for the next write that succeeds (see above).
    RecordStore SetBestRecord(std::int32_t kind, const std::string& name, std::int32_t record);
    // SetBestRecord, and when the record is stored, its moves with it (table
    // stage_best_moves), in one transaction: a kill or a failure between the two writes
    // leaves the old record and the old moves, never one without the other. `fileHash` is
    // the stage file's StageFileHash (an endless board's ID for kind 2), `moves` the
    // solution as FormatMoves writes it. Kept and Failed leave the stored moves untouched.
    // Kind Endless (2) stores an endless board's record (save/EndlessRecords.h: `name` is the
    // board's ID, whose row the start of its play made) under the same rules; any other kind
    // but Extra is normal, as for SetBestRecord.
    RecordStore SetBestRecordWithMoves(std::int32_t kind, const std::string& name, std::int32_t record,
                                       const std::string& fileHash, const std::string& moves);
    // The moves stored with the stage's best record; false when there are none (a record
    // from before moves were kept, or none at all). Moves whose turns are not the record
    // the file holds now (a hand-edited file) are not given either.
    bool GetBestMoves(std::int32_t kind, const std::string& name, BestMoves& moves);
    // For each of `names`, whether GetBestMoves would give moves; one opening of the file.
    std::vector<bool> HaveBestMoves(std::int32_t kind, const std::vector<std::string>& names);

    std::int32_t GetCameraMode();
    void SetCameraMode(std::int32_t value);
    std::int32_t GetCameraZDist();
    void SetCameraZDist(std::int32_t value);
    std::int32_t GetCameraHeight();
    void SetCameraHeight(std::int32_t value);
    bool GetDaemonStageView();
    void SetDaemonStageView(bool on);
    std::int32_t GetVolumeBgm();
    void SetVolumeBgm(std::int32_t value);
    std::int32_t GetVolumeSe();
    void SetVolumeSe(std::int32_t value);

    // The results of the last query, one entry per column value of each row.
    std::vector<std::int32_t> results;
};

// The save file every operation opens: a path as the operating system spells it, relative to
// the current directory or absolute. "tomarugi.save" until start-up sets another (the
// player's data folder, when the program's folder cannot be written). Main thread only.
void SetSaveFilePath(const std::string& path);
const std::string& GetSaveFilePath();

// Offers the records the file could not take earlier (see above) to it now. True when none
// is left waiting. The program calls it as it ends.
bool StorePendingRecords();
// How many stages have a record waiting in memory for the file.
std::size_t PendingRecordCount();
// Forgets every waiting record: for tests that go on with a different file.
void ForgetPendingRecords();

// Says, once per run and on stderr, that records and settings cannot be kept, with `reason`;
// later calls and the manager's own report of a failed write then stay silent, so the player
// reads one line. For start-up, when no place for the save file can be written.
void ReportSaveNotKept(const std::string& reason);

// A handle that keeps the program's one RealSaveDataManager alive while it exists.
class SaveDataManager {
public:
    SaveDataManager();
    ~SaveDataManager();
    SaveDataManager(const SaveDataManager&) = delete;
    SaveDataManager& operator=(const SaveDataManager&) = delete;

    RealSaveDataManager* operator->() const { return Real().get(); }

    // The program-wide manager; empty before the first handle is made.
    static const std::shared_ptr<RealSaveDataManager>& Real();
    // How many handles live now.
    static std::int32_t UseCount();
};

// One best record of a save file and its moves, as `tomarugi-stage records` lists them.
struct SavedRecord {
    std::int32_t kind = 0;  // 0 normal, 1 extra, 2 endless
    std::string name;       // Shift-JIS bytes (an endless board's ID)
    std::int32_t record = 0; // 1 or more
    bool hasMoves = false;
    BestMoves moves;        // when hasMoves; moves.turns may differ from record in an edited file
};

// Every best record (1 or more) of the save file at `path`, normal, extra and (when the
// file has the table) endless, each with its stored moves. The file is opened read-only
// and never repaired: a table it lacks simply adds nothing. False with `error` set when it
// is no save file (cannot be opened, is not a database, or lacks both result tables).
bool ReadSavedRecords(const std::string& path, std::vector<SavedRecord>& records, std::string& error);

// The solver's cached answers (table stage_fewest_turns, see content/save/schema.sql).
// Unlike the records these may be used from any thread: each call opens its own connection
// and touches no manager state. A table that is missing is made; one that cannot be read
// (damaged, or made by hand with other columns) is dropped and made again, since it holds
// nothing but answers the game can find again.
struct FewestTurnsRow {
    std::int32_t kind = 0;
    std::string name;     // Shift-JIS bytes, as the records
    std::string fileHash; // "size:hash" of the stage file's bytes (StageFileHash)
    std::int32_t fewestTurns = 0; // 1 or more; -1 cannot be cleared; -2 beyond the budget
};
inline constexpr std::int32_t kFewestTurnsUnclearable = -1;
inline constexpr std::int32_t kFewestTurnsBeyondBudget = -2;

// Every cached answer for stages of `kind`, in no particular order; empty on any failure.
std::vector<FewestTurnsRow> LoadFewestTurns(std::int32_t kind);
// Stores the answers in one transaction, replacing any earlier row of the same kind and
// name. False when they could not be stored (nothing is kept then; they are found again).
bool StoreFewestTurns(const std::vector<FewestTurnsRow>& rows);
// The cache key of a stage file's contents: its size and 64-bit FNV-1a hash of its bytes.
std::string StageFileHash(const std::uint8_t* bytes, std::size_t size);
