// The test driver of the headless backend. The program runs on a thread of its own, exactly
// as it would on screen: a modal dialog blocks its caller until it ends. The driver hands
// that thread one input at a time and returns once the program waits for input again (or
// has ended), so a test reads like a person at the keyboard: type, click, answer a box,
// look at what is shown.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <string>
#include <vector>

namespace headless {

using platform::Window;

// One message box as it was shown.
struct ShownBox {
    Window owner;
    int owner_template; // template id of the owner dialog, -1 for none
    std::string text;
    std::string caption;
    platform::Buttons buttons;
    int answer;
};

// Starts the program: entry runs on the program thread (normally the program entry with its
// command line). Returns once the program waits for input or has ended.
void start_program(std::function<int()> entry);
// Whether the program entry has returned, and with which result.
bool program_ended();
int program_result();
// Ends every open dialog, innermost first, as if each were cancelled by the system, and
// waits until the program has ended. For test tear-down.
void stop_program();

// The newest open dialog built from template_id, or nullptr.
Window find_dialog(int template_id);
// Every open dialog, oldest first.
std::vector<Window> open_dialogs();

// --- input; each returns false when the input was impossible (control missing or disabled)
bool type_text(Window dialog, int control_id, const std::string& text); // replaces the text
bool click(Window dialog, int control_id);
bool select_line(Window dialog, int control_id, int index);       // list box
bool double_click_line(Window dialog, int control_id, int index); // list box
bool select_entry(Window dialog, int control_id, int index);      // combo box
bool press_enter(Window dialog);
bool press_escape(Window dialog);
bool press_key(Window dialog, int control_id, unsigned key); // a list key: platform::key_up...
bool press_close_box(Window dialog);
// One tick of a timer the dialog has set, as the system would deliver it; false when the
// dialog has no such timer.
bool fire_timer(Window dialog, int timer_id);

// --- message boxes: answers queued here are taken in order; with none queued, OK.
void answer_next_box(int answer); // platform::answer_ok or platform::answer_cancel
std::vector<ShownBox> shown_boxes();
// The boxes shown since the last call (or since start), and forget them.
std::vector<ShownBox> take_boxes();

// --- what the user sees
std::string text_of(Window dialog, int control_id);
bool is_enabled(Window dialog, int control_id);
std::vector<std::string> lines_of(Window dialog, int control_id); // list or combo entries
int selection_of(Window dialog, int control_id);                  // list or combo
std::vector<int> tab_stops_of(Window dialog, int control_id);
int focused_control(Window dialog); // control id, or 0 when the dialog itself has the focus
unsigned button_style_of(Window dialog, int control_id);
int icon_of(Window dialog);

// Runs work on the program thread while it waits for input, and waits for it. For the rare
// check that the functions above do not cover.
void on_program_thread(const std::function<void()>& work);

} // namespace headless
