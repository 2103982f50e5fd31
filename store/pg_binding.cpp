// The PostgreSQL binding of the database table: the client library loaded at run time, its
// entry points looked up by name, so that a program that never uses PostgreSQL needs no
// copy of it. A statement is judged and named on an in-memory SQLite database with the
// program's tables, checked by the server at prepare, and run at its first step, its rows
// kept as text exactly as the SQLite store gives them as they come. Each statement commits on
// its own.
#include "store/db_driver.h"

#ifdef _WIN32

namespace store {

const char* postgresql_library_name = "";

int bind_postgresql_driver(const std::string&, std::string* reason)
{
    if (reason)
        *reason = "this program has no PostgreSQL store";
    return -1;
}

} // namespace store

#else

#include "platform/platform.h"
#include "store/pg_sql.h"
#include "store/schema.h"
#include "store/sqlite_library.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace store {

const char* postgresql_library_name = "libpq.so.5";

namespace {

struct PgConn;
struct PgResult;
struct SqliteDb;
struct SqliteStmt;

// The client library's entry points, and the values of its enums this binding reads.
struct Library {
    PgConn* (*connectdb)(const char*);
    int (*status)(const PgConn*);
    char* (*error_message)(const PgConn*);
    void (*finish)(PgConn*);
    void (*reset)(PgConn*);
    PgResult* (*exec)(PgConn*, const char*);
    PgResult* (*prepare)(PgConn*, const char*, const char*, int, const unsigned*);
    PgResult* (*describe_prepared)(PgConn*, const char*);
    int (*send_query_params)(PgConn*, const char*, int, const unsigned*, const char* const*,
                             const int*, const int*, int);
    int (*set_single_row_mode)(PgConn*);
    PgResult* (*get_result)(PgConn*);
    int (*request_cancel)(PgConn*);
    int (*result_status)(const PgResult*);
    char* (*result_error_field)(const PgResult*, int);
    int (*ntuples)(const PgResult*);
    int (*nfields)(const PgResult*);
    char* (*fname)(const PgResult*, int);
    unsigned (*ftype)(const PgResult*, int);
    char* (*getvalue)(const PgResult*, int, int);
    int (*getlength)(const PgResult*, int, int);
    int (*getisnull)(const PgResult*, int, int);
    void (*clear)(PgResult*);
    int (*set_client_encoding)(PgConn*, const char*);
    int (*server_version)(const PgConn*);
    void* (*set_notice_processor)(PgConn*, void (*)(void*, const char*), void*);
};

constexpr int connection_ok = 0;
constexpr int command_ok = 1;
constexpr int tuples_ok = 2;
constexpr int single_tuple = 9;
constexpr int diag_sqlstate = 'C';
constexpr int lowest_server_version = 130000;

// The SQLite entry points the in-memory schema needs.
struct Judge {
    int (*open)(const char*, SqliteDb**, int, const char*);
    int (*prepare)(SqliteDb*, const char*, int, SqliteStmt**, const char**);
    int (*finalize)(SqliteStmt*);
    int (*column_count)(SqliteStmt*);
    const char* (*column_name)(SqliteStmt*, int);
    int (*exec)(SqliteDb*, const char*, void*, void*, char**);
    int (*readonly)(SqliteStmt*);
};

Library pq = {};
Judge judge = {};
PgConn* connection = nullptr;
SqliteDb* schema_db = nullptr;
std::mutex connection_lock; // the dialogs' thread and the server thread share the connection
int timeout_set = -1;       // the statement_timeout the session has, -1 when not known

// The column types SQLite reports, by the server's type of the column.
constexpr int type_integer = 1;
constexpr int type_float = 2;
constexpr int type_text = 3;
constexpr int type_null = 5;

int sqlite_type(unsigned oid)
{
    switch (oid) {
    case 16: // bool, given as 1 and 0
    case 20:
    case 21:
    case 23:
        return type_integer;
    case 700:
    case 701:
    case 1700:
        return type_float;
    default:
        return type_text;
    }
}

// Past this much text kept for one statement, or for all of them, a statement's result is
// given up rather than kept: rows kept because another statement needed the connection must
// not exhaust the server's memory.
constexpr std::size_t largest_result = 256u * 1024 * 1024;
constexpr std::size_t most_kept = 512u * 1024 * 1024;
std::size_t kept_in_all = 0; // under connection_lock

// A statement's rows come from the server one at a time as they are stepped, so that a list
// that stops at its first rows never fetches the rest. The connection carries one result at a
// time: before anything else is sent, the rows still coming are kept in their statement.
struct Statement {
    std::string text;               // as the server runs it
    std::vector<std::string> names; // as SQLite names the columns
    bool reads_only = false;        // SQLite's judgement: a result that may be cut short
    bool executed = false;
    bool coming = false;            // rows may still come from the connection
    int failed = db_ok;             // what the server said after the rows kept
    std::vector<int> types;
    std::deque<std::string> cells;  // row by row; texts stay where they are
    std::deque<char> nulls;
    std::size_t width = 0;          // fields of a row
    std::size_t rows = 0;           // rows received
    std::size_t first = 0;          // the row whose cells come first in cells
    std::size_t kept = 0;           // bytes of text kept
    std::size_t next = 0;           // the row the next step makes current
    bool on_row = false;
};

Statement* streaming = nullptr; // the statement whose rows are coming; under connection_lock

// Rows a read finalized half-way takes before it is cancelled: a cancel costs a connection
// to the server, more than a few rows do.
constexpr int rows_before_cancel = 2048;

Statement* of(DbStatement* statement)
{
    return reinterpret_cast<Statement*>(statement);
}

int code_of(const PgResult* result)
{
    const char* state = result ? pq.result_error_field(result, diag_sqlstate) : nullptr;
    if (!state)
        return db_error;
    if (std::strncmp(state, "23", 2) == 0)
        return db_constraint;
    if (std::strcmp(state, "57014") == 0)
        return db_interrupt;
    return db_error;
}

// A session that has lost its server tries once to connect again; its settings are then
// set anew.
bool session_usable()
{
    if (pq.status(connection) == connection_ok)
        return true;
    pq.reset(connection);
    timeout_set = -1;
    if (pq.status(connection) != connection_ok)
        return false;
    pq.set_client_encoding(connection, "UTF8");
    if (PgResult* set = pq.exec(connection, "SET standard_conforming_strings = on"))
        pq.clear(set);
    return true;
}

bool set_timeout(int ms)
{
    if (ms == timeout_set)
        return true;
    PgResult* result =
        pq.exec(connection, ("SET statement_timeout = " + std::to_string(ms)).c_str());
    const bool ok = result && pq.result_status(result) == command_ok;
    pq.clear(result);
    timeout_set = ok ? ms : -1;
    return ok;
}

// Takes results of statement from the connection: one row (one_row), or all that remain. On
// the statement's end it no longer streams. Under connection_lock.
void take_rows(Statement* statement, bool one_row)
{
    while (statement->coming) {
        PgResult* result = pq.get_result(connection);
        if (!result) {
            statement->coming = false;
            streaming = nullptr;
            break;
        }
        const int status = pq.result_status(result);
        bool took = false;
        if (status == single_tuple && statement->failed == db_ok) {
            const int fields = pq.nfields(result);
            if (statement->types.empty())
                for (int f = 0; f < fields; ++f)
                    statement->types.push_back(sqlite_type(pq.ftype(result, f)));
            statement->width = static_cast<std::size_t>(fields);
            for (int f = 0; f < fields; ++f) {
                const bool null = pq.getisnull(result, 0, f) != 0;
                std::string cell(pq.getvalue(result, 0, f),
                                 static_cast<std::size_t>(pq.getlength(result, 0, f)));
                if (!null && pq.ftype(result, f) == 16)
                    cell = cell == "t" ? "1" : "0";
                statement->kept += cell.size();
                kept_in_all += cell.size();
                statement->cells.push_back(std::move(cell));
                statement->nulls.push_back(null ? 1 : 0);
            }
            ++statement->rows;
            took = true;
            if (statement->kept > largest_result || kept_in_all > most_kept) {
                pq.request_cancel(connection);
                statement->failed = db_error;
            }
        } else if (status != single_tuple && status != tuples_ok && status != command_ok &&
                   statement->failed == db_ok) {
            statement->failed = code_of(result);
        }
        pq.clear(result);
        if (took && one_row)
            break;
    }
}

// Frees the connection for another command. Under connection_lock.
void finish_streaming()
{
    if (streaming)
        take_rows(streaming, false);
}

int execute(Statement* statement)
{
    finish_streaming();
    if (!session_usable())
        return db_error;
    // A session whose transaction failed refuses even the SET; its ROLLBACK must still go.
    set_timeout(statement_time_limit_ms);
    if (!pq.send_query_params(connection, statement->text.c_str(), 0, nullptr, nullptr, nullptr,
                              nullptr, 0))
        return db_error;
    pq.set_single_row_mode(connection);
    statement->coming = true;
    streaming = statement;
    take_rows(statement, true);
    return db_ok;
}

// Prepares sql on the in-memory schema: the guard judges it there (on a guarded thread),
// and the columns get SQLite's names. *bytes becomes the length of the first statement.
int judge_statement(const char* sql, int* bytes, std::vector<std::string>* names,
                    bool* reads_only)
{
    SqliteStmt* shadow = nullptr;
    const char* tail = nullptr;
    judgement = Judgement{};
    const int rc = judge.prepare(schema_db, sql, *bytes, &shadow, &tail);
    if (rc != db_ok) {
        judge.finalize(shadow);
        return rc;
    }
    if (tail && tail >= sql && tail <= sql + *bytes)
        *bytes = static_cast<int>(tail - sql);
    *reads_only = shadow && judge.readonly(shadow) != 0;
    const int count = shadow ? judge.column_count(shadow) : 0;
    for (int i = 0; i < count; ++i) {
        const char* name = judge.column_name(shadow, i);
        names->push_back(name ? name : "");
    }
    judge.finalize(shadow);
    return db_ok;
}

int pg_prepare(DbConnection*, const char* sql, int bytes, DbStatement** handle, const char** tail)
{
    *handle = nullptr;
    if (tail)
        *tail = nullptr;
    if (!sql)
        return db_misuse;
    if (bytes < 0)
        bytes = static_cast<int>(std::strlen(sql));
    auto statement = new Statement;
    int length = bytes;
    const int judged = judge_statement(sql, &length, &statement->names, &statement->reads_only);
    // A peer's statement runs only as judged; the program's own may be one SQLite does not
    // know (the catalogue of the server), and the server alone decides then.
    if (judged != db_ok && statements_judged) {
        delete statement;
        return judged;
    }
    if (judged != db_ok) {
        statement->names.clear();
        statement->reads_only = false;
        length = bytes;
    }
    PgRewrite options;
    options.hide_digest = judged == db_ok && judgement.digest_hidden;
    std::string why;
    if (!rewrite_for_postgresql(std::string_view(sql, static_cast<std::size_t>(length)), options,
                                &statement->text, &why)) {
        judgement.refused = why + " is not allowed";
        delete statement;
        return db_error;
    }
    {
        std::lock_guard<std::mutex> held(connection_lock);
        finish_streaming();
        if (!session_usable()) {
            delete statement;
            return db_error;
        }
        PgResult* checked = pq.prepare(connection, "", statement->text.c_str(), 0, nullptr);
        const bool ok = checked && pq.result_status(checked) == command_ok;
        const int code = ok ? db_ok : code_of(checked);
        pq.clear(checked);
        if (!ok) {
            delete statement;
            return code;
        }
        if (judged != db_ok) {
            PgResult* described = pq.describe_prepared(connection, "");
            const int fields = described ? pq.nfields(described) : 0;
            for (int f = 0; f < fields; ++f)
                statement->names.push_back(pq.fname(described, f));
            pq.clear(described);
        }
    }
    if (tail)
        *tail = sql + length;
    *handle = reinterpret_cast<DbStatement*>(statement);
    return db_ok;
}

int pg_step(DbStatement* handle)
{
    Statement* statement = of(handle);
    if (!statement)
        return db_misuse;
    std::lock_guard<std::mutex> held(connection_lock);
    if (!statement->executed) {
        statement->executed = true;
        const int sent = execute(statement);
        if (sent != db_ok)
            statement->failed = sent;
    } else if (statement->next >= statement->rows) {
        take_rows(statement, true);
    }
    if (statement->next < statement->rows) {
        // The row stepped past is dropped; the current one's texts stay where they are.
        if (statement->on_row && statement->first + 1 == statement->next) {
            for (std::size_t c = 0; c < statement->width; ++c) {
                statement->kept -= statement->cells.front().size();
                kept_in_all -= statement->cells.front().size();
                statement->cells.pop_front();
                statement->nulls.pop_front();
            }
            ++statement->first;
        }
        statement->on_row = true;
        ++statement->next;
        return db_row;
    }
    statement->on_row = false;
    return statement->failed != db_ok ? statement->failed : db_done;
}

int pg_finalize(DbStatement* handle)
{
    Statement* statement = of(handle);
    if (!statement)
        return db_ok;
    {
        std::lock_guard<std::mutex> held(connection_lock);
        // A write runs to its end, or it would not be kept. A read left half-way is read on
        // for a while (a look-up's end is right behind its row), then cut short.
        for (int row = 0; statement->coming && row < rows_before_cancel; ++row)
            take_rows(statement, true);
        if (statement->coming && statement->reads_only)
            pq.request_cancel(connection);
        take_rows(statement, false);
        kept_in_all -= statement->kept;
    }
    delete statement;
    return db_ok;
}

int pg_column_count(DbStatement* handle)
{
    return handle ? static_cast<int>(of(handle)->names.size()) : 0;
}

const char* pg_column_name(DbStatement* handle, int column)
{
    Statement* statement = of(handle);
    if (!statement || column < 0 || column >= static_cast<int>(statement->names.size()))
        return nullptr;
    return statement->names[static_cast<std::size_t>(column)].c_str();
}

// The cell of column in the current row, or none (NULL, or no such row or column). Another
// thread may be keeping the statement's coming rows meanwhile.
const std::string* cell(DbStatement* handle, int column)
{
    Statement* statement = of(handle);
    if (!statement || !statement->on_row || column < 0 ||
        static_cast<std::size_t>(column) >= statement->names.size())
        return nullptr;
    std::lock_guard<std::mutex> held(connection_lock);
    if (static_cast<std::size_t>(column) >= statement->width)
        return nullptr;
    const std::size_t at = (statement->next - 1 - statement->first) * statement->width +
                           static_cast<std::size_t>(column);
    return statement->nulls[at] ? nullptr : &statement->cells[at];
}

const unsigned char* pg_column_text(DbStatement* handle, int column)
{
    const std::string* text = cell(handle, column);
    return text ? reinterpret_cast<const unsigned char*>(text->c_str()) : nullptr;
}

int pg_column_int(DbStatement* handle, int column)
{
    const std::string* text = cell(handle, column);
    return text ? std::atoi(text->c_str()) : 0;
}

double pg_column_double(DbStatement* handle, int column)
{
    const std::string* text = cell(handle, column);
    return text ? std::atof(text->c_str()) : 0.0;
}

int pg_column_type(DbStatement* handle, int column)
{
    if (!cell(handle, column))
        return type_null;
    const Statement* statement = of(handle);
    return column < static_cast<int>(statement->types.size())
               ? statement->types[static_cast<std::size_t>(column)]
               : type_text;
}

int pg_close(DbConnection*)
{
    std::lock_guard<std::mutex> held(connection_lock);
    if (connection)
        pq.finish(connection);
    connection = nullptr;
    // The next binding may be the file's.
    if (judging_handle == reinterpret_cast<DbConnection*>(schema_db))
        judging_handle = nullptr;
    return db_ok;
}

template <typename Slot> bool need(void* library, const char* name, Slot* slot)
{
    look_up(library, name, slot);
    return *slot != nullptr;
}

bool bind_library(void* library)
{
    bool all = true;
    all &= need(library, "PQconnectdb", &pq.connectdb);
    all &= need(library, "PQstatus", &pq.status);
    all &= need(library, "PQerrorMessage", &pq.error_message);
    all &= need(library, "PQfinish", &pq.finish);
    all &= need(library, "PQreset", &pq.reset);
    all &= need(library, "PQexec", &pq.exec);
    all &= need(library, "PQprepare", &pq.prepare);
    all &= need(library, "PQdescribePrepared", &pq.describe_prepared);
    all &= need(library, "PQsendQueryParams", &pq.send_query_params);
    all &= need(library, "PQsetSingleRowMode", &pq.set_single_row_mode);
    all &= need(library, "PQgetResult", &pq.get_result);
    all &= need(library, "PQrequestCancel", &pq.request_cancel);
    all &= need(library, "PQresultStatus", &pq.result_status);
    all &= need(library, "PQresultErrorField", &pq.result_error_field);
    all &= need(library, "PQntuples", &pq.ntuples);
    all &= need(library, "PQnfields", &pq.nfields);
    all &= need(library, "PQfname", &pq.fname);
    all &= need(library, "PQftype", &pq.ftype);
    all &= need(library, "PQgetvalue", &pq.getvalue);
    all &= need(library, "PQgetlength", &pq.getlength);
    all &= need(library, "PQgetisnull", &pq.getisnull);
    all &= need(library, "PQclear", &pq.clear);
    all &= need(library, "PQsetClientEncoding", &pq.set_client_encoding);
    all &= need(library, "PQserverVersion", &pq.server_version);
    all &= need(library, "PQsetNoticeProcessor", &pq.set_notice_processor);
    return all;
}

bool bind_judge(void* library)
{
    bool all = true;
    all &= need(library, "sqlite3_open_v2", &judge.open);
    all &= need(library, "sqlite3_prepare_v2", &judge.prepare);
    all &= need(library, "sqlite3_finalize", &judge.finalize);
    all &= need(library, "sqlite3_column_count", &judge.column_count);
    all &= need(library, "sqlite3_column_name", &judge.column_name);
    all &= need(library, "sqlite3_exec", &judge.exec);
    all &= need(library, "sqlite3_stmt_readonly", &judge.readonly);
    return all;
}

std::string first_line(const char* text)
{
    std::string line = text ? text : "";
    const std::size_t end = line.find('\n');
    return end == std::string::npos ? line : line.substr(0, end);
}

} // namespace

