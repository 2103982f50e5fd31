// How dialogs assemble and run their statements: the one quoting function for typed text,
// printf-style assembly, the one statement runner, and reading a row's columns.
#pragma once

#include "store/db_driver.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace store {

// The text with every single quote doubled, ready to stand between single quotes in a
// statement: O'Brien is stored as typed, and no typed text can end the quoted value early.
// A text without quotes comes back unchanged.
std::string sql_quote(std::string_view text);

// printf-style assembly of a statement; texts pasted between quotes must be sql_quote'd.
std::string sql_format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// How far run_statement got with a statement.
enum class Failure {
    none,    // prepared and stepped to its end (or as far as the visitor wanted)
    prepare, // could not be prepared
    step,    // a step gave neither a row nor done; or a row that nobody asked for
};

struct Outcome {
    Failure failure = Failure::none;
    int code = db_ok; // the library's result of the failing prepare or step
    int rows = 0;     // rows handed to the visitor
    bool ok() const { return failure == Failure::none; }
};

// Handed each row of a statement; returns false when it wants no further row.
using RowVisitor = std::function<bool(DbStatement* row)>;

// The one way to run a statement: prepares sql on db_handle, steps it, hands every row to
// visit until visit returns false, and finalizes it on every path. Without a visitor the
// statement must finish at once (a write); a row then counts as a failed step. Nothing is
// shown: the caller tells the user what the outcome means.
Outcome run_statement(const std::string& sql, const RowVisitor& visit = nullptr);

// Runs sql and collects the text of column of every row into *values, in row order (a
// NULL or missing column as the empty text).
Outcome run_collecting(const std::string& sql, const char* column,
                       std::vector<std::string>* values);

// Whether sql can be prepared (a probe for a table, say); it is never stepped.
bool statement_prepares(const std::string& sql);

// The text of a named column, or the empty text when there is none (missing or NULL).
std::string column_string(DbStatement* statement, const char* name);

// The text of a named column, or nothing when it is missing or NULL.
std::optional<std::string> column_text_of(DbStatement* statement, const char* name);

// A named column read as a decimal integer (leading blanks, an optional sign and digits,
// like the classic conversion); 0 when there is no text.
int column_number(DbStatement* statement, const char* name);

} // namespace store
