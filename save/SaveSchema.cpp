// save/SaveSchema.cpp: running the embedded schema script statement by statement.
#include "SaveSchema.h"

#include <sqlite3.h>

bool RepairSaveSchema(sqlite3* database)
{
    if (database == nullptr) {
        return false;
    }
    bool allSucceeded = true;
    const char* next = kSaveSchemaSql;
    while (next != nullptr && *next != '\0') {
        sqlite3_stmt* statement = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(database, next, -1, &statement, &tail) != SQLITE_OK) {
            // A statement that names a column the file lacks fails here; SQLite still says
            // where it ended, so the statements after it get their turn. Without that the
            // rest of the script cannot be found.
            allSucceeded = false;
            if (tail == nullptr || tail <= next) {
                break;
            }
            next = tail;
            continue;
        }
        next = tail;
        if (statement == nullptr) {
            continue; // only blanks or comments were left
        }
        int step = SQLITE_ROW;
        while (step == SQLITE_ROW) {
            step = sqlite3_step(statement);
        }
        if (step != SQLITE_DONE) {
            allSucceeded = false;
        }
        sqlite3_finalize(statement);
    }
    return allSucceeded;
}

bool RepairSaveFile(const char* path, std::string* error)
{
    sqlite3* database = nullptr;
    int opened = sqlite3_open_v2(path, &database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    bool repaired = opened == SQLITE_OK && RepairSaveSchema(database);
    if (!repaired && error != nullptr) {
        *error = database != nullptr ? sqlite3_errmsg(database) : sqlite3_errstr(opened);
    }
    if (sqlite3_close(database) != SQLITE_OK && repaired) {
        repaired = false;
        if (error != nullptr) {
            *error = "the file could not be closed";
        }
    }
    return repaired;
}
