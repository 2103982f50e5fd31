// The online backup: one database file copied into another through SQLite's backup API while
// other processes (a server) go on reading and writing it. A binding of its own over the same
// library as the table of database operations, which it leaves alone; choosing the files and
// telling the user belong to the caller.
#pragma once

#include <string>

namespace store {

// Results of backup_database.
constexpr int backup_ok = 0;
constexpr int backup_no_library = -1;   // the library or one of its backup calls is missing
constexpr int backup_cannot_read = -2;  // the source cannot be opened or is not a database
constexpr int backup_cannot_write = -3; // the destination cannot be made
constexpr int backup_failed = -4;       // a step failed: disk full, the source stayed locked

// Told after every step: pages copied of the source's pages so far, and whether a write by
// another connection made the copy start again from the first page.
using BackupProgress = void (*)(int copied, int total, bool restarted, void* context);

// Copies the database file source into destination, which should not exist yet (an existing
// database there is replaced page by page). The copy is a consistent picture of source at
// one moment: it is taken in short steps that let writers in between them, and once writers
// have made it start again a few times, in one step that makes them wait. Returns backup_ok
// or one of the failures above; *reason then holds the library's message where it gave one.
int backup_database(const std::string& source, const std::string& destination,
                    BackupProgress progress, void* context, std::string* reason);

} // namespace store
