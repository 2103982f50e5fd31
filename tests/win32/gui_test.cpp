// The real vendrel.exe on its native dialogs, driven from outside as a person would: the main
// window appears with the program icon, the first administrator login creates the database
// in the user's Documents folder (answering the two boxes it shows), and the file holds the
// administrator; a ticket another program writes shows in the main list without Refresh;
// Quit ends the program. Needs a display (under Wine: Xvfb).
#include "tests/win32/driver.h"

#include "platform/win32/text.h"
#include "resources/ids.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace {

std::string documents_folder()
{
    wchar_t* path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_CREATE, nullptr, &path)))
        folder = win32::to_utf8(path);
    CoTaskMemFree(path);
    return folder;
}

std::vector<std::string> row(const std::string& file, const char* sql)
{
    std::vector<std::string> values;
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            const unsigned char* text = sqlite3_column_text(statement, i);
            values.push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return values;
}

TEST(Win32Program, FirstAdministratorLoginCreatesTheDatabaseInDocuments)
{
    const std::string documents = documents_folder();
    ASSERT_FALSE(documents.empty());
    const std::string database = documents + "\\data_vendrel.dat";
    DeleteFileW(win32::to_wide(database).c_str());

    // The icon is a resource of the program (Wine does not answer WM_GETICON across processes).
    HMODULE file = LoadLibraryExW(L"vendrel.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(file ? LoadImageW(file, MAKEINTRESOURCEW(ids::program_icon), IMAGE_ICON, 16, 16, 0)
                   : nullptr,
              nullptr);

    win32_driver::Program program;
    ASSERT_TRUE(win32_driver::start(&program));
    HWND main = win32_driver::wait_for_dialog(program, "Vendrel");
    ASSERT_NE(main, nullptr) << "the main window never appeared";
    EXPECT_EQ(win32_driver::text_of(main, ids::main_window::login), "Login");
    EXPECT_TRUE(win32_driver::enabled(main, ids::main_window::login));

    win32_driver::click(main, ids::main_window::login);
    HWND login = win32_driver::wait_for_dialog(program, "Login");
    ASSERT_NE(login, nullptr);
    win32_driver::type(login, ids::login::user, "admin");
    win32_driver::type(login, ids::login::password, "admin");
    win32_driver::click(login, ids::login::log_in);
    EXPECT_TRUE(
        win32_driver::answer_box(program, "Generate new Database - no table for users found"));
    EXPECT_TRUE(win32_driver::answer_box(program, "Generating new Database done"));
    EXPECT_TRUE(win32_driver::wait_until_gone(login)) << "a good login closes its dialog";

    EXPECT_EQ(row(database, "select id, name, password, role from person"),
              (std::vector<std::string>{"1", "admin", "21232f297a57a5a743894a0e4a801fc3", "1"}));

    // A ticket another program writes into the file shows without Refresh, at the main
    // window's next question whether anything changed.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "insert into person (name,role,ac1) values ('Desk',5,'1');"
                           "insert into subjectlink (personid,personid2,linklevelkind) values "
                           "(1,2,3);"
                           "insert into ticket (code,personid_t,personid_u,subject,begindate) "
                           "values ('W-1',2,1,'from elsewhere','2026-03-01 09:00:00')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    HWND list = GetDlgItem(main, ids::main_window::ticket_list);
    for (int waited = 0; waited < 20000 && SendMessageW(list, LB_GETCOUNT, 0, 0) < 1; waited += 100)
        Sleep(100);
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 1);

    win32_driver::click(main, ids::cancel);
    EXPECT_EQ(win32_driver::wait_for_exit(&program), 0);
}

} // namespace
