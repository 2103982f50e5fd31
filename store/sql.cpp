// Statement assembly, the one quoting function and the one statement runner.
#include "store/sql.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace store {

std::string sql_quote(std::string_view text)
{
    std::string quoted;
    quoted.reserve(text.size());
    for (char c : text) {
        quoted += c;
        if (c == '\'')
            quoted += '\'';
    }
    return quoted;
}

std::string sql_format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    return text;
}

namespace {

// Prepares sql on db_handle with its length in bytes; leaves *statement none on failure.
int prepare_sql(const std::string& sql, DbStatement** statement)
{
    *statement = nullptr;
    const char* tail = nullptr;
    return prepare(db_handle, sql.c_str(), static_cast<int>(sql.size()), statement, &tail);
}

} // namespace

Outcome run_statement(const std::string& sql, const RowVisitor& visit)
{
    Outcome outcome;
    DbStatement* statement = nullptr;
    const int prepared = prepare_sql(sql, &statement);
    if (prepared != db_ok) {
        // The library leaves none after a failed prepare; finalizing none is harmless.
        finalize(statement);
        outcome.failure = Failure::prepare;
        outcome.code = prepared;
        return outcome;
    }
    for (;;) {
        const int stepped = step(statement);
        if (stepped == db_done)
            break;
        if (stepped != db_row || !visit) {
            outcome.failure = Failure::step;
            outcome.code = stepped;
            break;
        }
        ++outcome.rows;
        if (!visit(statement))
            break;
    }
    finalize(statement);
    return outcome;
}

Outcome run_collecting(const std::string& sql, const char* column, std::vector<std::string>* values)
{
    return run_statement(sql, [column, values](DbStatement* row) {
        values->push_back(column_string(row, column));
        return true;
    });
}

bool statement_prepares(const std::string& sql)
{
    DbStatement* statement = nullptr;
    const bool prepared = prepare_sql(sql, &statement) == db_ok;
    finalize(statement);
    return prepared;
}

std::string column_string(DbStatement* statement, const char* name)
{
    const char* text = column_by_name(statement, name);
    return text ? std::string(text) : std::string();
}

std::optional<std::string> column_text_of(DbStatement* statement, const char* name)
{
    const char* text = column_by_name(statement, name);
    if (!text)
        return std::nullopt;
    return std::string(text);
}

int column_number(DbStatement* statement, const char* name)
{
    const char* text = column_by_name(statement, name);
    return text ? std::atoi(text) : 0;
}

} // namespace store
