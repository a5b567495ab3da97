// save/SaveDataManager.cpp: the statements on "tomarugi.save" and the program-wide handle.
//
// Each public operation opens the file, runs its statements and closes the file again, so a
// record is on disk the moment the call returns and nothing is held between calls. SQLite's
// rollback journal (left at its defaults: journal on, full sync) keeps every statement
// atomic: a kill at any moment leaves either the old value or the new one. The batch lookup
// of many stages' records runs in one transaction, so its new rows arrive all or none.
//
// Stage names are bound as parameters, never pasted into the statement text, so a quote or
// any Shift-JIS byte (0x5C "\" as a second byte included) is stored and found byte for byte.
// Every value read goes through the same row callback that turns its text into a number.
//
// The file repairs itself: when a statement cannot be prepared because a table is missing,
// or the settings row is absent, the embedded schema adds what is missing (with the default
// settings) and the statement is tried exactly once more.
//
// A change that cannot be stored (the file is not a database, or may not be written) is
// told once per run on stderr; the game goes on without it.
#include "SaveDataManager.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <string>

#include <sqlite3.h>

#include "SaveSchema.h"
#include "SaveValueText.h"

namespace {

// Where the file is; see SetSaveFilePath.
std::string& SaveFilePath()
{
    static std::string path = "tomarugi.save";
    return path;
}

// Whether the player has been told that nothing is kept; one line per run is enough.
bool saveNotKeptTold = false;

// Statements are formatted into a buffer of this many bytes, cleared before each use.
constexpr std::size_t kStatementBufferSize = 1024;

// How long a statement waits for another process (a second copy of the game) that holds
// the file, in milliseconds, before it gives up as if the file could not be written.
constexpr int kBusyTimeoutMilliseconds = 1000;

using StatementText = std::array<char, kStatementBufferSize>;

// The file, open for the length of one operation.
class SaveConnection {
public:
    SaveConnection()
    {
        if (sqlite3_open_v2(SaveFilePath().c_str(), &database_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK) {
            sqlite3_close(database_);
            database_ = nullptr;
            return;
        }
        sqlite3_busy_timeout(database_, kBusyTimeoutMilliseconds);
    }
    ~SaveConnection() { sqlite3_close(database_); }
    SaveConnection(const SaveConnection&) = delete;
    SaveConnection& operator=(const SaveConnection&) = delete;

    sqlite3* Get() const { return database_; }
    explicit operator bool() const { return database_ != nullptr; }

private:
    sqlite3* database_ = nullptr;
};

// Row callback: every column value of a result row, as text, appended to the manager's
// result list as a number. Shaped like sqlite3_exec's callback; returns 0 to go on.
int AppendRowValues(void* manager, int columnCount, char** values, char** /*columnNames*/)
{
    auto* real = static_cast<RealSaveDataManager*>(manager);
    for (int column = 0; column < columnCount; ++column) {
        real->results.push_back(ParseSaveValue(values[column]));
    }
    return 0;
}

enum class Outcome {
    NotPrepared, // the statement text does not fit the file (a missing table), or no file
    Failed,      // prepared, but running it failed (the file cannot be written, say)
    Done,
};

// Formats a statement into a cleared buffer; false when it would not fit.
template <typename... Values>
bool FormatStatement(StatementText& text, const char* format, Values... values)
{
    text.fill('\0');
    int length = std::snprintf(text.data(), text.size(), format, values...);
    return length >= 0 && static_cast<std::size_t>(length) < text.size();
}

// Runs one statement. `name`, when given, is bound to parameter 1 as text of exactly its
// bytes. Result rows go to the row callback when `rowsTo` is given.
Outcome RunStatement(sqlite3* database, const StatementText& text, const std::string* name,
                     RealSaveDataManager* rowsTo)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database, text.data(), -1, &statement, nullptr) != SQLITE_OK || statement == nullptr) {
        sqlite3_finalize(statement);
        return Outcome::NotPrepared;
    }
    if (name != nullptr &&
        sqlite3_bind_text64(statement, 1, name->data(), name->size(), SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return Outcome::Failed;
    }
    int step = sqlite3_step(statement);
    std::vector<char*> values;
    while (step == SQLITE_ROW) {
        if (rowsTo != nullptr) {
            int columnCount = sqlite3_column_count(statement);
            values.assign(static_cast<std::size_t>(columnCount), nullptr);
            for (int column = 0; column < columnCount; ++column) {
                // Null for an SQL NULL, as sqlite3_exec would pass it.
                values[static_cast<std::size_t>(column)] =
                    reinterpret_cast<char*>(const_cast<unsigned char*>(sqlite3_column_text(statement, column)));
            }
            AppendRowValues(rowsTo, columnCount, values.data(), nullptr);
        }
        step = sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    return step == SQLITE_DONE ? Outcome::Done : Outcome::Failed;
}

// RunStatement, and when the statement does not fit the file, the schema's repair and one
// more try.
Outcome RunRepairing(sqlite3* database, const StatementText& text, const std::string* name,
                     RealSaveDataManager* rowsTo)
{
    Outcome outcome = RunStatement(database, text, name, rowsTo);
    if (outcome == Outcome::NotPrepared && RepairSaveSchema(database)) {
        outcome = RunStatement(database, text, name, rowsTo);
    }
    return outcome;
}

// Says once per run, on stderr, that a change could not be stored: a player whose new
// record is dropped without a word would believe it kept. Reads that fail stay quiet (they
// yield 0, and the first write to the same file says why).
void ReportUnwritable(sqlite3* database)
{
    if (saveNotKeptTold) {
        return;
    }
    saveNotKeptTold = true;
    std::fprintf(stderr,
                 "tomarugi: %s cannot be written (%s); settings are not kept, and new records wait in "
                 "memory until it can be\n",
                 SaveFilePath().c_str(), database != nullptr ? sqlite3_errmsg(database) : "it cannot be opened");
}

} // namespace

