// The copy between stores: the file read or written through the SQLite library directly,
// the other side through the statement runner, a few hundred rows per statement.
#include "store/copy.h"

#include "store/db_driver.h"
#include "store/indexes.h"
#include "store/schema.h"
#include "store/sql.h"
#include "store/sqlite_library.h"

#include <algorithm>
#include <optional>

namespace store {

namespace {

constexpr const char* tables_in_order[] = {"vendrelversion", "person", "subjectlink", "ticket"};

// Rows per insert, and per read of the store.
constexpr std::size_t rows_per_insert = 200;
constexpr int rows_per_read = 5000;

constexpr int open_read_only = 0x00000001;
constexpr int type_null = 5;

using Row = std::vector<std::optional<std::string>>;

struct FileDb;
struct FileStatement;

// The file's side: the library's own calls, on a connection of its own.
struct File {
    int (*open)(const char*, FileDb**, int, const char*) = nullptr;
    int (*close)(FileDb*) = nullptr;
    int (*exec)(FileDb*, const char*, void*, void*, char**) = nullptr;
    int (*prepare)(FileDb*, const char*, int, FileStatement**, const char**) = nullptr;
    int (*step)(FileStatement*) = nullptr;
    int (*finalize)(FileStatement*) = nullptr;
    const unsigned char* (*column_text)(FileStatement*, int) = nullptr;
    int (*column_type)(FileStatement*, int) = nullptr;
    FileDb* db = nullptr;

    bool open_file(const std::string& path, int flags)
    {
        void* library = load_sqlite_library();
        if (!library)
            return false;
        look_up(library, "sqlite3_open_v2", &open);
        look_up(library, "sqlite3_close_v2", &close);
        look_up(library, "sqlite3_exec", &exec);
        look_up(library, "sqlite3_prepare_v2", &prepare);
        look_up(library, "sqlite3_step", &step);
        look_up(library, "sqlite3_finalize", &finalize);
        look_up(library, "sqlite3_column_text", &column_text);
        look_up(library, "sqlite3_column_type", &column_type);
        if (!open || !close || !exec || !prepare || !step || !finalize || !column_text ||
            !column_type)
            return false;
        if (open(path.c_str(), &db, flags, nullptr) == db_ok)
            return true;
        close(db);
        db = nullptr;
        return false;
    }
    bool run(const std::string& sql) { return exec(db, sql.c_str(), nullptr, nullptr, nullptr) == db_ok; }
    bool has(const char* table)
    {
        FileStatement* probe = nullptr;
        const bool found =
            prepare(db, (std::string("select id from ") + table).c_str(), -1, &probe, nullptr) ==
            db_ok;
        finalize(probe);
        return found;
    }
    ~File()
    {
        if (db)
            close(db);
    }
};

std::string column_list(const std::vector<std::string>& columns)
{
    std::string list;
    for (const std::string& column : columns)
        list += (list.empty() ? "" : ",") + column;
    return list;
}

// One insert of rows into table, ids and all (PostgreSQL writes them only when told).
std::string insert_of(const std::string& table, const std::vector<std::string>& columns,
                      const std::vector<Row>& rows, bool into_postgresql)
{
    std::string sql = "insert into " + table + " (" + column_list(columns) + ") " +
                      (into_postgresql ? "overriding system value " : "") + "values ";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        sql += r ? ",(" : "(";
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            sql += c ? "," : "";
            sql += rows[r][c] ? "'" + sql_quote(*rows[r][c]) + "'" : std::string("NULL");
        }
        sql += ")";
    }
    return sql;
}

} // namespace

bool holds_a_table()
{
    for (const char* table : tables_in_order)
        if (statement_prepares(std::string("select id from ") + table))
            return true;
    return false;
}

