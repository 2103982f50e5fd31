// The main window's group box and its list of open tickets,
// the ticket ids behind the list lines, and the See button's enabled state.
#pragma once

#include "platform/platform.h"

#include <string>
#include <vector>

namespace tickets {

constexpr int max_ticket_lines = 2048;

// ticket_line_ids[i] is the id of the ticket on line i of the main list; the entry after
// the last line holds -1.
extern int ticket_line_ids[max_ticket_lines + 1];

// Lines of the main list after the last fill, or -1 when that fill failed.
extern int main_list_count;

// Whether the main list shows the open tickets of the groups (rather than a search's
// result), and how many times it has been filled with them so far.
extern bool main_list_shows_open_tickets;
extern unsigned main_list_fills;

// The code of the ticket on a line of the main list, or "" for none.
std::string ticket_line_code(int line);

// Refills the list of open tickets after another instance changed tickets, keeping the
// user's place: the ticket selected stays selected (by its code, as a new version is a new
// row) and the line at the top stays there. Returns the number of lines, or -1.
int follow_ticket_list(platform::Window main_window);

// One light statement whose answer changes with every create, new version and end of a
// ticket, for a database that cannot say cheaply whether anything changed. 0 with *mark,
// or -1.
int open_tickets_mark(std::string* mark);

// Fills the group box with the logged-in person's ticket groups, then the ticket list;
// records the list's count. Returns 0, or -1 when the group statement cannot be prepared.
int fill_main_groups(platform::Window main_window);

// Refills the ticket list for the chosen group, or for all groups when none is chosen.
// Returns the number of lines, or -1.
int refresh_ticket_list(platform::Window main_window);

// Appends a line per row of statement (rows of table ticket) from line first on, all in one
// pass. Returns the index after the last line, or -1 when the statement cannot be prepared.
// *left_out, when given, says whether rows were left out because the list was full.
int add_ticket_lines(platform::Window window, const std::string& statement, int first,
                     bool* left_out = nullptr);

// Empties the ticket list and its notice line and sets the list's tab stops, ready for a fill.
void reset_ticket_list(platform::Window main_window);

// Says in the main window's notice line that the list shows only its first max_ticket_lines
// of the rows that statements (the list's, over table ticket) give together, as the database
// counts them ("2048 of 73,415 shown - refine the search"), and what the user may do about
// it (advice may be nullptr).
void tell_list_cut(platform::Window main_window, const std::vector<std::string>& statements,
                   const char* advice);

} // namespace tickets
