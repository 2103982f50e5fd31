// The real vendrel.exe on its native dialogs, driven from outside as a person would: the main
// window appears with the program icon, the first administrator login creates the database
// in the user's Documents folder (answering the two boxes it shows), and the file holds the
// administrator; Quit ends the program. Needs a display (under Wine: Xvfb).
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

    win32_driver::click(main, ids::cancel);
    EXPECT_EQ(win32_driver::wait_for_exit(&program), 0);
}

} // namespace
