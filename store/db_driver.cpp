// The forwarding operations of the database table. Each calls its slot with its arguments
// unchanged; an unbound slot fails softly instead of crashing, so an instance whose library
// is missing still opens its dialogs and reports failed statements like any other.
#include "store/db_driver.h"

namespace store {

DbDriver db_driver = {};
DbConnection* db_handle = nullptr;
DbConnection* judging_handle = nullptr;
thread_local int statement_time_limit_ms = 0;
thread_local Judgement judgement;
thread_local bool statements_judged = false;

bool postgresql_store()
{
    return judging_handle != nullptr;
}

DbConnection* judging_connection()
{
    return judging_handle ? judging_handle : db_handle;
}

int initialize()
{
    return db_driver.initialize ? db_driver.initialize() : db_misuse;
}

int open(const char* file_name, DbConnection** connection, int flags, const char* vfs)
{
    return db_driver.open ? db_driver.open(file_name, connection, flags, vfs) : db_misuse;
}

int set_directory(unsigned long kind, void* directory)
{
    return db_driver.set_directory ? db_driver.set_directory(kind, directory) : db_misuse;
}

int close(DbConnection* connection)
{
    return db_driver.close ? db_driver.close(connection) : db_ok;
}

int prepare(DbConnection* connection, const char* sql, int bytes, DbStatement** statement,
            const char** tail)
{
    if (!db_driver.prepare) {
        if (statement)
            *statement = nullptr;
        return db_error;
    }
    return db_driver.prepare(connection, sql, bytes, statement, tail);
}

int step(DbStatement* statement)
{
    return db_driver.step ? db_driver.step(statement) : db_misuse;
}

int finalize(DbStatement* statement)
{
    return db_driver.finalize ? db_driver.finalize(statement) : db_misuse;
}

int column_count(DbStatement* statement)
{
    return db_driver.column_count ? db_driver.column_count(statement) : 0;
}

const char* column_name(DbStatement* statement, int column)
{
    return db_driver.column_name ? db_driver.column_name(statement, column) : nullptr;
}

const unsigned char* column_text(DbStatement* statement, int column)
{
    return db_driver.column_text ? db_driver.column_text(statement, column) : nullptr;
}

int column_int(DbStatement* statement, int column)
{
    return db_driver.column_int ? db_driver.column_int(statement, column) : 0;
}

int column_type(DbStatement* statement, int column)
{
    return db_driver.column_type ? db_driver.column_type(statement, column) : 0;
}

double column_double(DbStatement* statement, int column)
{
    return db_driver.column_double ? db_driver.column_double(statement, column) : 0.0;
}

const char* column_by_name(DbStatement* statement, const char* name)
{
    return db_driver.column_by_name ? db_driver.column_by_name(statement, name) : nullptr;
}

} // namespace store
