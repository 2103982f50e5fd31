// A whole database copied between a SQLite file and the PostgreSQL store, row by row with
// its ids, never held in memory at once: the file through a binding of its own over the
// SQLite library (outside DbDriver), PostgreSQL through db_handle. Which databases, and
// telling the user, belong to the caller.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace store {

// The rows copied of each table, in the order copied.
using CopyCounts = std::vector<std::pair<std::string, long long>>;

// Whether db_handle holds any of the four tables.
bool holds_a_table();

// Copies the four tables of the SQLite file at file into db_handle, which holds none of them,
// in one transaction, each table's identity then numbering on past the highest id, and makes
// the indexes. 0, or -1 with the statement that failed in *failed (nothing is kept then).
int copy_file_to_store(const std::string& file, CopyCounts* counts, std::string* failed);

// Copies the four tables on db_handle, read as of one moment, into the SQLite file at file
// (made when missing) in one transaction. The file's indexes are made when it is next bound.
// 0; -1 with the statement that failed in *failed (nothing is kept then); -2 when the file
// cannot be opened or holds any of the tables already (untouched then).
int copy_store_to_file(const std::string& file, CopyCounts* counts, std::string* failed);

} // namespace store
