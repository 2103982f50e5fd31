// What the ticket modules say and limit alike: the messages and captions that more than one
// of them shows, the field limits, and the statement that lists a person's ticket groups.
// Internal to tickets/; the app and other folders never include it.
#pragma once

#include "store/db_driver.h"

#include <string>

namespace tickets {

// The subject kind of a ticket group in person.role.
constexpr int role_ticket_group = 5;

// Field limits: a text as long as its limit or longer is refused.
constexpr int code_limit = 20;
constexpr int customer_limit = 80;
constexpr int subject_limit = 256;
constexpr int state_limit = 20;
constexpr int description_limit = 4096;
constexpr int search_date_limit = 20;
constexpr int search_text_limit = 256; // subject and description of a search

// Messages and captions shown by more than one module.
inline constexpr const char* no_group_message =
    "Database could not find any group for the person who is logged in";
inline constexpr const char* ticket_prepare_caption = "Cannot prepare statement - ticket";
inline constexpr const char* code_too_long = "Code too long";
inline constexpr const char* customer_too_long = "Customer too long";
inline constexpr const char* subject_too_long = "Subject too long";
inline constexpr const char* description_too_long = "Description too long";

// The last fragments of the group statement: every group of the person, or only those that
// accept new tickets (ac1 is the text 1).
inline constexpr const char* every_group_tail =
    "and (t2.personid=t1.id or t2.personid2=t1.id) and t1.date_e is null and t2.date_e is null "
    "order by name";
inline constexpr const char* eligible_group_tail =
    "and (t2.personid=t1.id or t2.personid2=t1.id) and t1.ac1='1' and t1.date_e is null and "
    "t2.date_e is null order by name";

// The names of the logged-in person's ticket groups, ending with tail. There is no DISTINCT:
// a person linked twice to a group gets it twice.
std::string group_names_statement(const char* tail);

// The ids of the logged-in person's ticket groups, in name order.
std::string group_ids_statement();

// Runs a statement expected to give at most one row and reads column of it into *value
// (empty when NULL). Returns 1 with a row, 0 without one, -1 when it cannot be prepared; the
// statement is finalized in every case and nothing is shown.
int look_up(const std::string& sql, const char* column, std::string* value);

} // namespace tickets
