// What the headless backend keeps in memory: dialogs and their controls, the input queue
// that the program thread waits on, and the record of message boxes. Shared by the backend
// (dialogs.cpp, program thread) and its test driver (driver.cpp, test thread).
#pragma once

#include "platform/headless/driver.h"
#include "platform/platform.h"
#include "resources/templates.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

struct Control {
    int id;
    resources::ControlKind kind;
    unsigned style;
    std::string text;
    bool enabled = true;
    unsigned button_style = 0;
    std::vector<std::string> lines; // list lines or combo entries
    int selection = -1;
    std::vector<int> tab_stops;
    int page_lines = 1; // lines a list shows at once, from its height
    int top_line = 0;   // the first line shown
};

struct WindowRecord {
    int template_id = -1;
    DialogProc procedure = nullptr;
    Window owner = nullptr;
    bool modal = false;
    bool open = true;
    bool ended = false;
    int result = 0;
    int focus = -1; // index into controls, -1: the dialog itself
    int icon = 0;
    std::vector<Control> controls;
    std::vector<int> timers; // ids of the timers set, which tick only when the driver fires them
};

} // namespace platform

namespace headless::detail {

using platform::Control;
using platform::WindowRecord;

// Everything below is guarded by mutex; the program thread holds it only while it waits
// for input, and runs inputs and dialog procedures without it.
struct Backend {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> inputs;
    unsigned long long posted = 0; // inputs handed over so far
    unsigned long long taken = 0;  // inputs the program thread has taken
    bool waiting = false;          // the program thread waits for input
    bool started = false;
    bool ended = false;
    bool stopping = false; // tear-down: every modal loop ends
    int result = 0;

    // Touched only on the program thread (or by the driver through inputs).
    std::vector<std::unique_ptr<WindowRecord>> windows; // never freed: handles stay valid
    std::deque<int> answers;
    std::vector<ShownBox> boxes;
    std::size_t boxes_taken = 0;
    int icon = 0;
};

Backend& backend();

// Runs inputs until stop() is true (or the backend is stopping); called by modal loops.
void run_inputs_until(const std::function<bool()>& stop);

// Looks up a control of an open dialog; nullptr when there is none.
Control* find_control(WindowRecord* dialog, int control_id);

// Sends a message to the dialog's procedure.
intptr_t send(WindowRecord* dialog, unsigned message, uintptr_t wparam, intptr_t lparam);

} // namespace headless::detail
