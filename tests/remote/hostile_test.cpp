// The server against peers that do not play by the dialogs' rules: statements the dialogs
// never send, endless queries, other clients' handles, floods of prepares, peers that never
// read, peers that only hold a slot, writes left half-stepped; and a real server process
// that a refused BEGIN cannot rob of a write and a stop request ends mid-query.
#include "harness/home.h"
#include "remote/server.h"
#include "store/schema.h"
#include "store/sql.h"
#include "tests/remote/server_fixture.h"
#include "tests/support/scenario.h"

#include "platform/platform.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

using remote_testing::ask;
using remote_testing::connect_raw;
using remote_testing::open_statements;
using remote_testing::prepare_on;
using remote_testing::Reply;
using remote_testing::ServerProtocol;

class Hostile : public ServerProtocol {
  protected:
    void SetUp() override
    {
        ServerProtocol::SetUp();
        store::SchemaFailure failure;
        ASSERT_EQ(store::create_schema("admin", &failure), 0);
    }
    void TearDown() override
    {
        ServerProtocol::TearDown();
        remote::server_limits = remote::ServerLimits{};
    }
    // The rows of sql read through a connection of the test's own: what is in the file.
    testing_support::Rows in_file(const std::string& sql)
    {
        return testing_support::query(store::database_path, sql);
    }
};

// Whether the server has closed socket (the peer reads the end of the stream) within
// timeout_ms; whatever was still on the way is read and dropped.
bool closed_by_server(platform::Socket socket, int timeout_ms)
{
    const int64_t end = platform::monotonic_ms() + timeout_ms;
    char buffer[65536];
    while (platform::monotonic_ms() < end) {
        platform::SocketPoll entry{socket, platform::socket_readable, 0};
        if (platform::poll_sockets(&entry, 1, 50) <= 0)
            continue;
        const int count = platform::receive_socket(socket, buffer, sizeof buffer);
        if (count == 0 || count == platform::socket_error)
            return true;
    }
    return false;
}

TEST_F(Hostile, PeersMayDoWhatTheDialogsDoAndNothingElse)
{
    const std::string attached = home + "/attached.db";
    const std::string copy = home + "/copy.db";
    struct Judged {
        std::string sql;
        bool allowed;
    };
    const Judged cases[] = {
        {"select 1", true},
        {"SELECT sqlite_version(), count(*), max(id) FROM ticket", true},
        {"/* a monitor */ select name from person where id=1", true},
        {"SELECT t1.id AS id FROM person AS t1, subjectlink AS t2 WHERE t1.id=t2.personid", true},
        {"insert into ticket (code, state) values ('T1', 'new')", true},
        {"update person set name='x' where id=2", true},
        {"select version from vendrelversion", true},
        {"UPDATE ticket SET enddate='2024-01-01 00:00:00' WHERE id=1 AND enddate IS NULL "
         "RETURNING id",
         true},
        {"INSERT INTO ticket (code, state) SELECT 'T2', 'new' WHERE NOT EXISTS (SELECT id FROM "
         "ticket WHERE code='T2') RETURNING id",
         true},
        {"with open as (select id from ticket where enddate is null) select id from open", true},
        {"BEGIN", false},
        {"SAVEPOINT s", false},
        {"ATTACH '" + attached + "' AS other", false},
        {"DETACH main", false},
        {"DROP TABLE ticket", false},
        {"ALTER TABLE ticket ADD COLUMN x", false},
        {"DELETE FROM person", false},
        {"  -- looks harmless\n delete from ticket", false},
        {"CREATE TABLE x (a)", false},
        {"CREATE TEMP TABLE x (a)", false},
        {"PRAGMA journal_mode=OFF", false},
        {"VACUUM", false},
        {"VACUUM INTO '" + copy + "'", false},
        {"REINDEX", false},
        {"ANALYZE", false},
        {"WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n+1 FROM r) SELECT n FROM r", false},
        {"select sql from sqlite_master", false},
        {"select name from pragma_table_info('person')", false},
        {"select load_extension('libc.so.6')", false},
        {"WITH d AS (SELECT 1) DELETE FROM ticket", false},
    };
    const platform::Socket client = connect_raw(port);
    ASSERT_NE(client, platform::invalid_socket);
    for (const Judged& judged : cases) {
        const int number = prepare_on(client, judged.sql);
        EXPECT_EQ(number > 0, judged.allowed) << judged.sql;
        if (number > 0) {
            EXPECT_EQ(ask(client, 'L', number, "").payload, "1");
        }
    }
    // Nothing refused left a trace.
    EXPECT_FALSE(std::filesystem::exists(attached));
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_EQ(in_file("select count(*) from person"), testing_support::Rows{{"1"}});

    // The instance's own dialogs are not the peers': they are not held to any of that.
    EXPECT_TRUE(store::run_statement("CREATE TABLE own (a)").ok());
    EXPECT_TRUE(store::run_statement("DELETE FROM own").ok());
    platform::close_socket(client);
}

