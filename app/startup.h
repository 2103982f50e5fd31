// Program entry, the command line and the one-time set-up that runs when the main dialog
// is first initialised.
#pragma once

#include "platform/platform.h"

#include <string>
#include <utility>
#include <vector>

namespace app {

// Written only by parse_command_line before the main dialog opens; read-only afterwards.
struct StartupOptions {
    int client_mode = 0;     // 0 not a client, 1 default host, 2 host given
    std::string remote_host; // empty: absent
    int remote_port = -1;
    std::vector<std::pair<std::string, int>> more_servers; // after the first, in order
    bool server_mode = false;
    std::string listen_address; // empty: every address
    int listen_port = -1;
    bool open_server = false;        // --open: serve peers that have not logged in
    std::string certificate_file;    // --tls-cert FILE: the server's own certificate ...
    std::string key_file;            // --tls-key FILE: ... and its key
    std::string pinned_fingerprint;  // --fingerprint SHA256:...: the client's server key
    std::string store;               // --store URI: the PostgreSQL database instead of the file
};

extern StartupOptions startup_options;

constexpr int default_port = 450;

// Fills startup_options from the words after the program's name: the options first
// (--open, --tls-cert FILE, --tls-key FILE, --fingerprint KEY, --store URI), which are taken out wherever they stand, together with their values, so that no
// value is ever read as a mode word; then the rest, read as it always was: nothing
// (standalone), "client [ADDRESS[:PORT]]" (or a list ADDRESS[:PORT],ADDRESS[:PORT],...),
// "server [PORT]" or "server ADDRESS:PORT".
// Returns 0, or -1 when a port is not a positive number or an option lacks its value (the
// mode stays as recognised).
int parse_arguments(const std::vector<std::string>& words);

// The same for the words of one text, split at blanks; a text without options is read
// exactly as given.
int parse_command_line(const char* text);

// The words of text, split at blanks.
std::vector<std::string> words_of(const char* text);

// Takes the options out of words into *options; what is left is the mode's. -1 when an
// option lacks its value.
int take_options(const std::vector<std::string>& words, StartupOptions* options,
                 std::vector<std::string>* rest);

// Start-up in order: reads the command line, pushes the main dialog on the dialog stack
// and runs the main dialog; returns its result as the exit code.
int program_entry(const char* command_line);
// The same for the words of the command line, each as it was given (main's way).
int program_entry(const std::vector<std::string>& words);

// The set-up run once by the main dialog's first initialisation: tick clock, database
// binding (local or remote), program icon, main dialog, server. Returns 1.
int first_initialisation(platform::Window main);

// A server on a machine without a display: the set-up of first initialisation without
// windows, then serving until a stop signal, then the database closed. Returns the exit
// code, or -1 when the command line does not ask for a server (nothing was done then).
int serve_without_windows(const char* command_line);
int serve_without_windows(const std::vector<std::string>& words);

extern platform::Window main_dialog;
extern int program_icon;

// The database file in the user's documents folder.
constexpr const char* database_file_name = "data_vendrel.dat";

} // namespace app
