// The server's table of statements prepared for clients, which clients name by number.
// Reading requests and answering them is the server's business.
#pragma once

#include "store/db_driver.h"

#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

namespace remote {

// The number a client names a statement by; 0 means the prepare failed.
using StatementHandle = int;
constexpr StatementHandle max_statement_handle = 65535; // the widest the value field carries

// One statement place. Its number never changes; it holds a live statement or none.
struct HandleEntry {
    store::DbStatement* statement = nullptr; // nullptr: free, its number may be given again
    StatementHandle number = 0;
    int owner = -1;                    // the connection that prepared it, -1 for none
    bool row_pending = false;          // pages: the current row was stepped but not yet sent
    std::int64_t write_held_since = 0; // ms since a write stopped half-stepped, 0 for none
};

// Every number given out so far, and the free ones in the order they were freed.
struct HandleTable {
    StatementHandle handle_counter = 0;         // the last number given to a new entry
    std::vector<HandleEntry*> by_number;        // by_number[n] is the entry of number n
    std::deque<StatementHandle> freed;          // free numbers, the longest free first
    std::unordered_map<int, int> open_by_owner; // statements each connection holds
    std::vector<HandleEntry*> held_writes;      // entries whose write is half-stepped
};

extern HandleTable handle_table;

// Starts the table afresh, with no number given out.
void reset_handle_table();

// A free entry for a new statement: a number never given out while there are any, else the
// number free the longest, so that a stale number meets another statement as late as can
// be. A number is free only once its statement is gone (finalized by its owner, or its
// owner's connection closed); nullptr when every number holds a live statement.
HandleEntry* allocate_handle();

// The entry of number, or nullptr.
HandleEntry* find_handle(StatementHandle number);

// Prepares bytes of sql for the connection owner. Returns the handle number, or a
// negative number (the library's code negated, or -1 when no number is free).
int prepare_for_client(const char* sql, int bytes, int owner);

// Finalizes the statement of number and frees the number. The library's result, or -1 when
// the number holds no statement.
int finalize_handle(StatementHandle number);

// The text of column name in the current row of number's statement; nullptr when the
// number, its statement or the column is missing, or the value is NULL.
const char* column_for_client(StatementHandle number, const char* name);

// The step result of number's statement; the misuse code when it has none.
int step_for_client(StatementHandle number);

// Steps entry's statement for its client, each step ending with the interrupt code after
// bound_ms (0: the server's usual bound), and notes a write left half-stepped. The misuse
// code when it has no statement.
int step_entry(HandleEntry* entry, int bound_ms = 0);

// The longest a step for a client may run, unless the caller says otherwise.
constexpr int default_step_bound_ms = 3000;

// Statements the connection owner holds open (prepared and not finalized).
int open_statements(int owner);

// Finalizes every statement still held by the connection owner, which has gone.
void release_client_handles(int owner);

// Finalizes every statement of the table, for a server that stops.
void finalize_all_handles();

} // namespace remote
