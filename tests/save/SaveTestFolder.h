// A scratch folder made the current directory for one test (the game keeps "tomarugi.save"
// there), with direct SQL access to the file for setting up rows and checking them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

class SaveFileTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs SQL on the save file; fails the test when SQLite refuses it.
    void Exec(const std::string& sql);
    // The first column of every result row, byte for byte; {"no such table"} and the like
    // when the query cannot run.
    std::vector<std::string> Query(const std::string& sql);
    // A result table's rows as "name:record", in row order.
    std::vector<std::string> Rows(const std::string& table);
    // One setting of row 1 as SQLite quotes it ("7", "'high'", "NULL").
    std::string Stored(const std::string& column);

    std::filesystem::path folder;

private:
    std::filesystem::path previous;
};
