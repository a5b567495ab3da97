// A scratch folder for one test, made the current directory (where the game keeps
// "tomarugi.save"), plus direct access to the file for setting up and checking rows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

class SaveFileTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs SQL on the save file directly; fails the test when SQLite refuses it.
    void Exec(const std::string& sql);
    // The rows of a result table: each name's exact bytes and its record, in row order.
    std::vector<std::pair<std::string, std::int64_t>> ResultRows(const std::string& table);
    // One settings column of row 1 as SQLite stores it, or nothing when there is no row 1.
    std::optional<std::string> StoredSetting(const std::string& column);
    // How many rows a table has, or -1 when the table does not exist.
    std::int64_t RowCount(const std::string& table);

    std::filesystem::path folder;

private:
    std::filesystem::path previous;
};
