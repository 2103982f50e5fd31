// The server's guard over the database connection it shares with its own dialogs: which
// statements a remote peer may prepare, and how long one of its steps may run. The guard
// acts only on the thread that speaks for peers (the server thread); the instance's own
// dialogs pass it untouched. Reading requests and answering them is the server's business.
#pragma once

#include "store/db_driver.h"

#include <cstdint>
#include <functional>
#include <string>

namespace remote {

// Binds the library's authorizer, progress handler and read-only test by name (they are no
// slots of the database table: only a server needs them) and puts the guard on db_handle.
// 0, or -1 with *reason when the library lacks them: a server that cannot check its peers'
// statements must not serve them.
int install_guard(std::string* reason);

// Puts the calling thread under the guard for its life.
void guard_this_thread();

// Whether the calling thread is under the guard.
bool thread_is_guarded();

// Runs work on the guarded thread with the server's own rights: the login's look-up reads
// the digest that no peer may read.
void run_unguarded(const std::function<void()>& work);

// Whether peers' reads of person.password give NULL: on unless the server serves without
// login. Set before the server thread starts.
void hide_digests(bool hidden);

// Whether sql, as a peer sent it, is of a kind the dialogs send: its first word must be
// SELECT, INSERT, UPDATE, WITH or VALUES. The library asks the authorizer nothing about
// some statements (VACUUM, REINDEX), so they are stopped here. *why says what was refused.
bool statement_kind_allowed(const char* sql, int bytes, std::string* why);

// Why the authorizer refused the last prepare on this thread, taken (the empty text when
// it refused nothing).
std::string take_refusal();

// Steps statement on a guarded thread so that it ends with the interrupt code once it has
// run bound_ms, or at once after interrupt_guarded_steps.
int guarded_step(store::DbStatement* statement, int bound_ms);

// How the last guarded step of this thread ended.
enum class StepEnd { normal, over_time, stopping };
StepEnd last_step_end();

// Makes every guarded step, running or to come, end with the interrupt code; for a server
// that stops. allow_guarded_steps undoes it for a server started again.
void interrupt_guarded_steps();
void allow_guarded_steps();

// Whether statement only reads (a write left half-stepped holds every writer's commit).
bool statement_reads_only(store::DbStatement* statement);

} // namespace remote
