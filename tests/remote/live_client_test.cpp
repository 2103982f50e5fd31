// The main list of a client follows the server's database: an idle tick costs one exchange
// (operation n), or against a server from before it the list's own light statement, and a
// ticket another process writes into the server's file shows at the next tick. And the
// operation's bytes: its answer moves with the asking connection's own writes and with
// other connections' commits.
#include "app/live_list.h"
#include "harness/peer.h"
#include "harness/relay.h"
#include "remote/client_driver.h"
#include "resources/ids.h"
#include "store/sql.h"
#include "tests/remote/server_fixture.h"
#include "tests/support/scenario.h"

namespace {

using namespace headless;
using namespace ids;

class LiveClient : public testing_support::Scenario, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override
    {
        Scenario::SetUp();
        remote_testing::create_database_in(home);
        execute("insert into person (name,role,ac1,date_b) values ('Desk',5,'1','2026-01-01 "
                "00:00:00'); insert into subjectlink (personid,personid2,linklevelkind,date_b) "
                "values (1,2,3,'2026-01-01 00:00:00')");
        add_ticket("T-1", "2026-03-01 09:00:00");
        if (GetParam())
            server.options = {"--open"};
        ASSERT_TRUE(remote_testing::start_server_process(home, &server));
        relay.original_operations_only = GetParam();
        ASSERT_TRUE(remote_testing::start_relay(&relay, server.port));
        if (GetParam()) {
            start("client 127.0.0.1:" + std::to_string(relay.port));
            answer_next_box(platform::answer_ok); // a server from before encryption
        } else {
            start(remote_testing::client_command_line(home, relay.port));
        }
        log_in("admin", "admin");
        take_boxes();
    }
    void TearDown() override
    {
        Scenario::TearDown();
        remote_testing::stop_relay(&relay);
        remote_testing::stop_server_process(&server);
    }
    void add_ticket(const std::string& code, const std::string& stamp)
    {
        execute("insert into ticket (code,personid_t,personid_u,subject,begindate,date_b) "
                "values ('" +
                code + "',2,1,'s','" + stamp + "','" + stamp + "')");
    }
    std::uint64_t exchanges_of_tick()
    {
        std::uint64_t before = 0, after = 0;
        on_program_thread([&] { before = remote::client_exchange_count(); });
        EXPECT_TRUE(fire_timer(main, app::live_list_timer));
        on_program_thread([&] { after = remote::client_exchange_count(); });
        return after - before;
    }
    remote_testing::ServerProcess server;
    remote_testing::Relay relay;
};

TEST_P(LiveClient, AnIdleTickCostsOneQuestionAndAWriteElsewhereShows)
{
    ASSERT_EQ(lines_of(main, main_window::ticket_list).size(), 1u);
    exchanges_of_tick(); // the first answer fills the list once more
    const std::uint64_t idle = exchanges_of_tick();
    if (GetParam())
        EXPECT_LE(idle, 6u) << "prepare, step, two columns, finalize";
    else
        EXPECT_EQ(idle, 1u);
    EXPECT_EQ(exchanges_of_tick(), idle);

    add_ticket("T-2", "2026-03-02 09:00:00");
    EXPECT_GT(exchanges_of_tick(), idle);
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 2u);
    EXPECT_TRUE(take_boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(NewAndOldServer, LiveClient, ::testing::Bool());

class ChangeNumber : public remote_testing::ServerProtocol {};

TEST_F(ChangeNumber, MovesWithTheAskersWritesAndOtherConnectionsCommits)
{
    ASSERT_EQ(
        store::run_statement("create table ticket (id integer primary key, code text)").failure,
        store::Failure::none);
    remote_testing::Peer peer = remote_testing::connect_raw(port);
    auto number = [&] {
        const remote_testing::Reply reply = remote_testing::ask(peer, 'n', 0, "");
        EXPECT_TRUE(reply.complete);
        EXPECT_EQ(reply.operation_byte, 'n');
        EXPECT_EQ(reply.value, 1);
        return reply.payload;
    };
    const std::string first = number();
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(number(), first);

    const int handle = remote_testing::prepare_on(peer, "insert into ticket (code) values ('A')");
    ASSERT_NE(handle, 0);
    remote_testing::ask(peer, 'K', handle, "");
    remote_testing::ask(peer, 'L', handle, "");
    const std::string second = number();
    EXPECT_NE(second, first);

    testing_support::execute(store::database_path, "insert into ticket (code) values ('B')");
    EXPECT_NE(number(), second);
    remote_testing::close_peer(&peer);
}

} // namespace
