// save/SaveSchema.h: the tables and default settings of the save file, and their repair.
//
// The schema lives in one place, content/save/schema.sql, which the build embeds into this
// library. The same text builds the save file that ships with the game (tools/savegen) and
// mends a file that lacks a table or the settings row, so the defaults cannot drift apart.
// Every statement of it adds only what is missing; rows that exist are never changed.
#pragma once

#include <string>

struct sqlite3;

// The embedded schema script (UTF-8 SQL, several statements).
extern const char* const kSaveSchemaSql;

// Runs every statement of the schema on an open connection. A statement that fails does not
// stop the others (a malformed settings table must not keep a missing result table from
// being made). True when every statement succeeded.
bool RepairSaveSchema(sqlite3* database);

// Opens the save file at `path` (creating it if it is missing), repairs its schema and
// closes it. On failure `error` (when given) receives SQLite's message and the file's
// existing contents are left as they were: a file that is not a database is never replaced.
bool RepairSaveFile(const char* path, std::string* error);
