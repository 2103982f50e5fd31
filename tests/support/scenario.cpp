// The scenario fixture: temporary home, program start-up and a second connection.
#include "tests/support/scenario.h"

#include "app/startup.h"
#include "resources/ids.h"
#include "harness/home.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>

namespace testing_support {

using namespace ids;

Rows query(const std::string& file, const std::string& sql)
{
    Rows rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << file;
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot prepare " << sql << ": " << sqlite3_errmsg(db);
    } else {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const unsigned char* text = sqlite3_column_text(statement, i);
                row.push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
            }
            rows.push_back(row);
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

void execute(const std::string& file, const std::string& sql)
{
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << sql << ": " << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

void Scenario::SetUp()
{
    home = make_temp_home("vendrel-test");
    ASSERT_FALSE(home.empty());
    database = home + "/Documents/data_vendrel.dat";
}

void Scenario::TearDown()
{
    headless::stop_program();
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

void Scenario::start(const std::string& command_line)
{
    headless::start_program([command_line] { return app::program_entry(command_line.c_str()); });
    main = headless::find_dialog(main_dialog);
    ASSERT_NE(main, nullptr);
}

platform::Window Scenario::log_in(const std::string& user, const std::string& password)
{
    headless::click(main, main_window::login);
    platform::Window login = headless::find_dialog(login_dialog);
    EXPECT_NE(login, nullptr);
    headless::type_text(login, login::user, user);
    headless::type_text(login, login::password, password);
    headless::click(login, login::log_in);
    return login;
}

void Scenario::create_database()
{
    log_in("admin", "admin");
    EXPECT_EQ(box_texts(),
              (std::vector<std::string>{"Generate new Database - no table for users found",
                                        "Generating new Database done"}));
}

std::vector<std::string> Scenario::box_texts()
{
    std::vector<std::string> texts;
    for (const headless::ShownBox& box : headless::take_boxes())
        texts.push_back(box.text);
    return texts;
}

} // namespace testing_support
