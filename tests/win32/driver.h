// Driving the real vendrel.exe from another process, as a person at the desktop would but
// through the dialog manager's own messages rather than screen positions: find a dialog by
// its caption, type into a field, press a button, answer a message box, take a picture of a
// window. For the Win32 GUI test and the Windows screenshot tool, run under Wine.
#pragma once

#include "harness/process.h"

#include <windows.h>

#include <string>

namespace win32_driver {

// The started program; every window looked for belongs to it.
struct Program {
    testing_support::Process process;
};

// Starts the program beside this one (vendrel.exe) with a command line; false when it
// could not be started.
bool start(Program* program, const std::string& command_line = "");

// The visible dialog (or message box) of the program with this caption, waiting at most
// timeout_ms; nullptr when none appeared.
HWND wait_for_dialog(const Program& program, const std::string& caption, int timeout_ms = 20000);
// Waits until the dialog has gone; false when it is still there after timeout_ms.
bool wait_until_gone(HWND dialog, int timeout_ms = 20000);

// A control's caption or text, and whether it takes input.
std::string text_of(HWND dialog, int control_id);
bool enabled(HWND dialog, int control_id);

// Replaces a field's text, as typing would (the control tells its dialog of the change).
void type(HWND dialog, int control_id, const std::string& text);
// Presses a push button: the command it sends when clicked.
void click(HWND dialog, int control_id);
// Chooses an entry of a drop-down list, as a person picking it would.
void choose_entry(HWND dialog, int control_id, int index);
// Selects a list line, as a click on it would.
void select_line(HWND dialog, int control_id, int index);

// Waits for a message box with this caption and presses its button (IDOK or IDCANCEL);
// false when no such box appeared.
bool answer_box(const Program& program, const std::string& caption, int button = IDOK);

// Writes a PNG of the window as it is on the screen; false when it cannot.
bool save_picture(HWND window, const std::string& file);

// Waits for the program to end; its exit code, or -1 when it had to be ended after timeout_ms.
int wait_for_exit(Program* program, int timeout_ms = 20000);

} // namespace win32_driver
