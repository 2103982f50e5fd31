// The command table: one row per control id with its dialog, whether it waits for a login,
// and its handler. route_command applies the gate from the row, so no handler checks the
// login itself; ids without a row do nothing.
#include "app/commands.h"

#include "app/dialogs.h"
#include "app/login.h"
#include "app/startup.h"
#include "resources/ids.h"
#include "store/session.h"
#include "subjects/extra.h"
#include "subjects/forms.h"
#include "subjects/links.h"
#include "subjects/subject_details.h"
#include "subjects/subject_list.h"
#include "tickets/history.h"
#include "tickets/main_lists.h"
#include "tickets/search.h"
#include "tickets/ticket_dialog.h"

namespace app {

const char* const contact_text = "Vendrel, MIT licence\r\nhelp@vendrel.example";

namespace {

using platform::Window;

// Whether a command waits for somebody to log in.
enum class Gate {
    login, // does nothing, silently, while nobody is logged in
    none,  // acts always
};

struct CommandRow {
    int control_id;
    int dialog_id; // the dialog the control belongs to
    Gate gate;
    void (*handler)(Window dialog);
};

void nothing(Window) {}

void search(Window)
{
    open_search_dialog();
}

void create_ticket(Window)
{
    open_modal_dialog(ids::ticket_dialog, ids::ticket_dialog);
}

void see(Window)
{
    see_ticket();
}

void login(Window)
{
    open_modal_dialog(ids::login_dialog, ids::login_dialog);
}

void refresh(Window)
{
    tickets::main_list_count = tickets::refresh_ticket_list(main_dialog);
}

void subject_list(Window)
{
    open_modal_dialog(ids::subject_list_dialog, ids::subject_list_dialog);
}

void contact(Window dialog)
{
    platform::set_item_text(dialog, ids::main_window::contact, contact_text);
    platform::set_button_style(dialog, ids::main_window::contact, platform::button_style_flat);
    platform::enable_item(dialog, ids::main_window::contact, false);
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

void history(Window ticket_dialog)
{
    if (tickets::begin_history(ticket_dialog))
        open_modal_dialog(ids::history_dialog, ids::history_dialog);
}

void new_subject(Window opener)
{
    subjects::begin_subject_form(opener);
    open_modal_dialog(ids::subject_new_dialog, ids::subject_new_dialog);
}

void password(Window opener)
{
    subjects::begin_subject_form(opener);
    open_modal_dialog(ids::password_dialog, ids::password_dialog);
}

void links(Window opener)
{
    subjects::begin_subject_form(opener);
    open_modal_dialog(ids::links_dialog, ids::links_dialog);
}

void extra(Window opener)
{
    subjects::begin_subject_form(opener);
    open_modal_dialog(ids::extra_dialog, ids::extra_dialog);
}

// One row per control that does something; every other id does nothing. Rows are grouped
// by dialog, in the order of the dialog ids.
// clang-format off
constexpr CommandRow command_table[] = {
    {/* control: */ ids::main_window::search,
     /* dialog:  */ ids::main_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ search},
    {/* control: */ ids::main_window::create,
     /* dialog:  */ ids::main_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ create_ticket},
    {/* control: */ ids::main_window::see,
     /* dialog:  */ ids::main_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ see},
    {/* control: */ ids::main_window::login,
     /* dialog:  */ ids::main_dialog,
     /* gate:    */ Gate::none,
     /* handler: */ login},
    {/* control: */ ids::main_window::refresh,
     /* dialog:  */ ids::main_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ refresh},
    {/* control: */ ids::main_window::subjects,
     /* dialog:  */ ids::main_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ subject_list},
    {/* control: */ ids::main_window::contact,
     /* dialog:  */ ids::main_dialog,
     /* gate:    */ Gate::none,
     /* handler: */ contact},
    {/* control: */ ids::search::run,
     /* dialog:  */ ids::search_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ run_search},
    {/* control: */ ids::login::log_in,
     /* dialog:  */ ids::login_dialog,
     /* gate:    */ Gate::none,
     /* handler: */ login_command},
    {/* control: */ ids::ticket::get,
     /* dialog:  */ ids::ticket_dialog,
     /* gate:    */ Gate::none,
     /* handler: */ nothing},
    {/* control: */ ids::ticket::save,
     /* dialog:  */ ids::ticket_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ save},
    {/* control: */ ids::ticket::save_and_end,
     /* dialog:  */ ids::ticket_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ save_and_end},
    {/* control: */ ids::ticket::history,
     /* dialog:  */ ids::ticket_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ history},
    {/* control: */ ids::subject_list::create,
     /* dialog:  */ ids::subject_list_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ new_subject},
    {/* control: */ ids::subject_list::update,
     /* dialog:  */ ids::subject_list_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ open_subject_update},
    {/* control: */ ids::subject_list::remove,
     /* dialog:  */ ids::subject_list_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ subjects::remove_subject},
    {/* control: */ ids::subject_list::work,
     /* dialog:  */ ids::subject_list_dialog,
     /* gate:    */ Gate::none,
     /* handler: */ nothing},
    {/* control: */ ids::subject_new::save,
     /* dialog:  */ ids::subject_new_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ subjects::create_subject},
    {/* control: */ ids::subject_update::save,
     /* dialog:  */ ids::subject_update_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ subjects::save_subject_details},
    {/* control: */ ids::subject_update::password,
     /* dialog:  */ ids::subject_update_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ password},
    {/* control: */ ids::subject_update::links,
     /* dialog:  */ ids::subject_update_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ links},
    {/* control: */ ids::subject_update::extra,
     /* dialog:  */ ids::subject_update_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ extra},
    {/* control: */ ids::password::push,
     /* dialog:  */ ids::password_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ subjects::set_subject_password},
    {/* control: */ ids::links::add,
     /* dialog:  */ ids::links_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ subjects::add_link},
    {/* control: */ ids::links::update,
     /* dialog:  */ ids::links_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ subjects::update_link},
    {/* control: */ ids::links::remove,
     /* dialog:  */ ids::links_dialog,
     /* gate:    */ Gate::none,
     /* handler: */ subjects::end_link},
    {/* control: */ ids::links::see,
     /* dialog:  */ ids::links_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ subjects::see_link},
    {/* control: */ ids::links::fill,
     /* dialog:  */ ids::links_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ nothing},
    {/* control: */ ids::links::begin_now,
     /* dialog:  */ ids::links_dialog,
     /* gate:    */ Gate::none,
     /* handler: */ subjects::set_begin_date_now},
    {/* control: */ ids::extra::save,
     /* dialog:  */ ids::extra_dialog,
     /* gate:    */ Gate::login,
     /* handler: */ subjects::save_subject_extra},
    {/* control: */ ids::history::versions,
     /* dialog:  */ ids::history_dialog,
     /* gate:    */ Gate::none,
     /* handler: */ tickets::show_history_version},
};
// clang-format on

} // namespace

int login_gate()
{
    if (store::current_person_id == store::administrator_id)
        return 1;
    return store::current_person_id == -1 ? -1 : 0;
}

void route_command(Window dialog, int control_id)
{
    for (const CommandRow& row : command_table) {
        if (row.control_id != control_id)
            continue;
        if (row.gate == Gate::login && login_gate() < 0)
            return;
        row.handler(dialog);
        return;
    }
}

void open_subject_update(Window list_dialog)
{
    if (subjects::prepare_subject_update(list_dialog) < 0)
        return;
    subjects::begin_subject_form(list_dialog);
    open_modal_dialog(ids::subject_update_dialog, ids::subject_update_dialog);
}

void see_ticket()
{
    open_modal_dialog(ids::ticket_dialog, ids::ticket_see_init);
}

} // namespace app
