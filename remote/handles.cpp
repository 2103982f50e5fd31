// The handle table: prepared statements of clients, named by 16-bit numbers. Numbers are
// given in order 1, 2, 3, ..., and a finalized number is not given out again soon, so that a
// client holding a stale number rarely meets somebody else's statement.
#include "remote/handles.h"

#include "platform/platform.h"
#include "remote/guard.h"
#include "remote/tick_clock.h"

#include <algorithm>

namespace remote {

HandleTable handle_table;

namespace {

constexpr int reuse_after_full_count = 256;
constexpr std::uint32_t reuse_age_ticks = 60;

HandleEntry* new_entry(StatementHandle number)
{
    auto* entry = new HandleEntry;
    entry->number = number;
    if (static_cast<int>(handle_table.by_number.size()) <= number)
        handle_table.by_number.resize(static_cast<size_t>(number) + 1, nullptr);
    handle_table.by_number[static_cast<size_t>(number)] = entry;
    ++handle_table.free_count;
    return entry;
}

void set_state(HandleEntry* entry, int state)
{
    if (entry->state == state)
        return;
    handle_table.free_count += state == handle_free ? 1 : -1;
    entry->state = state;
}

void forget_held_write(HandleEntry* entry)
{
    if (entry->write_held_since == 0)
        return;
    entry->write_held_since = 0;
    auto& held = handle_table.held_writes;
    held.erase(std::remove(held.begin(), held.end(), entry), held.end());
}

// Finalizes entry's statement, if it has one, and takes it off its owner's count. The
// library's result (finalizing none succeeds).
int drop_statement(HandleEntry* entry)
{
    int rc = store::db_ok;
    if (entry->statement) {
        rc = store::finalize(entry->statement);
        auto owned = handle_table.open_by_owner.find(entry->owner);
        if (owned != handle_table.open_by_owner.end() && --owned->second <= 0)
            handle_table.open_by_owner.erase(owned);
    }
    entry->statement = nullptr;
    entry->row_pending = false;
    forget_held_write(entry);
    return rc;
}

// Hands out an entry that was in use: its old statement must not outlive it.
HandleEntry* reuse(HandleEntry* entry)
{
    drop_statement(entry);
    set_state(entry, handle_free);
    return entry;
}

} // namespace

void reset_handle_table()
{
    // Entries of an earlier table are left alone; only a test starts a second one.
    handle_table = HandleTable{};
    HandleEntry* first = new_entry(1);
    first->next = first;
    handle_table.anchor = first;
    handle_table.handle_counter = 1;
}

HandleEntry* allocate_handle()
{
    HandleTable& table = handle_table;
    if (!table.anchor)
        reset_handle_table();
    HandleEntry* anchor = table.anchor;

    if (table.free_count > 0) {
        if (anchor->state == handle_free)
            return anchor;
        for (HandleEntry* entry = anchor->next; entry != anchor; entry = entry->next)
            if (entry->state == handle_free)
                return entry;
    }

    ++table.ring_full_count;
    const std::uint32_t now = current_tick();
    if (table.ring_full_count > reuse_after_full_count && now > reuse_age_ticks) {
        HandleEntry* entry = anchor->next;
        for (;;) {
            if (entry->prepared_at < now - reuse_age_ticks)
                return reuse(entry);
            if (entry == anchor)
                break;
            entry = entry->next;
        }
    }

    if (table.handle_counter < max_statement_handle) {
        HandleEntry* entry = new_entry(++table.handle_counter);
        entry->next = anchor->next;
        anchor->next = entry;
        table.anchor = entry;
        return entry;
    }

    // Every number is in use: the oldest entry whose client has finalized it.
    HandleEntry* entry = anchor->next;
    for (;;) {
        if (!entry->statement)
            return reuse(entry);
        if (entry == anchor)
            return nullptr;
        entry = entry->next;
    }
}

HandleEntry* find_handle(StatementHandle number)
{
    if (number <= 0 || number >= static_cast<int>(handle_table.by_number.size()))
        return nullptr;
    return handle_table.by_number[static_cast<size_t>(number)];
}

int prepare_for_client(const char* sql, int bytes, int owner)
{
    HandleEntry* entry = allocate_handle();
    if (!entry)
        return -1;
    set_state(entry, handle_taken);
    entry->prepared_at = current_tick();
    entry->owner = owner;
    store::DbStatement* statement = nullptr;
    const int rc = store::prepare(store::db_handle, sql, bytes, &statement, nullptr);
    if (rc != store::db_ok) {
        store::finalize(statement);
        entry->statement = nullptr;
        set_state(entry, handle_free);
        return rc > 0 ? -rc : -1;
    }
    entry->statement = statement;
    entry->row_pending = false;
    ++handle_table.open_by_owner[owner];
    return entry->number;
}

int finalize_handle(StatementHandle number)
{
    HandleEntry* entry = find_handle(number);
    if (!entry || entry->state != handle_taken)
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