void SetSaveFilePath(const std::string& path)
{
    SaveFilePath() = path;
}

const std::string& GetSaveFilePath()
{
    return SaveFilePath();
}

void ReportSaveNotKept(const std::string& reason)
{
    if (saveNotKeptTold) {
        return;
    }
    saveNotKeptTold = true;
    std::fprintf(stderr, "tomarugi: records and settings are not kept: %s\n", reason.c_str());
}

namespace {

const char* ResultTable(std::int32_t kind)
{
    return kind == StageKind::Extra ? "result_stage_extra" : "result_stage_normal";
}

// The table a record write goes to, by "table kind": 0 normal, 1 extra, 2 endless boards
// (save/EndlessRecords.h, keyed by board_id). The lookups and writes that stand for the older
// API (GetBestRecord, SetBestRecord) read any kind but Extra as normal and reach the first
// two only (TableKindOf); the writes that keep moves reach the endless table too.
std::int32_t TableKindOf(std::int32_t kind) { return kind == StageKind::Extra ? StageKind::Extra : StageKind::Normal; }
std::int32_t MovesTableKindOf(std::int32_t kind) { return kind == StageKind::Endless ? StageKind::Endless : TableKindOf(kind); }
const char* RecordTable(std::int32_t tableKind)
{
    return tableKind == StageKind::Endless ? "result_stage_endless" : ResultTable(tableKind);
}
const char* RecordKey(std::int32_t tableKind) { return tableKind == StageKind::Endless ? "board_id" : "name"; }

// A record the file could not take, kept for the next write that succeeds in this run, with
// the moves that made it when the clear wrote them down (empty otherwise).
struct PendingRecord {
    std::int32_t kind = 0;
    std::string name; // Shift-JIS bytes
    std::int32_t record = 0;
    std::string fileHash;
    std::string moves;
};

// Program-wide, not per manager: a new manager (after the last handle went) must still offer
// what an earlier one could not store.
std::vector<PendingRecord>& PendingRecords()
{
    static std::vector<PendingRecord> pending;
    return pending;
}

// Keeps `record` for the stage; of two for one stage only the better (fewer turns) is kept,
// with its own moves.
void KeepPendingRecord(std::int32_t table, const std::string& name, std::int32_t record,
                       const std::string& fileHash = {}, const std::string& moves = {})
{
    for (PendingRecord& pending : PendingRecords()) {
        if (pending.kind == table && pending.name == name) {
            if (record < pending.record) {
                pending = {table, name, record, fileHash, moves};
            }
            return;
        }
    }
    PendingRecords().push_back({table, name, record, fileHash, moves});
}

// The keep-better write of one record on an open file.
RecordStore StoreKeepingBetter(sqlite3* database, std::int32_t table, const std::string& name, std::int32_t record)
{
    StatementText text;
    // The comparison reads the stored value as the game does (the number its text starts
    // with, NULL as 0), so a hand-edited "12 turns" is beaten only by 11 or fewer.
    if (!FormatStatement(text,
                         "UPDATE %s SET best_record = %d WHERE %s IN (?1) AND "
                         "(COALESCE(CAST(best_record AS INTEGER), 0) <= 0 OR "
                         "COALESCE(CAST(best_record AS INTEGER), 0) > %d)",
                         RecordTable(table), record, RecordKey(table), record)) {
        return RecordStore::Failed;
    }
    if (RunRepairing(database, text, &name, nullptr) != Outcome::Done) {
        return RecordStore::Failed;
    }
    return sqlite3_changes(database) > 0 ? RecordStore::Stored : RecordStore::Kept;
}

// Replaces the stored moves of a stage (below, with the moves table's statements).
bool StoreBestMoves(sqlite3* database, std::int32_t kind, const std::string& name, std::int32_t record,
                    const std::string& fileHash, const std::string& moves);

// Offers every pending record to the open file (after a write on it succeeded): each one the
// file took, or holds an equal or better record for, is dropped; the others stay. A record
// with moves goes in with them under a savepoint (which nests inside a caller's
// transaction), so the two still arrive together or not at all.
void OfferPendingRecords(sqlite3* database)
{
    std::vector<PendingRecord>& pending = PendingRecords();
    std::erase_if(pending, [database](const PendingRecord& record) {
        if (record.moves.empty()) {
            return StoreKeepingBetter(database, record.kind, record.name, record.record) != RecordStore::Failed;
        }
        if (sqlite3_exec(database, "SAVEPOINT pending_record", nullptr, nullptr, nullptr) != SQLITE_OK) {
            return false;
        }
        RecordStore stored = StoreKeepingBetter(database, record.kind, record.name, record.record);
        if (stored == RecordStore::Stored &&
            !StoreBestMoves(database, record.kind, record.name, record.record, record.fileHash, record.moves)) {
            stored = RecordStore::Failed;
        }
        if (stored == RecordStore::Failed) {
            sqlite3_exec(database, "ROLLBACK TO pending_record", nullptr, nullptr, nullptr);
        }
        sqlite3_exec(database, "RELEASE pending_record", nullptr, nullptr, nullptr);
        return stored != RecordStore::Failed;
    });
}

// The query of one settings column; 0 when there is no value.
std::int32_t QuerySetting(RealSaveDataManager& manager, const char* column)
{
    manager.results.clear();
    SaveConnection connection;
    StatementText text;
    if (!connection || !FormatStatement(text, "SELECT %s FROM system_config WHERE id IN ('1')", column)) {
        return 0;
    }
    Outcome outcome = RunRepairing(connection.Get(), text, nullptr, &manager);
    if (outcome == Outcome::Done && manager.results.empty() && RepairSaveSchema(connection.Get())) {
        // The settings row was missing and now holds the defaults.
        RunStatement(connection.Get(), text, nullptr, &manager);
    }
    return manager.results.empty() ? 0 : manager.results.front();
}

// The update of one settings column; a missing settings row is first added with the defaults.
void UpdateSetting(const char* column, std::int32_t value)
{
    SaveConnection connection;
    StatementText text;
    if (!connection) {
        ReportUnwritable(nullptr);
        return;
    }
    if (!FormatStatement(text, "UPDATE system_config SET %s = %d WHERE id IN ('1')", column, value)) {
        return;
    }
    Outcome outcome = RunRepairing(connection.Get(), text, nullptr, nullptr);
    if (outcome == Outcome::Done && sqlite3_changes(connection.Get()) == 0) {
        // No settings row: it is added with the defaults, and the change made to it.
        outcome = RepairSaveSchema(connection.Get()) ? RunStatement(connection.Get(), text, nullptr, nullptr)
                                                     : Outcome::Failed;
    }
    if (outcome != Outcome::Done) {
        ReportUnwritable(connection.Get());
    } else {
        OfferPendingRecords(connection.Get());
    }
}

// One stage's best record on an open file: the lookup, and for a stage seen the first time
// its row with no record yet and a second look. When the row cannot be made (the file
// cannot be written) that second look finds nothing either, and the answer is 0 without
// further tries. The rows read go to `manager.results`, cleared first.
std::int32_t LookUpBestRecord(sqlite3* database, RealSaveDataManager& manager, const StatementText& select,
                              const StatementText& insert, const std::string& name)
{
    manager.results.clear();
    RunRepairing(database, select, &name, &manager);
    if (!manager.results.empty()) {
        return manager.results.front();
    }
    if (RunStatement(database, insert, &name, nullptr) != Outcome::Done) {
        ReportUnwritable(database);
    }
    manager.results.clear();
    RunStatement(database, select, &name, &manager);
    return manager.results.empty() ? 0 : manager.results.front();
}

// The lookup and first-row statements of one result table; false when they do not fit.
bool FormatRecordStatements(std::int32_t kind, StatementText& select, StatementText& insert)
{
    return FormatStatement(select, "SELECT best_record FROM %s WHERE name IN (?1)", ResultTable(kind)) &&
           FormatStatement(insert, "INSERT INTO %s VALUES (?1,%d)", ResultTable(kind), 0);
}

// Program-wide state of the handles. Used from the main thread only, so the count needs no
// lock; the shared pointer's own count is atomic.
std::int32_t& HandleCount()
{
    static std::int32_t count = 0;
    return count;
}

std::shared_ptr<RealSaveDataManager>& CurrentManager()
{
    static std::shared_ptr<RealSaveDataManager> manager;
    return manager;
}

} // namespace