TEST_F(Hostile, APeerCanNeitherBuildAGiantValueNorFloodTheLog)
{
    const platform::Socket client = connect_raw(port);
    // A value as long as any dialog's, and longer, is built; a gigabyte is refused at its step.
    const struct {
        const char* sql;
        const char* step;
    } values[] = {
        {"select length(zeroblob(500000)) as n", "100"},
        {"select length(zeroblob(1000000000)) as n", "18"},
        {"select length(randomblob(2000000)) as n", "18"},
    };
    for (const auto& value : values) {
        const int number = prepare_on(client, value.sql);
        EXPECT_EQ(ask(client, 'K', number, "").payload, value.step) << value.sql;
        ask(client, 'L', number, "");
    }

    // A thousand refused prepares write ten lines, and one line tells the rest.
    remote::server_limits.refusal_summary_ms = 300;
    testing::internal::CaptureStderr();
    for (int i = 0; i < 1000; ++i)
        prepare_on(client, "DELETE FROM person");
    platform::sleep_ms(600);
    EXPECT_GT(prepare_on(client, "select 1"), 0); // still served
    remote::stop_server();
    const std::string log = testing::internal::GetCapturedStderr();
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = log.find("request refused", at)) != std::string::npos; ++at)
        ++lines;
    EXPECT_EQ(lines, 10u) << log;
    long long told = 0;
    for (std::size_t at = 0; (at = log.find("s of 127.0.0.1: ", at)) != std::string::npos; ++at)
        told += std::atoll(log.c_str() + at + 16);
    EXPECT_EQ(told, 990) << log;
    platform::close_socket(client);
}

TEST(HostileStart, AServerWhoseLibraryCannotCheckStatementsRefusesToStart)
{
    ASSERT_EQ(remote::start_tick_clock(), 0);
    store::sqlite_library_name = "a library without an authorizer";
    std::string reason;
    EXPECT_EQ(remote::start_server("127.0.0.1", remote_testing::free_port(), &reason), -1);
    EXPECT_NE(reason.find("sqlite3_set_authorizer"), std::string::npos) << reason;
}

TEST_F(Hostile, AnEndlessQueryIsInterruptedAndKeepsTheOthersWaitingNoLonger)
{
    remote::server_limits.step_bound_ms = 500;
    ASSERT_TRUE(store::run_statement("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 "
                                     "FROM n WHERE i<1000) INSERT INTO person (name) SELECT i "
                                     "FROM n")
                    .ok());
    const platform::Socket endless = connect_raw(port);
    const platform::Socket other = connect_raw(port);
    const int number =
        prepare_on(endless, "select count(*) as c from person a, person b, person c");
    ASSERT_GT(number, 0);
    ASSERT_TRUE(remote_testing::send_all(endless, remote_testing::request_bytes('K', number, "")));
    platform::sleep_ms(50);

    const int64_t begin = platform::monotonic_ms();
    EXPECT_GT(prepare_on(other, "select 1"), 0);
    EXPECT_LT(platform::monotonic_ms() - begin, 2000);
    EXPECT_EQ(remote_testing::read_reply(endless).payload, std::to_string(store::db_interrupt));
    EXPECT_EQ(ask(endless, 'L', number, "").payload, "1");
    platform::close_socket(endless);
    platform::close_socket(other);
}

