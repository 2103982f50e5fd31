// The online backup over SQLite's backup calls, looked up at run time like every other entry
// point. Its connections are its own: the source is opened read-only, so that a backup never
// creates, changes or rolls back the file it copies.
#include "store/backup.h"

#include "store/sqlite_library.h"

#include <cstdint>

namespace store {

namespace {

struct Connection;
struct Backup;

// The library's codes and flags this file looks at.
constexpr int code_ok = 0;
constexpr int code_busy = 5;
constexpr int code_done = 101;
constexpr int open_read_only = 0x00000001;
constexpr int open_read_write = 0x00000002;
constexpr int open_create = 0x00000004;

// Pages per short step: about a megabyte, copied in a few milliseconds, so that a writer
// that arrives during a step waits only that long.
constexpr int pages_per_step = 256;
// The pause between steps, in which waiting writers take their turn.
constexpr int pause_ms = 5;
// How long one step waits for a moment in which no writer holds the file. It looks every
// millisecond: a server that takes writes back to back leaves the file free only briefly, and
// the library's own time-out looks less and less often.
constexpr int step_lock_wait_ms = 30000;

struct BackupCalls {
    int (*open)(const char* file_name, Connection** connection, int flags, const char* vfs);
    int (*close)(Connection* connection);
    const char* (*error_message)(Connection* connection);
    int (*busy_handler)(Connection* connection, int (*handler)(void*, int), void* argument);
    Backup* (*init)(Connection* destination, const char* destination_name, Connection* source,
                    const char* source_name);
    int (*step)(Backup* backup, int pages);
    int (*finish)(Backup* backup);
    int (*remaining)(Backup* backup);
    int (*page_count)(Backup* backup);
};

bool bind(BackupCalls* calls)
{
    void* library = load_sqlite_library();
    if (!library)
        return false;
    look_up(library, "sqlite3_open_v2", &calls->open);
    look_up(library, "sqlite3_close_v2", &calls->close);
    look_up(library, "sqlite3_errmsg", &calls->error_message);
    look_up(library, "sqlite3_busy_handler", &calls->busy_handler);
    look_up(library, "sqlite3_backup_init", &calls->init);
    look_up(library, "sqlite3_backup_step", &calls->step);
    look_up(library, "sqlite3_backup_finish", &calls->finish);
    look_up(library, "sqlite3_backup_remaining", &calls->remaining);
    look_up(library, "sqlite3_backup_pagecount", &calls->page_count);
    return calls->open && calls->close && calls->error_message && calls->busy_handler &&
           calls->init && calls->step && calls->finish && calls->remaining && calls->page_count;
}

std::string message_of(const BackupCalls& calls, Connection* connection)
{
    const char* text = connection ? calls.error_message(connection) : nullptr;
    return text ? text : "out of memory";
}

// How long a step may wait for a writer to let go, and how long the steps have waited.
struct LockWait {
    int64_t until_ms = 0;
    int64_t waited_ms = 0;
};

// The source's busy handler: 1 (try again) until the step's time is up.
int wait_for_lock(void* context, int)
{
    LockWait* wait = static_cast<LockWait*>(context);
    const int64_t before = platform::monotonic_ms();
    if (before >= wait->until_ms)
        return 0;
    platform::sleep_ms(1);
    wait->waited_ms += platform::monotonic_ms() - before;
    return 1;
}

// The pages per millisecond that the steps so far have copied, over all of them: a clock
// that counts in coarse ticks would make most single steps take no time at all.
struct Pace {
    int64_t pages = 0;
    int64_t ms = 0;
    void measure(int copied, int64_t took_ms)
    {
        pages += copied;
        ms += took_ms > 0 ? took_ms : 0;
    }
    double pages_per_ms() const
    {
        return static_cast<double>(pages) / static_cast<double>(ms > 0 ? ms : 1);
    }
};

// Steps until the copy is complete. Returns the library's code: done, or the failure; busy
// when writers kept restarting it until limits.give_up_ms.
int copy_pages(const BackupCalls& calls, Connection* source, Backup* backup,
               BackupProgress progress, void* context, const BackupLimits& limits)
{
    int restarts = 0;
    int copied_before = 0;
    LockWait wait;
    Pace pace;
    const int64_t began_ms = platform::monotonic_ms();
    calls.busy_handler(source, wait_for_lock, &wait);
    for (;;) {
        // Once writers have restarted the copy, short steps cannot outrun them; the rest is
        // taken at once, but only when the measured pace says that even a copy of the whole
        // file (a write just before the step restarts it) stays within the hold.
        int pages = pages_per_step;
        const int total_before = calls.page_count(backup);
        if (restarts > 0 && calls.remaining(backup) > pages &&
            total_before <= pace.pages_per_ms() * limits.hold_ms)
            pages = -1;
        wait.until_ms = platform::monotonic_ms() + step_lock_wait_ms;
        const int64_t started_ms = platform::monotonic_ms();
        const int64_t waited_before = wait.waited_ms;
        const int rc = calls.step(backup, pages);
        // The pace is that of copying: time spent waiting for writers does not count.
        const int64_t took_ms =
            platform::monotonic_ms() - started_ms - (wait.waited_ms - waited_before);
        if (rc != code_ok && rc != code_done)
            return rc; // busy: writers held the file for the whole wait
        const int total = calls.page_count(backup);
        const int copied = total - calls.remaining(backup);
        // A restarted copy has only this step's pages, never more than it had before.
        const bool restarted = rc == code_ok && copied_before > 0 && copied <= copied_before;
        pace.measure(restarted ? copied : copied - copied_before, took_ms);
        if (restarted)
            ++restarts;
        copied_before = copied;
        if (progress)
            progress(copied, total, restarted, context);
        if (rc == code_done)
            return rc;
        if (restarts > 0 && platform::monotonic_ms() - began_ms >= limits.give_up_ms)
            return code_busy;
        platform::sleep_ms(pause_ms);
    }
}

} // namespace

int backup_database(const std::string& source, const std::string& destination,
                    BackupProgress progress, void* context, std::string* reason,
                    const BackupLimits& limits)
{
    BackupCalls calls{};
    if (!bind(&calls))
        return backup_no_library;

    Connection* from = nullptr;
    if (calls.open(source.c_str(), &from, open_read_only, nullptr) != code_ok) {
        *reason = message_of(calls, from);
        calls.close(from);
        return backup_cannot_read;
    }

    Connection* to = nullptr;
    if (calls.open(destination.c_str(), &to, open_read_write | open_create, nullptr) != code_ok) {
        *reason = message_of(calls, to);
        calls.close(to);
        calls.close(from);
        return backup_cannot_write;
    }

    int result = backup_ok;
    Backup* backup = calls.init(to, "main", from, "main");
    if (!backup) {
        *reason = message_of(calls, to);
        result = backup_failed;
    } else {
        const int rc = copy_pages(calls, from, backup, progress, context, limits);
        // finish gives the step's failure as the destination's message.
        if (calls.finish(backup) != code_ok || rc != code_done) {
            *reason = message_of(calls, to);
            result = rc == code_busy ? backup_never_quiet : backup_failed;
        }
    }
    calls.close(to);
    calls.close(from);
    return result;
}

} // namespace store