std::int32_t RealSaveDataManager::GetBestRecord(std::int32_t kind, const std::string& name)
{
    results.clear();
    SaveConnection connection;
    StatementText select;
    StatementText insert;
    if (!connection || !FormatRecordStatements(kind, select, insert)) {
        return 0;
    }
    return LookUpBestRecord(connection.Get(), *this, select, insert, name);
}

std::vector<std::int32_t> RealSaveDataManager::GetBestRecords(std::int32_t kind, const std::vector<std::string>& names)
{
    results.clear();
    std::vector<std::int32_t> records(names.size(), 0);
    if (names.empty()) {
        return records;
    }
    SaveConnection connection;
    StatementText select;
    StatementText insert;
    if (!connection || !FormatRecordStatements(kind, select, insert)) {
        return records;
    }
    // One write transaction for every first row: the journal is written and synced once,
    // not once per new stage. IMMEDIATE takes the write lock at once (waiting out another
    // copy of the game like any statement), so two copies cannot deadlock half-way. When it
    // cannot be had (a read-only file, a file that is no database) each lookup runs on its
    // own, exactly as GetBestRecord would.
    const bool inTransaction = sqlite3_exec(connection.Get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    for (std::size_t i = 0; i < names.size(); ++i) {
        records[i] = LookUpBestRecord(connection.Get(), *this, select, insert, names[i]);
    }
    if (inTransaction && sqlite3_exec(connection.Get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        // The new rows are lost, but they held no record: the values read stay right, and
        // the next visit makes the rows again.
        ReportUnwritable(connection.Get());
        sqlite3_exec(connection.Get(), "ROLLBACK", nullptr, nullptr, nullptr);
    } else if (inTransaction && !PendingRecords().empty()) {
        // The file took a write: records it could not take earlier are offered now, and the
        // list shows those it took.
        const std::vector<PendingRecord> offered = PendingRecords();
        OfferPendingRecords(connection.Get());
        for (const PendingRecord& record : offered) {
            const bool stillPending = std::any_of(PendingRecords().begin(), PendingRecords().end(),
                                                  [&record](const PendingRecord& left) {
                                                      return left.kind == record.kind && left.name == record.name;
                                                  });
            for (std::size_t i = 0; i < names.size() && !stillPending; ++i) {
                const bool sameTable = record.kind == TableKindOf(kind);
                if (sameTable && names[i] == record.name && (records[i] <= 0 || records[i] > record.record)) {
                    records[i] = record.record;
                }
            }
        }
    }
    return records;
}

RecordStore RealSaveDataManager::SetBestRecord(std::int32_t kind, const std::string& name, std::int32_t record)
{
    const std::int32_t table = TableKindOf(kind);
    SaveConnection connection;
    if (!connection) {
        ReportUnwritable(nullptr);
        KeepPendingRecord(table, name, record);
        return RecordStore::Failed;
    }
    const RecordStore stored = StoreKeepingBetter(connection.Get(), table, name, record);
    if (stored == RecordStore::Failed) {
        ReportUnwritable(connection.Get());
        KeepPendingRecord(table, name, record);
    } else {
        OfferPendingRecords(connection.Get());
    }
    return stored;
}

bool StorePendingRecords()
{
    if (PendingRecords().empty()) {
        return true;
    }
    SaveConnection connection;
    if (connection) {
        OfferPendingRecords(connection.Get());
    }
    return PendingRecords().empty();
}

std::size_t PendingRecordCount()
{
    return PendingRecords().size();
}

void ForgetPendingRecords()
{
    PendingRecords().clear();
}

namespace {

// Runs `sql` with the values `bind` gives it; rows go to `row` when given. A statement that
// cannot be prepared (an older file without the moves table) gets the schema's repair and
// one more try. True when it ran to its end.
bool RunBound(sqlite3* database, const char* sql, const std::function<bool(sqlite3_stmt*)>& bind,
              const std::function<void(sqlite3_stmt*)>& row, bool repair = true)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(database, sql, -1, &statement, nullptr) != SQLITE_OK || statement == nullptr) {
            sqlite3_finalize(statement);
            if (!repair || attempt == 1) {
                return false;
            }
            RepairSaveSchema(database);
            continue;
        }
        if (bind && !bind(statement)) {
            sqlite3_finalize(statement);
            return false;
        }
        int step = sqlite3_step(statement);
        while (step == SQLITE_ROW) {
            if (row) {
                row(statement);
            }
            step = sqlite3_step(statement);
        }
        sqlite3_finalize(statement);
        return step == SQLITE_DONE;
    }
    return false;
}

