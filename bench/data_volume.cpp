// How the screens fare as the file grows: the same office on its first day (1,000 ticket rows)
// and after a decade (1,000,000 ticket rows over 100 groups, 100,000 subjects, 300,000
// links), each screen driven through the program's own dialogs on the headless backend, as a
// standalone instance and as a client of a server process on loopback. The files are written
// straight through the SQLite library (harness/decade.h) and carry no index until the
// program's first open makes them, which is timed too. Each measurement runs in a process of
// its own, as the program's state is process-wide; times are the best of a few runs, so a
// busy machine skews them alike. Prints figures and goals; never fails on a timing.
//
// What holds back the goals that are missed:
// - "All subjects" and the links dialog list every live subject (the links dialog as the
//   candidates to link to), so their lines grow with the register, a thousandfold from the
//   first day's hundred subjects to the decade's hundred thousand. Both read the names from
//   an index that holds them in order and fill their list in one pass; what is left is the
//   cost per name, and it does not grow. They stay within 2x only where the register stays
//   the size it was.
// - Saving a version is two writes, each made durable on the disk; on a machine whose disk
//   other work shares, its best time wanders by tens of milliseconds either way at any size.
// - The search by a customer word is a contains-match that no ordinary index serves: it reads
//   the table until the list is full, and when more rows match than the list holds, counts
//   them all for the notice under the list. Its goal is under a second, not 2x.
#include "app/startup.h"
#include "harness/decade.h"
#include "harness/home.h"
#include "harness/peer.h"
#include "platform/headless/driver.h"
#include "resources/ids.h"
#include "store/db_driver.h"
#include "store/indexes.h"
#include "tickets/main_lists.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace ids;
using headless::Window;
using Clock = std::chrono::steady_clock;

constexpr int runs = 9;

struct Size {
    const char* name;
    testing_support::DecadeShape shape;
};

// The first day: the groups of the staff member and one of 200 open tickets, as after the
// decade; a register and links of a thousandth.
testing_support::DecadeShape first_day()
{
    testing_support::DecadeShape shape;
    shape.ticket_rows = 1000;
    shape.groups = 5;
    shape.subjects = 100;
    shape.links = 300;
    return shape;
}

double seconds_since(Clock::time_point begin)
{
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

// The best of runs: prepare (not timed), then the timed action.
double best_of(const std::function<void()>& prepare, const std::function<void()>& action)
{
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        if (prepare)
            prepare();
        const Clock::time_point begin = Clock::now();
        action();
        best = std::min(best, seconds_since(begin));
    }
    return best;
}

// The screens, in the order of the table.
const char* const screens[] = {"login",         "group box fill", "main list, 200 open",
                               "open a ticket", "save a version", "All subjects",
                               "links dialog",  "search customer"};

using Figures = std::map<std::string, double>;

