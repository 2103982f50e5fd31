// The command lines that are answered on the terminal and end the program before any window
// or connection exists: the usage, the version, the backup and the Windows service. The
// program's own forms (standalone, server, client) are parse_command_line's, read exactly as
// they always were. Every answer goes out through platform::write_output and write_error.
#pragma once

#include <string>

namespace app {

// Exit statuses of the terminal answers.
constexpr int exit_ok = 0;
constexpr int exit_failed = 1;
constexpr int exit_usage = 2;

// The exit status of the command the words after the program's name ask for, or -1 when
// they ask for the program itself. backup, init, fingerprint or service as the first word is
// that command whatever follows; otherwise a line that holds the word client or server (the
// values of options aside), or no word at all, is the program's, and of the rest only --help
// and --version alone are known: any other word gets the usage on the error output and
// exit_usage. The words are UTF-8.
int answer_command_line(int argc, char** argv);

// The backup command, given the words after backup: [--force] [--database PATH] FILE.
// Returns exit_ok, exit_failed (told on the error output) or exit_usage.
int run_backup(int argc, char** argv);

// The init command, given the words after init: [--database FILE]. Returns exit_ok,
// exit_failed (told on the error output) or exit_usage.
int run_init(int argc, char** argv);

// The copy command, given the words after copy: --from SOURCE --to TARGET. Returns exit_ok,
// exit_failed (told on the error output) or exit_usage.
int run_copy(int argc, char** argv);

// The fingerprint command, given the words after fingerprint: [--database FILE]. Prints the
// key fingerprint of the server of that database (yours by default).
int run_fingerprint(int argc, char** argv);

// The database of the user who runs a command, as the program itself would open it; the
// empty text without a documents folder.
std::string own_database();

// The service command, given the words after service: install [--open] [PORT|ADDRESS:PORT],
// remove, or run (the service manager's own form). Returns exit_ok, exit_failed or exit_usage.
int run_service_command(int argc, char** argv);

// The modes and commands, for --help and after a word that is not known.
std::string usage_text();

} // namespace app
