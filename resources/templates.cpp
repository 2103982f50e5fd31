// The dialog templates, as plain data: every dialog's caption, placement and controls in
// creation (= tab) order, positions and sizes in dialog units of the 8-point dialog font.
// The main and login dialogs keep their historical geometry control for control; the other
// forms share one grid: 7-unit margins, labels in a left column two units below their
// field's top, single-line edits 12 high, push buttons 14 high. Building windows from these
// tables, and everything they do, belongs to the platform backends and the dialog code.
#include "resources/templates.h"

#include "resources/ids.h"

#include <iterator>

namespace resources {
namespace {

using enum ControlKind;
using namespace ids;

// Style sets shared by many controls.
constexpr unsigned line_edit = style_horizontal_scroll; // holds more text than it shows
constexpr unsigned password_edit = style_password | style_horizontal_scroll;
constexpr unsigned text_box = style_multi_line | style_vertical_scroll;
constexpr unsigned drop_list = style_vertical_scroll;
constexpr unsigned plain_list = style_notify | style_border | style_vertical_scroll;

// --- 100 "Vendrel": the main window --------------------------------------------------

constexpr ControlTemplate main_controls[] = {
    {cancel, push_button, "Quit", 406, 215, 40, 14, style_none},
    {main_window::subjects, push_button, "Subjects / Person / Group", 386, 88, 67, 20,
     style_caption_lines},
    {main_window::create, push_button, "Create", 386, 25, 67, 20, style_none},
    {main_window::search, push_button, "Search", 386, 46, 67, 20, style_none},
    {main_window::login, push_button, "Login", 386, 4, 67, 20, style_none},
    {main_window::group_box, combo_box, "", 33, 4, 306, 158, drop_list},
    {main_window::group_label, static_text, "Group", 7, 5, 24, 12, style_none},
    {main_window::ticket_list, list_box, "", 8, 20, 368, 210,
     plain_list | style_tab_stops | style_wants_keys},
    {main_window::see, push_button, "See", 386, 67, 67, 20, style_none},
    {main_window::refresh, push_button, "Refresh", 341, 2, 35, 16, style_none},
    {main_window::contact, push_button, "Contact support", 378, 182, 78, 22,
     style_caption_lines | style_no_tab_stop},
    // Below the list, in a strip added to the window's historical height: empty unless the
    // list could not show everything.
    {main_window::notice, static_text, "", 8, 234, 368, 10, style_none},
};

// --- 101 "Login" ----------------------------------------------------------------------

constexpr ControlTemplate login_controls[] = {
    {login::user, edit, "", 63, 4, 71, 12, line_edit},
    {login::password, edit, "", 63, 19, 70, 12, password_edit},
    {login::log_in, push_button, "Login", 140, 4, 49, 20, style_none},
    {cancel, push_button, "Cancel", 140, 26, 49, 11, style_none},
    {login::user_label, static_text, "Username", 6, 6, 52, 12, style_none},
    {login::password_label, static_text, "Password", 6, 19, 54, 12, style_none},
};

// --- 102 "Vendrel - Ticket": create and see ------------------------------------------
// Save comes before Save and End so that Enter, which presses the first default button,
// saves and never ends a ticket.

constexpr ControlTemplate ticket_controls[] = {
    {ticket::code_label, static_text, "Ticket", 7, 9, 48, 8, style_none},
    {ticket::code, edit, "", 58, 7, 80, 12, style_read_only | line_edit},
    {unnamed, static_text, "Group", 152, 9, 26, 8, style_none},
    {ticket::group_box, combo_box, "", 182, 7, 211, 100, drop_list},
    {ticket::customer_label, static_text, "Customer", 7, 27, 48, 8, style_none},
    {ticket::customer, edit, "", 58, 25, 285, 12, line_edit},
    {ticket::get, push_button, "Get", 349, 24, 44, 14, style_none},
    {ticket::subject_label, static_text, "Subject", 7, 45, 48, 8, style_none},
    {ticket::subject, edit, "", 58, 43, 335, 12, line_edit},
    {ticket::state_label, static_text, "State", 7, 63, 48, 8, style_none},
    {ticket::state, edit, "", 58, 61, 80, 12, line_edit},
    {unnamed, static_text, "Description", 7, 81, 48, 8, style_none},
    {ticket::description, edit, "", 58, 79, 335, 141, text_box},
    // Empty unless another instance saved a newer version of the ticket meanwhile.
    {ticket::newer, static_text, "", 58, 224, 335, 10, style_none},
    {ticket::files, push_button, "Files", 7, 239, 50, 14, style_none},
    {ticket::mail, push_button, "Mail", 61, 239, 50, 14, style_none},
    {ticket::history, push_button, "History", 115, 239, 50, 14, style_none},
    {ticket::save, push_button, "Save", 215, 239, 60, 14, style_default_button},
    {ticket::save_and_end, push_button, "Save and End", 279, 239, 60, 14, style_default_button},
    {cancel, push_button, "Quit", 343, 239, 50, 14, style_none},
};

// --- 103 "Search tickets" (modeless) --------------------------------------------------

constexpr ControlTemplate search_controls[] = {
    {search::code_label, static_text, "Code", 7, 9, 48, 8, style_none},
    {search::code, edit, "", 58, 7, 80, 12, line_edit},
    {search::date_label, static_text, "Date", 7, 27, 48, 8, style_none},
    {search::date, edit, "", 58, 25, 80, 12, line_edit},
    {search::customer_label, static_text, "Customer", 7, 45, 48, 8, style_none},
    {search::customer, edit, "", 58, 43, 200, 12, line_edit},
    {search::subject_label, static_text, "Subject", 7, 63, 48, 8, style_none},
    {search::subject, edit, "", 58, 61, 200, 12, line_edit},
    {search::description_label, static_text, "Description", 7, 81, 48, 8, style_none},
    {search::description, edit, "", 58, 79, 200, 12, line_edit},
    {search::run, push_button, "Search", 208, 6, 50, 14, style_none},
    {cancel, push_button, "Cancel", 208, 24, 50, 14, style_none},
};

// --- 106 "All subjects" ---------------------------------------------------------------
// The list asks the dialog about arrow keys like the main list; it is always told to
// handle them itself.

constexpr ControlTemplate subject_list_controls[] = {
    {subject_list::names, list_box, "", 7, 7, 180, 180,
     plain_list | style_tab_stops | style_wants_keys},
    {subject_list::create, push_button, "New", 194, 7, 50, 14, style_none},
    {subject_list::update, push_button, "Update", 194, 25, 50, 14, style_none},
    {subject_list::remove, push_button, "Remove", 194, 43, 50, 14, style_none},
    {subject_list::work, push_button, "Work", 194, 61, 50, 14, style_none},
    {cancel, push_button, "Cancel", 194, 173, 50, 14, style_none},
};

// --- 107 "Person new" -----------------------------------------------------------------

constexpr ControlTemplate subject_new_controls[] = {
    {unnamed, static_text, "Name", 7, 9, 24, 8, style_none},
    {subject_new::name, edit, "", 34, 7, 160, 12, line_edit},
    {subject_new::save, push_button, "Ok", 90, 26, 50, 14, style_none},
    {cancel, push_button, "Cancel", 144, 26, 50, 14, style_none},
};

// --- 108 "Person update": two columns of details, the description below ---------------

constexpr ControlTemplate subject_update_controls[] = {
    {unnamed, static_text, "Name", 7, 9, 50, 8, style_none},
    {subject_update::name, edit, "", 60, 7, 130, 12, line_edit},
    {unnamed, static_text, "Telephone", 7, 25, 50, 8, style_none},
    {subject_update::telephone, edit, "", 60, 23, 130, 12, line_edit},
    {unnamed, static_text, "Mobile", 7, 41, 50, 8, style_none},
    {subject_update::mobile, edit, "", 60, 39, 130, 12, line_edit},
    {unnamed, static_text, "E-mail", 7, 57, 50, 8, style_none},
    {subject_update::email, edit, "", 60, 55, 130, 12, line_edit},
    {unnamed, static_text, "Role", 7, 73, 50, 8, style_none},
    {subject_update::role, combo_box, "", 60, 71, 130, 100, drop_list},
    {unnamed, static_text, "Birthdate", 7, 89, 50, 8, style_none},
    {subject_update::birthdate, edit, "", 60, 87, 130, 12, line_edit},
    {unnamed, static_text, "Anniversery", 7, 105, 50, 8, style_none},
    {subject_update::anniversary, edit, "", 60, 103, 130, 12, line_edit},

    {unnamed, static_text, "Application", 200, 9, 52, 8, style_none},
    {subject_update::application, edit, "", 256, 7, 138, 12, line_edit},
    {unnamed, static_text, "Address", 200, 25, 52, 8, style_none},
    {subject_update::address, edit, "", 256, 23, 138, 12, line_edit},
    {unnamed, static_text, "Sub", 200, 41, 52, 8, style_none},
    {subject_update::subaddress, edit, "", 256, 39, 138, 12, line_edit},
    {unnamed, static_text, "PCODE", 200, 57, 52, 8, style_none},
    {subject_update::postcode, edit, "", 256, 55, 138, 12, line_edit},
    {unnamed, static_text, "Place", 200, 73, 52, 8, style_none},
    {subject_update::place, edit, "", 256, 71, 138, 12, line_edit},
    {unnamed, static_text, "Known from", 200, 89, 52, 8, style_none},
    {subject_update::known_from, edit, "", 256, 87, 138, 12, line_edit},
    {unnamed, static_text, "SystemNumber", 200, 105, 52, 8, style_none},
    {subject_update::system_number, edit, "", 256, 103, 138, 12, line_edit},

    {unnamed, static_text, "Description", 7, 121, 50, 8, style_none},
    {subject_update::description, edit, "", 60, 119, 334, 80, text_box},

    {subject_update::password, push_button, "Password", 7, 206, 50, 14, style_none},
    {subject_update::links, push_button, "Link", 61, 206, 50, 14, style_none},
    {subject_update::extra, push_button, "Extra", 115, 206, 50, 14, style_none},
    {subject_update::save, push_button, "OK", 290, 206, 50, 14, style_none},
    {cancel, push_button, "CANCEL", 344, 206, 50, 14, style_none},
};

// --- 110 "Change Password" ------------------------------------------------------------

constexpr ControlTemplate password_controls[] = {
    {unnamed, static_text, "New", 7, 9, 30, 8, style_none},
    {password::first, edit, "", 40, 7, 90, 12, password_edit},
    {unnamed, static_text, "Retype", 7, 25, 30, 8, style_none},
    {password::second, edit, "", 40, 23, 90, 12, password_edit},
    {password::push, push_button, "Push", 26, 41, 50, 14, style_none},
    {cancel, push_button, "Cancel", 80, 41, 50, 14, style_none},
};

// --- 111 "Links for subject to subject" -----------------------------------------------
// The links across the top; below, the subject to link to on the left and the link's own
// fields on the right; the actions in one row at the bottom.

constexpr ControlTemplate links_controls[] = {
    {unnamed, static_text, "Links", 7, 7, 100, 8, style_none},
    {links::link_list, list_box, "", 7, 17, 386, 80, plain_list | style_tab_stops},

    {unnamed, static_text, "Subject", 7, 105, 100, 8, style_none},
    {links::candidates, list_box, "", 7, 115, 150, 104,
     plain_list | style_sorted | style_tab_stops},
    {unnamed, static_text, "Filter", 7, 227, 26, 8, style_none},
    {links::filter, edit, "", 36, 225, 70, 12, line_edit},
    {links::fill, push_button, "Fill", 111, 224, 46, 14, style_none},
    {unnamed, static_text, "Sort", 7, 243, 26, 8, style_none},
    {links::sort, edit, "", 36, 241, 70, 12, line_edit},

    {unnamed, static_text, "Reason", 167, 107, 52, 8, style_none},
    {links::reason, edit, "", 223, 105, 170, 12, line_edit},
    {unnamed, static_text, "Kind", 167, 123, 52, 8, style_none},
    {links::kind, list_box, "", 223, 121, 80, 36, style_sorted | style_notify | style_border},
    {links::begin_now, push_button, "Begin date", 167, 162, 52, 14, style_none},
    {links::begin_date, edit, "", 223, 163, 80, 12, line_edit},
    {unnamed, static_text, "End date", 167, 181, 52, 8, style_none},
    {links::end_date, edit, "", 223, 179, 80, 12, line_edit},
    {unnamed, static_text, "Description", 167, 197, 52, 8, style_none},
    {links::description, edit, "", 223, 195, 170, 58, text_box},

    {links::add, push_button, "Add Link", 7, 261, 56, 14, style_none},
    {links::update, push_button, "Update Link", 67, 261, 56, 14, style_none},
    {links::see, push_button, "See", 127, 261, 56, 14, style_none},
    {links::remove, push_button, "Remove link", 187, 261, 56, 14, style_none},
    {cancel, push_button, "Leave", 337, 261, 56, 14, style_none},
};

// --- 112 "Subject extra" --------------------------------------------------------------
// Personal data with the hobbies beside it; then the private and company numbers as two
// columns under their headings; then the general and extra fields side by side.

constexpr ControlTemplate subject_extra_controls[] = {
    {unnamed, static_text, "Firstname", 7, 9, 54, 8, style_none},
    {extra::firstname, edit, "", 64, 7, 160, 12, line_edit},
    {unnamed, static_text, "Surname", 7, 25, 54, 8, style_none},
    {extra::surname, edit, "", 64, 23, 160, 12, line_edit},
    {unnamed, static_text, "Title", 7, 41, 54, 8, style_none},
    {extra::title, edit, "", 64, 39, 160, 12, line_edit},
    {unnamed, static_text, "Gender", 7, 57, 54, 8, style_none},
    {extra::gender, edit, "", 64, 55, 160, 12, line_edit},
    {unnamed, static_text, "Baptise date", 7, 73, 54, 8, style_none},
    {extra::baptism_date, edit, "", 64, 71, 160, 12, line_edit},
    {unnamed, static_text, "Baptise place", 7, 89, 54, 8, style_none},
    {extra::baptism_place, edit, "", 64, 87, 160, 12, line_edit},
    {unnamed, static_text, "Hobbies", 233, 9, 30, 8, style_none},
    {extra::hobbies, edit, "", 266, 7, 127, 92, text_box},

    {unnamed, static_text, "Private", 64, 107, 60, 8, style_none},
    {unnamed, static_text, "Company", 233, 107, 60, 8, style_none},
    {unnamed, static_text, "Email", 7, 119, 54, 8, style_none},
    {extra::email_private, edit, "", 64, 117, 160, 12, line_edit},
    {extra::email_company, edit, "", 233, 117, 160, 12, line_edit},
    {unnamed, static_text, "Telephone", 7, 135, 54, 8, style_none},
    {extra::telephone_private, edit, "", 64, 133, 160, 12, line_edit},
    {extra::telephone_company, edit, "", 233, 133, 160, 12, line_edit},
    {unnamed, static_text, "Mobile", 7, 151, 54, 8, style_none},
    {extra::mobile_private, edit, "", 64, 149, 160, 12, line_edit},
    {extra::mobile_company, edit, "", 233, 149, 160, 12, line_edit},
    {unnamed, static_text, "Fax", 7, 167, 54, 8, style_none},
    {extra::fax_private, edit, "", 64, 165, 160, 12, line_edit},
    {extra::fax_company, edit, "", 233, 165, 160, 12, line_edit},

    {unnamed, static_text, "Gen1", 7, 191, 54, 8, style_none},
    {extra::gen1, edit, "", 64, 189, 160, 12, line_edit},
    {unnamed, static_text, "Gen2", 7, 207, 54, 8, style_none},
    {extra::gen2, edit, "", 64, 205, 160, 12, line_edit},
    {unnamed, static_text, "Gen3", 7, 223, 54, 8, style_none},
    {extra::gen3, edit, "", 64, 221, 160, 12, line_edit},
    {unnamed, static_text, "Gen4", 7, 239, 54, 8, style_none},
    {extra::gen4, edit, "", 64, 237, 160, 12, line_edit},
    {unnamed, static_text, "Extra1", 233, 191, 30, 8, style_none},
    {extra::extra1, edit, "", 266, 189, 127, 12, line_edit},
    {unnamed, static_text, "Extra2", 233, 207, 30, 8, style_none},
    {extra::extra2, edit, "", 266, 205, 127, 12, line_edit},
    {unnamed, static_text, "Exta3", 233, 223, 30, 8, style_none},
    {extra::extra3, edit, "", 266, 221, 127, 12, line_edit},
    {unnamed, static_text, "Extra4", 233, 239, 30, 8, style_none},
    {extra::extra4, edit, "", 266, 237, 127, 12, line_edit},

    {extra::save, push_button, "Ok", 289, 257, 50, 14, style_none},
    {cancel, push_button, "Cancel", 343, 257, 50, 14, style_none},
};

// --- 113 "Vendrel - History": the versions of one ticket --------------------------------
// The versions across the top; below, the fields of the one chosen, read-only, each label
// marked when that version changed its field.

constexpr ControlTemplate history_controls[] = {
    {unnamed, static_text, "Versions, oldest first: begin, end, by, state, what changed", 7, 7, 386,
     8, style_none},
    {history::versions, list_box, "", 7, 17, 386, 92, plain_list | style_tab_stops},
    {history::group_label, static_text, "Group", 7, 118, 48, 8, style_none},
    {history::group, edit, "", 58, 116, 150, 12, style_read_only | line_edit},
    {history::state_label, static_text, "State", 220, 118, 40, 8, style_none},
    {history::state, edit, "", 263, 116, 130, 12, style_read_only | line_edit},
    {history::customer_label, static_text, "Customer", 7, 134, 48, 8, style_none},
    {history::customer, edit, "", 58, 132, 335, 12, style_read_only | line_edit},
    {history::subject_label, static_text, "Subject", 7, 150, 48, 8, style_none},
    {history::subject, edit, "", 58, 148, 335, 12, style_read_only | line_edit},
    {history::actions_label, static_text, "Actions", 7, 166, 48, 8, style_none},
    {history::actions, edit, "", 58, 164, 335, 12, style_read_only | line_edit},
    {history::description_label, static_text, "Description", 7, 182, 48, 8, style_none},
    {history::description, edit, "", 58, 180, 335, 66, style_read_only | text_box},
    {cancel, push_button, "Close", 343, 253, 50, 14, style_none},
};

// --- the dialogs ----------------------------------------------------------------------

template <std::size_t N>
constexpr DialogTemplate dialog(int id, const char* caption, int x, int y, int width, int height,
                                bool minimize_maximize, const ControlTemplate (&controls)[N])
{
    return {id, caption, x, y, width, height, minimize_maximize, controls, static_cast<int>(N)};
}

constexpr DialogTemplate main_dialog =
    dialog(ids::main_dialog, "Vendrel", 11, 57, 457, 248, true, main_controls);
constexpr DialogTemplate login_dialog =
    dialog(ids::login_dialog, "Login", 161, 73, 194, 41, false, login_controls);
constexpr DialogTemplate ticket_dialog =
    dialog(ids::ticket_dialog, "Vendrel - Ticket", 20, 8, 400, 260, false, ticket_controls);
constexpr DialogTemplate search_dialog =
    dialog(ids::search_dialog, "Search tickets", 40, 30, 265, 98, false, search_controls);
constexpr DialogTemplate subject_list_dialog = dialog(ids::subject_list_dialog, "All subjects", 60,
                                                      20, 251, 194, false, subject_list_controls);
constexpr DialogTemplate subject_new_dialog =
    dialog(ids::subject_new_dialog, "Person new", 80, 40, 201, 47, false, subject_new_controls);
constexpr DialogTemplate subject_update_dialog = dialog(
    ids::subject_update_dialog, "Person update", 30, 10, 401, 227, false, subject_update_controls);
constexpr DialogTemplate password_dialog =
    dialog(ids::password_dialog, "Change Password", 100, 60, 137, 62, false, password_controls);
constexpr DialogTemplate links_dialog = dialog(ids::links_dialog, "Links for subject to subject",
                                               30, 5, 400, 282, false, links_controls);
constexpr DialogTemplate subject_extra_dialog =
    dialog(ids::extra_dialog, "Subject extra", 30, 5, 400, 278, false, subject_extra_controls);
constexpr DialogTemplate history_dialog =
    dialog(ids::history_dialog, "Vendrel - History", 30, 10, 400, 274, false, history_controls);

// In ascending id order.
constexpr const DialogTemplate* dialogs[] = {
    &main_dialog,         &login_dialog,         &ticket_dialog,         &search_dialog,
    &subject_list_dialog, &subject_new_dialog,   &subject_update_dialog, &password_dialog,
    &links_dialog,        &subject_extra_dialog, &history_dialog,
};

} // namespace

const DialogTemplate* find_dialog_template(int id)
{
    for (const DialogTemplate* d : dialogs)
        if (d->id == id)
            return d;
    return nullptr;
}

const DialogTemplate* const* all_dialog_templates(int* count)
{
    if (count)
        *count = static_cast<int>(std::size(dialogs));
    return dialogs;
}

} // namespace resources
