// Command handlers that the dialog framework also reaches by other roads than the command
// table (double-clicks, the Enter key).
#pragma once

#include "platform/platform.h"

namespace app {

// Opens the update dialog for the subject selected in the "All subjects" list.
void open_subject_update(platform::Window list_dialog);

// Opens the ticket dialog in see mode for the selected line of the main list.
void see_ticket();

// What the contact button shows once pressed.
extern const char* const contact_text;

} // namespace app
