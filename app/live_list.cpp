// The main list that follows the database. The question asked depends on the mode: locally
// and as a server the library's change counters; as a client the server's change number in
// one exchange, or against a server without it the list's own light statement. The list and
// the ticket dialogs do the refilling and the checking; this file decides when.
#include "app/live_list.h"

#include "app/startup.h"
#include "remote/remote.h"
#include "store/changes.h"
#include "store/session.h"
#include "tickets/main_lists.h"
#include "tickets/ticket_dialog.h"

#include <string>
#include <unordered_map>

namespace app {

int list_touch_quiet_ms = 1000;

namespace {

std::string last_number;         // the answer the list was last filled after
bool known = false;              // whether last_number belongs to the list shown
unsigned changes_seen = 0;       // how many times the answer has moved
int paused_ticks = 0;            // periods left to wait after a failed question
std::int64_t touched_at_ms = -1; // when the user last touched a line of the list
bool ticking = false;            // a tick runs (a message box it shows lets others come)

std::unordered_map<platform::Window, unsigned> ticket_dialogs_seen;

// 0 with the number, -1 when nothing could be asked.
int ask_change_number(std::string* number)
{
    if (startup_options.client_mode) {
        // Without a connection nothing is asked: the statement below would make one.
        const int answered = remote::client_change_number(number);
        if (answered != 0)
            return answered > 0 ? 0 : -1;
    } else if (store::local_change_number(number) == 0) {
        return 0;
    }
    return tickets::open_tickets_mark(number);
}

} // namespace

void start_live_list(platform::Window main_window)
{
    platform::set_timer(main_window, live_list_timer, live_list_period_ms);
}

void note_list_touch()
{
    touched_at_ms = platform::monotonic_ms();
}

void live_list_tick(platform::Window main_window)
{
    if (ticking || store::current_person_id == -1)
        return;
    if (paused_ticks > 0) {
        --paused_ticks;
        return;
    }
    if (tickets::main_list_shows_open_tickets && touched_at_ms >= 0 &&
        platform::monotonic_ms() - touched_at_ms < list_touch_quiet_ms)
        return;
    ticking = true;
    std::string number;
    if (ask_change_number(&number) != 0) {
        paused_ticks = live_list_failure_pause;
        ticking = false;
        return;
    }
    // An unchanged answer means nothing was written since the last question, so a list
    // filled in between (a login, Refresh, a save) is as true as one filled now. Before the
    // first answer nothing is known of the list the login filled.
    const bool moved = !known || number != last_number;
    if (known && number != last_number)
        ++changes_seen;
    last_number = number;
    known = true;
    if (moved && tickets::main_list_shows_open_tickets)
        tickets::follow_ticket_list(main_window);
    ticking = false;
}

void watch_ticket_dialog(platform::Window dialog)
{
    ticket_dialogs_seen[dialog] = changes_seen;
    platform::set_timer(dialog, newer_version_timer, newer_version_period_ms);
}

void ticket_dialog_tick(platform::Window dialog)
{
    unsigned& seen = ticket_dialogs_seen[dialog];
    if (seen == changes_seen)
        return;
    seen = changes_seen;
    tickets::check_newer_version(dialog);
}

} // namespace app
