// The ticket dialog: creating a ticket, seeing the one on the selected line of the main
// list, saving a new version of it and ending it.
#pragma once

#include "platform/platform.h"

namespace tickets {

enum class TicketDialogMode { create, see };

// What one open ticket dialog keeps between its initialisation and its save. Every dialog has
// its own, so two ticket dialogs open at once never save into each other's ticket.
struct TicketForm {
    TicketDialogMode mode = TicketDialogMode::create;
    int loaded_row = -1;      // see mode: the id of the row the dialog shows
    int customer_person = -1; // the customer person of that row, -1 for none
    int own_group_entry = -1; // the group box entry of the ticket's own group when
    int own_group_id = -1;    //   the user is not in it, and that group's id
    bool newer_told = false;  // the notice of a newer version is shown
};

// The record of a ticket dialog.
TicketForm& ticket_form(platform::Window dialog);

// A new code is tried this many times when other instances take the ones it makes first.
constexpr int code_attempts = 8;

// What a see-mode save says when the row it shows is no longer the ticket's open one.
inline constexpr const char* changed_meanwhile =
    "This ticket was changed meanwhile - open it again";

// The number of groups put into the dialog's group box, 0 for none, -1 when the statement
// cannot be prepared.
int fill_ticket_groups(platform::Window dialog, TicketDialogMode mode);

// Initialisations of the dialog in its two modes; main_window holds the ticket list.
void open_ticket_create(platform::Window dialog);
void open_ticket_see(platform::Window dialog, platform::Window main_window);

// Save (end false) or save and end (end true). Returns 1 after a successful save, which
// closes the dialog and refreshes the main list.
int save_ticket(platform::Window dialog, bool end, platform::Window main_window);

// See mode: when the row the dialog shows is no longer the ticket's open one (another
// instance saved a newer version or ended it), says so in the dialog's notice line, before
// a save would be refused. Reads one row; the app calls it when the database has changed.
void check_newer_version(platform::Window dialog);

// Asks whether to end the ticket; on OK saves it ended.
void confirm_end_ticket(platform::Window dialog, platform::Window main_window);

} // namespace tickets
