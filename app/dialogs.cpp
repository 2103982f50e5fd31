// The one dialog procedure and the openers. Each dialog's own initialisation is chosen by
// its init parameter; commands go to the command table (commands.cpp).
#include "app/dialogs.h"

#include "app/commands.h"
#include "app/live_list.h"
#include "app/login.h"
#include "app/startup.h"
#include "remote/remote.h"
#include "resources/ids.h"
#include "store/db_driver.h"
#include "subjects/extra.h"
#include "subjects/forms.h"
#include "subjects/links.h"
#include "subjects/subject_details.h"
#include "subjects/subject_list.h"
#include "tickets/history.h"
#include "tickets/main_lists.h"
#include "tickets/ticket_dialog.h"

#include <unordered_map>

namespace app {

DialogStack dialog_stack = {{}, 0};

namespace {

bool first_initialisation_done = false;

// Init parameter of every dialog opened so far, by window.
std::unordered_map<platform::Window, intptr_t> init_params;

constexpr int close_retry_ms = 200;

void pop_dialog()
{
    if (dialog_stack.count > 1)
        --dialog_stack.count;
}

// Ends a dialog with result 0 (cancelled); a history dialog lets go of its versions.
void end_dialog(platform::Window dialog)
{
    if (dialog_init_param(dialog) == ids::history_dialog)
        tickets::forget_history(dialog);
    platform::end_dialog(dialog, 0);
}

void handle_command(platform::Window dialog, uintptr_t wparam, intptr_t lparam)
{
    const int id = static_cast<int>(wparam & 0xFFFF);
    const unsigned notification = static_cast<unsigned>((wparam >> 16) & 0xFFFF);
    if (dialog == main_dialog && id == ids::main_window::ticket_list && lparam != 0)
        note_list_touch();
    if (id == ids::cancel) {
        end_dialog(dialog);
    } else if (id == ids::ok) {
        if (dialog_init_param(dialog) == ids::login_dialog)
            login_command(dialog);
    } else if (lparam == 0) {
        route_command(dialog, id);
    } else if (notification == platform::notify_double_click) {
        route_double_click(dialog, id);
    } else {
        route_command(dialog, id);
    }
}

// The close box ends the dialog; closing the main one also closes the database, retried
// until the library lets go of it.
void handle_close(platform::Window dialog)
{
    end_dialog(dialog);
    if (dialog != main_dialog)
        return;
    // The server thread shares the connection: its clients' statements go first.
    if (startup_options.server_mode)
        remote::stop_server();
    while (store::close(store::db_handle) != store::db_ok)
        platform::sleep_ms(close_retry_ms);
}

} // namespace

bool push_dialog(int dialog_id)
{
    if (dialog_stack.count >= DialogStack::capacity)
        return false;
    dialog_stack.ids[dialog_stack.count++] = dialog_id;
    return true;
}

int top_dialog()
{
    return dialog_stack.count > 0 ? dialog_stack.ids[dialog_stack.count - 1] : 0;
}

int open_modal_dialog(int dialog_id, intptr_t init_param)
{
    if (!push_dialog(dialog_id)) {
        platform::message_box(main_dialog, "Too many windows open - close one first");
        return -1;
    }
    const int result =
        platform::run_modal_dialog(dialog_id, main_dialog, dialog_procedure, init_param);
    pop_dialog();
    return result;
}

platform::Window open_search_dialog()
{
    return platform::create_modeless_dialog(ids::search_dialog, main_dialog, dialog_procedure,
                                            ids::search_dialog);
}

intptr_t dialog_init_param(platform::Window dialog)
{
    auto found = init_params.find(dialog);
    return found == init_params.end() ? -1 : found->second;
}

int arrow_key_line(platform::Window dialog, unsigned key, int caret)
{
    if (dialog != main_dialog || (key != platform::key_up && key != platform::key_down))
        return -1;
    if (key == platform::key_down)
        return caret + 1 < tickets::main_list_count ? caret + 1 : -1;
    return caret == 0 ? 0 : caret - 1;
}

intptr_t dialog_procedure(platform::Window dialog, unsigned message, uintptr_t wparam,
                          intptr_t lparam)
{
    switch (message) {
    case platform::msg_init_dialog:
        if (!first_initialisation_done) {
            first_initialisation(dialog);
            first_initialisation_done = true;
            main_dialog = dialog;
            start_live_list(dialog);
        }
        init_dialog(dialog, lparam);
        return 1;
    case platform::msg_command:
        handle_command(dialog, wparam, lparam);
        return 1;
    case platform::msg_close:
        handle_close(dialog);
        return 1;
    case platform::msg_timer:
        if (dialog == main_dialog && wparam == live_list_timer)
            live_list_tick(dialog);
        else if (dialog_init_param(dialog) == ids::ticket_see_init && wparam == newer_version_timer)
            ticket_dialog_tick(dialog);
        return 1;
    case platform::msg_vkey_to_item:
        return arrow_key_line(dialog, static_cast<unsigned>(wparam & 0xFFFF),
                              static_cast<int>((wparam >> 16) & 0xFFFF));
    default:
        return 0;
    }
}

void init_dialog(platform::Window dialog, intptr_t init_param)
{
    platform::set_dialog_icon(dialog, program_icon);
    init_params[dialog] = init_param;
    switch (init_param) {
    case ids::login_dialog:
        platform::set_focus(dialog, 0);
        break;
    case ids::ticket_dialog:
        tickets::open_ticket_create(dialog);
        break;
    case ids::ticket_see_init:
        tickets::open_ticket_see(dialog, main_dialog);
        watch_ticket_dialog(dialog);
        break;
    case ids::subject_list_dialog:
        subjects::fill_subject_list(dialog);
        break;
    case ids::subject_new_dialog:
    case ids::password_dialog:
        subjects::adopt_subject_form(dialog);
        break;
    case ids::subject_update_dialog:
        subjects::adopt_subject_form(dialog);
        subjects::load_subject_details(dialog);
        break;
    case ids::links_dialog:
        subjects::adopt_subject_form(dialog);
        subjects::init_links_dialog(dialog);
        break;
    case ids::extra_dialog:
        subjects::adopt_subject_form(dialog);
        subjects::load_subject_extra(dialog);
        break;
    case ids::history_dialog:
        tickets::open_history(dialog);
        break;
    default:
        break;
    }
}

void route_double_click(platform::Window dialog, int control_id)
{
    const int top = top_dialog();
    if (top == ids::subject_list_dialog && control_id == ids::subject_list::names)
        open_subject_update(dialog);
    else if (top == ids::main_dialog && control_id == ids::main_window::ticket_list)
        see_ticket();
    else if (top == ids::main_dialog)
        route_command(dialog, control_id);
}

} // namespace app
