// The temporary home, direct SQL on the program's database file, and the login steps.
#include "tests/qt/program.h"

#include "resources/ids.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace program {

using namespace ids;

std::string make_home()
{
    std::string pattern = std::filesystem::temp_directory_path() / "vendrel-qt-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return std::string();
    setenv("HOME", pattern.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (pattern + "/.config").c_str(), 1);
    return pattern;
}

void remove_home(const std::string& home)
{
    std::error_code ignored;
    if (!home.empty())
        std::filesystem::remove_all(home, ignored);
}

std::string database_in(const std::string& home)
{
    return home + "/Documents/data_vendrel.dat";
}

bool execute(const std::string& file, const std::string& sql)
{
    sqlite3* db = nullptr;
    char* error = nullptr;
    bool ok = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK;
    if (!ok)
        std::fprintf(stderr, "%s: %s\n", sql.c_str(), error ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    sqlite3_close(db);
    return ok;
}

int number(const std::string& file, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    int value = -1;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

std::vector<gui::Step> log_in(const std::string& user, const std::string& password, int boxes,
                              std::function<void()> while_open)
{
    return {
        gui::once([] { gui::click(qt_backend::find_dialog(main_dialog), main_window::login); }),
        gui::wait_for(login_dialog),
        gui::once([=] {
            platform::Window login = qt_backend::find_dialog(login_dialog);
            if (while_open)
                while_open();
            gui::type(login, login::user, user);
            gui::type(login, login::password, password);
            for (int i = 0; i < boxes; ++i)
                qt_backend::answer_next_box(platform::answer_ok);
            gui::click(login, login::log_in);
        }),
    };
}

std::vector<gui::Step> then(std::vector<gui::Step> first, const std::vector<gui::Step>& next)
{
    first.insert(first.end(), next.begin(), next.end());
    return first;
}

} // namespace program
