// The indexes the program's statements need, as plain data, and their creation when a
// standalone or server instance opens its database. A file keeps only the primary keys its
// tables were made with until an instance of this program opens it; then each missing index
// is made with "if not exists", so the file stays readable and writable by any SQLite tool
// and by older instances. Clients never call this: their server's file has its indexes.
#pragma once

#include <string>

namespace store {

// One index: its name, the table it belongs to, and the statement that makes it. The
// statements are plain SQL that another store with partial indexes can run as they are.
struct IndexDefinition {
    const char* name;
    const char* table;
    const char* statement;
};

// Every index besides the rule of one open row (below), with the statements each serves.
extern const IndexDefinition program_indexes[];
extern const int program_index_count;

// At most one open, not removed row per ticket code: two instances can never both open a
// row of one ticket. A file that an older program left with more than one open row for
// some code gets the stand-in instead, the same index without the rule, until those rows
// are ended; each later open tries the rule again.
extern const IndexDefinition one_open_row_rule;
extern const IndexDefinition open_rows_by_code;

// Told once before the first index is made (building, with how many are to be made) and
// once after the last (done, with how many were made). Not told when there is nothing to
// make, so an up-to-date file opens without a word.
enum class IndexStage { building, done };
using IndexProgress = void (*)(IndexStage stage, int count, void* context);

struct IndexReport {
    int built = 0;            // indexes this call made
    int codes_open_twice = 0; // ticket codes with more than one open row: no rule then
    std::string statement;    // the statement that failed, when the result is -1
    int code = 0;             // the library's result of that statement
};

// Makes, on db_handle and in one transaction, every index above that the file lacks on the
// tables it has (a new, empty file has none yet; create_schema calls this again once it has
// made them). Returns 0, or -1 when the file cannot be read or an index cannot be made; the
// file is then as it was. progress may be nullptr.
int create_indexes(IndexProgress progress, void* context, IndexReport* report);

} // namespace store
