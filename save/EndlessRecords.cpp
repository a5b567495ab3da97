// save/EndlessRecords.cpp: the statements on result_stage_endless.
#include "EndlessRecords.h"

#include "SaveSchema.h"
#include "SaveValueText.h"

#include <cstdio>
#include <functional>

#include <sqlite3.h>

namespace {

// How long a statement waits for another copy of the game holding the file, in ms.
constexpr int kBusyTimeoutMilliseconds = 1000;

class Connection {
public:
    Connection()
    {
        if (sqlite3_open_v2(GetSaveFilePath().c_str(), &database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            sqlite3_close(database);
            database = nullptr;
            return;
        }
        sqlite3_busy_timeout(database, kBusyTimeoutMilliseconds);
    }
    ~Connection() { sqlite3_close(database); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* database = nullptr;
};

enum class Ran { NotPrepared, Failed, Done };

Ran RunOnce(sqlite3* database, const char* sql, const std::function<bool(sqlite3_stmt*)>& bind,
            const std::function<void(sqlite3_stmt*)>& row)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database, sql, -1, &statement, nullptr) != SQLITE_OK || statement == nullptr) {
        sqlite3_finalize(statement);
        return Ran::NotPrepared;
    }
    if (bind && !bind(statement)) {
        sqlite3_finalize(statement);
        return Ran::Failed;
    }
    int step = sqlite3_step(statement);
    while (step == SQLITE_ROW) {
        if (row) {
            row(statement);
        }
        step = sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    return step == SQLITE_DONE ? Ran::Done : Ran::Failed;
}

// Runs `sql`; when it does not fit the file (the table is missing), the schema's repair and
// exactly one more try.
Ran Run(sqlite3* database, const char* sql, const std::function<bool(sqlite3_stmt*)>& bind,
        const std::function<void(sqlite3_stmt*)>& row = {})
{
    if (database == nullptr) {
        return Ran::NotPrepared;
    }
    Ran ran = RunOnce(database, sql, bind, row);
    if (ran == Ran::NotPrepared && RepairSaveSchema(database)) {
        ran = RunOnce(database, sql, bind, row);
    }
    return ran;
}

bool BindId(sqlite3_stmt* statement, const std::string& boardId)
{
    return sqlite3_bind_text64(statement, 1, boardId.data(), boardId.size(), SQLITE_TRANSIENT, SQLITE_UTF8) ==
           SQLITE_OK;
}

std::int32_t ColumnValue(sqlite3_stmt* statement, int column)
{
    return ParseSaveValue(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)));
}

// The row of a board, made with record 0 when missing.
bool EnsureRow(sqlite3* database, const std::string& boardId)
{
    return Run(database,
               "INSERT INTO result_stage_endless (board_id, best_record, fewest_turns, last_played) "
               "SELECT ?1, 0, 0, 0 WHERE NOT EXISTS (SELECT 1 FROM result_stage_endless WHERE board_id IN (?1))",
               [&](sqlite3_stmt* statement) { return BindId(statement, boardId); }) == Ran::Done;
}

} // namespace

bool NoteEndlessPlayed(const std::string& boardId, std::int32_t fewestTurns, std::int64_t now)
{
    Connection connection;
    return EnsureRow(connection.database, boardId) &&
           Run(connection.database,
               "UPDATE result_stage_endless SET fewest_turns = ?2, last_played = ?3 WHERE board_id IN (?1)",
               [&](sqlite3_stmt* statement) {
                   return BindId(statement, boardId) && sqlite3_bind_int(statement, 2, fewestTurns) == SQLITE_OK &&
                          sqlite3_bind_int64(statement, 3, now) == SQLITE_OK;
               }) == Ran::Done;
}

std::int32_t GetEndlessBestRecord(const std::string& boardId)
{
    Connection connection;
    std::int32_t best = 0;
    Run(connection.database, "SELECT best_record FROM result_stage_endless WHERE board_id IN (?1) LIMIT 1",
        [&](sqlite3_stmt* statement) { return BindId(statement, boardId); },
        [&](sqlite3_stmt* statement) { best = ColumnValue(statement, 0); });
    return best;
}

RecordStore SetEndlessBestRecord(const std::string& boardId, std::int32_t record)
{
    Connection connection;
    if (!EnsureRow(connection.database, boardId)) {
        return RecordStore::Failed;
    }
    // The comparison is the statement's own, as for the stage records: a better record
    // stored by another copy of the game between our read and this write stays.
    const Ran ran = Run(connection.database,
                        "UPDATE result_stage_endless SET best_record = ?2 WHERE board_id IN (?1) AND "
                        "(COALESCE(CAST(best_record AS INTEGER), 0) <= 0 OR "
                        "COALESCE(CAST(best_record AS INTEGER), 0) > ?2)",
                        [&](sqlite3_stmt* statement) {
                            return BindId(statement, boardId) && sqlite3_bind_int(statement, 2, record) == SQLITE_OK;
                        });
    if (ran != Ran::Done) {
        return RecordStore::Failed;
    }
    return sqlite3_changes(connection.database) > 0 ? RecordStore::Stored : RecordStore::Kept;
}

std::vector<EndlessRecordRow> LoadRecentEndless(std::size_t limit)
{
    Connection connection;
    std::vector<EndlessRecordRow> rows;
    Run(connection.database,
        "SELECT board_id, best_record, fewest_turns, last_played FROM result_stage_endless "
        "ORDER BY CAST(last_played AS INTEGER) DESC, rowid DESC LIMIT ?1",
        [&](sqlite3_stmt* statement) {
            return sqlite3_bind_int64(statement, 1, static_cast<sqlite3_int64>(limit)) == SQLITE_OK;
        },
        [&](sqlite3_stmt* statement) {
            EndlessRecordRow row;
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            row.boardId = text != nullptr ? text : "";
            row.bestRecord = ColumnValue(statement, 1);
            row.fewestTurns = ColumnValue(statement, 2);
            row.lastPlayed = sqlite3_column_int64(statement, 3);
            rows.push_back(std::move(row));
        });
    return rows;
}

bool IsEndlessBoardKnown(const std::string& boardId)
{
    Connection connection;
    bool known = false;
    Run(connection.database, "SELECT 1 FROM result_stage_endless WHERE board_id IN (?1) LIMIT 1",
        [&](sqlite3_stmt* statement) { return BindId(statement, boardId); },
        [&](sqlite3_stmt*) { known = true; });
    return known;
}