bool BindText(sqlite3_stmt* statement, int index, const std::string& text)
{
    return sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8) == SQLITE_OK;
}

std::string TextOf(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text != nullptr ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                           : std::string();
}

std::int32_t NumberOf(sqlite3_stmt* statement, int column)
{
    return ParseSaveValue(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)));
}

// The moves of one stage whose turns are the record its result table holds now, on an open
// file; false when there are none.
bool LookUpBestMoves(sqlite3* database, std::int32_t kind, const std::string& name, BestMoves& moves)
{
    StatementText text;
    // The record is read as the game reads it (the number its text starts with), and from
    // the stage's first row, as every lookup does.
    if (!FormatStatement(text,
                         "SELECT file_hash, turns, moves FROM stage_best_moves WHERE kind = ?1 AND name IN (?2) AND "
                         "CAST(turns AS INTEGER) = (SELECT COALESCE(CAST(best_record AS INTEGER), 0) FROM %s "
                         "WHERE %s IN (?2) LIMIT 1)",
                         RecordTable(MovesTableKindOf(kind)), RecordKey(MovesTableKindOf(kind)))) {
        return false;
    }
    bool found = false;
    RunBound(
        database, text.data(),
        [&](sqlite3_stmt* statement) {
            return sqlite3_bind_int(statement, 1, MovesTableKindOf(kind)) == SQLITE_OK && BindText(statement, 2, name);
        },
        [&](sqlite3_stmt* statement) {
            if (!found) {
                moves.fileHash = TextOf(statement, 0);
                moves.turns = NumberOf(statement, 1);
                moves.moves = TextOf(statement, 2);
                found = true;
            }
        });
    return found;
}

