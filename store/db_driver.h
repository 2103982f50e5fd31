// The one table of database operations through which every statement of the program runs,
// and the process's one connection. Standalone and server instances bind it to the SQLite
// library loaded at run time; a client rebinds the slots the dialogs use to its remote
// substitutes. Callers use only the forwarding operations, never a slot.
#pragma once

#include <string>

namespace store {

// Opaque handles: a local binding hands out the library's own, the client driver its own.
struct DbConnection;
struct DbStatement;

// Step results and the codes this program looks at.
constexpr int db_ok = 0;
constexpr int db_error = 1;
constexpr int db_interrupt = 9;
constexpr int db_constraint = 19; // a unique index refused the row
constexpr int db_misuse = 21;
constexpr int db_row = 100;
constexpr int db_done = 101;

// How long a statement of the local binding waits for a lock another process holds (a
// backup reading the file) before it fails with "database is locked": shorter than the three
// seconds a server gives one step of a client, so that the server thread is never held up
// longer for a lock than for work. Whatever holds the file must let go well within it.
constexpr int lock_wait_ms = 2000;

// Open flags: read-write, create, and the serialized threading mode, because the server
// thread and the dialogs share the one connection.
constexpr int db_open_read_write = 0x00000002;
constexpr int db_open_create = 0x00000004;
constexpr int db_open_full_mutex = 0x00010000;

struct DbDriver {
    // Library set-up
    int (*initialize)();
    int (*open)(const char* file_name, DbConnection** connection, int flags, const char* vfs);
    int (*set_directory)(unsigned long kind, void* directory);
    int (*close)(DbConnection* connection);

    // Statements
    int (*prepare)(DbConnection* connection, const char* sql, int bytes, DbStatement** statement,
                   const char** tail);
    int (*step)(DbStatement* statement);
    int (*finalize)(DbStatement* statement);

    // Columns of the current row
    int (*column_count)(DbStatement* statement);
    const char* (*column_name)(DbStatement* statement, int column);
    const unsigned char* (*column_text)(DbStatement* statement, int column);
    int (*column_int)(DbStatement* statement, int column);
    int (*column_type)(DbStatement* statement, int column);
    double (*column_double)(DbStatement* statement, int column);

    // The program's own: the text of a named column, or none.
    const char* (*column_by_name)(DbStatement* statement, const char* name);
};

// All slots unbound (null) until first initialisation binds them.
extern DbDriver db_driver;

// The connection of the process; none until the database is opened.
extern DbConnection* db_handle;

// Forwarding operations. An unbound slot does not crash: the operation fails with an error
// code (db_error for prepare, db_misuse for the others) and yields no text or statement.
// Closing through an unbound slot reports success, as there is nothing to close.
int initialize();
int open(const char* file_name, DbConnection** connection, int flags, const char* vfs);
int set_directory(unsigned long kind, void* directory);
int close(DbConnection* connection);
int prepare(DbConnection* connection, const char* sql, int bytes, DbStatement** statement,
            const char** tail);
int step(DbStatement* statement);
int finalize(DbStatement* statement);
int column_count(DbStatement* statement);
const char* column_name(DbStatement* statement, int column);
const unsigned char* column_text(DbStatement* statement, int column);
int column_int(DbStatement* statement, int column);
int column_type(DbStatement* statement, int column);
double column_double(DbStatement* statement, int column);
const char* column_by_name(DbStatement* statement, const char* name);

// Loads the library, binds the thirteen library slots, sets its directories where the
// platform has that call, and opens file_name in the user's documents folder into
// db_handle, whose statements then wait briefly for a lock another process holds.
// Returns 0, or -1 when the library is missing or the file cannot be opened.
int bind_local_driver(const char* file_name);

// The same for the database file at path (UTF-8), wherever it lies.
int bind_local_driver_at(const std::string& path);

// The local column_by_name: the text of the leftmost column whose name equals name exactly,
// or none when no column has that name or its value is NULL.
const char* local_column_by_name(DbStatement* statement, const char* name);

// The shared library bind_local_driver loads; tests point it elsewhere.
extern const char* sqlite_library_name;

// The full path of the database file last given to bind_local_driver.
extern char database_path[4096];

// The PostgreSQL store (the Linux program only): binds the statement slots to the client
// library, loaded at run time by postgresql_library_name, and connects to conninfo (a
// connection URI or key=value words; the password as the library reads it, from the
// password file or the environment) into db_handle. Every statement is also prepared on an
// in-memory SQLite database with the program's four tables, which names its columns as the
// SQLite store would and on which the server's guard judges its peers. 0, or -1 with *reason.
int bind_postgresql_driver(const std::string& conninfo, std::string* reason);
extern const char* postgresql_library_name;

// Whether the statement slots run on PostgreSQL.
bool postgresql_store();

// The SQLite connection on which statements are judged before they run: db_handle for the
// SQLite store, the in-memory schema for PostgreSQL.
DbConnection* judging_connection();
extern DbConnection* judging_handle; // set by the PostgreSQL binding

// Per thread: the longest one statement of this thread may run on PostgreSQL, in ms (0:
// unbounded). The server's guard sets it around its peers' steps.
extern thread_local int statement_time_limit_ms;

// Per thread: what the guard saw while judging the statement being prepared. The
// PostgreSQL binding clears it before each judgement and reads it after.
struct Judgement {
    bool digest_hidden = false;  // a read of person.password was answered with NULL
    bool person_written = false; // the statement inserts into or updates person
    std::string refused;         // what the rewrite for PostgreSQL refused, "... is not allowed"
};
extern thread_local Judgement judgement;
extern thread_local bool statements_judged; // the calling thread's statements are a peer's

} // namespace store
