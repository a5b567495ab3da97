#include "SaveTestFolder.h"

#include <cstdlib>

#include <sqlite3.h>
#include <unistd.h>

namespace {

// Opens the save file in the current folder for the test's own use.
struct Direct {
    Direct() { EXPECT_EQ(sqlite3_open("tomarugi.save", &database), SQLITE_OK); }
    ~Direct() { sqlite3_close(database); }
    sqlite3* database = nullptr;
};

} // namespace

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
    std::filesystem::current_path(previous);
    std::error_code ignored;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(folder, ignored);
}

void SaveFileTest::Exec(const std::string& sql)
{
    Direct direct;
    char* message = nullptr;
    int result = sqlite3_exec(direct.database, sql.c_str(), nullptr, nullptr, &message);
    EXPECT_EQ(result, SQLITE_OK) << sql << ": " << (message ? message : "");
    sqlite3_free(message);
}

std::vector<std::pair<std::string, std::int64_t>> SaveFileTest::ResultRows(const std::string& table)
{
    std::vector<std::pair<std::string, std::int64_t>> rows;
    Direct direct;
    sqlite3_stmt* statement = nullptr;
    std::string sql = "SELECT CAST(name AS BLOB), best_record FROM " + table + " ORDER BY rowid";
    if (sqlite3_prepare_v2(direct.database, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(direct.database);
        return rows;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, 0));
        rows.emplace_back(std::string(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(statement, 0))),
                          sqlite3_column_int64(statement, 1));
    }
    sqlite3_finalize(statement);
    return rows;
}

std::optional<std::string> SaveFileTest::StoredSetting(const std::string& column)
{
    Direct direct;
    sqlite3_stmt* statement = nullptr;
    std::string sql = "SELECT quote(" + column + ") FROM system_config WHERE id = 1";
    if (sqlite3_prepare_v2(direct.database, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(direct.database);
        return std::nullopt;
    }
    std::optional<std::string> value;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
    return value;
}

std::int64_t SaveFileTest::RowCount(const std::string& table)
{
    Direct direct;
    sqlite3_stmt* statement = nullptr;
    std::string sql = "SELECT count(*) FROM " + table;
    if (sqlite3_prepare_v2(direct.database, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        return -1;
    }
    std::int64_t count = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
    sqlite3_finalize(statement);
    return count;
}