bool StoreBestMoves(sqlite3* database, std::int32_t kind, const std::string& name, std::int32_t record,
                    const std::string& fileHash, const std::string& moves)
{
    const auto bindKey = [&](sqlite3_stmt* statement) {
        return sqlite3_bind_int(statement, 1, kind) == SQLITE_OK && BindText(statement, 2, name);
    };
    // Delete and insert rather than an upsert: a table the schema remade has no key.
    return RunBound(database, "DELETE FROM stage_best_moves WHERE kind = ?1 AND name IN (?2)", bindKey, {}) &&
           RunBound(
               database,
               "INSERT INTO stage_best_moves (kind, name, file_hash, turns, moves) VALUES (?1, ?2, ?3, ?4, ?5)",
               [&](sqlite3_stmt* statement) {
                   return bindKey(statement) && BindText(statement, 3, fileHash) &&
                          sqlite3_bind_int(statement, 4, record) == SQLITE_OK && BindText(statement, 5, moves);
               },
               {});
}

} // namespace

RecordStore RealSaveDataManager::SetBestRecordWithMoves(std::int32_t kind, const std::string& name,
                                                        std::int32_t record, const std::string& fileHash,
                                                        const std::string& moves)
{
    const std::int32_t table = MovesTableKindOf(kind);
    SaveConnection connection;
    if (!connection) {
        ReportUnwritable(nullptr);
        KeepPendingRecord(table, name, record, fileHash, moves);
        return RecordStore::Failed;
    }
    sqlite3* database = connection.Get();
    const auto fail = [&](bool rollBack) {
        ReportUnwritable(database);
        if (rollBack) {
            sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        KeepPendingRecord(table, name, record, fileHash, moves);
        return RecordStore::Failed;
    };
    // IMMEDIATE: the write lock is taken before the record is compared, so another copy of
    // the game cannot slip a record in between our comparison and our moves.
    if (sqlite3_exec(database, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return fail(false);
    }
    const RecordStore stored = StoreKeepingBetter(database, table, name, record);
    if (stored == RecordStore::Failed) {
        return fail(true);
    }
    if (stored == RecordStore::Kept) {
        sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
        OfferPendingRecords(database);
        return RecordStore::Kept;
    }
    if (!StoreBestMoves(database, table, name, record, fileHash, moves) ||
        sqlite3_exec(database, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return fail(true);
    }
    OfferPendingRecords(database);
    return RecordStore::Stored;
}

bool RealSaveDataManager::GetBestMoves(std::int32_t kind, const std::string& name, BestMoves& moves)
{
    SaveConnection connection;
    return connection && LookUpBestMoves(connection.Get(), kind, name, moves);
}

std::vector<bool> RealSaveDataManager::HaveBestMoves(std::int32_t kind, const std::vector<std::string>& names)
{
    std::vector<bool> have(names.size(), false);
    SaveConnection connection;
    if (!connection) {
        return have;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        BestMoves moves;
        have[i] = LookUpBestMoves(connection.Get(), kind, names[i], moves);
    }
    return have;
}

bool ReadSavedRecords(const std::string& path, std::vector<SavedRecord>& records, std::string& error)
{
    records.clear();
    sqlite3* database = nullptr;
    if (sqlite3_open_v2(path.c_str(), &database, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        error = database != nullptr ? sqlite3_errmsg(database) : "cannot be opened";
        sqlite3_close(database);
        return false;
    }
    std::vector<std::string> tables;
    if (!RunBound(database, "SELECT name FROM sqlite_master WHERE type = 'table'", {},
                  [&](sqlite3_stmt* statement) { tables.push_back(TextOf(statement, 0)); }, false)) {
        error = sqlite3_errmsg(database);
        sqlite3_close(database);
        return false;
    }
    const auto has = [&tables](const char* table) {
        for (const std::string& each : tables) {
            if (each == table) {
                return true;
            }
        }
        return false;
    };
    if (!has("result_stage_normal") && !has("result_stage_extra")) {
        error = "no record tables (not a save file)";
        sqlite3_close(database);
        return false;
    }
    const bool movesTable = has("stage_best_moves");
    const struct {
        std::int32_t kind;
        const char* table;
    } sources[] = {{0, "result_stage_normal"}, {1, "result_stage_extra"}, {2, "result_stage_endless"}};
    for (const auto& source : sources) {
        if (!has(source.table)) {
            continue;
        }
        const std::string select =
            std::string("SELECT ") + RecordKey(source.kind) + ", best_record FROM " + source.table;
        std::vector<std::string> seen;
        const std::size_t first = records.size();
        if (!RunBound(
                database, select.c_str(), {},
                [&](sqlite3_stmt* statement) {
                    const std::string name = TextOf(statement, 0);
                    for (const std::string& each : seen) {
                        if (each == name) {
                            return; // the game reads a stage's first row only
                        }
                    }
                    seen.push_back(name);
                    const std::int32_t record = NumberOf(statement, 1);
                    if (record > 0) {
                        records.push_back(SavedRecord{source.kind, name, record, false, {}});
                    }
                },
                false)) {
            if (source.kind == 2) {
                // The endless table's columns are its own issue's; one we cannot read here
                // lists nothing rather than hiding the other records.
                records.resize(first);
                continue;
            }
            error = std::string(source.table) + ": " + sqlite3_errmsg(database);
            sqlite3_close(database);
            return false;
        }
        for (std::size_t i = first; movesTable && i < records.size(); ++i) {
            SavedRecord& saved = records[i];
            RunBound(
                database, "SELECT file_hash, turns, moves FROM stage_best_moves WHERE kind = ?1 AND name IN (?2)",
                [&](sqlite3_stmt* statement) {
                    return sqlite3_bind_int(statement, 1, saved.kind) == SQLITE_OK && BindText(statement, 2, saved.name);
                },
                [&](sqlite3_stmt* statement) {
                    if (!saved.hasMoves) {
                        saved.hasMoves = true;
                        saved.moves.fileHash = TextOf(statement, 0);
                        saved.moves.turns = NumberOf(statement, 1);
                        saved.moves.moves = TextOf(statement, 2);
                    }
                },
                false);
        }
    }
    sqlite3_close(database);
    return true;
}

std::int32_t RealSaveDataManager::GetCameraMode() { return QuerySetting(*this, "camera_mode"); }
void RealSaveDataManager::SetCameraMode(std::int32_t value) { UpdateSetting("camera_mode", value); }
std::int32_t RealSaveDataManager::GetCameraZDist() { return QuerySetting(*this, "camera_zdist"); }
void RealSaveDataManager::SetCameraZDist(std::int32_t value) { UpdateSetting("camera_zdist", value); }
std::int32_t RealSaveDataManager::GetCameraHeight() { return QuerySetting(*this, "camera_height"); }
void RealSaveDataManager::SetCameraHeight(std::int32_t value) { UpdateSetting("camera_height", value); }
bool RealSaveDataManager::GetDaemonStageView() { return QuerySetting(*this, "daemon_stage_view") != 0; }
void RealSaveDataManager::SetDaemonStageView(bool on) { UpdateSetting("daemon_stage_view", on ? 1 : 0); }
std::int32_t RealSaveDataManager::GetVolumeBgm() { return QuerySetting(*this, "volume_bgm"); }
void RealSaveDataManager::SetVolumeBgm(std::int32_t value) { UpdateSetting("volume_bgm", value); }
std::int32_t RealSaveDataManager::GetVolumeSe() { return QuerySetting(*this, "volume_se"); }
void RealSaveDataManager::SetVolumeSe(std::int32_t value) { UpdateSetting("volume_se", value); }

SaveDataManager::SaveDataManager()
{
    if (HandleCount() == 0) {
        // The previous manager, if any, is released by this assignment.
        CurrentManager() = std::make_shared<RealSaveDataManager>();
    }
    ++HandleCount();
}

SaveDataManager::~SaveDataManager()
{
    // The manager outlives its last handle; the next first handle replaces it.
    --HandleCount();
}

const std::shared_ptr<RealSaveDataManager>& SaveDataManager::Real() { return CurrentManager(); }

std::int32_t SaveDataManager::UseCount() { return HandleCount(); }

namespace {

constexpr const char* kFewestTurnsTable = "stage_fewest_turns";

// Runs `sql` on the cache table; when it cannot be prepared, first the schema's repair (a
// missing table) and then, if it still cannot, the table is dropped and made again (its
// columns are not ours). Rows go to `row` when given. True when the statement ran.
bool RunOnFewestTurns(sqlite3* database, const char* sql, const std::function<bool(sqlite3_stmt*)>& bind,
                      const std::function<void(sqlite3_stmt*)>& row)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(database, sql, -1, &statement, nullptr) != SQLITE_OK || statement == nullptr) {
            sqlite3_finalize(statement);
            if (attempt == 1) {
                const std::string drop = std::string("DROP TABLE IF EXISTS ") + kFewestTurnsTable;
                sqlite3_exec(database, drop.c_str(), nullptr, nullptr, nullptr);
            }
            RepairSaveSchema(database);
            continue;
        }
        if (bind && !bind(statement)) {
            sqlite3_finalize(statement);
            return false;
        }
        int step = sqlite3_step(statement);
        while (step == SQLITE_ROW) {
            if (row) {
                row(statement);
            }
            step = sqlite3_step(statement);
        }
        sqlite3_finalize(statement);
        return step == SQLITE_DONE;
    }
    return false;
}

std::string ColumnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text != nullptr ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                           : std::string();
}

} // namespace

