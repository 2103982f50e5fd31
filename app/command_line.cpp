// Which command line is answered on the terminal, and the usage and version answers. The
// backup is backup_command.cpp's, the service service_command.cpp's; the program's own forms
// are left to start-up.
#include "app/command_line.h"

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

std::string usage_text()
{
    return "Usage:\n"
           "  vendrel                     standalone: the database is data_vendrel.dat in your\n"
           "                              documents folder\n"
           "  vendrel server [PORT]       the same, and the database is shared over TCP with up\n"
           "                              to twenty clients (port 450 unless given)\n"
           "  vendrel server ADDRESS:PORT the same, listening on that one address only\n"
           "  vendrel client [ADDRESS[:PORT]]\n"
           "                              no database here: a server's (127.0.0.1, port 450\n"
           "                              unless given)\n"
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
    if (std::strcmp(argv[1], "service") == 0)
        return run_service_command(argc - 2, argv + 2);

    std::string line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? " " : "") + std::string(argv[i]);
    if (names_a_mode(line) || !has_a_word(line))
        return -1;

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
