// The command table: one row per control id with its dialog, whether it waits for a login,
// and its handler. route_command applies the gate from the row, so no handler checks the
// login itself; ids without a row do nothing.
#include "app/commands.h"

#include "app/dialogs.h"
#include "app/login.h"
#include "app/startup.h"
#include "store/session.h"
#include "subjects/extra.h"
#include "subjects/links.h"
#include "subjects/subject_details.h"
#include "subjects/subject_list.h"
#include "tickets/main_lists.h"
#include "tickets/search.h"
#include "tickets/ticket_dialog.h"

namespace app {

const char* const contact_text = "Vendrel helpdesk\r\nhelp@vendrel.example";

namespace {

using platform::Window;

struct CommandRow {
    int control_id;
    int dialog_id; // the dialog the control belongs to
    bool gated;    // does nothing while nobody is logged in
    void (*handler)(Window dialog);
};

void nothing(Window) {}

void search(Window)
{
    open_search_dialog();
}

void create_ticket(Window)
{
    tickets::begin_ticket_dialog(tickets::TicketDialogMode::create);
    open_modal_dialog(ticket_dialog_id, ticket_dialog_id);
}

void see(Window)
{
    see_ticket();
}

void login(Window)
{
    open_modal_dialog(login_dialog_id, login_dialog_id);
}

void refresh(Window)
{
    tickets::main_list_count = tickets::refresh_ticket_list(main_dialog);
}

void subject_list(Window)
{
    open_modal_dialog(subject_list_dialog_id, subject_list_dialog_id);
}

void contact(Window dialog)
{
    platform::set_item_text(dialog, 1010, contact_text);
    platform::set_button_style(dialog, 1010, platform::button_style_flat);
    platform::enable_item(dialog, 1010, false);
}

void run_search(Window dialog)
{
    tickets::search_tickets(dialog, main_dialog);
}

void save(Window dialog)
{
    tickets::save_ticket(dialog, false, main_dialog);
}

void save_and_end(Window dialog)
{
    tickets::confirm_end_ticket(dialog, main_dialog);
}

void new_subject(Window)
{
    open_modal_dialog(subject_new_dialog_id, subject_new_dialog_id);
}

void password(Window)
{
    open_modal_dialog(password_dialog_id, password_dialog_id);
}

void links(Window)
{
    open_modal_dialog(links_dialog_id, links_dialog_id);
}

void extra(Window)
{
    open_modal_dialog(extra_dialog_id, extra_dialog_id);
}

constexpr CommandRow command_table[] = {
    {1001, main_dialog_id, true, search},
    {1002, main_dialog_id, true, create_ticket},
    {1003, main_dialog_id, true, see},
    {1004, main_dialog_id, false, login},
    {1005, main_dialog_id, true, refresh},
    {1006, main_dialog_id, true, subject_list},
    {1010, main_dialog_id, false, contact},
    {1050, search_dialog_id, true, run_search},
    {1101, login_dialog_id, false, login_command},
    {1201, ticket_dialog_id, false, nothing},
    {1208, ticket_dialog_id, true, save},
    {1215, ticket_dialog_id, true, save_and_end},
    {1301, subject_list_dialog_id, true, new_subject},
    {1302, subject_list_dialog_id, true, open_subject_update},
    {1303, subject_list_dialog_id, true, subjects::remove_subject},
    {1304, subject_new_dialog_id, true, subjects::create_subject},
    {1305, subject_update_dialog_id, true, subjects::save_subject_details},
    {1306, subject_update_dialog_id, true, password},
    {1307, subject_update_dialog_id, true, links},
    {1308, subject_update_dialog_id, true, extra},
    {1309, password_dialog_id, true, subjects::set_subject_password},
    {1310, links_dialog_id, true, subjects::add_link},
    {1311, links_dialog_id, true, subjects::update_link},
    {1312, links_dialog_id, false, subjects::end_link},
    {1313, links_dialog_id, true, subjects::see_link},
    {1314, links_dialog_id, true, nothing},
    {1315, extra_dialog_id, true, subjects::save_subject_extra},
    {1316, links_dialog_id, false, subjects::set_begin_date_now},
    {1317, subject_list_dialog_id, false, nothing},
};

} // namespace

int login_gate()
{
    if (store::current_person_id == 1)
        return 1;
    return store::current_person_id == -1 ? -1 : 0;
}

void route_command(Window dialog, int control_id)
{
    for (const CommandRow& row : command_table) {
        if (row.control_id != control_id)
            continue;
        if (row.gated && login_gate() < 0)
            return;
        row.handler(dialog);
        return;
    }
}

void open_subject_update(Window list_dialog)
{
    if (subjects::prepare_subject_update(list_dialog) == 0)
        open_modal_dialog(subject_update_dialog_id, subject_update_dialog_id);
}

void see_ticket()
{
    tickets::begin_ticket_dialog(tickets::TicketDialogMode::see);
    open_modal_dialog(ticket_dialog_id, ticket_see_init);
}

} // namespace app
