// How fast the remote link is, measured in one run on one machine. The refresh is the main
// list's fill of 2048 open tickets: the statements and column reads of the fill, without the
// list box.
//   (a) the refresh in a standalone instance;
//   (b) the refresh by a client of a server process, rows coming in pages;
//   (c) the same with the client held to the original step and column requests;
// (b) and (c) on loopback and through a relay that adds 1 ms to every message each way;
// (c) through the relay on a group of 128 tickets, scaled by its exchanges to 2048.
//   (d) 19 clients working at once while a 20th is connected and idle: requests per second
//       and the 99th percentile of a request's time;
//   (e) one write statement through the relay, to weigh a single-exchange write.
// Exchanges are the client driver's own count. Times are the best of a few runs, so that a
// busy machine skews them alike. Prints figures; never fails on a timing.
#include "bench/busy_clients.h"
#include "harness/peer.h"
#include "harness/relay.h"
#include "platform/platform.h"
#include "platform/sockets.h"
#include "remote/client_driver.h"
#include "remote/tick_clock.h"
#include "remote/wire.h"
#include "store/db_driver.h"
#include "store/schema.h"
#include "store/sql.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int ticket_count = 2048;
constexpr int small_ticket_count = 128;
constexpr int busy_clients = 19;
constexpr int concurrent_run_ms = 3000;
constexpr int runs = 3;
constexpr int relay_delay_ms = 1;

// Who sees which group: admin (1) the big group (2), Kim (3) the small one (4).
constexpr int big_group_person = 1;
constexpr int small_group_person = 3;

double seconds_since(std::chrono::steady_clock::time_point begin)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

bool run(const std::string& sql)
{
    const store::Outcome outcome =
        store::run_statement(sql, [](store::DbStatement*) { return false; });
    return outcome.ok();
}

// The main list's fill for all of person's groups: the group ids, then the open tickets of
// each, with the five columns a line needs. Returns the number of lines.
int refresh_main_list(int person)
{
    int lines = 0;
    const std::string group_sql = store::sql_format(
        "select t1.id as id from person as t1,subjectlink as t2 where t1.role=5 and "
        "(t2.personid=%d or t2.personid2=%d) and (t2.personid=t1.id or t2.personid2=t1.id) and "
        "t1.date_e is null and t2.date_e is null order by t1.name",
        person, person);
    std::vector<int> ids;
    const store::Outcome groups = store::run_statement(group_sql, [&ids](store::DbStatement* row) {
        ids.push_back(store::column_number(row, "id"));
        return true;
    });
    if (groups.failure == store::Failure::prepare)
        return -1;
    for (int id : ids) {
        const store::Outcome rows = store::run_statement(
            store::sql_format("select * from ticket where personid_t=%d and enddate is null "
                              "order by begindate",
                              id),
            [&lines](store::DbStatement* row) {
                const int ticket = store::column_number(row, "id");
                std::string line = store::column_string(row, "begindate") + '\t' +
                                   store::column_string(row, "code") + '\t' +
                                   store::column_string(row, "subject") + '\t' +
                                   store::column_string(row, "description");
                lines += ticket > 0 && !line.empty();
                return lines < ticket_count;
            });
        if (rows.failure == store::Failure::prepare)
            return -1;
    }
    return lines;
}

// The database of the runs: admin and Kim, each linked to a ticket group of their own, with
// 2048 and 128 open tickets.
bool fill_database()
{
    store::SchemaFailure failure;
    if (store::create_schema("admin", &failure) != 0)
        return false;
    run("BEGIN");
    bool ok =
        run("insert into person (name, role, ac1) values ('Front desk', 5, '1')") &&
        run("insert into person (name, role) values ('Kim', 1)") &&
        run("insert into person (name, role, ac1) values ('Back office', 5, '1')") &&
        run("insert into subjectlink (personid, personid2, linklevelkind) values (1, 2, 3)") &&
        run("insert into subjectlink (personid, personid2, linklevelkind) values (3, 4, 3)");
    for (int i = 0; ok && i < ticket_count + small_ticket_count; ++i)
        ok = run(store::sql_format(
            "insert into ticket (code, state, subject, description, personid_t, begindate, "
            "date_b) values ('T%05d', 'new', 'Printer on floor %d does not print', 'Reported "
            "at the desk: the printer shows a paper jam but there is no paper in it, ticket "
            "%d', %d, '2024-05-%02d 09:%02d:%02d', '2024-05-01 09:00:00')",
            i, i % 7, i, i < ticket_count ? 2 : 4, 1 + i % 28, i / 60 % 60, i % 60));
    run("COMMIT");
    return ok;
}

