// The main list that follows the database: every few seconds, while somebody is logged in,
// one small question whether anything was written; when it was, the list of open tickets is
// filled again in place and every open ticket dialog looks whether its version is still the
// open one.
#pragma once

#include "platform/platform.h"

#include <cstdint>

namespace app {

constexpr int live_list_timer = 1;        // the main window's timer
constexpr int newer_version_timer = 2;    // each see-mode ticket dialog's
constexpr int live_list_period_ms = 2000; // how often the main window asks
constexpr int newer_version_period_ms = 1000;
// Failed questions (the server is away) are tried again after this many periods.
constexpr int live_list_failure_pause = 5;

// After the user touched a line of the main list, the list is left alone this long, so that
// no refill moves another ticket under the pointer between the two clicks of a double click.
// Tests set it.
extern int list_touch_quiet_ms;

// Starts the main window's timer (first initialisation).
void start_live_list(platform::Window main_window);
// The user selected or double-clicked a line of the main list.
void note_list_touch();
// One tick of the main window's timer.
void live_list_tick(platform::Window main_window);

// A see-mode ticket dialog opened: its own timer starts, which checks its version whenever
// the main window's question has found a change since.
void watch_ticket_dialog(platform::Window dialog);
void ticket_dialog_tick(platform::Window dialog);

} // namespace app
