// The change number of the local database, from the library's own counters: no table is
// read, so asking costs the same on a file of a decade as on an empty one.
#include "store/changes.h"

#include "store/sql.h"

namespace store {

int local_change_number(std::string* number)
{
    // PostgreSQL keeps no such counters for a session, and other servers write there too:
    // the callers' own light statements tell instead.
    if (postgresql_store())
        return -1;
    // data_version moves when another connection commits; a write of this one moves
    // total_changes() instead.
    const Outcome outcome = run_statement(
        "select total_changes() as own, data_version as others from pragma_data_version",
        [number](DbStatement* row) {
            *number = column_string(row, "own") + '.' + column_string(row, "others");
            return false;
        });
    return outcome.ok() && outcome.rows == 1 ? 0 : -1;
}

} // namespace store