struct Timed {
    double seconds = 1e9; // the best run
    int lines = 0;
    std::uint64_t exchanges = 0; // of one refresh
};

// The best of count refreshes of person's list, with rows in pages or not.
Timed time_refresh(int person, int count, bool pages)
{
    remote::pages_wanted = pages;
    Timed timed;
    for (int run = 0; run < count; ++run) {
        const std::uint64_t before = remote::client_exchange_count();
        const auto begin = std::chrono::steady_clock::now();
        timed.lines = refresh_main_list(person);
        timed.seconds = std::min(timed.seconds, seconds_since(begin));
        timed.exchanges = remote::client_exchange_count() - before;
    }
    return timed;
}

// Seconds for count prepares and finalizes of a tiny statement: two small exchanges each.
double small_exchanges(int count)
{
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        store::DbStatement* statement = nullptr;
        store::prepare(store::db_handle, "select 1", 8, &statement, nullptr);
        store::finalize(statement);
    }
    return seconds_since(begin);
}

// Makes the process a client of the server at port (a server or a relay in front of one).
bool connect_client(int port)
{
    remote::drop_connection(&remote::remote_link);
    return remote::install_client_driver("127.0.0.1", port) == 1;
}

// The floor: an echo peer in a process of its own, as the server is, and round trips of
// request-sized messages over blocking sockets.
double raw_round_trips(int count)
{
    const platform::Socket listener = platform::listen_socket(nullptr, 0, 1);
    const int port = platform::socket_port(listener);
    const pid_t echo = fork();
    if (echo == 0) {
        platform::Socket peer = platform::invalid_socket;
        while (peer == platform::invalid_socket) {
            platform::SocketPoll entry{listener, platform::socket_readable, 0};
            platform::poll_sockets(&entry, 1, 1000);
            peer = platform::accept_socket(listener, nullptr);
        }
        platform::set_socket_nonblocking(peer, false);
        platform::set_socket_no_delay(peer);
        char buffer[64];
        for (;;) {
            const int got = platform::receive_socket(peer, buffer, 13);
            if (got <= 0 || platform::send_socket(peer, buffer, got) != got)
                break;
        }
        _exit(0);
    }
    const platform::Socket socket = remote_testing::connect_raw(port);
    char message[13] = "0123456789ab";
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        platform::send_socket(socket, message, 13);
        int got = 0;
        while (got < 13) {
            const int n = platform::receive_socket(socket, message + got, 13 - got);
            if (n <= 0)
                break;
            got += n;
        }
    }
    const double seconds = seconds_since(begin);
    platform::close_socket(socket);
    platform::close_socket(listener);
    waitpid(echo, nullptr, 0);
    return seconds;
}

} // namespace

