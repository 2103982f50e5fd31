// The small layer that stands in for the operating system: dialogs and their controls,
// message boxes, threads and sleeps, run-time library loading and the user's folders.
// Everything above this folder speaks to the platform only through this header; which
// backend answers (headless, Qt, later a native one) is decided at link time.
#pragma once

#include "resources/ids.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A dialog window. The record behind it belongs to the backend; none is nullptr.
struct WindowRecord;
using Window = WindowRecord*;

// Messages the dialog procedure receives. Values follow the classic dialog manager so
// that the procedure reads the same on every backend.
constexpr unsigned msg_close = 0x0010;        // close box or Alt+F4
constexpr unsigned msg_vkey_to_item = 0x002E; // key in a list box that wants keyboard input
constexpr unsigned msg_init_dialog = 0x0110;  // lparam: the init parameter
constexpr unsigned msg_command = 0x0111;      // wparam: notification << 16 | control id
constexpr unsigned msg_timer = 0x0113;        // wparam: the timer's id

// Notification codes carried in the high word of a command's wparam.
constexpr unsigned notify_clicked = 0;          // push button pressed
constexpr unsigned notify_selection_change = 1; // list or combo selection changed
constexpr unsigned notify_double_click = 2;     // list line double-clicked
constexpr unsigned notify_edit_change = 0x0300; // edit text changed

// Key codes of a key-to-item message (low word of wparam; the caret line is the high word):
// the keys that move through a list.
constexpr unsigned key_page_up = 0x21;
constexpr unsigned key_page_down = 0x22;
constexpr unsigned key_end = 0x23;
constexpr unsigned key_home = 0x24;
constexpr unsigned key_up = 0x26;
constexpr unsigned key_down = 0x28;

// Control ids of the Enter and Escape commands.
constexpr int id_ok = ids::ok;
constexpr int id_cancel = ids::cancel;

// Button style that makes a push button look like a plain flat label (used by the contact
// button once it shows its text).
constexpr unsigned button_style_flat = 0x80;

// The dialog procedure. For msg_command, lparam is non-zero when a control sent the
// command and zero for keyboard commands (Enter, Escape). Returns non-zero when handled;
// for msg_vkey_to_item it returns the line to move to, or -1 to leave the key to the list.
using DialogProc = intptr_t (*)(Window dialog, unsigned message, uintptr_t wparam, intptr_t lparam);

inline uintptr_t make_command(int control_id, unsigned notification)
{
    return (static_cast<uintptr_t>(notification & 0xFFFF) << 16) |
           static_cast<uintptr_t>(control_id & 0xFFFF);
}

// --- process ------------------------------------------------------------------------

// Prepares the toolkit; called once by the program entry before any dialog exists, and
// only when desktop_available() says there is something to show windows on.
void start(int& argc, char** argv);

// Whether a display (or a toolkit platform chosen by the environment) is there for windows.
bool desktop_available();

// For a program that runs without windows: catch_stop_signals, called before any thread is
// started, arranges that an interrupt or a termination request no longer ends the process;
// wait_for_stop_signal then returns once one of them has arrived (also if it came earlier).
void catch_stop_signals();
void wait_for_stop_signal();

// --- the terminal and the log -------------------------------------------------------

// The program's words, its own name first, each in UTF-8 however the system hands them over
// (Windows: from its wide command line, so no letter depends on a code page).
std::vector<std::string> program_arguments(int argc, char** argv);

// Every answer on the terminal goes out through these: text in UTF-8, to the standard output
// or the error output as the program has it. On Windows a console gets the text in UTF-16, so
// every letter shows as typed; output redirected to a file or a pipe gets the UTF-8 bytes;
// a program started from a command prompt without output of its own writes into that prompt.
void write_output(const std::string& text);
void write_error(const std::string& text);

// Where one line of a server's log goes (given without its line end): the error output, or
// for a server run by the system's service manager, the system's log.
void write_log_line(const std::string& line);

// --- dialogs ------------------------------------------------------------------------

// Runs the dialog built from template_id modally over owner (none for the main dialog):
// sends msg_init_dialog with init_param, then delivers input until end_dialog is called
// for it, and returns the result given there.
int run_modal_dialog(int template_id, Window owner, DialogProc procedure, intptr_t init_param);

// Creates a modeless dialog owned by owner and returns at once; it lives until
// end_dialog is called for it.
Window create_modeless_dialog(int template_id, Window owner, DialogProc procedure,
                              intptr_t init_param);

// Ends a dialog with a result; a modal dialog's runner returns once the procedure returns.
void end_dialog(Window dialog, int result);

// The template id a dialog was built from, or -1.
int dialog_template(Window dialog);

// Shows the program icon (icon resource icon_id) on this dialog and every later one.
void set_dialog_icon(Window dialog, int icon_id);

// --- controls -----------------------------------------------------------------------

// Text of an edit, static text or button.
int item_text_length(Window dialog, int control_id);
std::string item_text(Window dialog, int control_id);
void set_item_text(Window dialog, int control_id, const std::string& text);

