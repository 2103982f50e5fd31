// Start-up: the command line picks the mode, the main dialog is run modally and its result
// is the exit code. The heavy set-up waits for the main dialog's first initialisation.
#include "app/startup.h"

#include "app/command_line.h"
#include "app/database_indexes.h"
#include "app/dialogs.h"
#include "remote/remote.h"
#include "resources/ids.h"
#include "store/db_driver.h"

#include <cstdio>
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

// The database of the command line, the file or --store's, and the column reader that goes
// with it; the binding's result, with *reason when the store cannot be loaded or reached.
int bind_local_database(std::string* reason)
{
    if (!startup_options.store.empty()) {
        // The server's key and certificate lie where the file would.
        std::snprintf(store::database_path, sizeof store::database_path, "%s",
                      own_database().c_str());
        return store::bind_postgresql_driver(startup_options.store, reason);
    }
    const int result = store::bind_local_driver(database_file_name);
    store::db_driver.column_by_name = store::local_column_by_name;
    return result;
}

// Said once when the server cannot listen, so that nobody mistakes the instance for one
// that serves: what failed, the system's reason, and for the ports only an administrator
// may open, what to do instead.
std::string listen_error_text(int port, const std::string& reason)
{
    std::string text = "Server cannot listen on port " + std::to_string(port);
    if (!reason.empty())
        text += "\r\n" + reason;
    if (port > 0 && port < 1024)
        text += "\r\nPorts below 1024 need administrator rights; run as administrator or "
                "choose another port (vendrel server 4500)";
    return text;
}

// Starts the server of the command line; the message to show when it cannot listen, or
// the empty text.
std::string start_listening()
{
    std::string reason;
    remote::server_settings.open = startup_options.open_server;
    // An office's own certificate is used as it is; only the server's own key is made.
    remote::server_settings.certificate_file = startup_options.certificate_file;
    remote::server_settings.key_file = startup_options.key_file;
    remote::server_settings.make_identity = startup_options.certificate_file.empty();
    if (remote::start_server(startup_options.listen_address.c_str(), startup_options.listen_port,
                             &reason) == 0)
        return std::string();
    return listen_error_text(startup_options.listen_port, reason);
}

// Connects a client; a server that cannot be reached is told on the error output (the
// login reports it to the user). The result of install_client_driver.
int connect_client()
{
    std::string reason;
    remote::client_settings.pinned_fingerprint = startup_options.pinned_fingerprint;
    for (const auto& [host, port] : startup_options.more_servers)
        remote::add_alternative_server(host, port);
    const int connected = remote::install_client_driver(startup_options.remote_host.c_str(),
                                                        startup_options.remote_port, &reason);
    if (connected == 0)
        std::fprintf(stderr, "vendrel: cannot connect to %s:%d: %s\n",
                     startup_options.remote_host.c_str(), startup_options.remote_port,
                     reason.c_str());
    return connected;
}

} // namespace

namespace {

// The legacy reading of the mode's text.
int parse_mode_text(const char* text);

// The options the command line knows, and whether the next word is the option's value.
struct OptionWord {
    const char* name;
    bool with_value;
    void (*take)(StartupOptions* options, const std::string& value);
};

const OptionWord option_words[] = {
    {"--open", false, [](StartupOptions* options, const std::string&) { options->open_server = true; }},
    {"--tls-cert", true,
     [](StartupOptions* options, const std::string& file) { options->certificate_file = file; }},
    {"--tls-key", true,
     [](StartupOptions* options, const std::string& file) { options->key_file = file; }},
    {"--fingerprint", true,
     [](StartupOptions* options, const std::string& key) { options->pinned_fingerprint = key; }},
    {"--store", true,
     [](StartupOptions* options, const std::string& uri) { options->store = uri; }},
};

} // namespace

std::vector<std::string> words_of(const char* text)
{
    std::vector<std::string> words;
    for (const char* at = text ? skip_space(text) : ""; *at; at = skip_space(at)) {
        const char* end = at;
        while (*end && !is_space(*end))
            ++end;
        words.emplace_back(at, end);
        at = end;
    }
    return words;
}

int take_options(const std::vector<std::string>& words, StartupOptions* options,
                 std::vector<std::string>* rest)
{
    int result = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const OptionWord* option = nullptr;
        for (const OptionWord& known : option_words)
            if (words[i] == known.name)
                option = &known;
        if (!option) {
            rest->push_back(words[i]);
        } else if (!option->with_value) {
            option->take(options, std::string());
        } else if (i + 1 < words.size()) {
            option->take(options, words[++i]);
        } else {
            result = -1;
        }
    }
    return result;
}

int parse_arguments(const std::vector<std::string>& words)
{
    std::vector<std::string> rest;
    const int taken = take_options(words, &startup_options, &rest);
    std::string text;
    for (const std::string& word : rest)
        text += (text.empty() ? "" : " ") + word;
    const int parsed = parse_mode_text(text.c_str());
    return taken < 0 ? -1 : parsed;
}