TEST_F(Hostile, AStatementBelongsToTheConnectionThatPreparedIt)
{
    const platform::Socket owner = connect_raw(port);
    const platform::Socket other = connect_raw(port);
    const int number = prepare_on(owner, "select 'mine' as a");
    ASSERT_GT(number, 0);
    EXPECT_EQ(ask(other, 'K', number, "").payload, "21");
    EXPECT_EQ(ask(other, 'V', number, "a").payload, "error");
    const Reply finalized = ask(other, 'L', number, "");
    EXPECT_EQ(finalized.payload, "1");
    EXPECT_EQ(finalized.value, number);
    // Untouched: not stepped, not finalized.
    EXPECT_EQ(ask(owner, 'K', number, "").payload, "100");
    EXPECT_EQ(ask(owner, 'V', number, "a").payload, "mine");
    EXPECT_EQ(ask(owner, 'L', number, "").payload, "1");
    platform::close_socket(owner);
    platform::close_socket(other);
}

TEST_F(Hostile, APrepareFloodIsCappedPerConnectionAndReleased)
{
    const int cap = remote::server_limits.statements_per_client;
    const platform::Socket flood = connect_raw(port);
    const platform::Socket other = connect_raw(port);
    const std::string literal = "select '" + std::string(60000, 'x') + "'";
    std::vector<int> numbers;
    for (int i = 0; i < cap; ++i)
        numbers.push_back(prepare_on(flood, literal));
    for (int number : numbers)
        ASSERT_GT(number, 0);
    EXPECT_EQ(prepare_on(flood, literal), 0) << "one over the cap";
    EXPECT_GT(prepare_on(other, "select 1"), 0) << "another client is not affected";
    EXPECT_EQ(open_statements(), cap + 1);

    // A finalized statement is gone at once and makes room; a peer that leaves takes its
    // statements with it.
    EXPECT_EQ(ask(flood, 'L', numbers[0], "").payload, "1");
    EXPECT_EQ(open_statements(), cap);
    EXPECT_GT(prepare_on(flood, "select 2"), 0);
    platform::close_socket(flood);
    for (int i = 0; i < 100 && open_statements() > 1; ++i)
        platform::sleep_ms(20);
    EXPECT_EQ(open_statements(), 1);
    platform::close_socket(other);
}

TEST_F(Hostile, APeerThatNeverReadsIsDisconnectedAndDelaysNobody)
{
    const platform::Socket deaf = connect_raw(port);
    const platform::Socket other = connect_raw(port);
    const int big = prepare_on(deaf, "select printf('%.60000c', 'x') as t");
    ASSERT_EQ(ask(deaf, 'K', big, "").payload, "100");
    // 24 MB of replies asked for at once, more than the system's buffers and the server's
    // bound together; none of them is read.
    std::string requests;
    for (int i = 0; i < 400; ++i)
        requests += remote_testing::request_bytes('V', big, "t");
    ASSERT_TRUE(remote_testing::send_all(deaf, requests));

    int64_t slowest = 0;
    for (int i = 0; i < 20; ++i) {
        const int64_t begin = platform::monotonic_ms();
        const int number = prepare_on(other, "select 1");
        EXPECT_EQ(ask(other, 'L', number, "").payload, "1");
        slowest = std::max(slowest, platform::monotonic_ms() - begin);
    }
    EXPECT_LT(slowest, 1000);
    // Reading now would make the peer a reader; its statement goes when the server drops it.
    for (int i = 0; i < 500 && open_statements() > 0; ++i)
        platform::sleep_ms(20);
    EXPECT_EQ(open_statements(), 0);
    EXPECT_TRUE(closed_by_server(deaf, 2000));
    platform::close_socket(deaf);
    platform::close_socket(other);
}

