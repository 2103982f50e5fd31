// Two servers of the program on one PostgreSQL database, a peer logged in on each, racing
// the statements the ticket dialog sends: a new ticket's code is written once, and of two
// saves of one version exactly one ends the shown row.
#include "harness/home.h"
#include "harness/peer.h"
#include "tests/remote/server_fixture.h"
#include "tests/support/pg_fixture.h"

#include <fstream>
#include <string>

namespace {

using remote_testing::ask;
using remote_testing::Peer;
using remote_testing::ServerProcess;

class TwoServers : public testing_support::PostgresqlServer {
  protected:
    void SetUp() override
    {
        PostgresqlServer::SetUp();
        if (HasFatalFailure())
            return;
        home = testing_support::make_temp_home("vendrel-two-servers");
        ASSERT_FALSE(home.empty());
        std::ofstream(home + "/password") << "admin\n";
        ASSERT_EQ(remote_testing::run_program(home, {"init", "--store", uri}, home + "/init.err",
                                              60000, home + "/password"),
                  0);
        for (ServerProcess* server : {&first, &second}) {
            server->options = {"--store", uri};
            ASSERT_TRUE(remote_testing::start_server_process(home, server));
            peers.push_back(remote_testing::connect_secure(server->port));
            ASSERT_EQ(remote_testing::log_in_raw(peers.back(), "admin", "admin").value, 2);
        }
    }
    void TearDown() override
    {
        for (Peer& peer : peers)
            remote_testing::close_peer(&peer);
        for (ServerProcess* server : {&first, &second})
            if (server->process.id > 0)
                remote_testing::stop_server_process(server);
        PostgresqlServer::TearDown();
    }
    // sql prepared on both peers, then stepped on both at once: the two step results.
    std::vector<std::string> race(const std::string& sql)
    {
        int numbers[2];
        for (int i = 0; i < 2; ++i)
            numbers[i] = remote_testing::prepare_on(peers[i], sql);
        for (int i = 0; i < 2; ++i)
            EXPECT_TRUE(remote_testing::send_all(peers[i],
                                                 remote_testing::request_bytes('K', numbers[i], "")));
        std::vector<std::string> results;
        for (int i = 0; i < 2; ++i)
            results.push_back(remote_testing::read_reply(peers[i]).payload);
        for (int i = 0; i < 2; ++i)
            ask(peers[i], 'L', numbers[i], "");
        return results;
    }
    std::string home;
    ServerProcess first, second;
    std::vector<Peer> peers;
};

int count_of(const std::vector<std::string>& results, const std::string& result)
{
    int count = 0;
    for (const std::string& each : results)
        count += each == result;
    return count;
}

TEST_F(TwoServers, RacingCreatesWriteACodeOnceAndRacingSavesEndTheShownRowOnce)
{
    constexpr int rounds = 20;
    for (int round = 0; round < rounds; ++round) {
        const std::string code = "R" + std::to_string(round);
        // The first row of a new ticket: written only while no row carries its code.
        const std::vector<std::string> created =
            race("insert into ticket (code,subject,begindate) select '" + code +
                 "','race','2026-12-09 03:00:00' where not exists (select id from ticket where "
                 "code='" +
                 code + "') returning id");
        EXPECT_EQ(count_of(created, "100"), 1) << created[0] << " " << created[1];
        // The other saw the row (done) or was stopped by the rule of one open row.
        EXPECT_EQ(count_of(created, "101") + count_of(created, "19"), 1);

        // Both save the version they show: one ends it, the other is told it changed.
        const std::string shown = pg_rows("select id from ticket where code='" + code + "'")[0][0];
        const std::vector<std::string> ended =
            race("update ticket set enddate='2026-12-09 03:00:01' where id=" + shown +
                 " and enddate is null returning id");
        EXPECT_EQ(count_of(ended, "100"), 1);
        EXPECT_EQ(count_of(ended, "101"), 1);
        // The winner's new version; a second open row of the code is refused.
        const std::vector<std::string> versions = race(
            "insert into ticket (code,subject,begindate) values ('" + code + "','v2','x')");
        EXPECT_EQ(count_of(versions, "101"), 1);
        EXPECT_EQ(count_of(versions, "19"), 1);
    }
    EXPECT_EQ(pg_rows("select count(*), count(distinct code) from ticket where enddate is null"),
              (pg_testing::Rows{{std::to_string(rounds), std::to_string(rounds)}}));
    EXPECT_EQ(pg_rows("select count(*) from ticket"),
              (pg_testing::Rows{{std::to_string(2 * rounds)}}));
}

} // namespace
