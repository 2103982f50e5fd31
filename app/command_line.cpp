// Which command line is answered on the terminal, and the usage and version answers. The
// backup is backup_command.cpp's, the service service_command.cpp's; the program's own forms
// are left to start-up.
#include "app/command_line.h"

#include "app/startup.h"
#include "platform/platform.h"

#include <cstring>
#include <string>

namespace app {

namespace {

// The same test parse_command_line makes: the word anywhere, even inside another word.
bool names_a_mode(const std::string& line)
{
    return line.find("client") != std::string::npos || line.find("server") != std::string::npos;
}

bool has_a_word(const std::string& line)
{
    return line.find_first_not_of(" \t\n\v\f\r") != std::string::npos;
}

} // namespace

std::string own_database()
{
    const std::string documents = platform::documents_folder();
    if (documents.empty())
        return std::string();
    return documents + platform::path_separator() + database_file_name;
}

std::string usage_text()
{
    return "Usage:\n"
           "  vendrel                     standalone: the database is data_vendrel.dat in your\n"
           "                              documents folder\n"
           "  vendrel server [PORT]       the same, and the database is shared over TCP with up\n"
           "                              to twenty clients (port 450 unless given)\n"
           "  vendrel server ADDRESS:PORT the same, listening on that one address only\n"
           "  vendrel server [--tls-cert FILE --tls-key FILE] [PORT | ADDRESS:PORT]\n"
           "                              the link is encrypted (TLS 1.3) with the server's own\n"
           "                              key, made beside the database at its first start, or\n"
           "                              with an office's certificate and key\n"
           "  vendrel server --open [PORT | ADDRESS:PORT]\n"
           "                              the same, also serving peers that have not logged in\n"
           "                              (programs that speak only the original operations):\n"
           "                              every peer may then read and change everything\n"
           "  vendrel server --store URI [PORT | ADDRESS:PORT]\n"
           "                              the same, on a PostgreSQL database instead of the file\n"
           "                              (URI: postgresql://USER@HOST:PORT/DBNAME or key=value\n"
           "                              words; the password from ~/.pgpass or PGPASSWORD)\n"
           "  vendrel client [--fingerprint KEY] [ADDRESS[:PORT]]\n"
           "                              no database here: a server's (127.0.0.1, port 450\n"
           "                              unless given); the login is checked by the server,\n"
           "                              whose key is asked about at the first connection or\n"
           "                              given as KEY (SHA256:...)\n"
           "  vendrel client [--fingerprint KEY] ADDRESS[:PORT],ADDRESS[:PORT],...\n"
           "                              the same with several servers of one database: the\n"
           "                              first that answers, and the next when it stops\n"
           "  vendrel fingerprint [--database FILE]\n"
           "                              the fingerprint of the key of the server of your\n"
           "                              database (or FILE)\n"
           "  vendrel init [--database FILE | --store URI]\n"
           "                              makes the tables and the administrator admin in a new\n"
           "                              database (yours, FILE, or an empty PostgreSQL one),\n"
           "                              asking for admin's password (or reading one line of\n"
           "                              standard input)\n"
           "  vendrel copy --from SOURCE --to TARGET\n"
           "                              copies a whole database from a file to an empty\n"
           "                              PostgreSQL database (a URI) or back, ids and all\n"
           "  vendrel backup [--force] [--database PATH] FILE\n"
           "                              copies the database (yours, or the one at PATH) into\n"
           "                              FILE, also while a server is writing to it; --force\n"
           "                              replaces an existing FILE\n"
           "  vendrel service install [--open] [PORT | ADDRESS:PORT]\n"
           "                              Windows: the server as the service \"Vendrel server\",\n"
           "                              started now and with every start of Windows\n"
           "  vendrel service remove      Windows: stops the service and removes it\n"
           "  vendrel --help              this text\n"
           "  vendrel --version           the version and the licence\n";
}

int answer_command_line(int argc, char** argv)
{
    if (argc < 2)
        return -1;
    if (std::strcmp(argv[1], "backup") == 0)
        return run_backup(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "init") == 0)
        return run_init(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "copy") == 0)
        return run_copy(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "fingerprint") == 0)
        return run_fingerprint(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "service") == 0)
        return run_service_command(argc - 2, argv + 2);

    // The values of options are never mode words: a key or a file name may hold anything.
    StartupOptions ignored;
    std::vector<std::string> rest;
    take_options(std::vector<std::string>(argv + 1, argv + argc), &ignored, &rest);
    std::string mode_line;
    for (const std::string& word : rest)
        mode_line += (mode_line.empty() ? "" : " ") + word;
    if (names_a_mode(mode_line) || !has_a_word(mode_line))
        return -1;
    std::string line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? " " : "") + std::string(argv[i]);

    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        platform::write_output(usage_text());
        return exit_ok;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        platform::write_output(std::string("vendrel ") + VENDREL_VERSION +
                               "\nCopyright (c) 2026 The Vendrel developers\n"
                               "Free software under the MIT licence (the file LICENSE); there is "
                               "no warranty.\n");
        return exit_ok;
    }
    platform::write_error("vendrel: unknown command: " + line + "\n" + usage_text());
    return exit_usage;
}

} // namespace app
