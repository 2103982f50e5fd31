// Program entry, the command line and the one-time set-up that runs when the main dialog
// is first initialised.
#pragma once

#include "platform/platform.h"

#include <string>

namespace app {

// Written only by parse_command_line before the main dialog opens; read-only afterwards.
struct StartupOptions {
    int client_mode = 0;     // 0 not a client, 1 default host, 2 host given
    std::string remote_host; // empty: absent
    int remote_port = -1;
    bool server_mode = false;
    std::string listen_address; // empty: every address
    int listen_port = -1;
};

extern StartupOptions startup_options;

constexpr int default_port = 450;

// Fills startup_options from the text after the program's name: nothing (standalone),
// "client [ADDRESS[:PORT]]", "server [PORT]" or "server ADDRESS:PORT". Returns 0, or -1 when
// a port is not a positive number (the mode stays as recognised).
int parse_command_line(const char* text);

// Start-up in order: reads the command line, pushes the main dialog on the dialog stack
// and runs the main dialog; returns its result as the exit code.
int program_entry(const char* command_line);

// The set-up run once by the main dialog's first initialisation: tick clock, database
// binding (local or remote), program icon, main dialog, server. Returns 1.
int first_initialisation(platform::Window main);

// A server on a machine without a display: the set-up of first initialisation without
// windows, then serving until a stop signal, then the database closed. Returns the exit
// code, or -1 when the command line does not ask for a server (nothing was done then).
int serve_without_windows(const char* command_line);

extern platform::Window main_dialog;
extern int program_icon;

// The database file in the user's documents folder.
constexpr const char* database_file_name = "data_vendrel.dat";

} // namespace app