void enable_item(Window dialog, int control_id, bool enable);
bool item_enabled(Window dialog, int control_id);
void set_focus(Window dialog, int control_id); // control_id 0: the dialog itself
void set_button_style(Window dialog, int control_id, unsigned style);

// List boxes. Indices count from 0; -1 means none.
void list_reset(Window dialog, int control_id);
int list_add(Window dialog, int control_id, const std::string& text); // keeps sorted lists sorted
int list_insert(Window dialog, int control_id, int index, const std::string& text);
// Appends lines in one pass with the list's drawing suspended until the last is in, so a list
// of a hundred thousand lines fills as quickly as the toolkit can take them and is drawn once;
// a sorted list places them as list_add would, one after another. Returns the number of lines
// the list holds afterwards, or -1 when there is no such list.
int list_add_lines(Window dialog, int control_id, const std::vector<std::string>& lines);
int list_count(Window dialog, int control_id);
int list_selection(Window dialog, int control_id);
void list_set_selection(Window dialog, int control_id, int index);
std::string list_text(Window dialog, int control_id, int index);
// Selects the first line from start on that begins with prefix, letter case ignored
// (start -1: the whole list); returns its index or -1 and then leaves the selection.
int list_select_prefix(Window dialog, int control_id, int start, const std::string& prefix);
// Tab stops in dialog units; tab characters in a line move to the next stop.
void list_set_tab_stops(Window dialog, int control_id, const std::vector<int>& stops);
// The first line the list shows at its top, and scrolling so that index is there (as far as
// the list can scroll). A refill that puts the top line back keeps the list where it was.
int list_top_line(Window dialog, int control_id);
void list_set_top_line(Window dialog, int control_id, int index);

// Drop-down combo boxes.
void combo_reset(Window dialog, int control_id);
int combo_add(Window dialog, int control_id, const std::string& text);
int combo_count(Window dialog, int control_id);
int combo_selection(Window dialog, int control_id);
void combo_set_selection(Window dialog, int control_id, int index);
std::string combo_text(Window dialog, int control_id, int index);
// The first entry from start on that begins with prefix, letter case ignored; -1 if none.
int combo_find_prefix(Window dialog, int control_id, int start, const std::string& prefix);

// --- timers -------------------------------------------------------------------------

// Sends msg_timer with timer_id to the dialog's procedure about every interval_ms while the
// dialog is open, also while a modal dialog or a message box over it runs (one its own
// procedure opened included), until kill_timer; setting a timer again restarts it. The
// headless backend never ticks by itself: its driver fires timers.
void set_timer(Window dialog, int timer_id, int interval_ms);
void kill_timer(Window dialog, int timer_id);

// --- message boxes ------------------------------------------------------------------

enum class Buttons { ok, ok_cancel }; // ok_cancel also shows a question icon
constexpr int answer_ok = 1;
constexpr int answer_cancel = 2;

// Shows a modal message box owned by owner and returns answer_ok or answer_cancel. Without
// a caption of its own (nullptr) the box shows its text as caption.
int message_box(Window owner, const std::string& text, const char* caption = nullptr,
                Buttons buttons = Buttons::ok);

// --- threads and time ---------------------------------------------------------------

// Starts a detached thread running routine(argument) on a stack of at least stack_size bytes
// (0: the system's default; a size below the system's least is raised to it). Returns 0, or
// -1 when it cannot.
int start_thread(void (*routine)(void*), void* argument, std::size_t stack_size = 0);
void sleep_ms(int milliseconds);
// Milliseconds from an arbitrary fixed point; only differences mean anything.
int64_t monotonic_ms();

// --- libraries and folders ----------------------------------------------------------

// A loaded shared library, or nullptr when it cannot be loaded. Stays loaded for good.
void* load_library(const char* name);
// The address of a named entry point, or nullptr.
void* library_symbol(void* library, const char* name);

// The user's documents folder, created when missing; empty when it cannot be determined.
std::string documents_folder();
std::string temp_folder();
// The folder of the user's own settings for this program ($XDG_CONFIG_HOME/vendrel or
// ~/.config/vendrel; %APPDATA%\Vendrel), created when missing; empty when it cannot be had.
std::string settings_folder();
// The separator between folder and file names.
char path_separator();

// Whether standard input is a terminal somebody types at, rather than a file or a pipe.
bool input_is_terminal();

// Shows prompt on the terminal and reads one line typed there without showing what is typed;
// the line's ending is not part of it (UTF-8). 0, or -1 when nothing can be read.
int read_hidden_line(const char* prompt, std::string* line);

// Reads one line of standard input (a file or a pipe); its ending, LF or CR LF, is not part
// of it. 0, or -1 at the end of the input with nothing read.
int read_input_line(std::string* line);

// Makes the empty file path (UTF-8), open to its owner only, provided nothing is there yet:
// the system's exclusive create, so that a file somebody else made is never taken over.
// 0 when made, 1 when something is there already, -1 otherwise with the system's reason.
int create_new_file(const std::string& path, std::string* reason);

} // namespace platform
