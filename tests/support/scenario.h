// Scenario tests: the real program on the headless backend, in a temporary home whose
// documents folder holds the database file, and a second connection to check the file.
#pragma once

#include "platform/headless/driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testing_support {

using Rows = std::vector<std::vector<std::string>>;

// Runs sql on the database file through a connection of its own; NULL reads as "NULL".
Rows query(const std::string& file, const std::string& sql);
// Runs statements that return no rows; fails the test on an error.
void execute(const std::string& file, const std::string& sql);

class Scenario : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program with a command line; main is the main dialog afterwards.
    void start(const std::string& command_line = "");
    // Opens the login dialog, types user and password and presses Login; returns the
    // login dialog (which may have ended).
    platform::Window log_in(const std::string& user, const std::string& password);
    // Creates the database as admin with password "admin" and checks the two boxes.
    void create_database();

    Rows query(const std::string& sql) const { return testing_support::query(database, sql); }
    void execute(const std::string& sql) const { testing_support::execute(database, sql); }
    std::vector<std::string> box_texts(); // texts of the boxes shown since the last call

    std::string home;
    std::string database; // full path of data_vendrel.dat
    platform::Window main = nullptr;
};

} // namespace testing_support
