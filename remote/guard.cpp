// The guard: an authorizer that lets a peer do what the dialogs do and nothing else, a first-
// word check for the statements the authorizer is never asked about, and a progress handler
// that ends a peer's step when it has run too long or the server stops. Both callbacks sit
// on the shared connection, so they look at which thread calls before they judge.
#include "remote/guard.h"

#include "platform/platform.h"
#include "store/sqlite_library.h"

#include <atomic>
#include <cctype>
#include <cstring>

namespace remote {

namespace {

// The library's authorizer results and the action codes this guard names.
constexpr int auth_ok = 0;
constexpr int auth_deny = 1;
constexpr int auth_ignore = 2; // a column read so answered reads as NULL

constexpr int action_insert = 18;
constexpr int action_read = 20;
constexpr int action_select = 21;
constexpr int action_update = 23;
constexpr int action_function = 31;
constexpr int action_recursive = 33;

// What a refusal is called in the log, by action code; the codes the guard allows need no
// name.
struct ActionName {
    int code;
    const char* name;
};
constexpr ActionName action_names[] = {
    {1, "CREATE INDEX"},
    {2, "CREATE TABLE"},
    {3, "CREATE TEMP INDEX"},
    {4, "CREATE TEMP TABLE"},
    {5, "CREATE TEMP TRIGGER"},
    {6, "CREATE TEMP VIEW"},
    {7, "CREATE TRIGGER"},
    {8, "CREATE VIEW"},
    {9, "DELETE"},
    {10, "DROP INDEX"},
    {11, "DROP TABLE"},
    {12, "DROP TEMP INDEX"},
    {13, "DROP TEMP TABLE"},
    {14, "DROP TEMP TRIGGER"},
    {15, "DROP TEMP VIEW"},
    {16, "DROP TRIGGER"},
    {17, "DROP VIEW"},
    {19, "PRAGMA"},
    {22, "transaction control"},
    {24, "ATTACH"},
    {25, "DETACH"},
    {26, "ALTER TABLE"},
    {27, "REINDEX"},
    {28, "ANALYZE"},
    {29, "CREATE VIRTUAL TABLE"},
    {30, "DROP VIRTUAL TABLE"},
    {32, "SAVEPOINT"},
};

// The tables of the program; a peer reads and writes these and no others.
constexpr const char* program_tables[] = {"person", "subjectlink", "ticket", "vendrelversion"};

// Built-in functions that reach outside the database.
constexpr const char* refused_functions[] = {"load_extension", "fts3_tokenizer"};

// The first words of the statements the dialogs send, and of table-less selects.
constexpr const char* allowed_first_words[] = {"SELECT", "INSERT", "UPDATE", "WITH", "VALUES"};

using Authorizer = int (*)(void*, int, const char*, const char*, const char*, const char*);
using SetAuthorizer = int (*)(store::DbConnection*, Authorizer, void*);
using ProgressHandler = void (*)(store::DbConnection*, int, int (*)(void*), void*);
using StatementReadonly = int (*)(store::DbStatement*);
using Limit = int (*)(store::DbConnection*, int, int);

// The library's limit on the length of any string or blob a statement builds, which the
// serving connection lowers from the library's billion bytes: a peer's zeroblob() or
// randomblob() must not make the server allocate a gigabyte. The dialogs' longest text is a
// few kilobytes and a reply carries 64 KiB at most, so a mebibyte stands far above both.
constexpr int limit_length = 0;
constexpr int longest_value = 1024 * 1024;

StatementReadonly stmt_readonly = nullptr;

// Virtual-machine steps between two looks at the clock: a look costs a fraction of a
// microsecond, and this many steps take a few microseconds.
constexpr int progress_period = 1000;

std::atomic<int> steps_stopped{0};
std::atomic<bool> digests_hidden{true};

thread_local bool guarded = false;
thread_local std::int64_t step_deadline_ms = 0; // 0 when no guarded step runs
thread_local StepEnd step_end = StepEnd::normal;
thread_local std::string refusal;

bool is_program_table(const char* name)
{
    if (!name)
        return false;
    for (const char* table : program_tables)
        if (std::strcmp(name, table) == 0)
            return true;
    return false;
}

// The main database only: nothing may be attached, but a temp table could shadow a name.
bool in_main(const char* database)
{
    return !database || std::strcmp(database, "main") == 0;
}

const char* action_name(int code)
{
    for (const ActionName& action : action_names)
        if (action.code == code)
            return action.name;
    return "this action";
}

int refuse(std::string text)
{
    // The first refusal is the one that tells why; the library may ask on after a denial.
    if (refusal.empty())
        refusal = std::move(text) + " is not allowed";
    return auth_deny;
}

int authorize(void*, int action, const char* first, const char* second, const char* database,
              const char*)
{
    if (!guarded)
        return auth_ok;
    switch (action) {
    case action_select:
        return auth_ok;
    case action_read:
        // Whatever reads the digest gets NULL: a select, a where, an update or insert that
        // copies it into another column.
        if (digests_hidden.load(std::memory_order_relaxed) && first && second &&
            std::strcmp(first, "person") == 0 && std::strcmp(second, "password") == 0) {
            // PostgreSQL runs such a statement over a stand-in of person without the
            // digest; a write of person itself would still read the real one.
            store::judgement.digest_hidden = true;
            if (store::postgresql_store() && store::judgement.person_written)
                return refuse("reading person.password in a write of person");
            return auth_ignore;
        }
        if (is_program_table(first) && in_main(database))
            return auth_ok;
        return refuse(std::string("reading ") + (first ? first : "?"));
    case action_insert:
    case action_update:
        if (first && std::strcmp(first, "person") == 0) {
            store::judgement.person_written = true;
            if (store::postgresql_store() && store::judgement.digest_hidden)
                return refuse("reading person.password in a write of person");
        }
        if (is_program_table(first) && in_main(database))
            return auth_ok;
        return refuse(std::string("writing ") + (first ? first : "?"));
    case action_function:
        for (const char* name : refused_functions)
            if (second && std::strcmp(second, name) == 0)
                return refuse(std::string("the function ") + name);
        return auth_ok;
    case action_recursive:
        return refuse("a recursive query");
    default:
        return refuse(action_name(action));
    }
}

int on_progress(void*)
{
    if (!guarded || step_deadline_ms == 0)
        return 0;
    if (steps_stopped.load(std::memory_order_relaxed) != 0) {
        step_end = StepEnd::stopping;
        return 1;
    }
    if (platform::monotonic_ms() >= step_deadline_ms) {
        step_end = StepEnd::over_time;
        return 1;
    }
    return 0;
}

const char* skip_blanks_and_comments(const char* at, const char* end)
{
    while (at < end) {
        if (std::isspace(static_cast<unsigned char>(*at))) {
            ++at;
        } else if (end - at >= 2 && at[0] == '-' && at[1] == '-') {
            while (at < end && *at != '\n')
                ++at;
        } else if (end - at >= 2 && at[0] == '/' && at[1] == '*') {
            at += 2;
            while (at < end && !(end - at >= 2 && at[0] == '*' && at[1] == '/'))
                ++at;
            at = at < end ? at + 2 : end;
        } else {
            break;
        }
    }
    return at;
}

} // namespace

int install_guard(std::string* reason)
{
    void* library = store::load_sqlite_library();
    SetAuthorizer set_authorizer = nullptr;
    ProgressHandler progress_handler = nullptr;
    store::look_up(library, "sqlite3_set_authorizer", &set_authorizer);
    store::look_up(library, "sqlite3_progress_handler", &progress_handler);
    store::look_up(library, "sqlite3_stmt_readonly", &stmt_readonly);
    Limit limit = nullptr;
    store::look_up(library, "sqlite3_limit", &limit);
    if (!set_authorizer || !progress_handler || !stmt_readonly || !limit) {
        if (reason)
            *reason = "the SQLite library cannot check the statements of clients "
                      "(sqlite3_set_authorizer, sqlite3_progress_handler, "
                      "sqlite3_stmt_readonly or sqlite3_limit is missing)";
        return -1;
    }
    // On the PostgreSQL store the statements are judged on the in-memory schema, and a step
    // is bounded by the server's statement_timeout instead.
    store::DbConnection* judged = store::judging_connection();
    limit(judged, limit_length, longest_value);
    if (set_authorizer(judged, authorize, nullptr) != store::db_ok) {
        if (reason)
            *reason = "the SQLite library refuses the authorizer";
        return -1;
    }
    progress_handler(judged, progress_period, on_progress, nullptr);
    return 0;
}

void guard_this_thread()
{
    guarded = true;
    store::statements_judged = true;
}

bool thread_is_guarded()
{
    return guarded;
}

void run_unguarded(const std::function<void()>& work)
{
    const bool was = guarded;
    guarded = false;
    store::statements_judged = false;
    work();
    guarded = was;
    store::statements_judged = was;
}

void hide_digests(bool hidden)
{
    digests_hidden.store(hidden);
}

bool statement_kind_allowed(const char* sql, int bytes, std::string* why)
{
    const char* end = sql + bytes;
    const char* word = skip_blanks_and_comments(sql, end);
    const char* after = word;
    while (after < end && std::isalpha(static_cast<unsigned char>(*after)))
        ++after;
    std::string first(word, after);
    for (char& c : first)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* allowed : allowed_first_words)
        if (first == allowed)
            return true;
    if (why)
        *why = (first.empty() ? std::string("a statement without a keyword") : first) +
               " is not allowed";
    return false;
}

std::string take_refusal()
{
    std::string taken;
    taken.swap(refusal);
    return taken;
}

int guarded_step(store::DbStatement* statement, int bound_ms)
{
    step_end = StepEnd::normal;
    step_deadline_ms = platform::monotonic_ms() + (bound_ms > 0 ? bound_ms : 1);
    store::statement_time_limit_ms = bound_ms > 0 ? bound_ms : 1;
    const int rc = store::step(statement);
    store::statement_time_limit_ms = 0;
    step_deadline_ms = 0;
    // The PostgreSQL store reports its statement_timeout as an interrupt of its own.
    if (rc == store::db_interrupt && step_end == StepEnd::normal)
        step_end = steps_stopped.load() != 0 ? StepEnd::stopping : StepEnd::over_time;
    return rc;
}

StepEnd last_step_end()
{
    return step_end;
}

void interrupt_guarded_steps()
{
    steps_stopped.store(1);
}

void allow_guarded_steps()
{
    steps_stopped.store(0);
}

bool statement_reads_only(store::DbStatement* statement)
{
    // A statement of the PostgreSQL store has run and committed in its first step.
    if (store::postgresql_store())
        return true;
    return !stmt_readonly || !statement || stmt_readonly(statement) != 0;
}

} // namespace remote
