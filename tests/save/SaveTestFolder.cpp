#include "SaveTestFolder.h"

#include "SaveDataManager.h"

#include <cstdlib>

#include <sqlite3.h>

void SaveFileTest::SetUp()
{
    previous = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "tomarugi-save-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    std::filesystem::current_path(folder);
}

void SaveFileTest::TearDown()
{
    ForgetPendingRecords(); // a record left waiting belongs to this test's file only
    std::filesystem::current_path(previous);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void SaveFileTest::Exec(const std::string& sql)
{
    sqlite3* database = nullptr;
    sqlite3_open("tomarugi.save", &database);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(database, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << sql << ": " << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(database);
}

std::vector<std::string> SaveFileTest::Query(const std::string& sql)
{
    sqlite3* database = nullptr;
    sqlite3_open("tomarugi.save", &database);
    sqlite3_stmt* statement = nullptr;
    std::vector<std::string> rows;
    if (sqlite3_prepare_v2(database, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        rows.emplace_back(sqlite3_errmsg(database));
    }
    while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
        auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, 0));
        rows.emplace_back(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(statement, 0)));
    }
    sqlite3_finalize(statement);
    sqlite3_close(database);
    return rows;
}

std::vector<std::string> SaveFileTest::Rows(const std::string& table)
{
    return Query("SELECT CAST(name AS BLOB) || ':' || best_record FROM " + table + " ORDER BY rowid");
}

std::string SaveFileTest::Stored(const std::string& column)
{
    std::vector<std::string> rows = Query("SELECT quote(" + column + ") FROM system_config WHERE id = 1");
    return rows.size() == 1 ? rows.front() : "(" + std::to_string(rows.size()) + " rows)";
}
