// The online backup: one database file copied into another through SQLite's backup API while
// other processes (a server) go on reading and writing it. A binding of its own over the same
// library as the table of database operations, which it leaves alone; choosing the files and
// telling the user belong to the caller.
#pragma once

#include "store/db_driver.h"

#include <string>

namespace store {

// Results of backup_database.
constexpr int backup_ok = 0;
constexpr int backup_no_library = -1;   // the library or one of its backup calls is missing
constexpr int backup_cannot_read = -2;  // the source cannot be opened or is not a database
constexpr int backup_cannot_write = -3; // the destination cannot be made
constexpr int backup_failed = -4;       // a step failed: disk full, the source stayed locked
constexpr int backup_never_quiet = -5;  // writes kept coming, and no copy could finish between them

// Told after every step: pages copied of the source's pages so far, and whether a write by
// another connection made the copy start again from the first page.
using BackupProgress = void (*)(int copied, int total, bool restarted, void* context);

// How long the copy may hold the source in one step, and how long it goes on trying while
// writers keep making it start again.
struct BackupLimits {
    int hold_ms = lock_wait_ms / 4; // well within what a writer waits for its lock
    int give_up_ms = 60 * 1000;
};

// Copies the database file source into destination, which should not exist yet (an existing
// database there is replaced page by page). The copy is a consistent picture of source at
// one moment. It is taken in short steps that let writers in between them; a write through
// another connection makes it start again, and after that the rest is taken in one step
// when the pages it has measured say that step holds the source no longer than
// limits.hold_ms, so that no writer waits out its lock time. A copy that writers keep
// restarting for limits.give_up_ms gives up with backup_never_quiet rather than make them
// wait. Returns backup_ok or one of the failures above; *reason then holds the library's
// message where it gave one.
int backup_database(const std::string& source, const std::string& destination,
                    BackupProgress progress, void* context, std::string* reason,
                    const BackupLimits& limits = BackupLimits{});

} // namespace store
