// The PostgreSQL store beside the SQLite file, measured in one run on one machine: a server
// process of each, with the same 2048 open tickets (the file copied to PostgreSQL with
// vendrel copy), then two servers on the one PostgreSQL database.
//   (a) the main list's refresh of 2048 open tickets by a client, rows in pages;
//   (b) 19 busy clients at once (raw peers of the original operations): requests per second
//       and the 99th percentile of a request's time;
//   (c) the 19 busy clients split over two servers of one PostgreSQL database.
// Times are the best of a few runs. Prints figures; never fails on a timing.
#include "bench/busy_clients.h"
#include "harness/peer.h"
#include "harness/pg_server.h"
#include "platform/platform.h"
#include "remote/client_driver.h"
#include "remote/tick_clock.h"
#include "remote/wire.h"
#include "store/db_driver.h"
#include "store/schema.h"
#include "store/sql.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int ticket_count = 2048;
constexpr int busy_clients = 19;
constexpr int concurrent_run_ms = 3000;
constexpr int runs = 3;

double seconds_since(std::chrono::steady_clock::time_point begin)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

bool run(const std::string& sql)
{
    return store::run_statement(sql, [](store::DbStatement*) { return false; }).ok();
}

// admin linked to one ticket group with 2048 open tickets.
bool fill_database()
{
    store::SchemaFailure failure;
    if (store::create_schema("admin", &failure) != 0)
        return false;
    run("BEGIN");
    bool ok = run("insert into person (name, role, ac1) values ('Front desk', 5, '1')") &&
              run("insert into subjectlink (personid, personid2, linklevelkind) values (1, 2, 3)");
    for (int i = 0; ok && i < ticket_count; ++i)
        ok = run(store::sql_format(
            "insert into ticket (code, state, subject, description, personid_t, begindate, "
            "date_b) values ('T%05d', 'new', 'Printer on floor %d does not print', 'Reported "
            "at the desk: the printer shows a paper jam but there is no paper in it, ticket "
            "%d', 2, '2024-05-%02d 09:%02d:%02d', '2024-05-01 09:00:00')",
            i, i % 7, i, 1 + i % 28, i / 60 % 60, i % 60));
    run("COMMIT");
    return ok;
}

// The main list's fill: the group ids, then the open tickets of each, the columns a line needs.
int refresh_main_list()
{
    int lines = 0;
    std::vector<int> ids;
    store::run_statement(
        "select t1.id as id from person as t1,subjectlink as t2 where t1.role=5 and "
        "(t2.personid=1 or t2.personid2=1) and (t2.personid=t1.id or t2.personid2=t1.id) and "
        "t1.date_e is null and t2.date_e is null order by t1.name",
        [&ids](store::DbStatement* row) {
            ids.push_back(store::column_number(row, "id"));
            return true;
        });
    for (int id : ids)
        store::run_statement(
            store::sql_format("select * from ticket where personid_t=%d and enddate is null "
                              "order by begindate",
                              id),
            [&lines](store::DbStatement* row) {
                const std::string line = store::column_string(row, "begindate") + '\t' +
                                         store::column_string(row, "code") + '\t' +
                                         store::column_string(row, "subject");
                lines += !line.empty();
                return lines < ticket_count;
            });
    return lines;
}

double best_refresh(int port, int* lines)
{
    remote::drop_connection(&remote::remote_link);
    if (remote::install_client_driver("127.0.0.1", port) != 1)
        return -1;
    refresh_main_list(); // warm
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        *lines = refresh_main_list();
        best = std::min(best, seconds_since(begin));
    }
    return best;
}

// The busy clients, client i on ports[i % ports.size()].
bench::BusyFigures busy(const std::vector<int>& ports)
{
    return bench::run_busy_clients(ports, busy_clients, ticket_count, concurrent_run_ms);
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
    std::filesystem::create_directories(home + "/Documents");
    remote::start_tick_clock();

    if (store::bind_local_driver("data_vendrel.dat") != 0 || !fill_database()) {
        std::fprintf(stderr, "cannot fill the database\n");
        return 1;
    }
    store::db_driver.column_by_name = store::local_column_by_name;
    store::close(store::db_handle);
    store::db_handle = nullptr;

    pg_testing::PgServer pg;
    if (!pg_testing::start_pg_server(&pg)) {
        std::fprintf(stderr, "PostgreSQL: %s\n", pg.error.c_str());
        return 1;
    }
    const std::string uri = pg_testing::make_pg_database(pg, "vendrel");
    const std::string file = home + "/Documents/data_vendrel.dat";
    if (uri.empty() || remote_testing::run_program(home, {"copy", "--from", file, "--to", uri},
                                                   home + "/copy.err", 120000) != 0) {
        std::fprintf(stderr, "cannot copy the database to PostgreSQL\n");
        pg_testing::stop_pg_server(&pg);
        return 1;
    }

    // The busy clients are raw peers of the original operations: the servers run --open.
    remote_testing::ServerProcess on_file, on_pg, on_pg_too;
    on_file.options = {"--open"};
    on_pg.options = {"--open", "--store", uri};
    on_pg_too.options = {"--open", "--store", uri};
    const std::string second_home = home + "/second";
    std::filesystem::create_directories(second_home + "/Documents");
    if (!remote_testing::start_server_process(home, &on_file) ||
        !remote_testing::start_server_process(home, &on_pg) ||
        !remote_testing::start_server_process(second_home, &on_pg_too)) {
        std::fprintf(stderr, "a server did not start\n");
        pg_testing::stop_pg_server(&pg);
        return 1;
    }
    remote::encryption_wanted = false; // both stores alike; the link's cost is measured apart

    int file_lines = 0, pg_lines = 0;
    const double file_refresh = best_refresh(on_file.port, &file_lines);
    const double pg_refresh = best_refresh(on_pg.port, &pg_lines);
    remote::drop_connection(&remote::remote_link);
    const bench::BusyFigures file_busy = busy({on_file.port});
    const bench::BusyFigures pg_busy = busy({on_pg.port});
    const bench::BusyFigures two_busy = busy({on_pg.port, on_pg_too.port});

    for (remote_testing::ServerProcess* server : {&on_file, &on_pg, &on_pg_too})
        remote_testing::stop_server_process(server);
    pg_testing::stop_pg_server(&pg);
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);

    std::printf("pg_store: the SQLite file beside PostgreSQL, servers on loopback in clear\n");
    std::printf("(a) refresh of %d open tickets: file %.1f ms (%d lines), PostgreSQL %.1f ms "
                "(%d lines)\n",
                ticket_count, file_refresh * 1e3, file_lines, pg_refresh * 1e3, pg_lines);
    std::printf("(b) %d busy clients, one server: file %.0f requests/s (p99 %.3f ms), "
                "PostgreSQL %.0f requests/s (p99 %.3f ms)\n",
                busy_clients, file_busy.per_second, file_busy.p99_ms, pg_busy.per_second,
                pg_busy.p99_ms);
    std::printf("(c) %d busy clients, two servers of one PostgreSQL database: %.0f requests/s "
                "(p99 %.3f ms), against %.0f with one\n",
                busy_clients, two_busy.per_second, two_busy.p99_ms, pg_busy.per_second);
    return 0;
}
