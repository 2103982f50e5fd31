// Statement assembly and the one quoting function.
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

int prepare_sql(const std::string& sql, DbStatement** statement)
{
    *statement = nullptr;
    const char* tail = nullptr;
    return prepare(db_handle, sql.c_str(), static_cast<int>(sql.size()), statement, &tail);
}

std::string column_string(DbStatement* statement, const char* name)
{
    const char* text = column_by_name(statement, name);
    return text ? std::string(text) : std::string();
}

int column_number(DbStatement* statement, const char* name)
{
    const char* text = column_by_name(statement, name);
    return text ? std::atoi(text) : 0;
}

} // namespace store