// Runs the program with command_line in this process and measures every screen into figures
// (seconds), with a few facts besides (lines shown).
void measure_screens(const std::string& command_line, const testing_support::DecadeFacts& facts,
                     Figures* figures)
{
    headless::start_program([command_line] { return app::program_entry(command_line.c_str()); });
    const Window main = headless::find_dialog(main_dialog);
    const auto close_above_main = [main] {
        std::vector<Window> open = headless::open_dialogs();
        for (auto it = open.rbegin(); it != open.rend(); ++it)
            if (*it != main)
                headless::press_escape(*it);
    };
    Window login = nullptr;
    (*figures)["login"] = best_of(
        [&] {
            headless::click(main, main_window::login);
            login = headless::find_dialog(login_dialog);
            headless::type_text(login, login::user, facts.staff_name);
            headless::type_text(login, login::password, facts.staff_password);
        },
        [&] { headless::click(login, login::log_in); });
    (*figures)["login lines"] = headless::lines_of(main, main_window::ticket_list).size();
    (*figures)["group box fill"] = best_of(
        nullptr, [&] { headless::on_program_thread([main] { tickets::fill_main_groups(main); }); });

    const std::vector<std::string> groups = headless::lines_of(main, main_window::group_box);
    const auto measured =
        std::find(groups.begin(), groups.end(), facts.measured_group) - groups.begin();
    headless::select_entry(main, main_window::group_box, static_cast<int>(measured));
    (*figures)["main list, 200 open"] =
        best_of(nullptr, [&] { headless::click(main, main_window::refresh); });
    (*figures)["main list lines"] = headless::lines_of(main, main_window::ticket_list).size();

    (*figures)["open a ticket"] =
        best_of([&] { headless::select_line(main, main_window::ticket_list, 0); },
                [&] { headless::click(main, main_window::see); });
    close_above_main();
    Window ticket = nullptr;
    int version = 0;
    (*figures)["save a version"] = best_of(
        [&] {
            close_above_main();
            headless::select_line(main, main_window::ticket_list, 0);
            headless::click(main, main_window::see);
            ticket = headless::find_dialog(ticket_dialog);
            headless::type_text(ticket, ticket::state, "seen " + std::to_string(++version));
        },
        [&] { headless::click(ticket, ticket::save); });
    close_above_main();

    (*figures)["All subjects"] =
        best_of(close_above_main, [&] { headless::click(main, main_window::subjects); });
    const Window list = headless::find_dialog(subject_list_dialog);
    (*figures)["All subjects lines"] = headless::lines_of(list, subject_list::names).size();
    Window update = nullptr;
    (*figures)["links dialog"] = best_of(
        [&] {
            Window subjects = headless::find_dialog(subject_list_dialog);
            while (headless::open_dialogs().back() != subjects)
                headless::press_escape(headless::open_dialogs().back());
            const std::vector<std::string> names =
                headless::lines_of(subjects, subject_list::names);
            const auto at = std::find(names.begin(), names.end(), facts.linked_subject);
            headless::select_line(subjects, subject_list::names,
                                  static_cast<int>(at - names.begin()));
            headless::click(subjects, subject_list::update);
            update = headless::find_dialog(subject_update_dialog);
        },
        [&] { headless::click(update, subject_update::links); });
    const Window links = headless::find_dialog(links_dialog);
    (*figures)["links lines"] = headless::lines_of(links, links::link_list).size();
    (*figures)["links candidates"] = headless::lines_of(links, links::candidates).size();
    close_above_main();

    headless::click(main, main_window::search);
    const Window search = headless::find_dialog(search_dialog);
    headless::type_text(search, search::customer, facts.customer_word);
    (*figures)["search customer"] = best_of(nullptr, [&] { headless::click(search, search::run); });
    (*figures)["search lines"] = headless::lines_of(main, main_window::ticket_list).size();
    const std::string notice = headless::text_of(main, main_window::notice);
    // "2048 of 70,410 shown - refine the search", or nothing when every row is shown.
    std::string found;
    if (notice.find(" of ") != std::string::npos) {
        for (char c : notice.substr(notice.find(" of ") + 4)) {
            if (c >= '0' && c <= '9')
                found += c;
            else if (c != ',')
                break;
        }
    }
    (*figures)["search found"] =
        found.empty() ? (*figures)["search lines"] : std::atof(found.c_str());
    (*figures)["boxes"] = headless::take_boxes().size();
    headless::stop_program();
}

// The first open of the file by a standalone instance: the indexes made.
void measure_first_open(Figures* figures)
{
    if (store::bind_local_driver(app::database_file_name) != 0)
        return;
    store::db_driver.column_by_name = store::local_column_by_name;
    store::IndexReport report;
    const Clock::time_point begin = Clock::now();
    store::create_indexes(nullptr, nullptr, &report);
    (*figures)["first open"] = seconds_since(begin);
    (*figures)["indexes"] = report.built;
    store::close(store::db_handle);
}

// Runs work in a child process and collects the figures it writes to a pipe.
Figures in_child(const std::function<void(Figures*)>& work)
{
    int pipe_ends[2];
    Figures figures;
    if (pipe(pipe_ends) != 0)
        return figures;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        close(pipe_ends[0]);
        Figures measured;
        work(&measured);
        std::string text;
        for (const auto& [name, value] : measured)
            text += name + "=" + std::to_string(value) + "\n";
        const ssize_t written = write(pipe_ends[1], text.data(), text.size());
        _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    close(pipe_ends[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(got));
    close(pipe_ends[0]);
    waitpid(child, nullptr, 0);
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = text.substr(at, end - at);
        const std::size_t equals = line.find('=');
        figures[line.substr(0, equals)] = std::atof(line.c_str() + equals + 1);
    }
    return figures;
}

struct Measured {
    double written = 0; // seconds to write the file
    testing_support::DecadeFacts facts;
    Figures opened, standalone, client;
};

