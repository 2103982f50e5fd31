// Start-up: the command line picks the mode, the main dialog is run modally and its result
// is the exit code. The heavy set-up waits for the main dialog's first initialisation.
#include "app/startup.h"

#include "app/dialogs.h"
#include "remote/remote.h"
#include "resources/templates.h"
#include "store/db_driver.h"

#include <cstdlib>
#include <cstring>

namespace app {

StartupOptions startup_options;
platform::Window main_dialog = nullptr;
int program_icon = 0;

namespace {

bool is_space(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

const char* skip_space(const char* text)
{
    while (*text && is_space(*text))
        ++text;
    return text;
}

// The number after a colon or the word server, read as the classic decimal conversion
// does: blanks, one optional sign, digits up to the first non-digit; none gives 0.
int read_port(const char* text)
{
    return std::atoi(text);
}

} // namespace

int parse_command_line(const char* text)
{
    if (!text || !*text)
        return 0;

    // The word client wins, even inside another word and even when server also occurs.
    if (const char* client = std::strstr(text, "client")) {
        const char* rest = skip_space(client + 6);
        if (!*rest) {
            startup_options.client_mode = 1;
            startup_options.remote_host = "127.0.0.1";
            startup_options.remote_port = default_port;
            return 0;
        }
        startup_options.client_mode = 2;
        if (const char* colon = std::strchr(rest, ':')) {
            startup_options.remote_port = read_port(colon + 1);
            if (startup_options.remote_port <= 0)
                return -1;
            startup_options.remote_host.assign(rest, colon);
            return 0;
        }
        startup_options.remote_port = default_port;
        startup_options.remote_host = rest;
        return 0;
    }

    const char* server = std::strstr(text, "server");
    if (!server)
        return 0;
    startup_options.server_mode = true;
    const char* rest = skip_space(server + 6);
    if (!*rest) {
        startup_options.listen_port = default_port;
        return 0;
    }
    startup_options.listen_port = read_port(rest);
    return startup_options.listen_port > 0 ? 0 : -1;
}

int program_entry(const char* command_line)
{
    parse_command_line(command_line);
    push_dialog(main_dialog_id);
    return platform::run_modal_dialog(main_dialog_id, nullptr, dialog_procedure, 0);
}

int first_initialisation(platform::Window main)
{
    remote::start_tick_clock();
    if (startup_options.client_mode != 0) {
        if (remote::install_client_driver(startup_options.remote_host.c_str(),
                                          startup_options.remote_port) < 0)
            platform::message_box(main, "Connection error");
    } else {
        if (store::bind_local_driver(database_file_name) < 0)
            platform::message_box(main, "Database error");
        store::db_driver.column_by_name = store::local_column_by_name;
    }
    program_icon = resources::program_icon_id;
    main_dialog = main;
    if (startup_options.server_mode)
        remote::start_server(startup_options.listen_port);
    return 1;
}

} // namespace app
