// The local binding of the database table: the SQLite library loaded at run time, its entry
// points looked up by name, and the database file opened in the user's documents folder.
// There is no link-time dependency on the library.
#include "platform/platform.h"
#include "store/db_driver.h"
#include "store/sql.h"
#include "store/sqlite_library.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace store {

// libsqlite3.so.0 on Linux, sqlite3.dll (beside the program) on Windows: store/CMakeLists.txt.
const char* sqlite_library_name = VENDREL_SQLITE_LIBRARY;
char database_path[4096] = "";

namespace {

constexpr unsigned long directory_data = 1;
constexpr unsigned long directory_temp = 2;

// The connection's page cache, in KiB (the library's default is about 2 MiB). A list of a
// decade's open tickets reads rows from pages all over the file; with the default cache every
// refresh reads them again from the system.
constexpr int page_cache_kib = 32768;

} // namespace

void* load_sqlite_library()
{
    return platform::load_library(sqlite_library_name);
}

int bind_local_driver(const char* file_name)
{
    // Without a documents folder there is no place for the file; never fall back to "/".
    const std::string documents = platform::documents_folder();
    if (documents.empty())
        return -1;
    return bind_local_driver_at(documents + platform::path_separator() + file_name);
}

int bind_local_driver_at(const std::string& path)
{
    void* library = load_sqlite_library();
    if (!library)
        return -1;

    // Looked up in this order; a missing entry point leaves its slot unbound.
    look_up(library, "sqlite3_initialize", &db_driver.initialize);
    look_up(library, "sqlite3_open_v2", &db_driver.open);
    look_up(library, "sqlite3_prepare_v2", &db_driver.prepare);
    look_up(library, "sqlite3_step", &db_driver.step);
    look_up(library, "sqlite3_finalize", &db_driver.finalize);
    look_up(library, "sqlite3_close_v2", &db_driver.close);
    // The UTF-8 form: the plain sqlite3_win32_set_directory reads its value as UTF-16.
    look_up(library, "sqlite3_win32_set_directory8", &db_driver.set_directory);
    look_up(library, "sqlite3_column_count", &db_driver.column_count);
    look_up(library, "sqlite3_column_name", &db_driver.column_name);
    look_up(library, "sqlite3_column_text", &db_driver.column_text);
    look_up(library, "sqlite3_column_int", &db_driver.column_int);
    look_up(library, "sqlite3_column_type", &db_driver.column_type);
    look_up(library, "sqlite3_column_double", &db_driver.column_double);

    // Only some platforms' libraries have the directory call; its results do not matter.
    std::string temp = platform::temp_folder();
    set_directory(directory_temp, temp.data());
    std::string documents = platform::documents_folder();
    set_directory(directory_data, documents.data());

    if (path.size() >= sizeof database_path)
        return -1;
    std::snprintf(database_path, sizeof database_path, "%s", path.c_str());

    initialize();
    const int flags = db_open_read_write | db_open_create | db_open_full_mutex;
    if (open(database_path, &db_handle, flags, nullptr) != db_ok)
        return -1;

    // Not a slot of the table: only the connection opened here ever waits for a lock.
    int (*busy_timeout)(DbConnection*, int) = nullptr;
    look_up(library, "sqlite3_busy_timeout", &busy_timeout);
    if (busy_timeout)
        busy_timeout(db_handle, lock_wait_ms);
    // Room for what a full list touches on a large file: 2048 ticket rows spread over the
    // whole table, the index pages that lead to them, and the register's names.
    run_statement(sql_format("pragma cache_size=-%d", page_cache_kib));
    return 0;
}

const char* local_column_by_name(DbStatement* statement, const char* name)
{
    const int count = column_count(statement);
    for (int i = 0; i < count; ++i) {
        const char* column = column_name(statement, i);
        if (column && std::strcmp(column, name) == 0)
            return reinterpret_cast<const char*>(column_text(statement, i));
    }
    return nullptr;
}

} // namespace store