Measured measure(const std::string& home, const testing_support::DecadeShape& shape)
{
    Measured m;
    const std::string documents = home + "/Documents";
    std::filesystem::create_directories(documents);
    std::string error;
    const Clock::time_point begin = Clock::now();
    if (!testing_support::write_decade(documents + "/" + app::database_file_name, shape, &m.facts,
                                       &error)) {
        std::fprintf(stderr, "data_volume: cannot write the file: %s\n", error.c_str());
        std::exit(1);
    }
    m.written = seconds_since(begin);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    m.opened = in_child(measure_first_open);
    m.standalone = in_child([&m](Figures* f) { measure_screens("", m.facts, f); });
    remote_testing::ServerProcess server;
    if (!remote_testing::start_server_process(home, &server)) {
        std::fprintf(stderr, "data_volume: the server did not start\n");
        std::exit(1);
    }
    m.client = in_child([&m, &server, &home](Figures* f) {
        measure_screens(remote_testing::client_command_line(home, server.port), m.facts, f);
    });
    remote_testing::stop_server_process(&server);
    return m;
}

double ms(const Figures& figures, const char* name)
{
    const auto found = figures.find(name);
    return found == figures.end() ? -1 : found->second * 1e3;
}

// Whether a screen at a decade is within its goal: the main list under 5 ms standalone, the
// search under a second, every other screen within twice its time on the first day.
bool within_goal(const std::string& screen, bool standalone, double small_ms, double large_ms)
{
    if (large_ms < 0 || small_ms < 0)
        return false;
    if (screen == "search customer")
        return large_ms < 1000;
    if (screen == "main list, 200 open" && standalone && large_ms >= 5)
        return false;
    return large_ms <= 2 * small_ms;
}

} // namespace

int main()
{
    const std::string home = testing_support::make_temp_home("vendrel-volume");
    if (home.empty())
        return 1;
    const Measured small = measure(home + "/first-day", first_day());
    const Measured large = measure(home + "/decade", testing_support::DecadeShape{});
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);

    std::printf("data_volume: %d and %d ticket rows; best of %d runs\n", first_day().ticket_rows,
                testing_support::DecadeShape{}.ticket_rows, runs);
    std::printf("file written in %.2f s and %.2f s; first open made %.0f indexes in %.0f ms and "
                "%.0f ms\n",
                small.written, large.written,
                large.opened.count("indexes") ? large.opened.at("indexes") : 0,
                ms(small.opened, "first open"), ms(large.opened, "first open"));
    std::printf("\n%-22s %11s %11s %7s  %11s %11s %7s\n", "", "standalone", "", "", "client", "",
                "");
    std::printf("%-22s %11s %11s %7s  %11s %11s %7s\n", "screen", "1,000", "1,000,000", "ratio",
                "1,000", "1,000,000", "ratio");
    int missed = 0;
    for (const char* screen : screens) {
        const double s1 = ms(small.standalone, screen), s2 = ms(large.standalone, screen);
        const double c1 = ms(small.client, screen), c2 = ms(large.client, screen);
        const bool goal = within_goal(screen, true, s1, s2) && within_goal(screen, false, c1, c2);
        missed += !goal;
        std::printf("%-22s %8.1f ms %8.1f ms %6.1fx  %8.1f ms %8.1f ms %6.1fx  %s\n", screen, s1,
                    s2, s2 / s1, c1, c2, c2 / c1, goal ? "" : "<- goal missed");
    }
    const auto lines = [](const Measured& m, const char* name) {
        return m.standalone.count(name) ? static_cast<int>(m.standalone.at(name)) : -1;
    };
    std::printf("\nlines shown (first day / decade): main list %d / %d, after login %d / %d, All "
                "subjects %d / %d, links %d / %d with %d / %d candidates, search %d / %d of "
                "about %d / %d found\n",
                lines(small, "main list lines"), lines(large, "main list lines"),
                lines(small, "login lines"), lines(large, "login lines"),
                lines(small, "All subjects lines"), lines(large, "All subjects lines"),
                lines(small, "links lines"), lines(large, "links lines"),
                lines(small, "links candidates"), lines(large, "links candidates"),
                lines(small, "search lines"), lines(large, "search lines"),
                lines(small, "search found"), lines(large, "search found"));
    std::printf("goals: at a decade every screen but the search within 2x the first day, the main "
                "list under 5 ms standalone, the search under 1 s standalone and as a client\n");
    if (missed)
        std::printf("%d screens missed a goal; see the note in bench/data_volume.cpp\n", missed);
    const int boxes = lines(small, "boxes") + lines(large, "boxes") +
                      static_cast<int>(small.client.count("boxes") ? small.client.at("boxes") : 0) +
                      static_cast<int>(large.client.count("boxes") ? large.client.at("boxes") : 0);
    if (boxes != 0)
        std::printf("note: the dialogs showed %d message boxes; the figures may not be what they "
                    "seem\n",
                    boxes);
    return 0;
}
