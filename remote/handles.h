// The server's table of statements prepared for clients, which clients name by number.
// Reading requests and answering them is the server's business.
#pragma once

#include "store/db_driver.h"

#include <cstdint>
#include <vector>

namespace remote {

// The number a client names a statement by; 0 means the prepare failed.
using StatementHandle = int;
constexpr StatementHandle max_statement_handle = 65535; // the widest the value field carries

// One statement place of the ring. Its number never changes.
struct HandleEntry {
    store::DbStatement* statement = nullptr;
    StatementHandle number = 0;
    int state = 0;                 // 0 free, 1 taken
    std::uint32_t prepared_at = 0; // tick of the last prepare in this entry
    int owner = -1;                // the client slot that prepared it, -1 for none
    HandleEntry* next = nullptr;
};

constexpr int handle_free = 0;
constexpr int handle_taken = 1;

// A ring of entries, walked from the one after the anchor (the oldest) to the anchor (the
// newest). Entries are never released while the process runs.
struct HandleTable {
    HandleEntry* anchor = nullptr;
    StatementHandle handle_counter = 1;  // the last number given to a new entry
    int ring_full_count = 0;             // allocations that found no free entry
    int free_count = 0;                  // entries in state free, to spare a walk
    std::vector<HandleEntry*> by_number; // by_number[n] is the entry of number n
};

extern HandleTable handle_table;

// Starts the table afresh with one free entry, number 1.
void reset_handle_table();

// A free entry: a free one of the ring; else, after the ring has been full more than 256
// times and a minute has passed since start-up, the oldest entry prepared more than a
// minute ago (its statement finalized first); else a new entry; at the number limit, the
// oldest entry whose statement has been finalized. nullptr when none can be had.
HandleEntry* allocate_handle();

// The entry of number, or nullptr.
HandleEntry* find_handle(StatementHandle number);

// Prepares bytes of sql for the client in slot owner. Returns the handle number, or a
// negative number (the library's code negated, or -1 when no entry can be had).
int prepare_for_client(const char* sql, int bytes, int owner);

// Finalizes the statement of number; the entry stays taken. The library's result, or -1
// when the number is not taken.
int finalize_handle(StatementHandle number);

// The text of column name in the current row of number's statement; nullptr when the
// number, its statement or the column is missing, or the value is NULL.
const char* column_for_client(StatementHandle number, const char* name);

// The step result of number's statement; the misuse code when it has none.
int step_for_client(StatementHandle number);

// Finalizes every statement still held by the client of slot owner, which has gone.
void release_client_handles(int owner);

// Finalizes every statement of the table, for a server that stops.
void finalize_all_handles();

} // namespace remote