int copy_file_to_store(const std::string& path, CopyCounts* counts, std::string* failed)
{
    File file;
    if (!file.open_file(path, open_read_only)) {
        *failed = "cannot open " + path;
        return -1;
    }
    const auto fail = [failed](const std::string& sql) {
        *failed = sql;
        run_statement("ROLLBACK");
        return -1;
    };
    const auto write = [](const std::string& sql) { return run_statement(sql).ok(); };
    if (!write("BEGIN"))
        return fail("BEGIN");
    for (const char* table : tables_in_order) {
        const std::vector<std::string> columns = table_columns(table);
        if (!write(table_creation(table)))
            return fail(table_creation(table));
        const std::string select =
            "select " + column_list(columns) + " from " + table + " order by id";
        FileStatement* rows = nullptr;
        if (file.prepare(file.db, select.c_str(), -1, &rows, nullptr) != db_ok) {
            file.finalize(rows);
            return fail(select);
        }
        long long copied = 0;
        std::vector<Row> batch;
        int stepped = db_row;
        for (;;) {
            stepped = file.step(rows);
            if (stepped == db_row) {
                Row row;
                for (std::size_t c = 0; c < columns.size(); ++c) {
                    const int column = static_cast<int>(c);
                    if (file.column_type(rows, column) == type_null)
                        row.emplace_back();
                    else
                        row.emplace_back(
                            reinterpret_cast<const char*>(file.column_text(rows, column)));
                }
                batch.push_back(std::move(row));
            }
            if (batch.size() == rows_per_insert || (stepped != db_row && !batch.empty())) {
                const std::string sql = insert_of(table, columns, batch, postgresql_store());
                if (!write(sql)) {
                    file.finalize(rows);
                    return fail(sql);
                }
                copied += static_cast<long long>(batch.size());
                batch.clear();
            }
            if (stepped != db_row)
                break;
        }
        file.finalize(rows);
        if (stepped != db_done)
            return fail(select);
        // The next id the database gives is past the ids copied.
        const std::string moved = std::string("select setval(pg_get_serial_sequence('") + table +
                                  "','id'),(select coalesce(max(id),0)+1 from " + table +
                                  "),false) as n";
        if (postgresql_store() && !run_statement(moved, [](DbStatement*) { return false; }).ok())
            return fail(moved);
        counts->emplace_back(table, copied);
    }
    if (!write("COMMIT"))
        return fail("COMMIT");
    IndexReport indexes;
    if (create_indexes(nullptr, nullptr, &indexes) < 0) {
        *failed = indexes.statement;
        return -1;
    }
    return 0;
}

int copy_store_to_file(const std::string& path, CopyCounts* counts, std::string* failed)
{
    File file;
    if (!file.open_file(path, db_open_read_write | db_open_create)) {
        *failed = "cannot open " + path;
        return -2;
    }
    for (const char* table : tables_in_order)
        if (file.has(table)) {
            *failed = path + " holds tables already";
            return -2;
        }
    // One moment of the store, however long the reading takes.
    if (!run_statement("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY").ok()) {
        *failed = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";
        return -1;
    }
    const auto fail = [&](const std::string& sql) {
        *failed = sql;
        file.run("ROLLBACK");
        run_statement("ROLLBACK");
        return -1;
    };
    if (!file.run("BEGIN"))
        return fail("BEGIN");
    for (const char* table : tables_in_order) {
        const std::vector<std::string> columns = table_columns(table);
        if (!file.run(table_creation(table)))
            return fail(table_creation(table));
        long long copied = 0;
        std::string last = "0";
        for (;;) {
            std::vector<Row> chunk;
            const std::string select = "select " + column_list(columns) + " from " + table +
                                       " where id>" + last + " order by id limit " +
                                       std::to_string(rows_per_read);
            const Outcome read = run_statement(select, [&](DbStatement* row) {
                Row values;
                for (const std::string& column : columns)
                    values.push_back(column_text_of(row, column.c_str()));
                chunk.push_back(std::move(values));
                return true;
            });
            if (!read.ok())
                return fail(select);
            for (std::size_t at = 0; at < chunk.size(); at += rows_per_insert) {
                const std::size_t end = std::min(chunk.size(), at + rows_per_insert);
                const std::string sql = insert_of(
                    table, columns,
                    std::vector<Row>(chunk.begin() + static_cast<long>(at),
                                     chunk.begin() + static_cast<long>(end)),
                    false);
                if (!file.run(sql))
                    return fail(sql);
            }
            copied += static_cast<long long>(chunk.size());
            if (chunk.size() < static_cast<std::size_t>(rows_per_read))
                break;
            last = chunk.back()[0].value_or("0");
        }
        counts->emplace_back(table, copied);
    }
    if (!file.run("COMMIT"))
        return fail("COMMIT");
    run_statement("COMMIT");
    return 0;
}

} // namespace store
