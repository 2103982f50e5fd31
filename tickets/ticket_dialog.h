// The ticket dialog: creating a ticket, seeing the one on the selected line of the main
// list, saving a new version of it and ending it.
#pragma once

#include "platform/platform.h"

namespace tickets {

enum class TicketDialogMode { create, see };

extern TicketDialogMode ticket_dialog_mode;

// Set by the commands that open the dialog, before it is created.
void begin_ticket_dialog(TicketDialogMode mode);

// The number of groups put into the dialog's group box, 0 for none, -1 when the statement
// cannot be prepared.
int fill_ticket_groups(platform::Window dialog, TicketDialogMode mode);

// Initialisations of the dialog in its two modes; main_window holds the ticket list.
void open_ticket_create(platform::Window dialog);
void open_ticket_see(platform::Window dialog, platform::Window main_window);

// Save (end false) or save and end (end true). Returns 1 after a successful save, which
// closes the dialog and refreshes the main list.
int save_ticket(platform::Window dialog, bool end, platform::Window main_window);

// Asks whether to end the ticket; on OK saves it ended.
void confirm_end_ticket(platform::Window dialog, platform::Window main_window);

} // namespace tickets
