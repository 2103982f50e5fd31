// What GUI tests and the screenshot tool need from the Qt backend beyond the platform
// interface: the widgets behind a dialog handle, the open dialogs, and message boxes that
// are answered from a queue instead of waiting for a person. The program never uses this.
#pragma once

#include "platform/platform.h"

#include <string>
#include <vector>

class QWidget;

namespace qt_backend {

// The window of an open dialog, or nullptr.
QWidget* dialog_widget(platform::Window dialog);
// The widget of one of its controls, or nullptr.
QWidget* control_widget(platform::Window dialog, int control_id);
// The control that has (or will have, once its window is active) the keyboard focus; 0 for
// the dialog itself or none.
int focused_control(platform::Window dialog);
// Every open dialog, oldest first; an ended modal dialog whose runner has not yet returned
// is left out.
std::vector<platform::Window> open_dialogs();
// The newest open dialog built from template_id, or nullptr.
platform::Window find_dialog(int template_id);

// One message box as the program asked for it.
struct ShownBox {
    platform::Window owner;
    int owner_template; // template id of the owner, -1 for none
    std::string text;
    std::string caption;
    platform::Buttons buttons;
    int answer;
    bool answered_from_queue; // false: the box was on screen and somebody pressed a button
};

// Queues the answer to the next box: that box is recorded and answered at once without
// being shown. An OK-only box takes a queued answer too, and answers OK.
void answer_next_box(int answer);
void clear_box_answers();
// The boxes shown since the last call (or since start), and forget them.
std::vector<ShownBox> take_boxes();

} // namespace qt_backend