int bind_postgresql_driver(const std::string& conninfo, std::string* reason)
{
    std::string ignored;
    std::string& why = reason ? *reason : ignored;
    void* library = platform::load_library(postgresql_library_name);
    if (!library || !bind_library(library)) {
        why = std::string("the PostgreSQL client library (") + postgresql_library_name +
              ") cannot be loaded; install libpq5";
        return -1;
    }
    void* sqlite = load_sqlite_library();
    if (!sqlite || !bind_judge(sqlite)) {
        why = "the SQLite library, on which statements are judged, cannot be loaded";
        return -1;
    }
    const int flags = db_open_read_write | db_open_create | db_open_full_mutex;
    if (judge.open(":memory:", &schema_db, flags, nullptr) != db_ok) {
        why = "the SQLite library cannot open a database in memory";
        return -1;
    }
    for (const char* table : {"vendrelversion", "person", "subjectlink", "ticket"})
        judge.exec(schema_db, table_creation(table).c_str(), nullptr, nullptr, nullptr);

    connection = pq.connectdb(conninfo.c_str());
    if (!connection || pq.status(connection) != connection_ok) {
        why = "cannot connect to the PostgreSQL database: " +
              first_line(connection ? pq.error_message(connection) : "out of memory");
        if (connection)
            pq.finish(connection);
        connection = nullptr;
        return -1;
    }
    if (pq.server_version(connection) < lowest_server_version) {
        why = "the PostgreSQL server is older than version 13";
        pq.finish(connection);
        connection = nullptr;
        return -1;
    }
    // The server's notices ("already exists, skipping") are nobody's business on the terminal.
    pq.set_notice_processor(connection, [](void*, const char*) {}, nullptr);
    pq.set_client_encoding(connection, "UTF8");
    if (PgResult* set = pq.exec(connection, "SET standard_conforming_strings = on"))
        pq.clear(set);

    db_driver = DbDriver{};
    db_driver.prepare = pg_prepare;
    db_driver.step = pg_step;
    db_driver.finalize = pg_finalize;
    db_driver.close = pg_close;
    db_driver.column_count = pg_column_count;
    db_driver.column_name = pg_column_name;
    db_driver.column_text = pg_column_text;
    db_driver.column_int = pg_column_int;
    db_driver.column_type = pg_column_type;
    db_driver.column_double = pg_column_double;
    db_driver.column_by_name = local_column_by_name;
    db_handle = reinterpret_cast<DbConnection*>(connection);
    judging_handle = reinterpret_cast<DbConnection*>(schema_db);
    return 0;
}

} // namespace store

#endif
