// The dialog framework: the one dialog procedure that serves every dialog, the stack of
// open modal dialogs and the openers that keep it, and the routing of commands and
// double-clicks.
#pragma once

#include "platform/platform.h"

#include <cstdint>

namespace app {

// Ids of the open modal dialogs, bottom entry the main dialog's (never popped).
struct DialogStack {
    static constexpr int capacity = 10;
    int ids[capacity];
    int count;
};
extern DialogStack dialog_stack;

// Pushes an id; false when the stack is full.
bool push_dialog(int dialog_id);
// The top entry, or 0 when the stack is empty.
int top_dialog();

// Opens a modal dialog owned by the main dialog with its id on the stack for its lifetime;
// returns its result. A dialog that would overflow the stack is not opened (-1).
int open_modal_dialog(int dialog_id, intptr_t init_param);

// Opens one more search window, modeless; returns at once.
platform::Window open_search_dialog();

intptr_t dialog_procedure(platform::Window dialog, unsigned message, uintptr_t wparam,
                          intptr_t lparam);
void init_dialog(platform::Window dialog, intptr_t init_param);
void route_command(platform::Window dialog, int control_id);
void route_double_click(platform::Window dialog, int control_id);

// The init parameter a dialog was opened with, -1 when unknown.
intptr_t dialog_init_param(platform::Window dialog);

// 1 for the administrator, -1 while nobody is logged in, 0 for anybody else.
int login_gate();

// The arrow-key rule of the main ticket list: the line to move to, or -1.
int arrow_key_line(platform::Window dialog, unsigned key, int caret);

} // namespace app
