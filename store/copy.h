// A whole database read into memory and written into another, empty one: the four tables
// row by row with their ids, for moving between the SQLite file and PostgreSQL. Which
// databases, and telling the user, belong to the caller.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace store {

struct TableRows {
    std::string table;
    std::vector<std::string> columns; // id first
    std::vector<std::vector<std::optional<std::string>>> rows;
};

// Reads every row of the four tables on db_handle, in id order. 0, or -1 with the statement
// that failed in *failed.
int read_tables(std::vector<TableRows>* tables, std::string* failed);

// Whether db_handle holds any of the four tables.
bool holds_a_table();

// Makes the four tables on db_handle and writes tables into them, ids kept, in one
// transaction; on PostgreSQL each table's identity then numbers on past the highest id.
// The indexes follow (store/indexes.h). 0, or -1 with the statement that failed in *failed,
// the database then as it was (without the tables).
int write_tables(const std::vector<TableRows>& tables, std::string* failed);

} // namespace store
