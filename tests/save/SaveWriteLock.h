// Another copy of the game in the middle of a write, for tests: holds the write lock of
// "tomarugi.save" in the current directory (BEGIN IMMEDIATE on a connection of its own) from
// construction until Release, so every write of the game waits out its busy timeout and fails,
// while reads still work.
#pragma once

#include <string>

#include <sqlite3.h>

class SaveWriteLock {
public:
    SaveWriteLock()
    {
        sqlite3_open("tomarugi.save", &database_);
        held_ = sqlite3_exec(database_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~SaveWriteLock() { Release(); }
    SaveWriteLock(const SaveWriteLock&) = delete;
    SaveWriteLock& operator=(const SaveWriteLock&) = delete;

    bool IsHeld() const { return held_; }
    // Runs `sql` inside the held transaction (what the other copy writes meanwhile).
    bool Write(const std::string& sql) { return sqlite3_exec(database_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }
    // Commits what was written and lets go of the file.
    void Release()
    {
        if (database_ != nullptr) {
            sqlite3_exec(database_, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(database_);
            database_ = nullptr;
            held_ = false;
        }
    }

private:
    sqlite3* database_ = nullptr;
    bool held_ = false;
};
