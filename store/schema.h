// The database's tables and the creation of a new database at the first administrator
// login.
#pragma once

#include "platform/report.h"

#include <string>
#include <vector>

namespace store {

// The statement create_schema stopped at, and how the dialog that asked tells its failure.
struct SchemaFailure {
    std::string statement;
    platform::Telling telling{"", platform::Shape::message};
};

// Makes every missing table in order (vendrelversion, person, subjectlink, ticket), writes
// the version row and the administrator row with the digest of password along with their
// tables, and logs the administrator in. Returns 0 when all four tables exist afterwards,
// -1 after the first failure, described in *failure; nothing made before a failure is
// undone, so the next attempt carries on where this one stopped. The tables get their
// indexes (store/indexes.h) as they would at the next open.
int create_schema(const char* password, SchemaFailure* failure);

// The statement that creates table ("vendrelversion", "person", "subjectlink" or "ticket")
// exactly as create_schema runs it, for tools that write a file of their own; empty for any
// other name.
std::string table_creation(const std::string& table);

// The columns of table in their order, id first; empty for any other name.
std::vector<std::string> table_columns(const std::string& table);

} // namespace store