int main()
{
    std::string pattern = std::filesystem::temp_directory_path() / "vendrel-bench-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return 1;
    const std::string home = pattern;
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    remote::start_tick_clock();

    // (a) first: this process binds the local library, fills the file and lists it.
    if (store::bind_local_driver("data_vendrel.dat") != 0) {
        std::fprintf(stderr, "no database\n");
        return 1;
    }
    store::db_driver.column_by_name = store::local_column_by_name;
    if (!fill_database()) {
        std::fprintf(stderr, "cannot fill the database\n");
        return 1;
    }
    refresh_main_list(big_group_person); // warm the file cache
    const Timed local = time_refresh(big_group_person, runs, true);
    store::close(store::db_handle);
    store::db_handle = nullptr;

    // (b) and (c): the same file served by a server process, this process its client, on
    // loopback and through the relay.
    remote_testing::ServerProcess server;
    server.options = {"--open"}; // the busy clients are raw peers of the original operations
    if (!remote_testing::start_server_process(home, &server)) {
        std::fprintf(stderr, "the server did not start\n");
        return 1;
    }
    remote::client_settings.pinned_fingerprint = remote_testing::server_fingerprint(home);
    remote_testing::Relay relay;
    relay.delay_ms = relay_delay_ms;
    // What the encrypted link costs: the same refresh, and small exchanges, in clear first.
    remote::encryption_wanted = false;
    if (!remote_testing::start_relay(&relay, server.port) || !connect_client(server.port)) {
        std::fprintf(stderr, "cannot connect\n");
        return 1;
    }
    refresh_main_list(big_group_person);
    const Timed paged_clear = time_refresh(big_group_person, runs, true);
    const double exchange_clear_us = small_exchanges(2000) * 1e6 / 4000;
    remote::encryption_wanted = true;
    connect_client(server.port);
    refresh_main_list(big_group_person);
    const double exchange_encrypted_us = small_exchanges(2000) * 1e6 / 4000;
    const Timed paged = time_refresh(big_group_person, runs, true);
    const Timed requested = time_refresh(big_group_person, runs, false);
    const double round_trip_us = raw_round_trips(2000) * 1e6 / 2000;

    connect_client(relay.port);
    const Timed paged_relay = time_refresh(big_group_person, 2, true);
    const Timed requested_small = time_refresh(small_group_person, 1, false);
    const double requested_relay_seconds = requested_small.seconds * requested.exchanges /
                                           static_cast<double>(requested_small.exchanges);

    // (e): one write through the relay.
    remote::pages_wanted = true;
    const std::uint64_t before_write = remote::client_exchange_count();
    const auto write_begin = std::chrono::steady_clock::now();
    const bool wrote = run("update ticket set state='new' where id=1");
    const double write_seconds = seconds_since(write_begin);
    const std::uint64_t write_exchanges = remote::client_exchange_count() - before_write;
    connect_client(server.port);

    // (d): nineteen busy clients and one idle one.
    remote::RemoteLink idle;
    remote::connect_to_server(&idle, "127.0.0.1", server.port);
    const bench::BusyFigures busy =
        bench::run_busy_clients({server.port}, busy_clients, ticket_count, concurrent_run_ms);
    platform::close_socket(idle.socket);

    remote_testing::stop_relay(&relay);
    const int stopped = remote_testing::stop_server_process(&server);
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);

    std::printf("remote_listing: refresh of %d open tickets; loopback round trip %.1f us; "
                "relay +%d ms per message each way\n",
                ticket_count, round_trip_us, relay_delay_ms);
    std::printf("                               exchanges   loopback       relay\n");
    std::printf("(a) standalone                 %9d %8.1f ms           -   (%d lines)\n", 0,
                local.seconds * 1e3, local.lines);
    std::printf(
        "(b) client, pages              %9llu %8.1f ms %8.1f ms   (%d lines) %.1fx of (a)\n",
        static_cast<unsigned long long>(paged.exchanges), paged.seconds * 1e3,
        paged_relay.seconds * 1e3, paged.lines, paged.seconds / local.seconds);
    std::printf("(b') the same in clear         %9llu %8.1f ms           -   (TLS adds %.0f%%)\n",
                static_cast<unsigned long long>(paged_clear.exchanges), paged_clear.seconds * 1e3,
                100.0 * (paged.seconds - paged_clear.seconds) / paged_clear.seconds);
    std::printf("    one small exchange (prepare or finalize): %.1f us encrypted, %.1f us in "
                "clear\n",
                exchange_encrypted_us, exchange_clear_us);
    std::printf("(c) client, step and column    %9llu %8.1f ms %8.0f ms*  (%d lines)\n",
                static_cast<unsigned long long>(requested.exchanges), requested.seconds * 1e3,
                requested_relay_seconds * 1e3, requested.lines);
    std::printf("    * %d tickets (%llu exchanges) took %.0f ms through the relay, scaled by "
                "exchanges\n",
                small_ticket_count, static_cast<unsigned long long>(requested_small.exchanges),
                requested_small.seconds * 1e3);
    std::printf("(d) %d busy clients + 1 idle : %8.0f requests/s, p50 %.3f ms, p99 %.3f ms "
                "(%zu requests in %.1f s)\n",
                busy_clients, busy.per_second, busy.p50_ms, busy.p99_ms, busy.requests,
                busy.seconds);
    std::printf("(e) one write through the relay: %llu exchanges, %.1f ms%s\n",
                static_cast<unsigned long long>(write_exchanges), write_seconds * 1e3,
                wrote ? "" : " (failed)");
    std::printf("targets: (b) <= 40 exchanges, <= 5x (a) on loopback, <= 100 ms through the "
                "relay; (d) >= 20000 requests/s with p99 < 5 ms\n");
    if (stopped != 0)
        std::printf("note: the server did not stop cleanly (%d)\n", stopped);
    return 0;
}
