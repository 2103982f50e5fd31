// Helpers of the Qt backend's GUI tests: a dialog procedure that records what reaches it,
// input as a person gives it (mouse and keyboard events through Qt Test), and a script of
// steps that runs inside the modal loops, so a test can open dialogs that block and still
// act on them. Everything runs on the one GUI thread, under Qt's offscreen platform.
#pragma once

#include "platform/platform.h"
#include "platform/qt/test_hooks.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace gui {

using platform::Window;

// One message as the dialog procedure received it.
struct Message {
    int dialog; // template id
    unsigned message;
    int id;        // control id of a command (low word of wparam)
    unsigned code; // notification of a command, key of a key-to-item (low word)
    unsigned high; // high word of wparam
    intptr_t lparam;
};

// The recording procedure: every message is kept in messages(). Its answers are those of
// a plain dialog (initialisation handled, Cancel and the close box end the dialog, arrow
// keys left to the list) unless reaction is set and returns true with an answer of its own.
intptr_t procedure(Window dialog, unsigned message, uintptr_t wparam, intptr_t lparam);
using Reaction = std::function<bool(Window, const Message&, intptr_t* answer)>;
void set_reaction(Reaction reaction);
std::vector<Message>& messages();
// The commands received so far, and forget every message.
std::vector<Message> take_commands();
void reset(); // forgets messages and the reaction, ends every open dialog

// Steps run one per turn of the event loop, each repeated until it returns true; the whole
// script gives up after a few seconds, failing the test and ending every open dialog, so a
// broken backend cannot hang the run. Start it before the call that blocks.
using Step = std::function<bool()>;
void play(std::vector<Step> steps);
bool script_done();
// A step that runs work once.
Step once(std::function<void()> work);
// A step that waits until a dialog of template_id is open.
Step wait_for(int template_id);

// Input as a person gives it.
QWidget* widget(Window dialog, int control_id);
void click(Window dialog, int control_id);
void type(Window dialog, int control_id, const std::string& text);
void key(Window dialog, int qt_key); // to the dialog's focused widget
void click_line(Window dialog, int control_id, int line);
void double_click_line(Window dialog, int control_id, int line);
void choose_entry(Window dialog, int control_id, int index); // combo box, by keyboard
void press_close_box(Window dialog);
int focused(Window dialog); // control id of the focused control, 0 for none

} // namespace gui