std::vector<FewestTurnsRow> LoadFewestTurns(std::int32_t kind)
{
    std::vector<FewestTurnsRow> rows;
    SaveConnection connection;
    if (!connection) {
        return rows;
    }
    RunOnFewestTurns(
        connection.Get(), "SELECT name, file_hash, fewest_turns FROM stage_fewest_turns WHERE kind = ?1",
        [kind](sqlite3_stmt* statement) { return sqlite3_bind_int(statement, 1, kind) == SQLITE_OK; },
        [&rows, kind](sqlite3_stmt* statement) {
            FewestTurnsRow row;
            row.kind = kind;
            row.name = ColumnText(statement, 0);
            row.fileHash = ColumnText(statement, 1);
            // Read as the number its text starts with, like every stored value.
            row.fewestTurns = ParseSaveValue(reinterpret_cast<const char*>(sqlite3_column_text(statement, 2)));
            rows.push_back(std::move(row));
        });
    return rows;
}

bool StoreFewestTurns(const std::vector<FewestTurnsRow>& rows)
{
    if (rows.empty()) {
        return true;
    }
    SaveConnection connection;
    if (!connection) {
        return false;
    }
    sqlite3* database = connection.Get();
    if (sqlite3_exec(database, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return false;
    }
    bool stored = true;
    for (const FewestTurnsRow& row : rows) {
        const auto bindKey = [&row](sqlite3_stmt* statement) {
            return sqlite3_bind_int(statement, 1, row.kind) == SQLITE_OK &&
                   sqlite3_bind_text64(statement, 2, row.name.data(), row.name.size(), SQLITE_TRANSIENT,
                                       SQLITE_UTF8) == SQLITE_OK;
        };
        // Delete and insert rather than an upsert: a table the schema remade has no key.
        stored = stored &&
                 RunOnFewestTurns(database, "DELETE FROM stage_fewest_turns WHERE kind = ?1 AND name IN (?2)",
                                  bindKey, {}) &&
                 RunOnFewestTurns(
                     database, "INSERT INTO stage_fewest_turns (kind, name, file_hash, fewest_turns) VALUES (?1, ?2, ?3, ?4)",
                     [&](sqlite3_stmt* statement) {
                         return bindKey(statement) &&
                                sqlite3_bind_text64(statement, 3, row.fileHash.data(), row.fileHash.size(),
                                                    SQLITE_TRANSIENT, SQLITE_UTF8) == SQLITE_OK &&
                                sqlite3_bind_int(statement, 4, row.fewestTurns) == SQLITE_OK;
                     },
                     {});
    }
    if (stored && sqlite3_exec(database, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
        return true;
    }
    sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

std::string StageFileHash(const std::uint8_t* bytes, std::size_t size)
{
    std::uint64_t hash = 0xCBF29CE484222325ull; // FNV-1a, 64 bits
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ bytes[i]) * 0x100000001B3ull;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%zu:%016llx", size, static_cast<unsigned long long>(hash));
    return text;
}
