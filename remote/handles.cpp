// The handle table: prepared statements of clients, named by 16-bit numbers. Numbers are
// given in order 1, 2, 3, ..., and a freed number goes to the back of the queue, so that a
// client holding a stale number meets somebody else's statement as late as can be; a
// number is never given while its statement lives, whoever holds it.
#include "remote/handles.h"

#include "platform/platform.h"
#include "remote/guard.h"

#include <algorithm>

namespace remote {

HandleTable handle_table;

namespace {

HandleEntry* new_entry()
{
    auto* entry = new HandleEntry;
    entry->number = ++handle_table.handle_counter;
    handle_table.by_number.resize(static_cast<size_t>(entry->number) + 1, nullptr);
    handle_table.by_number[static_cast<size_t>(entry->number)] = entry;
    return entry;
}

void forget_held_write(HandleEntry* entry)
{
    if (entry->write_held_since == 0)
        return;
    entry->write_held_since = 0;
    auto& held = handle_table.held_writes;
    held.erase(std::remove(held.begin(), held.end(), entry), held.end());
}

// Finalizes entry's statement, if it has one, takes it off its owner's count and frees its
// number. The library's result (finalizing none succeeds).
int drop_statement(HandleEntry* entry)
{
    if (!entry->statement)
        return store::db_ok;
    const int rc = store::finalize(entry->statement);
    auto owned = handle_table.open_by_owner.find(entry->owner);
    if (owned != handle_table.open_by_owner.end() && --owned->second <= 0)
        handle_table.open_by_owner.erase(owned);
    entry->statement = nullptr;
    entry->owner = -1;
    entry->row_pending = false;
    forget_held_write(entry);
    handle_table.freed.push_back(entry->number);
    return rc;
}

} // namespace

void reset_handle_table()
{
    // Entries of an earlier table are left alone; only a test starts a second one.
    handle_table = HandleTable{};
    handle_table.by_number.push_back(nullptr); // number 0 means failure
}

HandleEntry* allocate_handle()
{
    HandleTable& table = handle_table;
    if (table.by_number.empty())
        reset_handle_table();
    if (table.handle_counter < max_statement_handle)
        return new_entry();
    if (table.freed.empty())
        return nullptr;
    HandleEntry* entry = find_handle(table.freed.front());
    table.freed.pop_front();
    return entry;
}

HandleEntry* find_handle(StatementHandle number)
{
    if (number <= 0 || number >= static_cast<int>(handle_table.by_number.size()))
        return nullptr;
    return handle_table.by_number[static_cast<size_t>(number)];
}

int prepare_for_client(const char* sql, int bytes, int owner)
{
    store::DbStatement* statement = nullptr;
    const int rc = store::prepare(store::db_handle, sql, bytes, &statement, nullptr);
    if (rc != store::db_ok) {
        store::finalize(statement);
        return rc > 0 ? -rc : -1;
    }
    HandleEntry* entry = allocate_handle();
    if (!entry) {
        store::finalize(statement);
        return -1;
    }
    entry->statement = statement;
    entry->owner = owner;
    entry->row_pending = false;
    ++handle_table.open_by_owner[owner];
    return entry->number;
}

int finalize_handle(StatementHandle number)
{
    HandleEntry* entry = find_handle(number);
    if (!entry || !entry->statement)
        return -1;
    return drop_statement(entry);
}

const char* column_for_client(StatementHandle number, const char* name)
{
    HandleEntry* entry = find_handle(number);
    if (!entry || !entry->statement)
        return nullptr;
    return store::column_by_name(entry->statement, name);
}

int step_for_client(StatementHandle number)
{
    HandleEntry* entry = find_handle(number);
    return entry ? step_entry(entry, default_step_bound_ms) : store::db_misuse;
}

int step_entry(HandleEntry* entry, int bound_ms)
{
    if (!entry->statement)
        return store::db_misuse;
    entry->row_pending = false;
    const int rc = guarded_step(entry->statement, bound_ms > 0 ? bound_ms : default_step_bound_ms);
    // A write that stops at a row (one with RETURNING) keeps its transaction open, and with
    // it every other writer's commit on the shared connection, until it is stepped to its
    // end or finalized; the server watches such entries.
    if (rc == store::db_row && !statement_reads_only(entry->statement)) {
        if (entry->write_held_since == 0) {
            entry->write_held_since = platform::monotonic_ms();
            handle_table.held_writes.push_back(entry);
        }
    } else {
        forget_held_write(entry);
    }
    return rc;
}

int open_statements(int owner)
{
    const auto owned = handle_table.open_by_owner.find(owner);
    return owned == handle_table.open_by_owner.end() ? 0 : owned->second;
}

void release_client_handles(int owner)
{
    // A statement left open by a vanished client would hold its transaction open for good.
    if (open_statements(owner) == 0)
        return;
    for (HandleEntry* entry : handle_table.by_number)
        if (entry && entry->owner == owner && entry->statement)
            drop_statement(entry);
}

void finalize_all_handles()
{
    for (HandleEntry* entry : handle_table.by_number)
        if (entry)
            drop_statement(entry);
}

} // namespace remote
