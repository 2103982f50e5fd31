// How dialogs assemble and run their statements: the one quoting function for typed text,
// printf-style assembly, and preparing a text on the process's connection.
#pragma once

#include "store/db_driver.h"

#include <string>
#include <string_view>

namespace store {

// The text with every single quote doubled, ready to stand between single quotes in a
// statement: O'Brien is stored as typed, and no typed text can end the quoted value early.
// A text without quotes comes back unchanged.
std::string sql_quote(std::string_view text);

// printf-style assembly of a statement; texts pasted between quotes must be sql_quote'd.
std::string sql_format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Prepares sql on db_handle with its length in bytes; returns prepare's result (0 on
// success) and leaves *statement none on failure.
int prepare_sql(const std::string& sql, DbStatement** statement);

// The text of a named column, or the empty text when there is none (missing or NULL).
std::string column_string(DbStatement* statement, const char* name);

// A named column read as a decimal integer (leading blanks, an optional sign and digits,
// like the classic conversion); 0 when there is no text.
int column_number(DbStatement* statement, const char* name);

} // namespace store
