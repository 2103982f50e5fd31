// The handle table: prepared statements of clients, named by 16-bit numbers. Numbers are
// given in order 1, 2, 3, ..., and a finalized number is not given out again soon, so that a
// client holding a stale number rarely meets somebody else's statement.
#include "remote/handles.h"

#include "remote/tick_clock.h"

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

void drop_statement(HandleEntry* entry)
{
    if (entry->statement)
        store::finalize(entry->statement);
    entry->statement = nullptr;
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
    return entry->number;
}

int finalize_handle(StatementHandle number)
{
    HandleEntry* entry = find_handle(number);
    if (!entry || entry->state != handle_taken)
        return -1;
    const int rc = store::finalize(entry->statement);
    entry->statement = nullptr;
    return rc;
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
    if (!entry || !entry->statement)
        return store::db_misuse;
    return store::step(entry->statement);
}

void release_client_handles(int owner)
{
    // A statement left open by a vanished client would hold its transaction open for good.
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
