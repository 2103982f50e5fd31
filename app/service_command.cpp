// vendrel service: the server as the Windows service "Vendrel server". install checks the
// server's words and registers the service with them, remove takes it away again; run is the
// form the service manager starts, which serves the service's database without windows until
// the manager stops it. Registering and running as a service are platform/service's.
#include "app/command_line.h"

#include "app/startup.h"
#include "platform/platform.h"
#include "platform/service.h"

#include <string>
#include <vector>

namespace app {

namespace {

int usage_error(const std::string& text)
{
    platform::write_error("vendrel service: " + text +
                          "\nUsage: vendrel service install [--open] [PORT | ADDRESS:PORT]\n"
                          "       vendrel service remove\n");
    return exit_usage;
}

int failure(int result, const std::string& reason)
{
    if (result == platform::service_not_elevated)
        platform::write_error("vendrel service: only an administrator may do this: open the "
                              "command prompt with \"Run as administrator\" and try again\n");
    else
        platform::write_error("vendrel service: " + reason + "\n");
    return exit_failed;
}

bool is_number_up_to(const std::string& text, long most)
{
    if (text.empty() || text.size() > 5)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return std::stol(text) <= most;
}

bool is_port(const std::string& text)
{
    return is_number_up_to(text, 65535) && std::stol(text) > 0;
}

// Four numbers of 0 to 255 with dots between them, as the server binds one address.
bool is_address(const std::string& text)
{
    std::size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = part < 3 ? text.find('.', start) : text.size();
        if (dot == std::string::npos || !is_number_up_to(text.substr(start, dot - start), 255))
            return false;
        start = dot + 1;
    }
    return true;
}

// The server's words as service install takes them and service run gets them back:
// [--open] [PORT | ADDRESS:PORT], in that order. Empty when they are not such words, with
// *error saying why.
struct ServerWords {
    std::string text; // the words again, as the service manager's command line carries them
    std::string port = std::to_string(default_port);
    std::string address; // empty: every address
};

bool read_server_words(int argc, char** argv, ServerWords* words, std::string* error)
{
    int at = 0;
    if (at < argc && std::string(argv[at]) == "--open")
        words->text = argv[at++];
    if (at < argc) {
        const std::string where = argv[at++];
        const std::size_t colon = where.rfind(':');
        if (colon != std::string::npos) {
            words->address = where.substr(0, colon);
            words->port = where.substr(colon + 1);
        } else {
            words->port = where;
        }
        if (!is_port(words->port) || (colon != std::string::npos && !is_address(words->address))) {
            *error = "not a PORT or ADDRESS:PORT: " + where;
            return false;
        }
        words->text += (words->text.empty() ? "" : " ") + where;
    }
    if (at < argc) {
        *error = std::string("unknown word ") + argv[at];
        return false;
    }
    return true;
}

struct Serving {
    std::string command_line; // as parse_command_line reads it
};

int serve(void* context)
{
    return serve_without_windows(static_cast<Serving*>(context)->command_line.c_str());
}

int install(const ServerWords& words)
{
    std::string reason;
    const std::string arguments = "service run" + (words.text.empty() ? "" : " " + words.text);
    const int result = platform::install_service(arguments, &reason);
    if (result != platform::service_ok)
        return failure(result, reason);
    platform::write_output(std::string("The service \"") + platform::service_display_name +
                           "\" is installed and running: it serves port " + words.port +
                           (words.address.empty() ? " on every address" : " on " + words.address) +
                           " from the database " + platform::service_folder() + "\\" +
                           database_file_name + ", and starts with Windows.\n");
    return exit_ok;
}

} // namespace

int run_service_command(int argc, char** argv)
{
    if (argc < 1)
        return usage_error("install or remove?");
    const std::string action = argv[0];
    ServerWords words;
    std::string error;
    if (action == "remove") {
        if (argc > 1)
            return usage_error(std::string("unknown word ") + argv[1]);
        std::string reason;
        const int result = platform::remove_service(&reason);
        if (result != platform::service_ok)
            return failure(result, reason);
        platform::write_output(std::string("The service \"") + platform::service_display_name +
                               "\" is removed; its database stays in " +
                               platform::service_folder() + ".\n");
        return exit_ok;
    }
    if (action != "install" && action != "run")
        return usage_error("unknown word " + action);
    if (!read_server_words(argc - 1, argv + 1, &words, &error))
        return usage_error(error);
    if (action == "install")
        return install(words);

    Serving serving{"server" + (words.text.empty() ? "" : " " + words.text)};
    std::string reason;
    const int result = platform::run_as_service(serve, &serving, &reason);
    return result < 0 ? failure(result, reason) : result;
}

} // namespace app
