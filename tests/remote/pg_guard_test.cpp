// The guard in front of the PostgreSQL store, with raw peers that have logged in: what is
// refused on SQLite is refused here, a digest never reaches a peer, a second statement in
// one request never runs, and a step bound is the statement's time-out.
#include "remote/pages.h"
#include "remote/remote.h"
#include "remote/server.h"
#include "remote/tick_clock.h"
#include "store/db_driver.h"
#include "store/schema.h"
#include "store/sql.h"
#include "tests/remote/server_fixture.h"
#include "tests/support/pg_fixture.h"
#include "util/md5.h"

#include "platform/platform.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

using remote_testing::ask;
using remote_testing::peer_values;
using remote_testing::prepare_on;
using remote_testing::Reply;

class PgGuard : public testing_support::PostgresqlServer {
  protected:
    void SetUp() override
    {
        PostgresqlServer::SetUp();
        if (HasFatalFailure())
            return;
        home = testing_support::make_temp_home("vendrel-pg-guard");
        std::string reason;
        ASSERT_EQ(store::bind_postgresql_driver(uri, &reason), 0) << reason;
        std::snprintf(store::database_path, sizeof store::database_path, "%s/data_vendrel.dat",
                      platform::documents_folder().c_str());
        store::SchemaFailure failure;
        ASSERT_EQ(store::create_schema("admin", &failure), 0) << failure.statement;
        testing::internal::CaptureStderr();
        capturing = true;
        port = remote_testing::start_server_on_a_free_port();
        ASSERT_NE(port, 0);
    }
    void TearDown() override
    {
        if (port)
            remote::stop_server();
        if (capturing)
            log = testing::internal::GetCapturedStderr();
        store::close(store::db_handle);
        PostgresqlServer::TearDown();
    }
    std::string home;
    int port = 0;
    bool capturing = false;
    std::string log;
};

TEST_F(PgGuard, RefusesWhatSqliteRefusesAndNeverShowsADigest)
{
    remote_testing::Peer peer = remote_testing::connect_secure(port);
    ASSERT_EQ(remote_testing::log_in_raw(peer, "admin", "admin").value, 2);
    using Values = std::vector<std::string>;
    char digest[33];
    util::hash_password("admin", digest);
    const struct {
        std::string sql;
        Values values;
    } cases[] = {
        {"select name,password from person where id=1", {"admin", "NULL"}},
        {"select id from person where password like '%'", {}},
        {"select length(password) as n from person where id=1", {"NULL"}},
        {"with p as (select password from person) select count(*) as n from p where password "
         "is not null",
         {"0"}},
        {"select count(*) as n from ticket t, person where person.password='" +
             std::string(digest) + "'",
         {"0"}},
        // A write of person would read the real column: refused here, rather than copied.
        {"update person set description=password where id=1", {"refused"}},
        {"update person set name='x' where password is not null", {"refused"}},
        {"delete from ticket", {"refused"}},
        {"create table notes (a text)", {"refused"}},
        {"select * from pg_shadow", {"refused"}},
        {"select pg_read_file('/etc/passwd') as f", {"refused"}},
        {"select 1 as a; drop table person", {"1"}},
        {"select 'a' like 'A' as m, 'Ab' ilike 'ab' as n", {"refused"}},
        {"select name from person where name like 'ADM%'", {"admin"}},
        // What PostgreSQL would read otherwise than SQLite.
        {"select ? as a", {"refused"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(peer_values(peer, c.sql), c.values) << c.sql;
    for (const std::string& value : peer_values(peer, "select * from person where id=1"))
        EXPECT_NE(value, digest);
    EXPECT_EQ(pg_rows("select count(*) from person where password is not null and "
                      "description is null and name='admin'"),
              (pg_testing::Rows{{"1"}}));
    // Writing it stays allowed: the password dialog does.
    EXPECT_EQ(peer_values(peer, "update PERSON set password='0123' where id=1"), Values{});
    EXPECT_EQ(pg_rows("select password from person"), (pg_testing::Rows{{"0123"}}));

    // A step bound is the statement's time-out on the server, told as an interrupt.
    pg_rows("insert into ticket (code) select 'T' || g from generate_series(1, 3000) g");
    remote::server_limits.step_bound_ms = 300;
    EXPECT_EQ(peer_values(peer, "select count(*) as n from ticket a, ticket b, ticket c"),
              Values{"step 9"});
    remote_testing::close_peer(&peer);
    remote::stop_server();
    port = 0;
    const std::string captured = testing::internal::GetCapturedStderr();
    capturing = false;
    EXPECT_NE(captured.find("interrupted: 300 ms is the longest a step may run"), std::string::npos)
        << captured;
    EXPECT_NE(captured.find("request refused: DELETE is not allowed"), std::string::npos)
        << captured;
    EXPECT_NE(captured.find("request refused: a parameter is not allowed"), std::string::npos)
        << captured;
}

} // namespace

namespace {

TEST(PgServerStart, AServerWhoseStoreCannotBeReachedSaysWhyAndEnds)
{
    const std::string home = testing_support::make_temp_home("vendrel-pg-unreachable");
    ASSERT_FALSE(home.empty());
    const std::string port = std::to_string(remote_testing::free_port());
    // The database is named clients: still a server, as the value of --store is no mode word.
    EXPECT_EQ(
        remote_testing::run_program(
            home,
            {"server", "--store", "postgresql://vendrel@127.0.0.1:1/clients", "127.0.0.1:" + port},
            home + "/server.err", 30000),
        1);
    std::ifstream file(home + "/server.err");
    const std::string error((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    EXPECT_NE(error.find("vendrel: Database error: cannot connect to the PostgreSQL database"),
              std::string::npos)
        << error;
}

} // namespace
