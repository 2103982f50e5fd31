// Reading and writing whole tables for the copy between stores.
#include "store/copy.h"

#include "store/db_driver.h"
#include "store/indexes.h"
#include "store/schema.h"
#include "store/sql.h"

namespace store {

namespace {

constexpr const char* tables_in_order[] = {"vendrelversion", "person", "subjectlink", "ticket"};

// Rows per insert: few statements, none of them long.
constexpr std::size_t rows_per_insert = 200;

std::string column_list(const std::vector<std::string>& columns)
{
    std::string list;
    for (const std::string& column : columns)
        list += (list.empty() ? "" : ",") + column;
    return list;
}

} // namespace

int read_tables(std::vector<TableRows>* tables, std::string* failed)
{
    tables->clear();
    for (const char* table : tables_in_order) {
        TableRows read{table, table_columns(table), {}};
        const std::string sql =
            "select " + column_list(read.columns) + " from " + table + " order by id";
        const Outcome outcome = run_statement(sql, [&read](DbStatement* row) {
            std::vector<std::optional<std::string>> values;
            for (const std::string& column : read.columns)
                values.push_back(column_text_of(row, column.c_str()));
            read.rows.push_back(std::move(values));
            return true;
        });
        if (!outcome.ok()) {
            *failed = sql;
            return -1;
        }
        tables->push_back(std::move(read));
    }
    return 0;
}

bool holds_a_table()
{
    for (const char* table : tables_in_order)
        if (statement_prepares(std::string("select id from ") + table))
            return true;
    return false;
}

int write_tables(const std::vector<TableRows>& tables, std::string* failed)
{
    const auto run = [failed](const std::string& sql) {
        if (run_statement(sql).ok())
            return true;
        *failed = sql;
        run_statement("ROLLBACK");
        return false;
    };
    if (!run("BEGIN"))
        return -1;
    for (const TableRows& table : tables) {
        if (!run(table_creation(table.table)))
            return -1;
        const std::string head =
            "insert into " + table.table + " (" + column_list(table.columns) + ") values ";
        for (std::size_t at = 0; at < table.rows.size(); at += rows_per_insert) {
            std::string sql = head;
            for (std::size_t r = at; r < table.rows.size() && r < at + rows_per_insert; ++r) {
                sql += r > at ? ",(" : "(";
                for (std::size_t c = 0; c < table.rows[r].size(); ++c) {
                    const std::optional<std::string>& value = table.rows[r][c];
                    sql += c ? "," : "";
                    sql += value ? "'" + sql_quote(*value) + "'" : std::string("NULL");
                }
                sql += ")";
            }
            if (!run(sql))
                return -1;
        }
        // The next id the database gives is past the ids copied.
        if (postgresql_store()) {
            const std::string moved = "select setval(pg_get_serial_sequence('" + table.table +
                                      "','id'),(select coalesce(max(id),0)+1 from " +
                                      table.table + "),false) as n";
            if (!run_statement(moved, [](DbStatement*) { return false; }).ok()) {
                *failed = moved;
                run_statement("ROLLBACK");
                return -1;
            }
        }
    }
    if (!run("COMMIT"))
        return -1;
    IndexReport indexes;
    if (create_indexes(nullptr, nullptr, &indexes) < 0) {
        *failed = indexes.statement;
        return -1;
    }
    return 0;
}

} // namespace store
