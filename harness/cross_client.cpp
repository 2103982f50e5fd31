// Test helper program for the cross-platform runs: the program, over the headless backend,
// as a client of the server at ADDRESS:PORT whose key has FINGERPRINT: it logs in as admin (password "admin") and
// files one ticket with the given subject in the first group offered, as a person at the
// dialogs would. Exits 0 when every step did what it should, else says which did not.
// Built for Linux and for Windows alike, so each side can be the other's client.
#include "app/startup.h"
#include "platform/headless/driver.h"
#include "resources/ids.h"

#include <cstdio>
#include <string>

namespace {

using namespace headless;

int fail(const char* what)
{
    std::fprintf(stderr, "cross client: %s\n", what);
    for (const ShownBox& box : take_boxes())
        std::fprintf(stderr, "  box shown: %s\n", box.text.c_str());
    stop_program();
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s ADDRESS:PORT FINGERPRINT SUBJECT\n", argv[0]);
        return 2;
    }
    // The key is pinned, as an administrator rolls clients out: no question is answered.
    const std::string command_line = std::string("client --fingerprint ") + argv[2] + " " + argv[1];
    const std::string subject = argv[3];
    start_program([command_line] { return app::program_entry(command_line.c_str()); });
    Window main = find_dialog(ids::main_dialog);
    if (!main)
        return fail("no main window");

    click(main, ids::main_window::login);
    Window login = find_dialog(ids::login_dialog);
    if (!login)
        return fail("no login dialog");
    type_text(login, ids::login::user, "admin");
    type_text(login, ids::login::password, "admin");
    click(login, ids::login::log_in);
    if (find_dialog(ids::login_dialog) || !take_boxes().empty())
        return fail("the login did not succeed");

    click(main, ids::main_window::create);
    Window ticket = find_dialog(ids::ticket_dialog);
    if (!ticket)
        return fail("no ticket dialog");
    if (lines_of(ticket, ids::ticket::group_box).empty())
        return fail("the server offers no ticket group");
    type_text(ticket, ids::ticket::customer, "Cross-platform customer");
    type_text(ticket, ids::ticket::subject, subject);
    type_text(ticket, ids::ticket::state, "new");
    type_text(ticket, ids::ticket::description,
              "Filed by the other platform's client.\r\nSecond line.");
    select_entry(ticket, ids::ticket::group_box, 0);
    click(ticket, ids::ticket::save);
    if (find_dialog(ids::ticket_dialog) || !take_boxes().empty())
        return fail("the ticket was not saved");

    bool listed = false;
    for (const std::string& line : lines_of(main, ids::main_window::ticket_list))
        listed = listed || line.find(subject) != std::string::npos;
    if (!listed)
        return fail("the new ticket is not in the main list");
    click(main, ids::cancel);
    stop_program();
    std::printf("cross client: logged in and filed \"%s\" on %s\n", subject.c_str(), argv[1]);
    return 0;
}