int parse_command_line(const char* text)
{
    const std::vector<std::string> words = words_of(text);
    std::vector<std::string> rest;
    StartupOptions probe;
    take_options(words, &probe, &rest);
    // Without options the text is the mode's exactly as typed, blanks and all.
    return rest.size() == words.size() ? parse_mode_text(text) : parse_arguments(words);
}

namespace {

int parse_mode_text(const char* text)
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
        // A list HOST1[:PORT],HOST2[:PORT],...: the servers of one database, in the order
        // they are tried.
        if (std::strchr(rest, ',')) {
            std::vector<std::pair<std::string, int>> listed;
            const std::string list = rest;
            for (std::size_t at = 0; at <= list.size();) {
                std::size_t end = list.find(',', at);
                if (end == std::string::npos)
                    end = list.size();
                std::string item = list.substr(at, end - at);
                item.erase(0, item.find_first_not_of(" \t"));
                item.erase(item.find_last_not_of(" \t") + 1);
                const std::size_t colon = item.find(':');
                const int port =
                    colon == std::string::npos ? default_port : read_port(item.c_str() + colon + 1);
                const std::string host = item.substr(0, colon);
                if (port <= 0 || host.empty())
                    return -1;
                listed.emplace_back(host, port);
                at = end + 1;
            }
            startup_options.remote_host = listed[0].first;
            startup_options.remote_port = listed[0].second;
            startup_options.more_servers.assign(listed.begin() + 1, listed.end());
            return 0;
        }
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
    // "server ADDRESS:PORT" binds one interface; without a colon the text is the port alone,
    // read as it always was.
    if (const char* colon = std::strchr(rest, ':')) {
        const char* end = colon;
        while (end > rest && is_space(end[-1]))
            --end;
        startup_options.listen_address.assign(rest, end);
        rest = colon + 1;
    }
    startup_options.listen_port = read_port(rest);
    return startup_options.listen_port > 0 ? 0 : -1;
}

} // namespace

namespace {

int run_main_dialog()
{
    push_dialog(ids::main_dialog);
    return platform::run_modal_dialog(ids::main_dialog, nullptr, dialog_procedure, 0);
}

int serve_as_parsed();

} // namespace

int program_entry(const char* command_line)
{
    parse_command_line(command_line);
    return run_main_dialog();
}

int program_entry(const std::vector<std::string>& words)
{
    parse_arguments(words);
    return run_main_dialog();
}

int serve_without_windows(const char* command_line)
{
    parse_command_line(command_line);
    return serve_as_parsed();
}

int serve_without_windows(const std::vector<std::string>& words)
{
    parse_arguments(words);
    return serve_as_parsed();
}

int first_initialisation(platform::Window main)
{
    remote::start_tick_clock();
    if (startup_options.client_mode != 0) {
        if (connect_client() < 0)
            platform::message_box(main, "Connection error");
    } else if (std::string reason; bind_local_database(&reason) < 0) {
        platform::message_box(main, reason.empty() ? "Database error" : "Database error\r\n" + reason);
    } else {
        // Shown in the window's notice line until the first list fills it, never as a box
        // the user has to answer before the program even starts.
        const std::string broken = index_local_database(startup_options.server_mode);
        if (!broken.empty())
            platform::set_item_text(main, ids::main_window::notice, broken);
    }
    program_icon = ids::program_icon;
    main_dialog = main;
    if (startup_options.server_mode) {
        const std::string failure = start_listening();
        if (!failure.empty()) // captioned with its first line, as the box always was
            platform::message_box(main, failure, failure.substr(0, failure.find('\r')).c_str());
    }
    return 1;
}

namespace {

int serve_as_parsed()
{
    if (startup_options.client_mode != 0 || !startup_options.server_mode)
        return -1;
    platform::catch_stop_signals(); // before any thread, so that every thread inherits it
    remote::start_tick_clock();
    if (std::string reason; bind_local_database(&reason) < 0) {
        platform::write_log_line("vendrel: Database error" + (reason.empty() ? "" : ": " + reason));
        return 1;
    }
    index_local_database(true);
    const std::string failure = start_listening();
    if (!failure.empty()) {
        std::string line = failure;
        for (std::size_t at; (at = line.find("\r\n")) != std::string::npos;)
            line.replace(at, 2, ": ");
        platform::write_log_line("vendrel: " + line);
        store::close(store::db_handle);
        return 1;
    }
    platform::wait_for_stop_signal();
    remote::stop_server();
    // As the main dialog's close box does: retry until the library lets go, but not forever.
    for (int attempt = 0; attempt < 50 && store::close(store::db_handle) != store::db_ok; ++attempt)
        platform::sleep_ms(200);
    return 0;
}

} // namespace

} // namespace app
