// The history of a long ticket and what following the database costs, measured in one run
// on one machine:
//   (a) the history of a ticket of 500 versions read as the history dialog reads it,
//       standalone and as a client of a server process (rows in pages, encrypted link);
//   (b) one question of the main window whether anything changed: locally, as a client with
//       operation n, and as a client of a server from before it (the list's light
//       statement, through a relay that answers only the original operations).
// Exchanges are the client driver's own count; times the best of several runs. Prints
// figures; never fails on a timing.
#include "harness/home.h"
#include "harness/peer.h"
#include "harness/relay.h"
#include "remote/client_driver.h"
#include "remote/tick_clock.h"
#include "store/changes.h"
#include "store/db_driver.h"
#include "store/schema.h"
#include "store/sql.h"
#include "tickets/history.h"
#include "tickets/main_lists.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace {

constexpr int versions = 500;
constexpr int runs = 9;
constexpr int question_runs = 2000;

double best_ms(int count, const std::function<void()>& work)
{
    double best = 1e12;
    for (int i = 0; i < count; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - begin)
                                  .count());
    }
    return best;
}

bool run(const std::string& sql)
{
    return store::run_statement(sql, [](store::DbStatement*) { return false; }).ok();
}

// Two writers taking turns on one ticket, each version with a description of about 400
// bytes and a line of actions, as a ticket worked on for months looks; and a hundred other
// tickets around it.
bool fill_database()
{
    store::SchemaFailure failure;
    if (store::create_schema("admin", &failure) != 0)
        return false;
    bool ok = run("BEGIN") &&
              run("insert into person (name, role, ac1) values ('Front desk', 5, '1')") &&
              run("insert into person (name, role) values ('Kim', 1)");
    const std::string description(380, 'd');
    for (int i = 0; ok && i < versions; ++i) {
        char begin[20], end[20];
        std::snprintf(begin, sizeof begin, "2025-%02d-%02d %02d:%02d:00", 1 + i / 50 % 12,
                      1 + i % 28, 8 + i % 10, i % 60);
        std::snprintf(end, sizeof end, "2025-%02d-%02d %02d:%02d:00", 1 + (i + 1) / 50 % 12,
                      1 + (i + 1) % 28, 8 + (i + 1) % 10, (i + 1) % 60);
        ok = run(store::sql_format(
            "insert into ticket (code, personid_t, personid_u, customer, subject, state, "
            "description, actions, begindate, enddate, date_b) values ('LONG', 2, %d, "
            "'Acme Ltd', 'Printer on floor 3 does not print', '%s', '%s version %d', "
            "'called back, version %d', '%s', %s, '%s')",
            i % 2 ? 3 : 1, i % 5 ? "open" : "waiting", description.c_str(), i, i, begin,
            i + 1 < versions ? ("'" + std::string(end) + "'").c_str() : "NULL", begin));
    }
    for (int i = 0; ok && i < 100; ++i)
        ok = run(store::sql_format("insert into ticket (code, personid_t, personid_u, subject, "
                                   "begindate, date_b) values ('T%03d', 2, 1, 'other', "
                                   "'2025-06-01 09:00:00', '2025-06-01 09:00:00')",
                                   i));
    return run("COMMIT") && ok;
}

int read_history()
{
    std::vector<tickets::TicketVersion> found;
    return tickets::read_ticket_versions("LONG", &found);
}

struct ClientFigures {
    double history_ms = 0;
    std::uint64_t history_exchanges = 0;
    double question_us = 0;
    std::uint64_t question_exchanges = 0;
};

ClientFigures measure_client(int port, bool with_operation)
{
    ClientFigures figures;
    remote::drop_connection(&remote::remote_link);
    if (remote::install_client_driver("127.0.0.1", port) != 1)
        return figures;
    std::string number;
    auto question = [&] {
        if (!with_operation || remote::client_change_number(&number) <= 0)
            tickets::open_tickets_mark(&number);
    };
    if (with_operation) {
        read_history(); // the connection and its login made
        std::uint64_t before = remote::client_exchange_count();
        figures.history_ms = best_ms(runs, [] { read_history(); });
        figures.history_exchanges = (remote::client_exchange_count() - before) / runs;
    }
    question();
    const std::uint64_t before = remote::client_exchange_count();
    figures.question_us = best_ms(question_runs, question) * 1e3;
    figures.question_exchanges = (remote::client_exchange_count() - before) / question_runs;
    return figures;
}

} // namespace

int main()
{
    const std::string home = testing_support::make_temp_home("vendrel-history");
    if (home.empty())
        return 1;
    remote::start_tick_clock();
    if (store::bind_local_driver("data_vendrel.dat") != 0 || !fill_database()) {
        std::fprintf(stderr, "cannot make the database\n");
        return 1;
    }
    store::db_driver.column_by_name = store::local_column_by_name;
    const int read = read_history();
    const double local_ms = best_ms(runs, [] { read_history(); });
    std::string number;
    const double local_question_us =
        best_ms(question_runs, [&] { store::local_change_number(&number); }) * 1e3;
    store::close(store::db_handle);
    store::db_handle = nullptr;

    remote_testing::ServerProcess server;
    server.options = {"--open"}; // so a client of the relay's old server may come in clear
    if (!remote_testing::start_server_process(home, &server)) {
        std::fprintf(stderr, "the server did not start\n");
        return 1;
    }
    remote::client_settings.pinned_fingerprint = remote_testing::server_fingerprint(home);
    const ClientFigures client = measure_client(server.port, true);
    remote_testing::Relay relay;
    relay.original_operations_only = true;
    remote::encryption_wanted = false;
    remote::client_settings.unencrypted_allowed = true;
    ClientFigures old_server;
    if (remote_testing::start_relay(&relay, server.port))
        old_server = measure_client(relay.port, false);
    remote_testing::stop_relay(&relay);
    remote_testing::stop_server_process(&server);
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);

    std::printf("ticket_history: a ticket of %d versions (%d read), best of %d runs\n", versions,
                read, runs);
    std::printf("(a) history standalone            %8.2f ms\n", local_ms);
    std::printf("    history as a client, pages    %8.2f ms   %llu exchanges\n", client.history_ms,
                static_cast<unsigned long long>(client.history_exchanges));
    std::printf("(b) has anything changed? standalone %6.1f us\n", local_question_us);
    std::printf("    as a client, operation n      %8.1f us   %llu exchange\n", client.question_us,
                static_cast<unsigned long long>(client.question_exchanges));
    std::printf("    as a client of an old server  %8.1f us   %llu exchanges\n",
                old_server.question_us,
                static_cast<unsigned long long>(old_server.question_exchanges));
    return 0;
}