TEST_F(Hostile, WhenEverySlotIsTakenTheLongestIdleClientGivesWay)
{
    remote::server_limits.evict_idle_ms = 300;
    std::vector<platform::Socket> clients;
    std::vector<int> numbers;
    for (int i = 0; i < remote::max_clients; ++i) {
        clients.push_back(connect_raw(port));
        numbers.push_back(prepare_on(clients.back(), "select 1"));
        ASSERT_GT(numbers.back(), 0);
    }
    platform::sleep_ms(200);
    for (int i = 1; i < remote::max_clients; ++i)
        EXPECT_EQ(ask(clients[i], 'K', numbers[i], "").payload, "100");
    platform::sleep_ms(150); // the first has been idle 350 ms, the others 150 ms

    const platform::Socket late = connect_raw(port);
    EXPECT_GT(prepare_on(late, "select 2"), 0);
    EXPECT_TRUE(closed_by_server(clients[0], 2000));
    for (int i = 1; i < remote::max_clients; ++i)
        EXPECT_EQ(ask(clients[i], 'L', numbers[i], "").payload, "1") << i;
    for (platform::Socket client : clients)
        platform::close_socket(client);
    platform::close_socket(late);
}

TEST_F(Hostile, AWriteLeftHalfSteppedIsFinalizedSoThatEveryoneElsesWritesCommit)
{
    remote::server_limits.write_hold_ms = 300;
    const platform::Socket holder = connect_raw(port);
    const platform::Socket writer = connect_raw(port);
    const int held = prepare_on(holder, "UPDATE person SET name=name WHERE id=1 RETURNING id");
    ASSERT_EQ(ask(holder, 'K', held, "").payload, "100");
    const int insert = prepare_on(writer, "insert into ticket (code) values ('W')");
    EXPECT_EQ(ask(writer, 'K', insert, "").payload, "101");
    EXPECT_EQ(ask(writer, 'L', insert, "").payload, "1");
    EXPECT_EQ(in_file("select count(*) from ticket"), testing_support::Rows{{"0"}})
        << "the held write keeps the insert uncommitted";

    platform::sleep_ms(600);
    EXPECT_EQ(in_file("select count(*) from ticket"), testing_support::Rows{{"1"}});
    EXPECT_EQ(ask(holder, 'K', held, "").payload, "21");
    platform::close_socket(holder);
    platform::close_socket(writer);
}

std::string file_text(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(HostileProcess, ARefusedBeginLosesNoWriteAndAStopEndsAnEndlessQuery)
{
    const std::string home = testing_support::make_temp_home("vendrel-hostile");
    ASSERT_FALSE(home.empty());
    remote_testing::create_database_in(home);
    remote_testing::ServerProcess server;
    server.options = {"--open"};
    ASSERT_TRUE(remote_testing::start_server_process(home, &server));

    const platform::Socket beginner = connect_raw(server.port);
    EXPECT_EQ(prepare_on(beginner, "BEGIN"), 0);
    platform::close_socket(beginner);

    const platform::Socket writer = connect_raw(server.port);
    const auto run = [writer](const char* sql) {
        const int number = prepare_on(writer, sql);
        EXPECT_EQ(ask(writer, 'K', number, "").payload, "101") << sql;
        ask(writer, 'L', number, "");
    };
    run("insert into ticket (code) values ('kept')");
    for (int doubling = 0; doubling < 10; ++doubling) // 1024 rows, 10^9 in a triple join
        run("insert into person (name) select name from person");
    const int endless = prepare_on(writer, "select count(*) from person a, person b, person c");
    ASSERT_TRUE(remote_testing::send_all(writer, remote_testing::request_bytes('K', endless, "")));
    platform::sleep_ms(300);
    const int64_t begin = platform::monotonic_ms();
    EXPECT_EQ(remote_testing::stop_server_process(&server, 10000), 0);
    EXPECT_LT(platform::monotonic_ms() - begin, 5000);
    platform::close_socket(writer);

    EXPECT_EQ(
        testing_support::query(home + "/Documents/data_vendrel.dat", "select code from ticket"),
        testing_support::Rows{{"kept"}});
    const std::string log = file_text(home + "/server.err");
    for (const std::string& line :
         {"vendrel: listening on 127.0.0.1:" + std::to_string(server.port),
          std::string(" connected\n"), std::string("request refused: BEGIN is not allowed\n"),
          std::string(" left\n"), std::string("interrupted: the server is stopping\n"),
          std::string("vendrel: stopping\n")})
        EXPECT_NE(log.find(line), std::string::npos) << line << " in\n" << log;
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

} // namespace
